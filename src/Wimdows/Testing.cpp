// Seams for tests and tools: pixels of the back buffer and of the window, and real SDL
// input events put into the window's own queue.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Wimdows/WimdowsTesting.hpp"
#include "WimdowsState.hpp"

namespace Wimdows::Testing {

using namespace detail;

namespace {

bool ReadPixel(SDL_Surface* surface, std::int32_t x, std::int32_t y, std::uint32_t& color)
{
    if (x < 0 || y < 0 || x >= surface->w || y >= surface->h) return false;
    const int bytes = surface->format->BytesPerPixel;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
    const auto* at = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch + x * bytes;
    std::uint32_t pixel = 0;
    for (int i = 0; i < bytes; ++i) pixel |= static_cast<std::uint32_t>(at[i]) << (8 * i);  // little-endian host
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    Uint8 r;
    Uint8 g;
    Uint8 b;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    color = r | (static_cast<std::uint32_t>(g) << 8) | (static_cast<std::uint32_t>(b) << 16);
    return true;
}

std::atomic<bool> recordingTexts{false};
std::vector<std::string>* textsDrawn = new std::vector<std::string>;  // main thread only

void Post(SDL_Event& event)
{
    if (!PostEvent(event)) std::fprintf(stderr, "[Testing] No window takes the event %u.\n", event.type);
}

}  // namespace

bool ReadBackBuffer(std::int32_t x, std::int32_t y, std::uint32_t& color)
{
    if (window.state.load() != STATE_ACTIVE) return false;
    BufferGuard guard;
    return guard && ReadPixel(hBitBuf, x, y, color);
}

bool ReadScreen(std::int32_t x, std::int32_t y, std::uint32_t& color)
{
    if (window.state.load() != STATE_ACTIVE) return false;
    bool found = false;
    auto read = [&] {
        if (!window.hwnd) return;
        if (x < 0 || y < 0 || x >= static_cast<std::int32_t>(window.xlen.load()) ||
            y >= static_cast<std::int32_t>(window.ylen.load()))
            return;
        std::int32_t wx = x, wy = y;
        ClientToWindow(wx, wy);
        if (SDL_Surface* screen = SDL_GetWindowSurface(window.hwnd)) found = ReadPixel(screen, wx, wy, color);
    };
    return SendRequest(read) && found;
}

void PostKey(std::uint32_t vk, bool down, bool repeat)
{
    SDL_Event e{};
    if (!KeysymOf(vk, e.key.keysym)) {
        std::fprintf(stderr, "[Testing] No key has the code %u.\n", vk);
        return;
    }
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = windowId.load();
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    // As SDL does, the event carries the Shift that the posted events have left down.
    static std::atomic<bool> shiftDown{false};
    if (vk == 16) shiftDown.store(down);
    if (shiftDown.load()) e.key.keysym.mod = static_cast<Uint16>(e.key.keysym.mod | KMOD_LSHIFT);
    Post(e);
}

void PostText(const char* utf8)
{
    // An event holds a few bytes: longer text comes in pieces, as from an input method.
    for (std::size_t at = 0, length = std::strlen(utf8); at < length;) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = windowId.load();
        std::size_t n = std::min(length - at, sizeof e.text.text - 1);
        while (n > 1 && at + n < length && (static_cast<unsigned char>(utf8[at + n]) & 0xC0) == 0x80) --n;
        std::memcpy(e.text.text, utf8 + at, n);
        Post(e);
        at += n;
    }
}

namespace {

// Positions are client pixels, put where a player's pointer would be at any scale.
void ToWindowPixels(std::int32_t& x, std::int32_t& y)
{
    auto map = [&] { ClientToWindow(x, y); };
    SendRequest(map);
}

}  // namespace

void PostMouseMove(std::int32_t x, std::int32_t y)
{
    ToWindowPixels(x, y);
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = windowId.load();
    e.motion.x = x;
    e.motion.y = y;
    Post(e);
}

void PostMouseButton(int button, bool down, std::int32_t x, std::int32_t y, int clicks)
{
    ToWindowPixels(x, y);
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = windowId.load();
    e.button.button = static_cast<Uint8>(button);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = static_cast<Uint8>(clicks);
    e.button.x = x;
    e.button.y = y;
    Post(e);
}

void PostMouseWheel(std::int32_t clicks)
{
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = windowId.load();
    e.wheel.y = clicks;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    Post(e);
}

void PostDropFile(const char* path)
{
    SDL_Event e{};
    e.type = SDL_DROPFILE;
    e.drop.windowID = windowId.load();
    e.drop.file = SDL_strdup(path);
    Post(e);
}

void PostClose()
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = windowId.load();
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    Post(e);
}

void RecordTexts(bool on)
{
    if (on) textsDrawn->clear();
    recordingTexts.store(on);
}

std::vector<std::string> TextsDrawn() { return *textsDrawn; }

void Sync()
{
    auto nothing = [] {};
    SendRequest(nothing);
}

std::uint32_t ControlCount()
{
    BufferGuard guard;
    return controllen;
}

}  // namespace Wimdows::Testing

void Wimdows::detail::NoteText(const char* text)
{
    if (Testing::recordingTexts.load() && Testing::textsDrawn->size() < 100000) Testing::textsDrawn->emplace_back(text);
}
