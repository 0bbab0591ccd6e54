// Presentation: how the back buffer reaches the screen. Every road ends in ToScreen on
// the user-interface thread; other threads leave their areas in the picture to show.
//
// The back buffer keeps the size the program asked for; the window shows it at a scale
// that fits the display (Scale.hpp has the rules), centred with black bars in fullscreen.
// The scaling is done here, in software, into the window system's own image of the window
// (on X11 a shared-memory image): whole scales are plain block copies that cost little
// more than the copy itself, and only the area that changed is scaled and sent. Measured
// on X servers without a GPU, this beats an accelerated renderer, which has to send the
// whole window every frame.
//
// On Wayland the window's picture is the layer's own, in the screen's pixels, handed to the
// compositor through SDL's renderer: SDL 2.26's window surface has the window's size in
// the desktop's units, which a HiDPI desktop (scale 2) scales up once more, so a picture
// shrunk to fit would be blurred twice.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "Wimdows/Scale.hpp"
#include "WimdowsState.hpp"

namespace Wimdows::detail {

namespace {

// ---- Showing the back buffer from other threads ----
// Another thread shows an area in two steps: it copies the area from the back buffer into
// `shown`, the picture the window is to show, on its own thread (where the pixels are
// still in its caches), and leaves the copy onto the window to the user-interface thread
// without waiting for it. A frame therefore costs its drawing thread one copy, and the
// window's thread copies while the next frame is drawn. Requests to show keep their place
// among the other requests, so whatever is asked of the window afterwards finds the area
// on the screen.
std::mutex shownLock;          // taken before a BufferGuard, never while holding one
SDL_Surface* shown = nullptr;  // under shownLock; made on first use, released with the window
SDL_Rect unshown{};            // under shownLock: the area of `shown` not yet on the window
bool anyUnshown = false;
std::atomic<bool> showPosted{false};  // showRequest is in the queue
void ShowUnshown(void*);
QueuedRequest showRequest{ShowUnshown, nullptr, nullptr, {0}};
void Settle();

// ---- The program's choices (any thread; read when a window opens or is laid out) ----
std::atomic<std::uint32_t> mostScale{0};  // 0: fit the display
std::atomic<bool> fullscreen{false};      // also follows F11 / Alt+Enter for later windows

// ---- The open window's layout (user-interface thread) ----
// Nothing here points into the window's picture: SDL frees and makes that picture again
// whenever the window's size may have changed (it can come back at the same address with
// the same size), so every copy takes it from SDL_GetWindowSurface afresh. The layout is
// numbers only, made again after every size or fullscreen change SDL reports (relayout,
// set by SDL's own event as it drops the old picture) and whenever the picture SDL hands
// out has another size than the layout's.
Scale::Layout layout{};
bool laidOut = false;
std::atomic<bool> relayout{true};
SDL_Surface* composed = nullptr;    // the picture with the controls over it (other scales)
bool settled = false;               // the window's frame is known and the size checked
std::atomic<bool> lookAgain{true};  // a window event came: the frame may have changed
bool wasFullscreen = false;         // the window's state when last looked at
int sizeTries = 0;                  // corrections of the windowed size left after a switch
int placeTries = 0;                 // moves left to bring the frame back after a switch (X11)
// Where the frame's corner was when the window went fullscreen (X11); a window opened
// fullscreen has none and comes back centred.
bool homeKnown = false;
int homeX = 0, homeY = 0;
// The window frame's sizes of the last window (top, left, bottom, right): the next window
// is placed with them before its own frame is known.
int frame[4] = {0, 0, 0, 0};
bool frameKnown = false;       // frame[] was read from a window manager
bool workAreaUnknown = false;  // the last X11 window manager told no work area
int displayIndex = 0;

// The Wayland window's picture: a software picture of the window's size in screen pixels,
// its texture and the renderer that shows it (user-interface thread).
struct Canvas {
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    SDL_Surface* pixels = nullptr;
};
Canvas canvas;

// The game's one name towards the desktop: the desktop entry's file name without
// ".desktop", its StartupWMClass and the AppStream id. GNOME and KDE find the entry (its
// icon, its windows grouped) by it: WM_CLASS on X11, the app id on Wayland.
constexpr const char* kAppId = "io.github.kordudurad.KORDudurad";
constexpr const char* kIconFile = "graphics/kor-dudurad-icon.bmp";

// The most scale for this window. Drivers that show nobody anything (dummy, offscreen: the
// tests) keep the size asked for unless the program sets a scale.
std::uint32_t MostScale()
{
    const std::uint32_t most = mostScale.load();
    if (most != 0) return most;
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool shows = !driver || (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0);
    return shows ? 0 : 1;
}

void TellOnce(std::atomic<bool>& told, const char* what)
{
    if (!told.exchange(true)) std::fprintf(stderr, "[ERROR] (Window) %s: %s\n", what, SDL_GetError());
}

bool Driver(const char* name)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, name) == 0;
}
bool Wayland() { return Driver("wayland"); }
bool X11() { return Driver("x11"); }

// SDL drops the window's picture (and says so with this event) whenever its size may have
// changed; the next picture is laid out anew. Any window event may come with a new frame.
// Runs on the thread that pumps the events.
int OnWindowEvent(void*, SDL_Event* e)
{
    if (e->type != SDL_WINDOWEVENT) return 0;
    lookAgain.store(true);
    // An exposed window has lost what the X server showed of it, the black bars too (fluxbox
    // lays its toolbar over a window going fullscreen): the whole picture is sent again.
    if (e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e->window.event == SDL_WINDOWEVENT_RESIZED ||
        e->window.event == SDL_WINDOWEVENT_EXPOSED)
        relayout.store(true);
    return 0;
}

void FreeCanvas()
{
    SDL_FreeSurface(canvas.pixels);
    if (canvas.texture) SDL_DestroyTexture(canvas.texture);
    if (canvas.renderer) SDL_DestroyRenderer(canvas.renderer);
    canvas = {};
}

// The Wayland window's picture at the window's size in screen pixels, made anew when that
// size changes; null when there is none (told once by the caller).
SDL_Surface* CanvasPicture()
{
    if (!canvas.renderer) {
        // An accelerated renderer, as SDL's own window surface takes on Wayland.
        for (int i = 0, n = SDL_GetNumRenderDrivers(); i < n && !canvas.renderer; ++i) {
            SDL_RendererInfo info{};
            if (SDL_GetRenderDriverInfo(i, &info) != 0 || std::strcmp(info.name, "software") == 0) continue;
            canvas.renderer = SDL_CreateRenderer(window.hwnd, i, 0);
            if (canvas.renderer &&
                (SDL_GetRendererInfo(canvas.renderer, &info) != 0 || !(info.flags & SDL_RENDERER_ACCELERATED))) {
                SDL_DestroyRenderer(canvas.renderer);
                canvas.renderer = nullptr;
            }
        }
        if (!canvas.renderer) return nullptr;
    }
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(canvas.renderer, &w, &h) != 0 || w <= 0 || h <= 0) return nullptr;
    if (canvas.pixels && canvas.pixels->w == w && canvas.pixels->h == h) return canvas.pixels;
    SDL_FreeSurface(canvas.pixels);
    if (canvas.texture) SDL_DestroyTexture(canvas.texture);
    canvas.texture = SDL_CreateTexture(canvas.renderer, SDL_PIXELFORMAT_XRGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
    canvas.pixels = canvas.texture ? SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888) : nullptr;
    relayout.store(true);
    return canvas.pixels;
}

// The picture the window shows, in its own pixels: SDL's window surface, or on Wayland the
// canvas. SDL may free and remake either whenever the window's size may have changed.
SDL_Surface* WindowPicture() { return Wayland() ? CanvasPicture() : SDL_GetWindowSurface(window.hwnd); }

// Has the window system show an area of the window's picture.
bool ShowPicture(const SDL_Rect& area)
{
    if (!Wayland()) return SDL_UpdateWindowSurfaceRects(window.hwnd, &area, 1) == 0;
    const SDL_Surface* p = canvas.pixels;
    const auto* at = static_cast<const std::uint8_t*>(p->pixels) + area.y * p->pitch + area.x * 4;
    if (SDL_UpdateTexture(canvas.texture, &area, at, p->pitch) != 0 ||
        SDL_RenderCopy(canvas.renderer, canvas.texture, nullptr, nullptr) != 0)
        return false;
    SDL_RenderPresent(canvas.renderer);
    return true;
}

// The window's size in the desktop's units and its picture's in pixels (the same but on a
// HiDPI Wayland desktop).
void WindowSizes(Scale::Size& units, Scale::Size& pixels)
{
    SDL_GetWindowSize(window.hwnd, &units.w, &units.h);
    pixels = units;
    if (Wayland() && canvas.pixels) pixels = {canvas.pixels->w, canvas.pixels->h};
}

// A 32-bit window surface with the back buffer's channel order: scaled into directly.
bool SameChannels(const SDL_Surface* s)
{
    const SDL_PixelFormat* f = s->format;
    return f->BytesPerPixel == 4 && f->Rmask == 0xFF0000u && f->Gmask == 0x00FF00u && f->Bmask == 0x0000FFu;
}

// Lays the picture out on the window surface anew (first showing, another size,
// fullscreen) and paints the bars black.
void LayOut(SDL_Surface* screen)
{
    relayout.store(false);
    const Scale::Size client{static_cast<std::int32_t>(window.xlen.load()),
                             static_cast<std::int32_t>(window.ylen.load())};
    layout = Scale::Place(client, {screen->w, screen->h}, MostScale());
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
    laidOut = true;
}

// The picture's rectangle inside the window surface at scale 1 as a surface of its own (for
// the controls, which draw in client pixels); null when the picture fills the surface.
// Made for one copy and freed after it: it points into the window surface.
SDL_Surface* PictureIn(SDL_Surface* screen, const Scale::Rect& p)
{
    if (p.w == screen->w && p.h == screen->h) return nullptr;
    auto* at = static_cast<std::uint8_t*>(screen->pixels) + p.y * screen->pitch + p.x * 4;
    return SDL_CreateRGBSurfaceWithFormatFrom(at, p.w, p.h, 32, screen->pitch, screen->format->format);
}

// Copies an area of the picture to show onto the window and has the window system show
// it. User-interface thread, holding shownLock.
void ToScreen(SDL_Surface* from, SDL_Rect area)
{
    static std::atomic<bool> toldSurface{false}, toldUpdate{false}, toldMemory{false};  // once, not every frame
    Settle();
    SDL_Surface* screen = WindowPicture();
    if (!screen) return TellOnce(toldSurface, "The window's picture can't be shown");
    bool whole = false;
    if (!laidOut || relayout.load() || layout.window.w != screen->w || layout.window.h != screen->h) {
        LayOut(screen);
        area = {0, 0, from->w, from->h};
        whole = true;
    }
    const Scale::Rect& p = layout.picture;
    SDL_Rect changed{};
    const bool fills = p.w == screen->w && p.h == screen->h;
    if (layout.whole && layout.factor == 1 && (fills || SameChannels(screen))) {
        // Scale 1: straight into the window's image, as a window without scaling does.
        SDL_Surface* view = fills ? nullptr : PictureIn(screen, p);
        if (!fills && !view) return TellOnce(toldMemory, "No memory to show the window's picture");
        SDL_Surface* target = view ? view : screen;
        SDL_Rect to = area;
        SDL_BlitSurface(from, &area, target, &to);
        if (!inButtonProc) DrawChildren(target, area);  // the controls lie over the picture
        SDL_FreeSurface(view);
        changed = {area.x + p.x, area.y + p.y, area.w, area.h};
    } else {
        if (!composed) composed = SDL_CreateRGBSurfaceWithFormat(0, from->w, from->h, 32, SDL_PIXELFORMAT_XRGB8888);
        if (!composed) return TellOnce(toldMemory, "No memory to show the window's picture");
        SDL_Rect to = area;
        SDL_BlitSurface(from, &area, composed, &to);
        if (!inButtonProc) DrawChildren(composed, area);
        const Scale::Rect a{area.x, area.y, area.w, area.h};
        Scale::Rect out;
        if (SameChannels(screen)) {
            out = Scale::Area(View(screen), View(composed), layout, a, screen->format->Amask);
        } else {
            // Another pixel format: SDL converts while it scales (nearest only).
            out = {p.x, p.y, p.w, p.h};
            SDL_Rect dst{p.x, p.y, p.w, p.h};
            SDL_BlitScaled(composed, nullptr, screen, &dst);
        }
        changed = {out.x, out.y, out.w, out.h};
    }
    if (whole) changed = {0, 0, screen->w, screen->h};
    if (changed.w <= 0 || changed.h <= 0) return;
    if (!ShowPicture(changed)) TellOnce(toldUpdate, "The window's picture can't be shown");
}

// The request that other threads' PresentRect leave behind.
void ShowUnshown(void*)
{
    showPosted.store(false);  // before taking the area: a later PresentRect posts again
    std::lock_guard lock(shownLock);
    if (!anyUnshown || !shown || !window.hwnd) return;
    anyUnshown = false;
    ToScreen(shown, unshown);
}

// Copies an area of the back buffer into the picture to show; false when there is
// nothing to show. Holding shownLock.
bool CopyToShown(const SDL_Rect& area, SDL_Rect& clipped)
{
    BufferGuard guard;
    if (!guard) return false;
    const SDL_Rect whole{0, 0, hBitBuf->w, hBitBuf->h};
    if (!SDL_IntersectRect(&area, &whole, &clipped)) return false;
    if (!shown) shown = SDL_CreateRGBSurfaceWithFormat(0, whole.w, whole.h, 32, SDL_PIXELFORMAT_XRGB8888);
    if (!shown) {
        std::fprintf(stderr, "[ERROR] (PresentRect) No memory to show the window's picture: %s\n", SDL_GetError());
        return false;
    }
    Raster::Copy(View(shown), clipped.x, clipped.y, View(hBitBuf), clipped.x, clipped.y, clipped.w, clipped.h);
    return true;
}

// Wayland tells a client neither its window's frame nor where the desktop's panels are
// (SDL gives the whole screen as usable and no frame). Room is kept for the tallest title
// bar of the common desktops (libdecor's, drawn by the game on GNOME; Breeze's, drawn by
// KWin) and for one panel (GNOME's top bar, Plasma's), so that the whole window, title bar
// included, is on the screen. The same room is kept on X11 under a window manager that
// tells no work area (weston's): for the panel always, for the title bar until a frame is
// seen.
constexpr int kWaylandTitleBar = 40;
constexpr int kWaylandPanel = 48;

// Screen pixels per unit of the desktop on a display: above 1 on a HiDPI Wayland desktop,
// where the window's picture is made in the screen's own pixels. SDL lists the screen's
// own mode first and gives the desktop's size in units as the desktop mode.
float PixelScale(int display)
{
    if (!Wayland()) return 1.0f;
    SDL_DisplayMode units{}, screen{};
    if (SDL_GetDesktopDisplayMode(display, &units) != 0 || SDL_GetDisplayMode(display, 0, &screen) != 0 || units.w <= 0)
        return 1.0f;
    return std::max(1.0f, static_cast<float>(screen.w) / static_cast<float>(units.w));
}

// The room for a window's client area on its display, in the desktop's units: the usable
// area (without panels) less the window frame.
Scale::Size Room(int display)
{
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return {};
    if (Wayland()) return {usable.w, usable.h - kWaylandPanel - kWaylandTitleBar};
    const int kept = workAreaUnknown ? kWaylandPanel + (frameKnown ? 0 : kWaylandTitleBar) : 0;
    return {usable.w - frame[1] - frame[3], usable.h - frame[0] - frame[2] - kept};
}

// The window's size for its client area at the scale that fits the display.
Scale::Size WindowedSize(int display, int w, int h)
{
    const Scale::Size client{w, h};
    const Scale::Size room = Room(display);
    if (room.w <= 0 || room.h <= 0) return client;  // nothing known about the display
    return Scale::Windowed(client, room, PixelScale(display), MostScale());
}

// The corner of the frame that puts a window of w x h with its frame in the middle of the
// usable area; false when the display tells no area.
bool CentredCorner(int w, int h, int& x, int& y)
{
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(displayIndex, &usable) != 0) return false;
    const Scale::Rect at =
        Scale::Centred({usable.x, usable.y, usable.w, usable.h}, {w + frame[1] + frame[3], h + frame[0] + frame[2]});
    x = at.x;
    y = at.y;
    return true;
}

// Once the window is on the screen its frame becomes known (the window manager tells it
// a moment after the window is mapped): when it differs from the frame the window was
// placed with, the size is chosen again and the window centred, so that the whole window,
// title bar included, is on the display. Until a frame is known this is tried after every
// window event. Only X11 tells a frame.
void Settle()
{
    if (settled || !window.hwnd) return;
    if (SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN) return;
    if (!lookAgain.exchange(false)) return;
    if (!X11()) {
        settled = true;
        return;
    }
    workAreaUnknown = WorkAreaUnknown();
    WindowFrame f;
    if (!ReadFrame(f)) return;
    settled = true;
    frameKnown = true;
    const int sides[4] = {f.top, f.left, f.bottom, f.right};
    std::memcpy(frame, sides, sizeof frame);
    const Scale::Size size =
        WindowedSize(displayIndex, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()));
    int w = 0, h = 0;
    SDL_GetWindowSize(window.hwnd, &w, &h);
    if (w != size.w || h != size.h) SDL_SetWindowSize(window.hwnd, size.w, size.h);
    SDL_Rect usable{};
    const bool whole = SDL_GetDisplayUsableBounds(displayIndex, &usable) != 0 ||
                       (f.x >= usable.x && f.y >= usable.y && f.x + f.left + size.w + f.right <= usable.x + usable.w &&
                        f.y + f.top + size.h + f.bottom <= usable.y + usable.h);
    int x = 0, y = 0;
    if ((w != size.w || h != size.h || !whole) && CentredCorner(size.w, size.h, x, y)) MoveFrame(x, y);
}

// How long a window manager is given to move the frame before it is taken to have ignored
// the move (or, mapping a window, to have placed it), and to unmap or map a window.
constexpr Uint64 kMoveWaitMs = 400;
constexpr Uint64 kMapWaitMs = 2000;
// How far from the place it is told a window manager that places windows only when they are
// mapped puts the frame (weston's: its shadow's width); learnt from the first such map.
int mapShiftX = 0, mapShiftY = 0;

// What became of the frame while it was watched (at most kMoveWaitMs).
enum class Watched { Moved, Stayed, Unread };

// Watches the frame until it has left `from` and held its new place for `hold` looks (a
// frame looked at halfway through a change may seem anywhere for a moment); `last` is where
// it was last seen.
Watched WatchFrame(const WindowFrame& from, WindowFrame& last, int hold)
{
    const Uint64 end = SDL_GetTicks64() + kMoveWaitMs;
    bool seen = false;
    int held = 0;
    while (SDL_GetTicks64() < end) {
        SDL_Delay(10);
        WindowFrame now;
        if (!ReadFrame(now)) continue;
        held = seen && now.x == last.x && now.y == last.y ? held + 1 : 1;
        seen = true;
        last = now;
        if ((now.x != from.x || now.y != from.y) && held >= hold) return Watched::Moved;
    }
    return seen ? Watched::Stayed : Watched::Unread;
}

// A window manager that places a window only when it is mapped, where it last saw the window
// (weston's): the window unmapped, its place told, and mapped again. Twice at most: the first
// time teaches how far from the told place that manager puts the frame.
void Reappear(WindowFrame f, int x, int y)
{
    for (int round = 0; round < 2; ++round) {
        if (!MapAgainAt(x, y, x + mapShiftX, y + mapShiftY, kMapWaitMs)) break;
        WindowFrame landed = f;  // where it was may be just where it lands again
        if (WatchFrame(f, landed, 10) == Watched::Unread || (landed.x == x && landed.y == y)) break;
        mapShiftX += x - landed.x;
        mapShiftY += y - landed.y;
        f = landed;
    }
    SDL_RaiseWindow(window.hwnd);  // the keys come back to it
    relayout.store(true);          // and a whole new picture
}

// After the window left fullscreen on X11: its frame back where it was, or centred for a
// window opened fullscreen. Window managers restore a place of their own (fluxbox a title
// bar lower each time, SDL having moved the window while the frame's sides were still 0);
// a few tries only, for a manager that places windows itself.
void BringBack()
{
    WindowFrame f;
    if (!ReadFrame(f)) return;
    int x = homeX, y = homeY;
    if (!homeKnown) {
        const int sides[4] = {f.top, f.left, f.bottom, f.right};
        std::memcpy(frame, sides, sizeof frame);
        int w = 0, h = 0;
        SDL_GetWindowSize(window.hwnd, &w, &h);
        if (!CentredCorner(w, h, x, y)) placeTries = 0;
    }
    if (placeTries == 0 || (f.x == x && f.y == y)) {
        placeTries = 0;
        return;
    }
    --placeTries;
    MoveFrame(x, y);
    // Managers that tell a work area take the move (a slow one later, with the next try).
    // weston's tells none and takes no move from a shown window: when the frame stays put,
    // the window is mapped again at its place.
    if (!workAreaUnknown) return;
    WindowFrame seen;
    if (WatchFrame(f, seen, 1) == Watched::Stayed) {
        placeTries = 0;
        Reappear(f, x, y);
    }
}

// A Wayland compositor answers a fullscreen switch with a configure of the new size a
// moment later (much later on a loaded machine), and SDL keeps the old size until then:
// the old picture would be shown in the switched window, in a corner with black round it.
// So much is waited for it; a later one still lays the picture out anew when it comes.
constexpr Uint64 kConfigureWaitMs = 250;

// The game's icon, loaded once from the game's folder; null when it is not there.
SDL_Surface* Icon()
{
    static SDL_Surface* icon = SDL_LoadBMP(kIconFile);
    return icon;
}

}  // namespace

void PresentHints()
{
    // The desktop matches windows to the game's menu entry by these names (WM_CLASS on X11,
    // the app id on Wayland); SDL reads them from the environment when it makes a window.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", kAppId, 1);
    SDL_setenv("SDL_VIDEO_WAYLAND_WMCLASS", kAppId, 1);
    // On Wayland, decorations through libdecor from the start: it still asks the compositor
    // to draw them where it can (KWin, sway). Without it SDL 2.26 switches to libdecor only
    // when a compositor insists on the program drawing them (cage), and the window it hides
    // for the switch is never shown again.
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_PREFER_LIBDECOR, "1");
}

WindowPlacement PlaceWindow(int w, int h)
{
    const Scale::Size size = WindowedSize(displayIndex, w, h);
    WindowPlacement place{size.w, size.h, static_cast<int>(SDL_WINDOWPOS_UNDEFINED),
                          static_cast<int>(SDL_WINDOWPOS_UNDEFINED), 0};
    // On Wayland the picture in the screen's pixels (HiDPI); X11 windows have them anyway.
    if (Wayland()) place.flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    if (fullscreen.load())
        place.flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    else
        CentredCorner(size.w, size.h, place.x, place.y);  // a new window's frame goes where it is asked to be
    return place;
}

bool PresentOpen()
{
    // The back buffer is a software picture: on X11 show it through the window system's
    // own shared-memory image instead of an OpenGL texture. Wayland has no such image:
    // there the canvas goes through an accelerated renderer.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, Wayland() ? "1" : "0");
    showPosted.store(false);
    laidOut = false;
    relayout.store(true);
    SDL_AddEventWatch(OnWindowEvent, nullptr);
    settled = false;
    lookAgain.store(true);
    wasFullscreen = (SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN) != 0;
    sizeTries = 0;
    placeTries = 0;
    homeKnown = false;
    if (SDL_Surface* icon = Icon()) SDL_SetWindowIcon(window.hwnd, icon);
    return true;
}

void PresentClose()
{
    std::lock_guard lock(shownLock);
    SDL_FreeSurface(shown);
    shown = nullptr;
    anyUnshown = false;
    SDL_FreeSurface(composed);
    composed = nullptr;
    FreeCanvas();  // before the window goes
    laidOut = false;
    SDL_DelEventWatch(OnWindowEvent, nullptr);
    if (window.hwnd) {
        const int display = SDL_GetWindowDisplayIndex(window.hwnd);
        if (display >= 0) displayIndex = display;
    }
}

bool MapToClient(std::int32_t& x, std::int32_t& y)
{
    if (!laidOut) return true;
    Scale::Size units, pixels;
    WindowSizes(units, pixels);
    Scale::ToPixels(units, pixels, x, y);
    return Scale::ToClient(layout, x, y);
}

void ClientToWindow(std::int32_t& x, std::int32_t& y)
{
    if (!laidOut) return;
    Scale::ToWindow(layout, x, y);
    Scale::Size units, pixels;
    WindowSizes(units, pixels);
    Scale::ToUnits(units, pixels, x, y);
}

void AwaitCompositor()
{
    if (!Wayland() || !window.hwnd) return;
    SDL_Rect screen{};
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window.hwnd), &screen) != 0) return;
    const bool full = (SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN) != 0;
    const Uint64 end = SDL_GetTicks64() + kConfigureWaitMs;
    for (;;) {
        int w = 0, h = 0;
        SDL_GetWindowSize(window.hwnd, &w, &h);
        if ((w == screen.w && h == screen.h) == full || SDL_GetTicks64() >= end) return;
        SDL_Delay(5);
        SDL_PumpEvents();
    }
}

void ToggleFullscreen()
{
    if (!window.hwnd) return;
    const bool on = !(SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN);
    WindowFrame f;
    if (on && ReadFrame(f)) {  // where the window comes back to
        homeKnown = true;
        homeX = f.x;
        homeY = f.y;
    }
    if (SDL_SetWindowFullscreen(window.hwnd, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        std::fprintf(stderr, "[ERROR] (Window) Can't switch to %s: %s\n", on ? "fullscreen" : "a window",
                     SDL_GetError());
        return;
    }
    fullscreen.store(on);
    AwaitCompositor();
    FollowWindow();
    Paint();
}

void FollowWindow()
{
    if (!window.hwnd) return;
    const bool full = (SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN) != 0;
    if (full != wasFullscreen) {
        // Whoever switched (the game's key, the compositor): the picture is laid out
        // anew, and a window back from fullscreen gets its own size again, which window
        // managers and compositors do not all restore (a few pixels more, or the screen's
        // size), and on X11 its place. A few tries only: a desktop that insists keeps its
        // size and place.
        wasFullscreen = full;
        relayout.store(true);
        sizeTries = full ? 0 : 3;
        placeTries = full || !X11() ? 0 : 3;
    }
    if (full) return;
    if (sizeTries > 0) {
        const Scale::Size size =
            WindowedSize(displayIndex, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()));
        int w = 0, h = 0;
        SDL_GetWindowSize(window.hwnd, &w, &h);
        if (w != size.w || h != size.h) {
            --sizeTries;
            SDL_SetWindowSize(window.hwnd, size.w, size.h);
            return;  // placed once the size has come
        }
    }
    if (placeTries > 0) BringBack();
}

void ShowAgain(SDL_Rect area)
{
    std::lock_guard lock(shownLock);
    if (!shown || !window.hwnd) return;
    const SDL_Rect whole{0, 0, shown->w, shown->h};
    SDL_Rect clipped;
    if (SDL_IntersectRect(&area, &whole, &clipped)) ToScreen(shown, clipped);
}

void PresentNow(SDL_Rect area)
{
    // Through the picture to show, so that an older area that another thread left to be
    // shown can't come over this one afterwards.
    std::lock_guard lock(shownLock);
    SDL_Rect clipped;
    if (window.hwnd && CopyToShown(area, clipped)) ToScreen(shown, clipped);
}

void PresentRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h)
{
    if (w <= 0 || h <= 0 || window.state.load() != STATE_ACTIVE) return;
    const SDL_Rect area{x, y, w, h};
    if (OnUiThread()) {
        PresentNow(area);
        return;
    }
    {
        std::lock_guard lock(shownLock);
        SDL_Rect clipped;
        if (!CopyToShown(area, clipped)) return;
        if (anyUnshown)
            SDL_UnionRect(&unshown, &clipped, &unshown);
        else
            unshown = clipped;
        anyUnshown = true;
    }
    if (!showPosted.exchange(true) && !Enqueue(&showRequest)) showPosted.store(false);
}

void Paint() { PresentNow(SDL_Rect{0, 0, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load())}); }

}  // namespace Wimdows::detail

namespace Wimdows {

void SetPresentOptions(const PresentOptions& options)
{
    detail::mostScale.store(options.scale);
    detail::fullscreen.store(options.fullscreen);
}

}  // namespace Wimdows
