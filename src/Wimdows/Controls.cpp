// Push buttons. SDL has no native controls, so the layer keeps its own: each is a child of
// the main window on the user-interface thread, drawn over the window's picture as a
// desktop push button (raised 3-D border, caption centred in the interface font, sunken
// while the left button is held on it, lighter while the pointer is over it) and never
// into the back buffer. A press and release on the same button sends the window procedure
// a command with the button's child-window identifier, and the command calls its procedure.
// The main thread keeps the table of controls (ctrl, controllen) under the BufferGuard.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

bool inButtonProc = false;
ControlWindow* children = nullptr;
ControlStruct* ctrl = nullptr;
std::uint32_t controllen = 0;

namespace {

constexpr std::intptr_t kFirstChildId = 10000;

// User-interface thread only: the control that the left button went down on.
ControlWindow* pressedChild = nullptr;
// User-interface thread only: the push button that the keyboard has moved to, if any.
ControlWindow* focusedChild = nullptr;

// Colours of a desktop push button, 0x00BBGGRR.
constexpr std::uint32_t kFace = 0xC8D0D4;     // (212, 208, 200)
constexpr std::uint32_t kHotFace = 0xE8EEF0;  // lighter while the pointer is over it
constexpr std::uint32_t kHighlight = 0xFFFFFF;
constexpr std::uint32_t kLight = 0xE3E3E3;
constexpr std::uint32_t kShadow = 0x808080;
constexpr std::uint32_t kDarkShadow = 0x404040;
constexpr std::uint32_t kEditFace = 0xFFFFFF;
constexpr std::uint32_t kFocus = 0x000000;

Uint32 Pixel(SDL_Surface* screen, std::uint32_t color)
{
    return SDL_MapRGB(screen->format, color & 0xFFu, (color >> 8) & 0xFFu, (color >> 16) & 0xFFu);
}

void Fill(SDL_Surface* screen, int x, int y, int w, int h, std::uint32_t color)
{
    if (w <= 0 || h <= 0) return;
    const SDL_Rect r{x, y, w, h};
    SDL_FillRect(screen, &r, Pixel(screen, color));
}

// One ring of a 3-D edge: `topLeft` along the top and left, `bottomRight` along the
// bottom and right, `inset` pixels inside the rectangle.
void Ring(SDL_Surface* screen, const SDL_Rect& r, int inset, std::uint32_t topLeft, std::uint32_t bottomRight)
{
    const int x = r.x + inset;
    const int y = r.y + inset;
    const int w = r.w - 2 * inset;
    const int h = r.h - 2 * inset;
    if (w <= 0 || h <= 0) return;
    Fill(screen, x, y + h - 1, w, 1, bottomRight);
    Fill(screen, x + w - 1, y, 1, h, bottomRight);
    Fill(screen, x, y, w - 1, 1, topLeft);
    Fill(screen, x, y, 1, h - 1, topLeft);
}

void DrawChild(SDL_Surface* screen, const ControlWindow& c)
{
    const SDL_Rect& r = c.rect;
    const bool sunken = c.pressed && c.hot;
    if (c.type == CTRL_EDIT) {
        Fill(screen, r.x, r.y, r.w, r.h, kEditFace);
        Ring(screen, r, 0, kShadow, kHighlight);
        Ring(screen, r, 1, kDarkShadow, kLight);
    } else {
        Fill(screen, r.x, r.y, r.w, r.h, c.hot && !c.pressed ? kHotFace : kFace);
        if (sunken) {
            Ring(screen, r, 0, kDarkShadow, kHighlight);
            Ring(screen, r, 1, kShadow, kLight);
        } else {
            Ring(screen, r, 0, kHighlight, kDarkShadow);
            Ring(screen, r, 1, kLight, kShadow);
        }
        if (&c == focusedChild) {
            // A black frame round the button and a dotted one inside its border.
            Ring(screen, r, 0, kFocus, kFocus);
            for (int x = r.x + 3; x < r.x + r.w - 3; x += 2) {
                Fill(screen, x, r.y + 3, 1, 1, kFocus);
                Fill(screen, x, r.y + r.h - 4, 1, 1, kFocus);
            }
            for (int y = r.y + 3; y < r.y + r.h - 3; y += 2) {
                Fill(screen, r.x + 3, y, 1, 1, kFocus);
                Fill(screen, r.x + r.w - 4, y, 1, 1, kFocus);
            }
        }
    }
    if (!c.caption) return;
    // The caption stays inside the border; a sunken button shifts it by a pixel.
    SDL_Rect inside{r.x + 2, r.y + 2, r.w - 4, r.h - 4};
    SDL_Rect clip;
    SDL_GetClipRect(screen, &clip);
    SDL_Rect both;
    if (!SDL_IntersectRect(&inside, &clip, &both)) return;
    SDL_SetClipRect(screen, &both);
    const int shift = sunken ? 1 : 0;
    SDL_Rect at{c.type == CTRL_EDIT ? r.x + 4 : r.x + (r.w - c.caption->w) / 2 + shift,
                r.y + (r.h - c.caption->h) / 2 + shift, c.caption->w, c.caption->h};
    SDL_BlitSurface(c.caption, nullptr, screen, &at);
    SDL_SetClipRect(screen, &clip);
}

// The caption in the interface font, black, once; null for an empty caption or no font.
SDL_Surface* RenderCaption(const char* text)
{
    if (!text || !*text) return nullptr;
    std::lock_guard lock(TextLock());
    TTF_Font* ttf = CreateFont(0);
    if (!ttf) return nullptr;
    SDL_Surface* surface = IsUtf8Text(text) ? TTF_RenderUTF8_Blended(ttf, text, SDL_Color{0, 0, 0, 255})
                                            : TTF_RenderText_Blended(ttf, text, SDL_Color{0, 0, 0, 255});
    if (!surface) return nullptr;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(surface);
    if (converted) SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_BLEND);
    return converted;
}

void Redraw(const ControlWindow& c) { ShowAgain(c.rect); }

bool Contains(const SDL_Rect& r, int x, int y) { return x >= r.x && y >= r.y && x - r.x < r.w && y - r.y < r.h; }

// The topmost control under a point: the one made last.
ControlWindow* ChildAt(int x, int y)
{
    ControlWindow* found = nullptr;
    for (ControlWindow* c = children; c; c = c->next)
        if (Contains(c->rect, x, y)) found = c;
    return found;
}

void SetHot(ControlWindow* c, bool hot)
{
    if (!c || c->hot == hot) return;
    c->hot = hot;
    Redraw(*c);
}

// Only `over` is under the pointer now.
void HoverOnly(ControlWindow* over)
{
    for (ControlWindow* c = children; c; c = c->next)
        if (c != over) SetHot(c, false);
    SetHot(over, true);
}

void Capture(bool on) { SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE); }

// The left button comes up on the control that holds the press.
void Release(bool inside)
{
    ControlWindow* c = pressedChild;
    pressedChild = nullptr;
    Capture(false);
    c->pressed = false;
    c->hot = inside;
    Redraw(*c);                      // raised again before its procedure runs
    const std::intptr_t id = c->id;  // the procedure may destroy the control
    if (inside && c->type == CTRL_BUTTON && id >= kFirstChildId && id <= 0xFFFF && window.hwnd)
        WindowProcedure(window.hwnd, WM_COMMAND, MakeCommand(static_cast<std::uint32_t>(id), 0), 0);
}

}  // namespace

// ---- Children of the window (user-interface thread) ----

bool IsChild(const ControlWindow* child)
{
    for (const ControlWindow* c = children; c; c = c->next)
        if (c == child) return true;
    return false;
}

void DestroyChild(ControlWindow* child)
{
    for (ControlWindow** p = &children; *p; p = &(*p)->next) {
        if (*p != child) continue;
        *p = child->next;
        if (pressedChild == child) {
            pressedChild = nullptr;
            Capture(false);
        }
        if (focusedChild == child) focusedChild = nullptr;
        SDL_FreeSurface(child->caption);
        delete[] child->text;
        delete child;
        return;
    }
}

void DestroyChildren()
{
    while (children) DestroyChild(children);
}

void ControlRequest(ControlParamStruct& request)
{
    if (request.create) {
        request.hwnd = nullptr;
        if (window.hwnd && request.width > 0 && request.height > 0 && request.width <= kMaxSide &&
            request.height <= kMaxSide) {
            const char* text = request.text ? request.text : "";
            const std::size_t len = std::strlen(text);
            auto* c = new (std::nothrow) ControlWindow{};
            char* copy = new (std::nothrow) char[len + 1];
            if (c && copy) {
                std::memcpy(copy, text, len + 1);
                c->rect =
                    SDL_Rect{request.x, request.y, static_cast<int>(request.width), static_cast<int>(request.height)};
                c->text = copy;
                c->id = request.id;
                c->type = request.type;
                c->caption = RenderCaption(copy);
                // The newest child lies on top: it goes to the end of the list.
                ControlWindow** end = &children;
                while (*end) end = &(*end)->next;
                *end = c;
                request.hwnd = c;
                ShowAgain(c->rect);
            } else {
                delete c;
                delete[] copy;
            }
        }
    } else if (IsChild(request.hwnd)) {
        const SDL_Rect area = request.hwnd->rect;
        DestroyChild(request.hwnd);
        ShowAgain(area);  // the window's picture comes back where the control was
    }
    request.finished.store(true, std::memory_order_release);
}

void DrawChildren(SDL_Surface* screen, const SDL_Rect& area)
{
    if (!children) return;
    SDL_Rect clip;
    SDL_GetClipRect(screen, &clip);
    SDL_Rect limit;
    if (!SDL_IntersectRect(&area, &clip, &limit)) return;
    SDL_SetClipRect(screen, &limit);
    for (const ControlWindow* c = children; c; c = c->next)
        if (SDL_HasIntersection(&c->rect, &limit)) DrawChild(screen, *c);
    SDL_SetClipRect(screen, &clip);
}

bool ControlMouse(std::uint32_t msg, LPARAM lParam)
{
    // Signed words here: a captured pointer left of or above the window is outside every control.
    const int x = static_cast<std::int16_t>(LPARAM2DWORD(lParam) & 0xFFFFu);
    const int y = static_cast<std::int16_t>(LPARAM2DWORD(lParam) >> 16);
    if (pressedChild) {  // the control holding the press gets every mouse message
        const bool inside = Contains(pressedChild->rect, x, y);
        if (msg == WM_MOUSEMOVE)
            SetHot(pressedChild, inside);
        else if (msg == WM_LBUTTONUP)
            Release(inside);
        return true;
    }
    if (captured) return false;  // the window holds the mouse: its own rows take everything
    ControlWindow* over = ChildAt(x, y);
    HoverOnly(over);
    if (!over) return false;
    // A double click on a push button is a second press.
    if ((msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) && over->type == CTRL_BUTTON) {
        pressedChild = over;
        over->pressed = true;
        Capture(true);
        Redraw(*over);
    }
    return true;
}

void ControlsMouseLeave()
{
    if (pressedChild) return;  // the pressed control follows the pointer outside too
    HoverOnly(nullptr);
}

// ---- The table (requesting thread, under the guard) ----

std::uint32_t AddControl(ControlWindow* hwnd, std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                         ButtonProc proc, ControlType type)
{
    std::uint32_t place = 0;
    {
        BufferGuard guard;
        if (!guard) return 0;  // the window was torn down meanwhile
        const ControlStruct entry{hwnd, x, y, width, height, proc, type};
        std::uint32_t slot = 0;
        while (slot < controllen && ctrl[slot].hwnd) ++slot;
        if (slot < controllen) {
            ctrl[slot] = entry;  // the lowest free slot is reused
        } else {
            // A new table one slot longer, published whole: a click read under the guard
            // sees the old table or the new one, never a released one.
            auto* grown = new (std::nothrow) ControlStruct[controllen + 1];
            if (!grown) {
                std::fprintf(stderr, "[ERROR] (AddControl) No memory for another control.\n");
                return 0;
            }
            std::copy(ctrl, ctrl + controllen, grown);
            grown[controllen] = entry;
            delete[] ctrl;
            ctrl = grown;
            ++controllen;
        }
        place = slot + 1;
    }
    // The child-window identifier: place + 9999, set on the window's own thread.
    auto setId = [hwnd, place] {
        if (IsChild(hwnd)) hwnd->id = static_cast<std::intptr_t>(place) + kFirstChildId - 1;
    };
    SendRequest(setId);
    return place;
}

void DelControl(std::uint32_t del)
{
    BufferGuard guard;
    if (del >= controllen) return;
    ctrl[del].hwnd = nullptr;
    if (del != controllen - 1) return;  // a free slot inside the table waits for reuse
    std::uint32_t len = controllen - 1;
    while (len > 0 && !ctrl[len - 1].hwnd) --len;
    if (len == 0) {
        delete[] ctrl;
        ctrl = nullptr;
        controllen = 0;
        return;
    }
    if (auto* shrunk = new (std::nothrow) ControlStruct[len]) {
        std::copy(ctrl, ctrl + len, shrunk);
        delete[] ctrl;
        ctrl = shrunk;
    }  // without memory the longer array stays; only its first len slots count
    controllen = len;
}

}  // namespace Wimdows::detail

namespace Wimdows {

using namespace detail;

namespace {

// Hands a control request to the window's thread; false when no window serves it.
bool Request(ControlParamStruct& block)
{
    auto serve = [&block] {
        if (window.hwnd)
            WindowProcedure(window.hwnd, WM_CONTROL, reinterpret_cast<WPARAM>(&block), 0);
        else
            ControlRequest(block);  // the window is being destroyed: refused the same way
    };
    if (!SendRequest(serve)) return false;
    return block.finished.load(std::memory_order_acquire);  // the send returns once it is served
}

}  // namespace

void FocusControl(std::int32_t step)
{
    if (window.state.load() != STATE_ACTIVE || step == 0) return;
    auto move = [step] {
        ControlWindow* buttons[64];
        int count = 0;
        int at = -1;
        for (ControlWindow* c = children; c && count < 64; c = c->next) {
            if (c->type != CTRL_BUTTON) continue;
            if (c == focusedChild) at = count;
            buttons[count++] = c;
        }
        if (count == 0) return;
        const int next = at < 0 ? (step > 0 ? 0 : count - 1) : ((at + (step > 0 ? 1 : -1)) % count + count) % count;
        ControlWindow* old = focusedChild;
        focusedChild = buttons[next];
        if (old) Redraw(*old);
        Redraw(*focusedChild);
    };
    SendRequest(move);
}

bool PressFocusedControl()
{
    if (window.state.load() != STATE_ACTIVE) return false;
    bool pressed = false;
    auto press = [&pressed] {
        if (!focusedChild || !IsChild(focusedChild) || !window.hwnd) return;
        const std::intptr_t id = focusedChild->id;
        if (id < kFirstChildId || id > 0xFFFF) return;
        pressed = true;
        WindowProcedure(window.hwnd, WM_COMMAND, MakeCommand(static_cast<std::uint32_t>(id), 0), 0);
    };
    SendRequest(press);
    return pressed;
}

std::uint32_t CreateButton(const char* text, std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                           ButtonProc proc)
{
    if (window.state.load() != STATE_ACTIVE) return 0;
    ControlParamStruct block{nullptr, text, x, y, width, height, -1, CTRL_BUTTON, true, {false}};
    if (!Request(block) || !block.hwnd) return 0;
    const std::uint32_t id = AddControl(block.hwnd, x, y, width, height, proc, CTRL_BUTTON);
    if (id == 0) {
        // No slot for it: a button that could never be clicked or destroyed goes again.
        ControlParamStruct undo{block.hwnd, nullptr, 0, 0, 0, 0, 0, CTRL_BUTTON, false, {false}};
        Request(undo);
    }
    return id;
}

void DestroyControl(std::uint32_t control)
{
    if (window.state.load() != STATE_ACTIVE || control == 0) return;
    ControlWindow* hwnd = nullptr;
    {
        BufferGuard guard;
        if (control > controllen || !ctrl[control - 1].hwnd) return;
        hwnd = ctrl[control - 1].hwnd;
    }
    ControlParamStruct block{hwnd, nullptr, 0, 0, 0, 0, 0, CTRL_BUTTON, false, {false}};
    Request(block);
    BufferGuard guard;  // the slot is freed only if it still holds that control
    if (control <= controllen && ctrl[control - 1].hwnd == hwnd) DelControl(control - 1);
}

}  // namespace Wimdows
