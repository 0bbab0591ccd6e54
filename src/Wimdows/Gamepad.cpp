// Game controllers through SDL's game-controller database: each button and the left stick
// become the virtual keys the keyboard gives, so the game, the menu and the intro need no
// code of their own for a pad. Pads come and go at any time (hot-plugging). User-interface
// thread only, except GamepadsOpen.
#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

namespace {

using namespace VirtualKeys;

// The stick: a little off the centre aims finely (Shift+arrow), far out coarsely.
constexpr int StickFine = 10000;  // of 32767
constexpr int StickCoarse = 26000;

constexpr int MaxPads = 4;

struct Pad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
    std::uint32_t stick[2] = {0, 0};  // the arrow each stick axis holds down, 0 for none
    bool stickFine[2] = {false, false};
};
Pad pads[MaxPads];
std::atomic<int> openPads{0};
bool started = false;
int shiftHolders = 0;  // stick axes holding the virtual Shift

void Key(std::uint32_t vk, bool down)
{
    if (window.hwnd) WindowProcedure(window.hwnd, down ? WM_KEYDOWN : WM_KEYUP, vk, KeyFromPad);
}

void Shift(bool down)
{
    if (down && shiftHolders++ == 0) Key(VK_SHIFT, true);
    if (!down && shiftHolders > 0 && --shiftHolders == 0) Key(VK_SHIFT, false);
}

std::uint32_t ButtonKey(std::uint8_t button)
{
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
        case SDL_CONTROLLER_BUTTON_X:
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
            return VK_SPACE;  // fires; presses the focused button in the menu
        case SDL_CONTROLLER_BUTTON_B:
            return VK_ESCAPE;
        case SDL_CONTROLLER_BUTTON_Y:
            return VK_F1;
        case SDL_CONTROLLER_BUTTON_START:
            return VK_P;
        case SDL_CONTROLLER_BUTTON_BACK:
            return VK_R;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return VK_UP;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return VK_DOWN;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return VK_LEFT;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return VK_RIGHT;
        default:
            return 0;
    }
}

Pad* Find(SDL_JoystickID id)
{
    for (Pad& p : pads)
        if (p.controller && p.id == id) return &p;
    return nullptr;
}

// One axis of the left stick moved: let go of what it held, then press what it holds now.
// Up on the stick is a negative value, as on every SDL controller.
void StickAxis(Pad& pad, int axis, int value)
{
    const std::uint32_t minus = axis == 0 ? VK_LEFT : VK_UP;
    const std::uint32_t plus = axis == 0 ? VK_RIGHT : VK_DOWN;
    const int size = std::abs(value);
    const std::uint32_t vk = size < StickFine ? 0 : value < 0 ? minus : plus;
    const bool fine = vk != 0 && size < StickCoarse;
    if (vk == pad.stick[axis] && fine == pad.stickFine[axis]) return;
    if (pad.stick[axis] != 0) {
        Key(pad.stick[axis], false);
        if (pad.stickFine[axis]) Shift(false);
    }
    pad.stick[axis] = vk;
    pad.stickFine[axis] = fine;
    if (vk != 0) {
        if (fine) Shift(true);
        Key(vk, true);
    }
}

void Open(int deviceIndex)
{
    if (!SDL_IsGameController(deviceIndex)) return;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (Find(id)) return;
    for (Pad& p : pads) {
        if (p.controller) continue;
        p = Pad{};
        p.controller = SDL_GameControllerOpen(deviceIndex);
        if (!p.controller) return;
        p.id = id;
        openPads.fetch_add(1);
        return;
    }
}

void Close(Pad& pad)
{
    // Whatever it held is let go, so that no key stays down without its pad.
    for (int axis = 0; axis < 2; ++axis) StickAxis(pad, axis, 0);
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
        if (SDL_GameControllerGetButton(pad.controller, static_cast<SDL_GameControllerButton>(b)))
            if (const std::uint32_t vk = ButtonKey(static_cast<std::uint8_t>(b))) Key(vk, false);
    }
    SDL_GameControllerClose(pad.controller);
    pad = Pad{};
    openPads.fetch_sub(1);
}

}  // namespace

void StartGamepads()
{
    if (started) return;
    // A pad plays only the window that has the focus, as the keyboard does.
    started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

void StopGamepads()
{
    if (!started) return;
    for (Pad& p : pads)
        if (p.controller) {
            SDL_GameControllerClose(p.controller);
            p = Pad{};
        }
    openPads.store(0);
    shiftHolders = 0;
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    started = false;
}

bool GamepadsOpen() { return openPads.load() > 0; }

bool GamepadEvent(const SDL_Event& e)
{
    switch (e.type) {
        case SDL_CONTROLLERDEVICEADDED:
            Open(e.cdevice.which);  // here the device index
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (Pad* p = Find(e.cdevice.which)) Close(*p);
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP:
            if (!Find(e.cbutton.which)) return true;
            if (const std::uint32_t vk = ButtonKey(e.cbutton.button)) Key(vk, e.type == SDL_CONTROLLERBUTTONDOWN);
            return true;
        case SDL_CONTROLLERAXISMOTION:
            if (Pad* p = Find(e.caxis.which)) {
                if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) StickAxis(*p, 0, e.caxis.value);
                if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) StickAxis(*p, 1, e.caxis.value);
            }
            return true;
        default:
            return false;
    }
}

void ReleaseGamepadKeys()
{
    // The key table is cleared with the window; the pads start from the centre again.
    for (Pad& p : pads) {
        p.stick[0] = p.stick[1] = 0;
        p.stickFine[0] = p.stickFine[1] = false;
    }
    shiftHolders = 0;
}

}  // namespace Wimdows::detail
