// The window manager's frame round the window on X11, read from the X server itself.
//
// SDL 2.26 knows a frame only from _NET_FRAME_EXTENTS, and only once it has read the
// property's change among its events: fluxbox gives the extents 0 in fullscreen and sets them
// again a moment after the window leaves it, and weston's X window manager never sets them.
// A move made in between (SDL moves a window of fixed size when its size changes) counts
// the frame wrongly, and the window creeps. Here the frame is read when it is needed: its
// sides from _NET_FRAME_EXTENTS where they are set, else from the window the manager put
// the game's window in, and its corner from where the window is now.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <SDL_syswm.h>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

namespace {

struct X11Window {
    Display* display = nullptr;
    ::Window window = 0;
};

X11Window OpenX11Window()
{
    if (!window.hwnd) return {};
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window.hwnd, &info) || info.subsystem != SDL_SYSWM_X11) return {};
    return {info.info.x11.display, info.info.x11.window};
}

// A window that went away under a query (a manager replacing its frame) is no error worth
// a word: the next event reads the frame again.
int Quiet(Display*, XErrorEvent*) { return 0; }

struct QuietErrors {
    Display* display;
    int (*before)(Display*, XErrorEvent*);
    explicit QuietErrors(Display* d) : display(d)
    {
        XSync(display, False);
        before = XSetErrorHandler(Quiet);
    }
    ~QuietErrors()
    {
        XSync(display, False);
        XSetErrorHandler(before);
    }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;
};

// The four CARDINALs of a property, or false when it is not set.
bool Cardinals(Display* d, ::Window w, const char* name, long out[4])
{
    const Atom atom = XInternAtom(d, name, True);
    if (atom == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool read =
        XGetWindowProperty(d, w, atom, 0, 4, False, XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && items == 4;
    if (read) {
        const long* values = reinterpret_cast<const long*>(data);
        for (int i = 0; i < 4; ++i) out[i] = values[i];
    }
    if (data) XFree(data);
    return read;
}

bool HasProperty(Display* d, ::Window w, const char* name)
{
    const Atom atom = XInternAtom(d, name, True);
    if (atom == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool set = XGetWindowProperty(d, w, atom, 0, 1, False, AnyPropertyType, &type, &format, &items, &after,
                                        &data) == Success &&
                     type != None;
    if (data) XFree(data);
    return set;
}

// Waits until the window is mapped (or unmapped), looking every 10 ms, at most `waitMs`:
// mapping is up to the window manager, which may never do it. SDL's own showing and hiding
// wait for the map's event without end.
bool AwaitMapped(const X11Window& w, bool mapped, Uint64 waitMs)
{
    const Uint64 end = SDL_GetTicks64() + waitMs;
    for (;;) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(w.display, w.window, &a)) return false;
        if ((a.map_state != IsUnmapped) == mapped) return true;
        if (SDL_GetTicks64() >= end) return false;
        SDL_Delay(10);
    }
}

}  // namespace

bool ReadFrame(WindowFrame& frame)
{
    const X11Window x = OpenX11Window();
    if (!x.display) return false;
    QuietErrors quiet(x.display);
    const ::Window root = DefaultRootWindow(x.display);
    ::Window child = 0;
    int cx = 0, cy = 0;
    XWindowAttributes client{};
    if (!XGetWindowAttributes(x.display, x.window, &client) ||
        !XTranslateCoordinates(x.display, x.window, root, 0, 0, &cx, &cy, &child))
        return false;
    // The window the manager put ours in, the one right under the root.
    ::Window top = x.window;
    for (int depth = 0; depth < 16; ++depth) {
        ::Window r = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(x.display, top, &r, &parent, &children, &count)) return false;
        if (children) XFree(children);
        if (parent == 0 || parent == root) break;
        top = parent;
    }
    long sides[4] = {0, 0, 0, 0};  // left, right, top, bottom
    const bool extents =
        Cardinals(x.display, x.window, "_NET_FRAME_EXTENTS", sides) && (sides[0] | sides[1] | sides[2] | sides[3]) != 0;
    if (!extents) {
        if (top == x.window) return false;  // no frame, or not yet
        XWindowAttributes outer{};
        int fx = 0, fy = 0;
        if (!XGetWindowAttributes(x.display, top, &outer) ||
            !XTranslateCoordinates(x.display, top, root, 0, 0, &fx, &fy, &child))
            return false;
        sides[0] = cx - fx;
        sides[1] = fx + outer.width - (cx + client.width);
        sides[2] = cy - fy;
        sides[3] = fy + outer.height - (cy + client.height);
    }
    // A frame caught halfway through a change (the window at its fullscreen size, the frame
    // not yet) is no frame.
    for (const long side : sides)
        if (side < 0) return false;
    frame.left = static_cast<int>(sides[0]);
    frame.right = static_cast<int>(sides[1]);
    frame.top = static_cast<int>(sides[2]);
    frame.bottom = static_cast<int>(sides[3]);
    frame.x = cx - frame.left;
    frame.y = cy - frame.top;
    return true;
}

void MoveFrame(int x, int y)
{
    const X11Window w = OpenX11Window();
    if (!w.display) return;
    // A client's move places the frame's corner there (ICCCM, north-west gravity).
    XMoveWindow(w.display, w.window, x, y);
    XFlush(w.display);
}

bool MapAgainAt(int x, int y, int toldX, int toldY, Uint64 waitMs)
{
    const X11Window w = OpenX11Window();
    if (!w.display) return false;
    QuietErrors quiet(w.display);
    // Withdrawn as ICCCM asks, so that the manager lets go of the window; the X server
    // unmaps it at once.
    XWithdrawWindow(w.display, w.window, DefaultScreen(w.display));
    if (!AwaitMapped(w, false, waitMs)) return false;
    XMoveWindow(w.display, w.window, x, y);
    XWindowAttributes a{};
    if (!XGetWindowAttributes(w.display, w.window, &a)) return false;
    // The place told as the X server tells a manager of a window's move.
    XEvent e{};
    e.xconfigure.type = ConfigureNotify;
    e.xconfigure.display = w.display;
    e.xconfigure.event = DefaultRootWindow(w.display);
    e.xconfigure.window = w.window;
    e.xconfigure.x = toldX;
    e.xconfigure.y = toldY;
    e.xconfigure.width = a.width;
    e.xconfigure.height = a.height;
    XSendEvent(w.display, DefaultRootWindow(w.display), False, SubstructureNotifyMask, &e);
    // The manager maps it; SDL reads the map and unmap among its events afterwards.
    XMapRaised(w.display, w.window);
    return AwaitMapped(w, true, waitMs);
}

bool WorkAreaUnknown()
{
    const X11Window x = OpenX11Window();
    if (!x.display) return false;
    QuietErrors quiet(x.display);
    const ::Window root = DefaultRootWindow(x.display);
    return HasProperty(x.display, root, "_NET_SUPPORTING_WM_CHECK") && !HasProperty(x.display, root, "_NET_WORKAREA");
}

}  // namespace Wimdows::detail
