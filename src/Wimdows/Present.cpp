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
SDL_Surface* composed = nullptr;  // the picture with the controls over it (other scales)
bool settled = false;             // the window's frame is known and the size checked
bool wasFullscreen = false;       // the window's state when last looked at
int sizeTries = 0;                // corrections of the windowed size left after a switch
// The window frame's sizes of the last window (top, left, bottom, right): the next window
// is placed with them before its own frame is known.
int frame[4] = {0, 0, 0, 0};
int displayIndex = 0;

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

bool Wayland()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "wayland") == 0;
}

// SDL drops the window's picture (and says so with this event) whenever its size may have
// changed; the next picture is laid out anew. Runs on the thread that pumps the events.
int OnWindowEvent(void*, SDL_Event* e)
{
    if (e->type == SDL_WINDOWEVENT &&
        (e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e->window.event == SDL_WINDOWEVENT_RESIZED))
        relayout.store(true);
    return 0;
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
    SDL_Surface* screen = SDL_GetWindowSurface(window.hwnd);
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
    if (SDL_UpdateWindowSurfaceRects(window.hwnd, &changed, 1) != 0)
        TellOnce(toldUpdate, "The window's picture can't be shown");
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
// included, is on the screen.
constexpr int kWaylandTitleBar = 40;
constexpr int kWaylandPanel = 48;

// The room for a window's client area on its display: the usable area (without panels)
// less the window frame.
Scale::Size Room(int display)
{
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return {};
    if (Wayland()) return {usable.w, usable.h - kWaylandPanel - kWaylandTitleBar};
    return {usable.w - frame[1] - frame[3], usable.h - frame[0] - frame[2]};
}

// The window's size for its client area at the scale that fits the display.
Scale::Size WindowedSize(int display, int w, int h)
{
    const Scale::Size client{w, h};
    const Scale::Size room = Room(display);
    if (room.w <= 0 || room.h <= 0) return client;  // nothing known about the display
    return Scale::Scaled(client, Scale::Choose(client, room, MostScale()), room);
}

// Puts the window's frame in the middle of the usable area. Before the window is mapped
// the window system places the frame where the window is asked to be; afterwards SDL
// allows for the frame itself.
void Centre(int w, int h, bool mapped)
{
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(displayIndex, &usable) != 0) return;
    const int outerW = w + frame[1] + frame[3];
    const int outerH = h + frame[0] + frame[2];
    const int x = usable.x + std::max(0, (usable.w - outerW) / 2) + (mapped ? frame[1] : 0);
    const int y = usable.y + std::max(0, (usable.h - outerH) / 2) + (mapped ? frame[0] : 0);
    SDL_SetWindowPosition(window.hwnd, x, y);
}

// True when the window with its frame lies wholly in the usable area.
bool WhollyShown(int w, int h)
{
    SDL_Rect usable{};
    if (SDL_GetDisplayUsableBounds(displayIndex, &usable) != 0) return true;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window.hwnd, &x, &y);
    return x - frame[1] >= usable.x && y - frame[0] >= usable.y && x + w + frame[3] <= usable.x + usable.w &&
           y + h + frame[2] <= usable.y + usable.h;
}

// Once the window is on the screen its frame becomes known (the window manager tells it
// a moment after the window is mapped): when it differs from the frame the window was
// placed with, the size is chosen again and the window centred, so that the whole window,
// title bar included, is on the display. Until a frame is known this is tried with every
// picture shown (it only reads what SDL keeps).
void Settle()
{
    if (settled || !window.hwnd) return;
    if (SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN) return;
    int f[4] = {0, 0, 0, 0};
    if (SDL_GetWindowBordersSize(window.hwnd, &f[0], &f[1], &f[2], &f[3]) != 0) {
        settled = true;  // the window system does not tell
        return;
    }
    if (f[0] == 0 && f[1] == 0 && f[2] == 0 && f[3] == 0) return;
    settled = true;
    std::memcpy(frame, f, sizeof f);
    const Scale::Size size =
        WindowedSize(displayIndex, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()));
    int w = 0, h = 0;
    SDL_GetWindowSize(window.hwnd, &w, &h);
    if (w != size.w || h != size.h) SDL_SetWindowSize(window.hwnd, size.w, size.h);
    if (w != size.w || h != size.h || !WhollyShown(size.w, size.h)) Centre(size.w, size.h, true);
}

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
    return {size.w, size.h, fullscreen.load() ? static_cast<std::uint32_t>(SDL_WINDOW_FULLSCREEN_DESKTOP) : 0u};
}

bool PresentOpen()
{
    // The back buffer is a software picture: on X11 show it through the window system's
    // own shared-memory image instead of an OpenGL texture. Wayland has no such image:
    // there SDL needs its accelerated window surface, or the window is never mapped.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool wayland = driver && std::strcmp(driver, "wayland") == 0;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, wayland ? "1" : "0");
    showPosted.store(false);
    laidOut = false;
    relayout.store(true);
    SDL_AddEventWatch(OnWindowEvent, nullptr);
    settled = false;
    wasFullscreen = (SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN) != 0;
    sizeTries = 0;
    if (SDL_Surface* icon = Icon()) SDL_SetWindowIcon(window.hwnd, icon);
    if (!(SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN)) {
        int w = 0, h = 0;
        SDL_GetWindowSize(window.hwnd, &w, &h);
        Centre(w, h, false);
    }
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
    return Scale::ToClient(layout, x, y);
}

void ClientToWindow(std::int32_t& x, std::int32_t& y)
{
    if (laidOut) Scale::ToWindow(layout, x, y);
}

void ToggleFullscreen()
{
    if (!window.hwnd) return;
    const bool on = !(SDL_GetWindowFlags(window.hwnd) & SDL_WINDOW_FULLSCREEN);
    if (SDL_SetWindowFullscreen(window.hwnd, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        std::fprintf(stderr, "[ERROR] (Window) Can't switch to %s: %s\n", on ? "fullscreen" : "a window",
                     SDL_GetError());
        return;
    }
    fullscreen.store(on);
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
        // size). A few tries only: a desktop that insists keeps its size.
        wasFullscreen = full;
        relayout.store(true);
        sizeTries = full ? 0 : 3;
    }
    if (full || sizeTries == 0) return;
    const Scale::Size size =
        WindowedSize(displayIndex, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()));
    int w = 0, h = 0;
    SDL_GetWindowSize(window.hwnd, &w, &h);
    if (w == size.w && h == size.h) return;
    --sizeTries;
    SDL_SetWindowSize(window.hwnd, size.w, size.h);
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
