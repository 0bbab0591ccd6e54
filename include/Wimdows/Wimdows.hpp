// The window layer: one window at a time on its own user-interface thread, keyboard
// and mouse, the back buffer with its drawing primitives, text, bitmaps and push buttons.
// Every operation is called from the program's main thread (button procedures run on the
// user-interface thread and may draw). Colours are 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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
// The codes, the one table that the window layer's key map, the game, the menu, the editor
// and their tests read. `using namespace Wimdows::VirtualKeys;` brings them in.
namespace VirtualKeys {
inline constexpr std::uint32_t VK_BACK = 8, VK_TAB = 9, VK_CLEAR = 12, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17,
                               VK_MENU = 18 /* Alt */, VK_PAUSE = 19, VK_CAPITAL = 20, VK_ESCAPE = 27, VK_SPACE = 32;
inline constexpr std::uint32_t VK_PRIOR = 33 /* Page Up */, VK_NEXT = 34 /* Page Down */, VK_END = 35, VK_HOME = 36,
                               VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_SNAPSHOT = 44, VK_INSERT = 45,
                               VK_DELETE = 46;
// Digits and letters are their characters: VK_0 is '0', VK_A is 'A'.
inline constexpr std::uint32_t VK_0 = '0', VK_1 = '1', VK_9 = '9';
inline constexpr std::uint32_t VK_A = 'A', VK_B = 'B', VK_C = 'C', VK_D = 'D', VK_E = 'E', VK_F = 'F', VK_G = 'G',
                               VK_H = 'H', VK_I = 'I', VK_J = 'J', VK_K = 'K', VK_L = 'L', VK_M = 'M', VK_N = 'N',
                               VK_O = 'O', VK_P = 'P', VK_Q = 'Q', VK_R = 'R', VK_S = 'S', VK_T = 'T', VK_U = 'U',
                               VK_V = 'V', VK_W = 'W', VK_X = 'X', VK_Y = 'Y', VK_Z = 'Z';
inline constexpr std::uint32_t VK_LWIN = 91, VK_RWIN = 92, VK_APPS = 93;
// The keypad with NumLock on: its digits are VK_NUMPAD0 + digit.
inline constexpr std::uint32_t VK_NUMPAD0 = 96, VK_MULTIPLY = 106, VK_ADD = 107, VK_SUBTRACT = 109, VK_DECIMAL = 110,
                               VK_DIVIDE = 111;
// F1 to F24 are VK_F1 + 0 to 23 (F12 and F13 follow each other).
inline constexpr std::uint32_t VK_F1 = 112, VK_F5 = 116, VK_F10 = 121, VK_F11 = 122, VK_F12 = 123, VK_F13 = 124,
                               VK_F24 = 135;
inline constexpr std::uint32_t VK_NUMLOCK = 144, VK_SCROLL = 145;
// Punctuation keys of a US layout, named by what they carry.
inline constexpr std::uint32_t VK_SEMICOLON = 186, VK_PLUS = 187 /* = and + */, VK_COMMA = 188, VK_MINUS = 189,
                               VK_PERIOD = 190, VK_QUESTION = 191 /* / and ? */, VK_BACKQUOTE = 192,
                               VK_LEFTBRACKET = 219, VK_BACKSLASH = 220, VK_RIGHTBRACKET = 221, VK_QUOTE = 222,
                               VK_LESS = 226 /* < > beside the left Shift */;
}  // namespace VirtualKeys

bool KeyDown(std::uint32_t k);
// Down, and pressed last by a game controller's button rather than the keyboard (a pad's B
// is Escape, but the game asks more of it before a game ends).
bool KeyDownFromPad(std::uint32_t k);
// Oldest queued key press; waits for one. Returns 0 when no window is open or the
// window closes during the wait.
std::uint32_t GetKey();
void FlushKeys();
// Oldest queued key press without waiting; 0 when none is queued.
std::uint32_t TakeKey();
// The same, with whether Shift was held when that key went down (read from the key's own
// event, so a Shift let go since does not matter).
std::uint32_t TakeKey(bool& shift);

// The text typed since the last call (UTF-8, as the keyboard's layout makes it: Shift+= is
// "+" on one keyboard, a key of its own on another), without waiting; the key presses come
// through TakeKey as well. Only the latest 1 KiB is kept for a program that never asks.
std::string TakeText();
// The system clipboard's text: set (false when the window system refused), or read when it
// holds text of at most `maxBytes` (false when empty, longer or without a window).
bool SetClipboard(const std::string& text);
// The open window's caption from now on (UTF-8); false without a window.
bool SetTitle(const std::string& title);
bool GetClipboard(std::string& text, std::size_t maxBytes);

// ---- Mouse ----
// What the mouse did over the window, in client pixels (a dragged pointer outside the
// window gives positions outside it); wheel counts clicks, away from the user positive.
struct MouseEvent {
    enum class Type : std::uint8_t { Move, LeftDown, LeftUp, RightDown, RightUp, Wheel, MiddleDown, MiddleUp };
    Type type = Type::Move;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t wheel = 0;
};
// The oldest mouse event not yet taken, without waiting; false when none is queued. The
// queue keeps the latest 256, so a program that never asks loses nothing but old events.
bool TakeMouseEvent(MouseEvent& event);

// ---- Files dropped on the window ----
// The oldest file dropped on a window (a file manager's drag and drop) and not yet taken,
// without waiting; false when none is waiting. The latest 8 wait, whatever window is open
// then, until a screen that takes files takes them.
bool TakeDroppedFile(std::string& path);

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
