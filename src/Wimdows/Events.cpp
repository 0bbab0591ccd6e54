// The window procedure and the translation of SDL events into its messages.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

#include "WimdowsState.hpp"

// ---- Keys from virtual keyboards on Wayland ----
// SDL 2.26 reads the symbols of a key from a virtual keyboard (wtype, an on-screen keyboard:
// a keymap whose layout has no name) in the layout the compositor last named, and before the
// compositor has named one in layout -1. libxkbcommon before March 2025 (Debian 12 has 1.5)
// turns -1 into one past the last layout of a key that has one, and reads beyond the key's
// layouts: the game crashed on the first such key on a Wayland desktop without Xwayland.
// This definition comes first for SDL: a layout below zero is brought into the key's range
// as later libxkbcommon does (its pull request 671), anything else goes on unchanged.
struct xkb_keymap;
extern "C" int xkb_keymap_key_get_syms_by_level(xkb_keymap* keymap, std::uint32_t key, std::uint32_t layout,
                                                std::uint32_t level, const std::uint32_t** syms)
{
    using Syms = int (*)(xkb_keymap*, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint32_t**);
    using Layouts = std::uint32_t (*)(xkb_keymap*, std::uint32_t);
    static const auto real = reinterpret_cast<Syms>(dlsym(RTLD_NEXT, "xkb_keymap_key_get_syms_by_level"));
    static const auto layouts = reinterpret_cast<Layouts>(dlsym(RTLD_NEXT, "xkb_keymap_num_layouts_for_key"));
    if (!real) {
        *syms = nullptr;
        return 0;
    }
    const auto signedLayout = static_cast<std::int32_t>(layout);
    if (signedLayout < 0 && keymap && layouts) {
        const auto count = static_cast<std::int32_t>(layouts(keymap, key));
        if (count > 0) layout = static_cast<std::uint32_t>((signedLayout % count + count) % count);
    }
    return real(keymap, key, layout, level, syms);
}

namespace Wimdows::detail {

// Menu table: no operation fills it in this game; commands 100 to 9999 look here.
MenuStruct* menu = nullptr;
std::uint32_t menulen = 0;

// User-interface thread only: the window procedure asked the loop to end.
bool quitPosted = false;

namespace {

void CloseMessage(bool byUser)
{
    if (byUser) closedByUser.store(true);
    if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
}

// F11 and Alt+Enter switch between windowed and fullscreen; the game never sees them.
bool IsFullscreenKey(const SDL_Keysym& keysym)
{
    if (keysym.sym == SDLK_F11) return (keysym.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) == 0;
    const bool enter = keysym.sym == SDLK_RETURN || keysym.sym == SDLK_KP_ENTER;
    return enter && (keysym.mod & KMOD_ALT) && !(keysym.mod & (KMOD_CTRL | KMOD_GUI));
}

void MouseEvent(std::uint32_t msg, std::int32_t x, std::int32_t y)
{
    if (!MapToClient(x, y) && msg != WM_MOUSEMOVE && msg != WM_LBUTTONUP && msg != WM_RBUTTONUP && msg != WM_MBUTTONUP)
        return;
    WindowProcedure(window.hwnd, msg, 0, MakeLParam(x, y));
}

// WM_COMMAND: menu commands (100 to 9999) and control commands (10000 and above).
void Command(WPARAM wParam)
{
    const std::uint32_t code = static_cast<std::uint32_t>(wParam >> 16) & 0xFFFFu;
    const std::uint32_t id = static_cast<std::uint32_t>(wParam) & 0xFFFFu;
    if (code == 1 || id < 100) return;
    if (id < 10000) {
        // Only entries that exist are called; nothing fills the menu table in this game.
        const std::uint32_t entry = id / 100 - 1;
        const std::uint32_t index = id % 100;
        if (entry < menulen && index < menu[entry].itemlen && menu[entry].item[index]) menu[entry].item[index]();
        return;
    }
    if (code != 0) return;
    ButtonProc proc = nullptr;
    {
        BufferGuard guard;
        const std::uint32_t slot = id - 10000;
        if (slot < controllen && ctrl[slot].hwnd && ctrl[slot].type == CTRL_BUTTON) proc = ctrl[slot].proc;
    }
    if (!proc) return;
    // Outside the guard: a procedure may run for seconds.
    const bool outer = inButtonProc;
    inButtonProc = true;
    proc();
    inButtonProc = outer;
}

}  // namespace

void DispatchEvent(const SDL_Event& e)
{
    switch (e.type) {
        case SDL_QUIT:
            CloseMessage(true);
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    CloseMessage(true);
                    break;
                case SDL_WINDOWEVENT_LEAVE:
                    ControlsMouseLeave();
                    break;
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    FollowWindow();  // a fullscreen switch comes as one of these, whoever made it
                    if (window.hwnd) WindowProcedure(window.hwnd, WM_PAINT, 0, 0);
                    break;
                case SDL_WINDOWEVENT_MOVED:
                    FollowWindow();  // a window back from fullscreen may still be on its way to its place
                    break;
                default:
                    break;
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (IsFullscreenKey(e.key.keysym)) {
                if (e.type == SDL_KEYDOWN && !e.key.repeat) ToggleFullscreen();
                break;
            }
            const std::uint32_t vk = VirtualKey(e.key.keysym);
            if (vk == 0) break;
            // Alt combinations and F10 belong to the window system and never reach the
            // game; a release always does, so that no key is left down.
            if (e.type == SDL_KEYDOWN && IsSystemKey(e.key.keysym)) break;
            WindowProcedure(window.hwnd, e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk,
                            (e.key.keysym.mod & KMOD_SHIFT) ? KeyWithShift : 0);
            if (e.type == SDL_KEYUP)
                if (const std::uint32_t twin = KeypadTwin(e.key.keysym))
                    WindowProcedure(window.hwnd, WM_KEYUP, twin, 0);
            break;
        }
        case SDL_MOUSEMOTION:
            MouseEvent(WM_MOUSEMOVE, e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            // The second press of a double click comes as a double-click message instead.
            const bool twice = down && e.button.clicks >= 2 && e.button.clicks % 2 == 0;
            std::uint32_t msg = 0;
            if (e.button.button == SDL_BUTTON_LEFT)
                msg = twice ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            else if (e.button.button == SDL_BUTTON_RIGHT && !twice)  // right double clicks: ignored
                msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            else if (e.button.button == SDL_BUTTON_MIDDLE && !twice)
                msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            if (msg) MouseEvent(msg, e.button.x, e.button.y);
            break;
        }
        case SDL_DROPFILE:
            DropFile(e.drop.file);
            break;
        case SDL_TEXTINPUT:
            QueueText(e.text.text);
            break;
        case SDL_MOUSEWHEEL:
            MouseWheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
            break;
        default:
            GamepadEvent(e);  // a pad's buttons and stick come as keys
            break;            // wake-ups and events of no interest
    }
}

std::int32_t WindowProcedure(SDL_Window* hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
        case WM_DESTROY:
            quitPosted = true;
            break;
        case WM_PAINT:
            Paint();
            break;
        case WM_CLOSE:
            if (hwnd && hwnd == window.hwnd) {
                CloseWindow();
                WindowProcedure(hwnd, WM_DESTROY, 0, 0);
            }
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            KeyMessage(msg, wParam, lParam);
            break;
        case WM_COMMAND:
            Command(wParam);
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            if (!ControlMouse(msg, lParam)) MouseMessage(msg, lParam);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:  // no control takes the middle button
            MouseMessage(msg, lParam);
            break;
        case WM_CONTROL:
            ControlRequest(*reinterpret_cast<ControlParamStruct*>(wParam));
            break;
        default:
            break;
    }
    return 0;
}

}  // namespace Wimdows::detail
