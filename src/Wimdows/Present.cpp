// Presentation: how the back buffer reaches the screen. Every road ends in ToScreen on
// the user-interface thread; other threads leave their areas in the picture to show.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "WimdowsState.hpp"

namespace Wimdows::Internal {

namespace {

// ---- Showing the back buffer from other threads ----
// Another thread shows an area in two steps: it copies the area from the back buffer into
// `shown`, the picture the window is to show, on its own thread (where the pixels are
// still in its caches), and leaves the copy onto the window to the user-interface thread
// without waiting for it. A frame therefore costs its drawing thread one copy, and the
// window's thread copies while the next frame is drawn. Requests to show keep their place
// among the other requests, so whatever is asked of the window afterwards finds the area
// on the screen.
std::mutex shownLock;  // taken before a BufferGuard, never while holding one
SDL_Surface* shown = nullptr;  // under shownLock; made on first use, released with the window
SDL_Rect unshown{};            // under shownLock: the area of `shown` not yet on the window
bool anyUnshown = false;
std::atomic<bool> showPosted{false};  // showRequest is in the queue
void ShowUnshown(void*);
QueuedRequest showRequest{ShowUnshown, nullptr, nullptr, {0}};

// Copies an area of the picture to show onto the window and has the window system show
// it. User-interface thread, holding shownLock.
void ToScreen(SDL_Surface* from, SDL_Rect area) {
    SDL_Surface* screen = SDL_GetWindowSurface(window.hwnd);
    if (!screen) {
        static std::atomic<bool> told{false};  // once, not every frame
        if (!told.exchange(true))
            std::fprintf(stderr, "[ERROR] (Window) The window's picture can't be shown: %s\n", SDL_GetError());
        return;
    }
    SDL_Rect target = area;
    SDL_BlitSurface(from, &area, screen, &target);
    if (!inButtonProc) DrawChildren(screen, area);  // the controls lie over the picture
    SDL_UpdateWindowSurfaceRects(window.hwnd, &area, 1);
}

// The request that other threads' PresentRect leave behind.
void ShowUnshown(void*) {
    showPosted.store(false);  // before taking the area: a later PresentRect posts again
    std::lock_guard lock(shownLock);
    if (!anyUnshown || !shown || !window.hwnd) return;
    anyUnshown = false;
    ToScreen(shown, unshown);
}

// Copies an area of the back buffer into the picture to show; false when there is
// nothing to show. Holding shownLock.
bool CopyToShown(const SDL_Rect& area, SDL_Rect& clipped) {
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

}  // namespace

void PresentHints() {}

WindowPlacement PlaceWindow(int w, int h) { return {w, h, 0}; }

bool PresentOpen() {
    // The back buffer is a software picture: on X11 show it through the window system's
    // own shared-memory image instead of an OpenGL texture. Wayland has no such image:
    // there SDL needs its accelerated window surface, or the window is never mapped.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool wayland = driver && std::strcmp(driver, "wayland") == 0;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, wayland ? "1" : "0");
    showPosted.store(false);
    return true;
}

void PresentClose() {
    std::lock_guard lock(shownLock);
    SDL_FreeSurface(shown);
    shown = nullptr;
    anyUnshown = false;
}

bool MapToClient(std::int32_t& x, std::int32_t& y) {
    (void)x;
    (void)y;
    return true;
}

void ToggleFullscreen() {}

void ShowAgain(SDL_Rect area) {
    std::lock_guard lock(shownLock);
    if (!shown || !window.hwnd) return;
    const SDL_Rect whole{0, 0, shown->w, shown->h};
    SDL_Rect clipped;
    if (SDL_IntersectRect(&area, &whole, &clipped)) ToScreen(shown, clipped);
}

void PresentNow(SDL_Rect area) {
    // Through the picture to show, so that an older area that another thread left to be
    // shown can't come over this one afterwards.
    std::lock_guard lock(shownLock);
    SDL_Rect clipped;
    if (window.hwnd && CopyToShown(area, clipped)) ToScreen(shown, clipped);
}

void PresentRect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
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

void Paint() {
    PresentNow(SDL_Rect{0, 0, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load())});
}

}  // namespace Wimdows::Internal
