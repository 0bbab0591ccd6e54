// Keyboard and mouse: the key table, the queue of key presses, the mouse record with
// its capture, and the translation of SDL keys into virtual-key codes.
#include <array>
#include <mutex>
#include <type_traits>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

using namespace VirtualKeys;

std::atomic<bool> key[256];
std::atomic<bool> keyFromPad[256];  // the key's last press came from a pad's button
KeyBuffer keybuf{};
std::atomic<bool> block{false};
std::atomic<std::uint32_t> keyEvents{0};
MouseStruct mouse{};
bool captured = false;

namespace {

// A press that came and went while KeyDown was not called at all (on a loaded machine the
// window's thread may take a key's down and up together, and the game may not run in
// between) is reported once, if KeyDown looks within half a second of the release and the
// press was not taken from the queue meanwhile. Any other press is reported exactly while
// it is held: a key let go while the game looked at other keys only (paused) stays unheard.
constexpr Uint64 kTapMemoryMs = 500;
std::atomic<std::uint64_t> looks{0};          // calls of KeyDown so far
std::atomic<bool> seen[256];                  // KeyDown has reported the key's present press
std::atomic<std::uint64_t> looksAtDown[256];  // looks when the present press came
std::atomic<Uint64> tapUp[256];               // time of the release of a press never reported, plus 1; 0: none

// Mouse events for TakeMouseEvent, written on the user-interface thread and taken on the
// main thread: a ring of the latest ones. It has no destructor, because the user-interface
// thread may still be closing its window while the program's statics are destroyed at exit.
constexpr std::size_t MouseQueueLength = 256;
struct MouseRing {
    std::array<MouseEvent, MouseQueueLength> events;
    std::size_t first;
    std::size_t count;
};
std::mutex mouseQueueLock;
MouseRing mouseQueue{};
static_assert(std::is_trivially_destructible_v<MouseRing> && std::is_trivially_destructible_v<std::mutex>);

void QueueMouse(MouseEvent::Type type, std::int32_t x, std::int32_t y, std::int32_t wheel = 0)
{
    std::lock_guard lock(mouseQueueLock);
    if (mouseQueue.count == MouseQueueLength) {  // the oldest goes
        mouseQueue.first = (mouseQueue.first + 1) % MouseQueueLength;
        --mouseQueue.count;
    }
    mouseQueue.events[(mouseQueue.first + mouseQueue.count) % MouseQueueLength] = MouseEvent{type, x, y, wheel};
    ++mouseQueue.count;
}

// Claims the queue's guard: test and set in one step, waiting (not spinning) while the
// other side holds it.
void Claim()
{
    while (block.exchange(true, std::memory_order_acquire)) block.wait(true, std::memory_order_relaxed);
}

void Unclaim()
{
    block.store(false, std::memory_order_release);
    block.notify_all();
}

void Flush()
{
    Claim();
    while (keybuf.tail) DelKey();
    Unclaim();
}

// Keys whose virtual-key code is not simply their letter, digit or function number.
struct KeyName {
    std::uint8_t vk;
    SDL_Keycode sym;
    SDL_Scancode scan;
};
constexpr KeyName kNamed[] = {
    {VK_BACK, SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE},
    {VK_TAB, SDLK_TAB, SDL_SCANCODE_TAB},
    {VK_RETURN, SDLK_RETURN, SDL_SCANCODE_RETURN},
    {VK_RETURN, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER},
    {VK_SHIFT, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT},
    {VK_SHIFT, SDLK_RSHIFT, SDL_SCANCODE_RSHIFT},
    {VK_CONTROL, SDLK_LCTRL, SDL_SCANCODE_LCTRL},
    {VK_CONTROL, SDLK_RCTRL, SDL_SCANCODE_RCTRL},
    {VK_MENU, SDLK_LALT, SDL_SCANCODE_LALT},
    {VK_MENU, SDLK_RALT, SDL_SCANCODE_RALT},
    {VK_PAUSE, SDLK_PAUSE, SDL_SCANCODE_PAUSE},
    {VK_CAPITAL, SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK},
    {VK_ESCAPE, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE},
    {VK_SPACE, SDLK_SPACE, SDL_SCANCODE_SPACE},
    {VK_PRIOR, SDLK_PAGEUP, SDL_SCANCODE_PAGEUP},
    {VK_NEXT, SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN},
    {VK_END, SDLK_END, SDL_SCANCODE_END},
    {VK_HOME, SDLK_HOME, SDL_SCANCODE_HOME},
    {VK_LEFT, SDLK_LEFT, SDL_SCANCODE_LEFT},
    {VK_UP, SDLK_UP, SDL_SCANCODE_UP},
    {VK_RIGHT, SDLK_RIGHT, SDL_SCANCODE_RIGHT},
    {VK_DOWN, SDLK_DOWN, SDL_SCANCODE_DOWN},
    {VK_SNAPSHOT, SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN},
    {VK_INSERT, SDLK_INSERT, SDL_SCANCODE_INSERT},
    {VK_DELETE, SDLK_DELETE, SDL_SCANCODE_DELETE},
    {VK_LWIN, SDLK_LGUI, SDL_SCANCODE_LGUI},
    {VK_RWIN, SDLK_RGUI, SDL_SCANCODE_RGUI},
    {VK_APPS, SDLK_APPLICATION, SDL_SCANCODE_APPLICATION},
    {VK_NUMPAD0 + 0, SDLK_KP_0, SDL_SCANCODE_KP_0},
    {VK_NUMPAD0 + 1, SDLK_KP_1, SDL_SCANCODE_KP_1},
    {VK_NUMPAD0 + 2, SDLK_KP_2, SDL_SCANCODE_KP_2},
    {VK_NUMPAD0 + 3, SDLK_KP_3, SDL_SCANCODE_KP_3},
    {VK_NUMPAD0 + 4, SDLK_KP_4, SDL_SCANCODE_KP_4},
    {VK_NUMPAD0 + 5, SDLK_KP_5, SDL_SCANCODE_KP_5},
    {VK_NUMPAD0 + 6, SDLK_KP_6, SDL_SCANCODE_KP_6},
    {VK_NUMPAD0 + 7, SDLK_KP_7, SDL_SCANCODE_KP_7},
    {VK_NUMPAD0 + 8, SDLK_KP_8, SDL_SCANCODE_KP_8},
    {VK_NUMPAD0 + 9, SDLK_KP_9, SDL_SCANCODE_KP_9},
    {VK_MULTIPLY, SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY},
    {VK_ADD, SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS},
    {VK_SUBTRACT, SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS},
    {VK_DECIMAL, SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD},
    {VK_DIVIDE, SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE},
    {VK_NUMLOCK, SDLK_NUMLOCKCLEAR, SDL_SCANCODE_NUMLOCKCLEAR},
    {VK_SCROLL, SDLK_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK},
    {VK_SEMICOLON, SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON},
    {VK_PLUS, SDLK_EQUALS, SDL_SCANCODE_EQUALS},
    {VK_COMMA, SDLK_COMMA, SDL_SCANCODE_COMMA},
    {VK_MINUS, SDLK_MINUS, SDL_SCANCODE_MINUS},
    {VK_PERIOD, SDLK_PERIOD, SDL_SCANCODE_PERIOD},
    {VK_QUESTION, SDLK_SLASH, SDL_SCANCODE_SLASH},
    {VK_BACKQUOTE, SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE},
    {VK_LEFTBRACKET, SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET},
    {VK_BACKSLASH, SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH},
    {VK_RIGHTBRACKET, SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET},
    {VK_QUOTE, SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE},
    {VK_LESS, SDLK_LESS, SDL_SCANCODE_NONUSBACKSLASH},
};

// The keypad's second meaning with NumLock off: the arrow and editing keys printed on it
// (5 is Clear). Keyed by scan code, as SDL gives the digits' codes either way.
struct KeypadKey {
    SDL_Scancode scan;
    std::uint8_t digit;  // with NumLock on
    std::uint8_t edit;   // with NumLock off
};
constexpr KeypadKey kKeypad[] = {
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, VK_INSERT},  {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, VK_END},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, VK_DOWN},    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, VK_NEXT},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, VK_LEFT},    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, VK_CLEAR},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, VK_RIGHT},   {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, VK_HOME},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, VK_UP},      {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, VK_PRIOR},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, VK_DELETE},
};

const KeypadKey* KeypadOf(const SDL_Keysym& keysym)
{
    for (const KeypadKey& k : kKeypad)
        if (k.scan == keysym.scancode) return &k;
    return nullptr;
}

// Letters, digits and function keys, which run in blocks.
std::uint32_t BlockKey(SDL_Keycode sym, SDL_Scancode scan)
{
    if (sym >= SDLK_a && sym <= SDLK_z) return VK_A + static_cast<std::uint32_t>(sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return VK_0 + static_cast<std::uint32_t>(sym - SDLK_0);
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return VK_F1 + static_cast<std::uint32_t>(sym - SDLK_F1);
    if (sym >= SDLK_F13 && sym <= SDLK_F24) return VK_F13 + static_cast<std::uint32_t>(sym - SDLK_F13);
    // A layout whose letters are not Latin: the key's place decides.
    if (scan >= SDL_SCANCODE_A && scan <= SDL_SCANCODE_Z)
        return VK_A + static_cast<std::uint32_t>(scan - SDL_SCANCODE_A);
    if (scan >= SDL_SCANCODE_1 && scan <= SDL_SCANCODE_9)
        return VK_1 + static_cast<std::uint32_t>(scan - SDL_SCANCODE_1);
    if (scan == SDL_SCANCODE_0) return VK_0;
    return 0;
}

void SetCapture()
{
    captured = true;
    SDL_CaptureMouse(SDL_TRUE);  // fails harmlessly where the driver cannot capture
}

void ReleaseCapture()
{
    captured = false;
    SDL_CaptureMouse(SDL_FALSE);
}

void Call(bool wanted, MouseProc proc, std::uint32_t x, std::uint32_t y)
{
    if (wanted && proc) proc(x, y);
}

}  // namespace

std::uint32_t VirtualKey(const SDL_Keysym& keysym)
{
    if (const KeypadKey* k = KeypadOf(keysym)) return (keysym.mod & KMOD_NUM) ? k->digit : k->edit;
    for (const KeyName& k : kNamed)
        if (k.sym == keysym.sym) return k.vk;
    if (const std::uint32_t vk = BlockKey(keysym.sym, keysym.scancode)) return vk;
    for (const KeyName& k : kNamed)
        if (k.scan == keysym.scancode) return k.vk;
    return 0;
}

bool KeysymOf(std::uint32_t vk, SDL_Keysym& keysym)
{
    keysym = SDL_Keysym{};
    if (vk >= VK_A && vk <= VK_Z) {
        keysym.sym = SDLK_a + static_cast<SDL_Keycode>(vk - VK_A);
        keysym.scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_A + (vk - VK_A));
    } else if (vk >= VK_0 && vk <= VK_9) {
        keysym.sym = SDLK_0 + static_cast<SDL_Keycode>(vk - VK_0);
        keysym.scancode = vk == VK_0 ? SDL_SCANCODE_0 : static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (vk - VK_1));
    } else if (vk >= VK_F1 && vk <= VK_F12) {
        keysym.sym = SDLK_F1 + static_cast<SDL_Keycode>(vk - VK_F1);
        keysym.scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (vk - VK_F1));
    } else if (vk >= VK_F13 && vk <= VK_F24) {
        keysym.sym = SDLK_F13 + static_cast<SDL_Keycode>(vk - VK_F13);
        keysym.scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + (vk - VK_F13));
    } else {
        for (const KeyName& k : kNamed) {
            if (k.vk != vk) continue;
            keysym.sym = k.sym;
            keysym.scancode = k.scan;
            if (KeypadOf(keysym)) keysym.mod = KMOD_NUM;  // the digits come with NumLock on
            return true;
        }
        return false;
    }
    return true;
}

std::uint32_t KeypadTwin(const SDL_Keysym& keysym)
{
    const KeypadKey* k = KeypadOf(keysym);
    if (!k) return 0;
    return (keysym.mod & KMOD_NUM) ? k->edit : k->digit;
}

bool IsSystemKey(const SDL_Keysym& keysym)
{
    if (keysym.sym == SDLK_F10 || keysym.sym == SDLK_LALT || keysym.sym == SDLK_RALT) return true;
    return (keysym.mod & KMOD_ALT) && !(keysym.mod & KMOD_CTRL);
}

void AddKey(std::uint32_t k, bool shift)
{
    QueueElmt* element = new QueueElmt{k, nullptr, shift};  // allocated before the guard is claimed
    Claim();
    if (keybuf.head)
        keybuf.head->prev = element;
    else
        keybuf.tail = element;
    keybuf.head = element;
    Unclaim();
    keyEvents.fetch_add(1, std::memory_order_release);
    keyEvents.notify_all();
}

// Removes the oldest element; the caller holds the guard.
void DelKey()
{
    QueueElmt* oldest = keybuf.tail;
    if (!oldest) return;
    seen[oldest->key & 255u].store(true);  // a press taken from the queue (or dropped) was seen
    tapUp[oldest->key & 255u].store(0);
    if (oldest->prev) {
        keybuf.tail = oldest->prev;
    } else {
        keybuf.tail = nullptr;
        keybuf.head = nullptr;
    }
    delete oldest;
}

void KeyMessage(std::uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    const std::uint32_t code = static_cast<std::uint32_t>(wParam) & 255u;
    if (msg == WM_KEYDOWN) {
        // Where the press came from first: a key seen down always has its source.
        keyFromPad[code].store(lParam == KeyFromPad);
        if (!key[code].exchange(true)) {
            seen[code].store(false);
            tapUp[code].store(0);
            looksAtDown[code].store(looks.load());
        }
        AddKey(code, lParam == KeyWithShift);  // a held key's repeats are queued too
    } else if (msg == WM_KEYUP) {
        if (key[code].exchange(false) && !seen[code].load() && looks.load() == looksAtDown[code].load())
            tapUp[code].store(SDL_GetTicks64() + 1);
    }
}

void MouseMessage(std::uint32_t msg, LPARAM lParam)
{
    // Unsigned words: a captured pointer left of or above the window gives values near 65535.
    const std::uint32_t x = LPARAM2DWORD(lParam) & 0xFFFFu;
    const std::uint32_t y = LPARAM2DWORD(lParam) >> 16;
    {
        using Type = MouseEvent::Type;
        const Type type = msg == WM_MOUSEMOVE       ? Type::Move
                          : msg == WM_LBUTTONDOWN   ? Type::LeftDown
                          : msg == WM_LBUTTONDBLCLK ? Type::LeftDown
                          : msg == WM_LBUTTONUP     ? Type::LeftUp
                          : msg == WM_RBUTTONDOWN   ? Type::RightDown
                          : msg == WM_RBUTTONUP     ? Type::RightUp
                          : msg == WM_MBUTTONDOWN   ? Type::MiddleDown
                                                    : Type::MiddleUp;
        // The words as signed again, so a pointer dragged outside gives its true place.
        QueueMouse(type, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    }
    switch (msg) {
        case WM_MOUSEMOVE:
            while (block.load(std::memory_order_acquire)) block.wait(true);
            mouse.x = static_cast<std::int32_t>(x);
            mouse.y = static_cast<std::int32_t>(y);
            break;
        case WM_LBUTTONDOWN:
            mouse.left = true;
            if (!mouse.right) SetCapture();
            Call(mouse.onLeftDown, mouse.LeftDownProc, x, y);
            break;
        case WM_LBUTTONUP:
            mouse.left = false;
            if (!mouse.right) ReleaseCapture();
            Call(mouse.onLeftUp, mouse.LeftUpProc, x, y);
            break;
        case WM_LBUTTONDBLCLK:
            Call(mouse.onDouble, mouse.DoubleProc, x, y);
            break;
        case WM_RBUTTONDOWN:
            mouse.right = true;
            if (!mouse.left) SetCapture();
            Call(mouse.onRightDown, mouse.RightDownProc, x, y);
            break;
        case WM_RBUTTONUP:
            mouse.right = false;
            if (!mouse.left) ReleaseCapture();
            Call(mouse.onRightUp, mouse.RightUpProc, x, y);
            break;
        default:
            break;
    }
}

void MouseWheel(std::int32_t clicks)
{
    if (clicks != 0) QueueMouse(MouseEvent::Type::Wheel, mouse.x, mouse.y, clicks);
}

// Dropped files for TakeDroppedFile: written on the user-interface thread, taken on the main
// thread. A plain array (no destructor) for the same reason as the mouse ring.
constexpr std::size_t DropQueueLength = 8;
constexpr std::size_t MostDropPath = 4096;  // PATH_MAX: a longer name is no file to open
struct DropRing {
    std::array<std::array<char, MostDropPath + 1>, DropQueueLength> paths;
    std::size_t first;
    std::size_t count;
};
DropRing dropQueue{};
static_assert(std::is_trivially_destructible_v<DropRing>);

void DropFile(char* file)
{
    if (file == nullptr) return;
    const std::size_t length = SDL_strlen(file);
    if (length > 0 && length <= MostDropPath) {
        std::lock_guard lock(mouseQueueLock);
        if (dropQueue.count == DropQueueLength) {  // the oldest goes
            dropQueue.first = (dropQueue.first + 1) % DropQueueLength;
            --dropQueue.count;
        }
        std::array<char, MostDropPath + 1>& slot =
            dropQueue.paths[(dropQueue.first + dropQueue.count) % DropQueueLength];
        SDL_memcpy(slot.data(), file, length + 1);
        ++dropQueue.count;
    }
    SDL_free(file);
}

void ResetInput()
{
    {
        std::lock_guard lock(mouseQueueLock);
        mouseQueue.first = mouseQueue.count = 0;
    }
    mouse = MouseStruct{};
    if (captured) ReleaseCapture();
    for (std::atomic<bool>& k : key) k.store(false);
    for (std::atomic<Uint64>& t : tapUp) t.store(0);
    Flush();
}

}  // namespace Wimdows::detail

namespace Wimdows {

using namespace detail;

bool KeyDown(std::uint32_t k)
{
    if (k > 255) return false;
    looks.fetch_add(1);
    if (key[k].load()) {
        seen[k].store(true);
        return true;
    }
    const Uint64 up = tapUp[k].exchange(0);
    return up != 0 && SDL_GetTicks64() + 1 - up <= kTapMemoryMs;
}

bool KeyDownFromPad(std::uint32_t k) { return KeyDown(k) && keyFromPad[k].load(); }

std::uint32_t GetKey()
{
    if (OnUiThread()) {
        // In a button procedure no key can arrive before it returns: take what is there.
        Claim();
        const std::uint32_t code = keybuf.tail ? keybuf.tail->key : 0;
        DelKey();
        Unclaim();
        return code;
    }
    for (;;) {
        const std::uint32_t seen = keyEvents.load(std::memory_order_acquire);
        if (window.state.load() != STATE_ACTIVE) return 0;
        Claim();
        if (keybuf.tail) {
            const std::uint32_t code = keybuf.tail->key;
            DelKey();
            Unclaim();
            return code;
        }
        Unclaim();
        keyEvents.wait(seen);  // woken by the next key press or by the window's teardown
    }
}

void FlushKeys() { Flush(); }

}  // namespace Wimdows

namespace Wimdows {

bool TakeMouseEvent(MouseEvent& event)
{
    std::lock_guard lock(detail::mouseQueueLock);
    detail::MouseRing& ring = detail::mouseQueue;
    if (ring.count == 0) return false;
    event = ring.events[ring.first];
    ring.first = (ring.first + 1) % detail::MouseQueueLength;
    --ring.count;
    return true;
}

bool TakeDroppedFile(std::string& path)
{
    std::lock_guard lock(detail::mouseQueueLock);
    detail::DropRing& ring = detail::dropQueue;
    if (ring.count == 0) return false;
    path = ring.paths[ring.first].data();
    ring.first = (ring.first + 1) % detail::DropQueueLength;
    --ring.count;
    return true;
}

std::uint32_t TakeKey()
{
    bool shift = false;
    return TakeKey(shift);
}

std::uint32_t TakeKey(bool& shift)
{
    detail::Claim();
    const std::uint32_t code = detail::keybuf.tail ? detail::keybuf.tail->key : 0;
    shift = detail::keybuf.tail && detail::keybuf.tail->shift;
    detail::DelKey();
    detail::Unclaim();
    return code;
}

}  // namespace Wimdows
