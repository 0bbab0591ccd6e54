// Module state of the window layer, shared by its source files (and by its tests), in
// Wimdows::detail. Nothing outside src/Wimdows and tests/Wimdows includes this header.
//
// Threads. The main thread calls every public operation. One user-interface thread,
// started with the first window and kept for the run, owns SDL's video and every SDL
// video call; it hosts one window at a time (WinMain): it creates the window, waits for
// SDL events, turns them into messages for WindowProcedure and serves the requests that
// other threads hand over. Other threads never put events into SDL's queue nor make SDL
// wake the window's thread (see Requests.cpp). Button
// procedures (and future mouse callbacks) run on that thread too and may draw.
//
// How a drawing operation uses the pieces below (the pattern every primitive, text and
// bitmap operation follows):
//
//     void SomePrimitive(...) {
//         if (window.state.load() != STATE_ACTIVE) return;
//         SDL_Rect area{};
//         {
//             BufferGuard guard;          // the back buffer cannot be released now
//             if (!guard) return;         // the window was torn down meanwhile
//             ... draw into hBitBuf (pixel = ColorToPixel(colour)), read bit[] ...
//         }                               // guard dropped BEFORE any hand-over
//         if (!buffering.load()) PresentRect(area.x, area.y, area.w, area.h);
//     }
//
// Rules:
//  1. hBitBuf, its pixels, the bitmap table (bit, bitlen and the surfaces in it) and the
//     control table (ctrl, controllen) are read and written only while a BufferGuard is
//     held, on any thread. FreeWindow releases all of them under the guard, so a guard
//     that tests true keeps them alive until it is dropped; then hBitBuf->w and ->h are
//     the buffer's size. The guard is a recursive lock: an operation that calls another
//     (ClearScreen calling Rectangle) may take it again. Hold it for one operation, not
//     for a whole frame, so that a closing window is never kept waiting long.
//  2. Never hold a BufferGuard across SendRequest or PresentRect on the main thread: the
//     user-interface thread takes the guard to serve them. SendRequest refuses (and says
//     so on the console) instead of deadlocking. PresentRect takes its own lock for the
//     picture being shown before the guard; nothing may take that lock inside a guard.
//  3. Main-thread code never calls SDL video functions (windows, window surfaces,
//     SDL_GetWindowSurface, SDL_UpdateWindowSurfaceRects, SDL_CaptureMouse...). Put the
//     work in a function or lambda and run it with SendRequest, which waits until the
//     user-interface thread has run it, and runs it at once when called on that thread
//     (from a button procedure). False means it did not run because there is no window
//     or the window is closing: treat it as "no window". Plain surface work
//     (SDL_CreateRGBSurfaceWithFormat, SDL_ConvertSurface, SDL_BlitSurface between
//     software surfaces, SDL_FillRect, SDL_FreeSurface, SDL_ttf rendering) is no video
//     call and may run on the calling thread, under the guard when it touches hBitBuf
//     or the tables.
//  4. Do not keep a pointer into bit[] or ctrl[] after dropping the guard: the tables are
//     replaced whole when they grow or shrink. Copy what you need (a ButtonProc, for
//     instance) and call it after the guard is gone, so that a long button procedure
//     does not stall the other thread's drawing (Command in Events.cpp does so).
//  5. The back buffer is SDL_PIXELFORMAT_XRGB8888 (SDL_PIXELFORMAT_RGB888), 32 bits,
//     client size, not cleared. Layer colours are 0x00BBGGRR: convert with ColorToPixel
//     and PixelToColor. Pictures loaded into bit[] should be converted to hBitBuf's
//     format once, at load time, so that every draw is a plain copy.
//  6. Unbuffered drawing shows its area with PresentRect; UpdateWindow is
//     PresentRect(0, 0, xlen, ylen). Paint (expose, restore) does the same on the
//     user-interface thread. On another thread PresentRect copies the area into a picture
//     of what the window is to show and returns; the user-interface thread puts it on the
//     window in its turn (before any request made later). Both roads end in ToScreen
//     (Present.cpp, user-interface thread): controls that the layer draws itself on top of
//     the window belong there, after the copy and before the window surface is updated,
//     and are hit-tested in the mouse rows of the window procedure, which then sends
//     WM_COMMAND with MakeCommand(10000 + slot, 0).
//  7. Control requests (create or destroy a child control) reach the window procedure as
//     WM_CONTROL through SendRequest (Controls.cpp). The control windows live in `children`
//     (user-interface thread only) and are released with the main window; the slots in
//     ctrl[] point at them. When the window is destroyed every slot's hwnd is set to null
//     first. Another thread never reads a ControlWindow: it only passes the address back
//     in a later request, which checks it with IsChild.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "Wimdows/Raster.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Wimdows::detail {

// The largest window or control side: X servers refuse larger windows anyway.
constexpr std::uint32_t kMaxSide = 16384;

// ---- The window record ----
struct WinStruct {
    // Hand-shake between the threads: waited on with std::atomic wait/notify.
    std::atomic<WinState> state;
    // The SDL window; user-interface thread only. Null once the window is destroyed.
    SDL_Window* hwnd;
    // Own copy of the title (new[]): the window's caption. Written by Window before the
    // thread starts, released by FreeWindow (or by Window after a failed start).
    char* class_;
    // Client size: first the size asked for, then the real one (Init); 0 after teardown.
    std::atomic<std::uint32_t> xlen;
    std::atomic<std::uint32_t> ylen;
};
extern WinStruct window;

// ---- Back buffer (see the rules above) ----
// The back buffer: a 32-bit XRGB8888 software surface of the client size, made by Init on
// the user-interface thread before the window becomes active, released by FreeWindow.
extern SDL_Surface* hBitBuf;
// Drawing goes to the back buffer only (true) or is also shown at once (false).
// FreeWindow resets it to false, so every window starts unbuffered.
extern std::atomic<bool> buffering;

// Holds the back buffer and the tables alive. Tests true while hBitBuf exists.
class BufferGuard {
public:
    BufferGuard();
    ~BufferGuard();
    BufferGuard(const BufferGuard&) = delete;
    BufferGuard& operator=(const BufferGuard&) = delete;
    explicit operator bool() const noexcept { return hBitBuf != nullptr; }
};

constexpr std::uint32_t ColorToPixel(std::uint32_t color) { return Raster::PixelFromColorRef(color); }
constexpr std::uint32_t PixelToColor(std::uint32_t pixel) { return Raster::ColorRefFromPixel(pixel); }
// The pixels of a 32-bit software surface (the back buffer, a picture) for the pixel routines.
inline Raster::Surface View(SDL_Surface* surface)
{
    if (!surface) return {};
    return {static_cast<std::uint32_t*>(surface->pixels), surface->w, surface->h, surface->pitch / 4};
}

// Every text drawn, while a test records them (Testing.cpp; main thread).
void NoteText(const char* text);
// Text typed (SDL's text input, UTF-8) for TakeText (TextInput.cpp; user-interface thread).
void QueueText(const char* utf8);

// ---- Hand-over to the user-interface thread ----
// Runs fn(arg) on the user-interface thread and returns once it has run: true.
// On the user-interface thread itself it runs at once. False, without running it, when
// no window is open, when the window is being torn down (pending requests are refused
// then, which wakes their callers), or when called on another thread while holding a
// BufferGuard. Requests are served in order with the SDL events posted before them.
bool SendRequest(void (*fn)(void*), void* arg);
template <class F>
bool SendRequest(F& f)
{
    return SendRequest([](void* p) { (*static_cast<F*>(p))(); }, &f);
}
// Shows the given area of the back buffer on the window (clipped to the buffer). Any
// thread; never while holding a BufferGuard on the main thread. From another thread it
// returns once the area is copied for showing, before it is on the window; requests made
// afterwards (ReadScreen, Sync) find it there.
void PresentRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
// The copy itself: user-interface thread only.
void PresentNow(SDL_Rect area);
// True on the user-interface thread of the open window.
bool OnUiThread();
// Puts an event in SDL's queue for the window (on the user-interface thread, through the
// requests) and returns once it is there; false without a window.
bool PostEvent(SDL_Event& event);
// SDL id of the open window, for events posted to it (0 when none).
extern std::atomic<std::uint32_t> windowId;
// True when the window opened last was closed through its close box.
extern std::atomic<bool> closedByUser;
// How the window opened last ended (WindowEnded).
extern std::atomic<Ended> ended;

// ---- Messages of the window procedure ----
// SDL events are turned into these, so that the window procedure keeps one table of
// what it does; requests from the main thread reach it through SendRequest.
enum Message : std::uint32_t {
    WM_DESTROY = 2,
    WM_PAINT = 15,
    WM_CLOSE = 16,
    WM_KEYDOWN = 256,
    WM_KEYUP = 257,
    WM_COMMAND = 273,
    WM_MOUSEMOVE = 512,
    WM_LBUTTONDOWN = 513,
    WM_LBUTTONUP = 514,
    WM_LBUTTONDBLCLK = 515,
    WM_RBUTTONDOWN = 516,
    WM_RBUTTONUP = 517,
    WM_MBUTTONDOWN = 519,
    WM_MBUTTONUP = 520,
    WM_CONTROL = 1025,  // create or destroy a control; wParam is a ControlParamStruct*
};
// Pointer-sized so that a message can carry an address.
using WPARAM = std::uintptr_t;
using LPARAM = std::int32_t;

constexpr LPARAM MakeLParam(std::int32_t x, std::int32_t y)
{
    return static_cast<LPARAM>((static_cast<std::uint32_t>(y) << 16) | (static_cast<std::uint32_t>(x) & 0xFFFFu));
}
constexpr std::uint32_t LPARAM2DWORD(LPARAM lParam) { return static_cast<std::uint32_t>(lParam); }
// WM_COMMAND: the notification code is the high word, the identifier the low word.
constexpr WPARAM MakeCommand(std::uint32_t id, std::uint32_t code)
{
    return (static_cast<WPARAM>(code & 0xFFFFu) << 16) | (id & 0xFFFFu);
}

// ---- Lifecycle (Lifecycle.cpp) and events (Events.cpp); user-interface thread ----
std::int32_t WindowProcedure(SDL_Window* hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam);
// One window's life on the user-interface thread: made, its events and requests served
// until it closes, torn down.
std::uint32_t WinMain(void* lpParam);
// WM_CLOSE: refuses every request from now on, then destroys the window (in that order,
// so that nothing is ever sent to a window that is going).
void CloseWindow();
// Makes the back buffer of the size asked for.
bool Init();
void FreeWindow();
// Destroys the SDL window; its controls and its presentation go with it.
void DestroyMainWindow();
// Turns one SDL event into the window procedure's messages.
void DispatchEvent(const SDL_Event& e);
// Game controllers (Gamepad.cpp): started with video on the user-interface thread; their
// events become key messages. GamepadsOpen may be asked from any thread.
void StartGamepads();
void StopGamepads();
bool GamepadsOpen();
bool GamepadEvent(const SDL_Event& e);
void ReleaseGamepadKeys();
// Set by WM_DESTROY: the event loop ends.
extern bool quitPosted;
// True on the thread that runs the window's event loop.
extern thread_local bool uiThread;

// ---- Requests (Requests.cpp) ----
// A request handed to the user-interface thread; lives on the caller's stack (or is static).
struct QueuedRequest {
    void (*fn)(void*);
    void* arg;
    QueuedRequest* next;
    std::atomic<int> status;  // 0 waiting, 1 served, 2 refused
};
// Puts a request into the window's queue without waiting for it; false when no window
// takes it.
bool Enqueue(QueuedRequest* r);
// The window starts serving requests / stops: everyone waiting is told so.
void StartRequests();
void RefuseRequests();
// The user-interface thread's side, for the open window: how to wait (after the window
// is made, before requests are accepted; false when no wait is possible), serving the
// oldest request (false when none is queued) and waiting until an event or a request
// may be there. Never waits in SDL where SDL would wake it through the window.
bool PrepareWait();
bool ServeOneRequest();
void WaitForWork();

// ---- Presentation (Present.cpp) ----
// The SDL window for a back buffer of w x h: its size and place (in the desktop's units,
// which on a HiDPI Wayland desktop are more than one screen pixel) and extra creation flags.
struct WindowPlacement {
    int w;
    int h;
    int x;
    int y;
    std::uint32_t flags;
};
void PresentHints();
WindowPlacement PlaceWindow(int w, int h);
// After the window is made / before it is destroyed (user-interface thread).
bool PresentOpen();
void PresentClose();
// Maps a window position to client (back-buffer) pixels; false when it lies on a bar (in
// the window, outside the picture). Positions outside the window (a captured drag) are
// mapped on the same scale: at scale 1 without bars nothing changes.
bool MapToClient(std::int32_t& x, std::int32_t& y);
// A client pixel to the window position at its centre (tests that act as a player).
void ClientToWindow(std::int32_t& x, std::int32_t& y);
// Switches the open window between windowed and fullscreen.
void ToggleFullscreen();
// Just shown or switched: on Wayland waits a little for the compositor's new size.
void AwaitCompositor();
// After the window's size or state changed (or may have): the picture is laid out anew
// after a fullscreen switch, and the window given its own size back when it leaves one.
void FollowWindow();
// Shows the whole back buffer (expose, restore, first showing).
void Paint();

// ---- The window manager's frame on X11 (Frame.cpp; user-interface thread) ----
struct WindowFrame {
    int top = 0, left = 0, bottom = 0, right = 0;  // its sides round the client area
    int x = 0, y = 0;                              // its corner on the screen
};
// The open window's frame as the window manager has it now: its sides from
// _NET_FRAME_EXTENTS where they are set, else from the window the manager put ours in.
// False where nothing tells (no X11, no frame yet).
bool ReadFrame(WindowFrame& frame);
// Moves the open window so that its frame's corner is at (x, y).
void MoveFrame(int x, int y);
// For a manager that places a window only when it is mapped, where the X server last told
// it the window was (weston's): unmaps the open window, moves it to (x, y), tells the
// manager it is at (toldX, toldY) and maps it again. Waits at most `waitMs` for each of the
// unmap and the manager's map; false when either did not come (or no X11).
bool MapAgainAt(int x, int y, int toldX, int toldY, Uint64 waitMs);
// True on X11 when a window manager runs that tells no work area (weston's): where its
// panels are is not known.
bool WorkAreaUnknown();

// ---- Primitives (Draw.cpp) ----
enum DrawType : std::uint8_t { DR_LINE = 0, DR_RECT = 1, DR_ELLIPSE = 2, DR_ARC = 3, DR_PIE = 4 };
// One primitive. The box (x0, y0)-(x1, y1) is sorted (x0 <= x1, y0 <= y1) and inclusive;
// a line runs from (x2, y2) to (x3, y3); an arc or pie from the radial through (x2, y2)
// counter-clockwise to the radial through (x3, y3). r, a0 and a1 are not used.
struct DrawStruct {
    DrawType object;
    std::int32_t x0, y0, x1, y1;
    std::int32_t x2, y2, x3, y3;
    std::uint32_t r;
    float a0, a1;
    std::uint32_t color;  // 0x00BBGGRR, through CreateColor
    bool fill;
};
// color AND 0xFFFFFF: the form every colour takes inside the layer.
std::uint32_t CreateColor(std::uint32_t color);
// Sorts the box into the record and sets its colour and fill (not its kind).
void SetDraw(DrawStruct& draw, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color,
             bool fill);
// Renders the record into the back buffer only.
void DrawObject(const DrawStruct& draw);
// Renders the record and, when unbuffered, shows its box (far column and row included).
void UpdateDC(const DrawStruct& draw);
// Shows the inclusive box (x0, y0)-(x1, y1) of the back buffer when drawing is unbuffered.
// Call without a BufferGuard.
void ShowArea(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1);

// ---- Text (Text.cpp) ----
struct FontStruct {
    std::atomic<std::uint32_t> style;
    std::atomic<std::uint32_t> color;  // through CreateColor
};
extern FontStruct font;
// The font of a style (opened on first use and kept for the program's life); null when
// no font can be found. Only while holding TextLock(): one font is not for two threads.
TTF_Font* CreateFont(std::uint32_t style);
std::mutex& TextLock();
// Texts are Latin-1, as the game's own always were; a text from a translation catalog comes
// as UTF-8 and is drawn as such (told apart by being valid UTF-8 with a byte above 127,
// which no Latin-1 text of the game is).
bool IsUtf8Text(const char* text);
// Characters of the decimal text of nr, the minus sign included.
std::int32_t intlen(std::int32_t nr);
// Writes that text and a null character: chp must hold intlen(nr) + 1 characters.
void Int2Char(char* chp, std::int32_t nr);

// ---- Menu table (no operation fills it; commands 100 to 9999 look here) ----
using ItemProc = void (*)();
struct MenuStruct {
    ItemProc* item;  // new[]
    std::uint32_t itemlen;
};
extern MenuStruct* menu;  // new[]; user-interface thread only
extern std::uint32_t menulen;

// ---- Bitmap table (under the BufferGuard) ----
// A slot holds one picture, already in the back buffer's format (a surface is its own
// source for copies, so the context of other window systems has no counterpart here).
struct BitStruct {
    SDL_Surface* hbit;  // null marks a free slot
    std::uint32_t width;
    std::uint32_t height;
    bool blackWhite;  // every pixel pure black or white: a mask that needs no thresholding
};
extern BitStruct* bit;  // new[] of exactly bitlen slots; null when bitlen is 0
extern std::uint32_t bitlen;
// Bitmap.cpp, under the BufferGuard. AddBitmap puts a picture into the lowest free slot
// (the table grows by one slot only when none is free) and returns its handle, 0 when
// memory runs out (the picture is then the caller's). DelBitmap releases slot `del`
// (0-based) and drops the free slots at the table's end.
std::uint32_t AddBitmap(SDL_Surface* addbit, std::uint32_t width, std::uint32_t height, bool blackWhite);
void DelBitmap(std::uint32_t del);

// ---- Controls ----
enum ControlType : std::uint8_t { CTRL_BUTTON = 0, CTRL_EDIT = 1 };
// A control drawn and hit-tested by the layer itself (SDL has no native controls).
// It is a child of the main window: created and destroyed on the user-interface thread,
// kept in the list `children`, and released with the main window when it closes.
struct ControlWindow {
    ControlWindow* next;  // next child of the main window
    SDL_Rect rect;        // client coordinates
    char* text;           // own copy of the caption (new[]), released with the control
    std::intptr_t id;     // child-window identifier: -1 until the table gives it slot + 10000
    ControlType type;
    bool pressed;                    // the left button went down on it and is still held
    bool hot = false;                // the pointer is over it (and no other control holds the press)
    SDL_Surface* caption = nullptr;  // the caption rendered once (ARGB), released with the control
};
extern ControlWindow* children;  // user-interface thread only
// Unlinks and releases one child, or all of them (the main window's destruction).
void DestroyChild(ControlWindow* child);
void DestroyChildren();
// True when `child` is still one of the window's children (requests name a child by its
// address, which may be stale by the time the request is served).
bool IsChild(const ControlWindow* child);

// Parameter block of one control request; lives on the requester's stack.
struct ControlParamStruct {
    ControlWindow* hwnd;  // create: out, null when refused; destroy: in
    const char* text;     // create: the caption
    std::int32_t x;
    std::int32_t y;
    std::uint32_t width;
    std::uint32_t height;
    std::intptr_t id;  // create: the child-window identifier to start with
    ControlType type;
    bool create;  // true: create, false: destroy
    std::atomic<bool> finished;
};
// The control request row of the window procedure (WM_CONTROL).
void ControlRequest(ControlParamStruct& block);
// Table maintenance on the requesting thread (they take the BufferGuard themselves).
// AddControl returns the new identifier (slot + 1), 0 when the window is gone or memory
// runs out. DelControl frees slot `del` (0-based) and drops the free slots at the end.
std::uint32_t AddControl(ControlWindow* hwnd, std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                         ButtonProc proc, ControlType type);
void DelControl(std::uint32_t del);
// Draws every child that meets `area` onto the window surface, clipped to it (ToScreen).
void DrawChildren(SDL_Surface* screen, const SDL_Rect& area);
// Mouse rows of the controls: true when the message belonged to a control and the
// window's own mouse handling must not see it.
bool ControlMouse(std::uint32_t msg, LPARAM lParam);
// The pointer left the window: no control is under it any more.
void ControlsMouseLeave();
// Shows an area of the window's picture again, with the controls over it. User-interface thread.
void ShowAgain(SDL_Rect area);
// Set while a button procedure runs: its drawing goes over the controls, as drawing on a
// window does that does not clip its children. User-interface thread only.
extern bool inButtonProc;

// One slot of the control table; `hwnd` null marks a free slot. Under the BufferGuard.
struct ControlStruct {
    ControlWindow* hwnd;
    std::int32_t x;
    std::int32_t y;
    std::uint32_t width;
    std::uint32_t height;
    ButtonProc proc;
    ControlType type;
};
extern ControlStruct* ctrl;  // new[] of exactly controllen slots; null when controllen is 0
extern std::uint32_t controllen;

// ---- Keyboard (Input.cpp) ----
struct QueueElmt {
    std::uint32_t key;
    QueueElmt* prev;     // the element queued right after this one; null for the newest
    bool shift = false;  // Shift was held when the key went down (from the event itself)
};
struct KeyBuffer {
    QueueElmt* head;  // newest
    QueueElmt* tail;  // oldest
};
extern std::atomic<bool> key[256];
// The queue and its guard: the side that links or unlinks claims `block` (test-and-set)
// for the whole change.
extern KeyBuffer keybuf;
extern std::atomic<bool> block;
// Bumped (and notified) whenever a key is queued or the window goes away: GetKey waits on it.
extern std::atomic<std::uint32_t> keyEvents;
void AddKey(std::uint32_t k, bool shift = false);
void DelKey();
// Virtual-key code of an SDL key (0 when it has none), and the other way round.
// The keypad gives the arrow and editing keys' codes with NumLock off, its digits with it on.
std::uint32_t VirtualKey(const SDL_Keysym& keysym);
// A keypad key's code under the other NumLock state (0 for other keys): its release
// releases both, so that NumLock pressed while it is held leaves no key down.
std::uint32_t KeypadTwin(const SDL_Keysym& keysym);
bool KeysymOf(std::uint32_t vk, SDL_Keysym& keysym);
// Keys that the window system keeps for itself (Alt combinations, F10).
bool IsSystemKey(const SDL_Keysym& keysym);

// ---- Mouse (Input.cpp; user-interface thread only) ----
using MouseProc = void (*)(std::uint32_t x, std::uint32_t y);
struct MouseStruct {
    std::int32_t x;
    std::int32_t y;
    bool left;
    bool right;
    bool onLeftDown;
    bool onLeftUp;
    bool onRightDown;
    bool onRightUp;
    bool onDouble;
    MouseProc LeftDownProc;
    MouseProc LeftUpProc;
    MouseProc RightDownProc;
    MouseProc RightUpProc;
    MouseProc DoubleProc;
};
extern MouseStruct mouse;
// Whether the window holds the mouse capture.
extern bool captured;
// Key and mouse rows of the window procedure.
// A key message's lParam: the key went down with Shift held, as the event said.
constexpr LPARAM KeyWithShift = 1;
constexpr LPARAM KeyFromPad = 2;  // a game controller's button, not the keyboard
void KeyMessage(std::uint32_t msg, WPARAM wParam, LPARAM lParam = 0);
void MouseMessage(std::uint32_t msg, LPARAM lParam);
// A turn of the wheel, queued for TakeMouseEvent at the pointer's place.
void MouseWheel(std::int32_t clicks);
// A file dropped on the window (SDL's drop event); takes SDL's copy of the name and frees it.
void DropFile(char* file);
// Teardown of the input state: key table, queue, mouse record, capture.
void ResetInput();

}  // namespace Wimdows::detail
