// The window layer: one window at a time on its own user-interface thread, keyboard
// and mouse, the back buffer with its drawing primitives, text, bitmaps and push buttons.
// Every operation is called from the program's main thread (button procedures run on the
// user-interface thread and may draw). Colours are 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstdint>

namespace Wimdows {

// ---- Window lifecycle ----
enum WinState : std::uint8_t { STATE_DEAD = 0, STATE_ACTIVE = 1, STATE_ERROR = 2 };

// Closes any open window, then opens one whose client area is x by y pixels.
// Returns once it is shown, or has failed (the state is then STATE_DEAD).
void Window(const char* title, std::uint32_t x, std::uint32_t y);
// Closes the open window and returns once it is torn down.
void KillWindow();
WinState State();
// How the window opened last ended: still open, closed by the user (its close box),
// closed by the program (KillWindow, or its events could no longer be read), or it
// never opened. Known from the moment the close begins, while State() may still say
// STATE_ACTIVE for the teardown's few moments.
enum class Ended : std::uint8_t { StillOpen, ClosedByUser, ClosedByProgram, NeverOpened };
Ended WindowEnded();

// ---- Keyboard (virtual-key codes 0..255) ----
bool KeyDown(std::uint32_t k);
// Oldest queued key press; waits for one. Returns 0 when no window is open or the
// window closes during the wait.
std::uint32_t GetKey();
void FlushKeys();
// Oldest queued key press without waiting; 0 when none is queued.
std::uint32_t TakeKey();
// The same, with whether Shift was held when that key went down (read from the key's own
// event, so a Shift let go since does not matter).
std::uint32_t TakeKey(bool& shift);

// ---- Mouse ----
// What the mouse did over the window, in client pixels (a dragged pointer outside the
// window gives positions outside it); wheel counts clicks, away from the user positive.
struct MouseEvent {
    enum class Type : std::uint8_t { Move, LeftDown, LeftUp, RightDown, RightUp, Wheel };
    Type type = Type::Move;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t wheel = 0;
};
// The oldest mouse event not yet taken, without waiting; false when none is queued. The
// queue keeps the latest 256, so a program that never asks loses nothing but old events.
bool TakeMouseEvent(MouseEvent& event);

// ---- Back buffer and primitives ----
void SetBuffering(bool state);
void UpdateWindow();
std::uint32_t RgbColor(std::uint32_t r, std::uint32_t g, std::uint32_t b);
void ClearScreen();
void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color);
void Rectangle(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color, bool fill);

struct PenStruct;
using HPEN = PenStruct*;
HPEN CreatePen(std::uint32_t PenStyle, std::int32_t Width, std::uint32_t Color);  // 0 solid, 1 dash, 2 dot
void SelectPen(HPEN Pen);
void MovePenTo(std::int32_t x, std::int32_t y);
void LineTo(std::int32_t x, std::int32_t y);  // the end pixel is left out
void DeletePen(HPEN Pen);

// ---- Text ----
void SetFont(std::uint32_t style, std::uint32_t color);
void Text(const char* text, std::int32_t x, std::int32_t y);  // Latin-1
void TextInt(std::int32_t number, std::int32_t x, std::int32_t y);
void GetTextSize(const char* text, std::uint32_t style, std::uint32_t& width, std::uint32_t& height);

// ---- Bitmaps (handle = slot + 1; 0 = none) ----
std::uint32_t LoadBitmap(const char* file, std::uint32_t width, std::uint32_t height);
void DestroyBitmap(std::uint32_t bitmap);
void DrawBitmap(std::uint32_t bitmap, std::int32_t x, std::int32_t y);
void DrawMaskBitmap(std::uint32_t bitmap, std::uint32_t maskbitmap, std::int32_t x, std::int32_t y);

// ---- Push buttons (identifier = slot + 1; 0 = none) ----
using ButtonProc = void (*)();
std::uint32_t CreateButton(const char* text, std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                           ButtonProc proc);
void DestroyControl(std::uint32_t control);
// Keyboard focus among the push buttons, shown with a focus frame; no button has it at
// first. step > 0 moves it to the next button in the order they were made, step < 0 to the
// one before, round at the ends.
void FocusControl(std::int32_t step);
// Presses the focused button as a click does (its procedure runs on the window's thread,
// and this returns after it); false when no button has the focus.
bool PressFocusedControl();

// ---- Presentation ----
// How windows are shown; the back buffer keeps the client size asked for either way.
// scale 0 fits each window to its display: the largest whole scale (1, 2, 3...) whose
// window fits the usable area, frame included, and a smooth scale below 1 when even scale
// 1 does not fit. A scale N is a most: N where it fits, otherwise what fits. fullscreen
// shows the windows on the whole display (F11 and Alt+Enter switch it, for the windows
// that follow too).
struct PresentOptions {
    std::uint32_t scale = 0; /* 0: fit the display */
    bool fullscreen = false;
};
void SetPresentOptions(const PresentOptions& options);  // before or between windows

// Module initialiser: runs once.
void Init();

}  // namespace Wimdows
