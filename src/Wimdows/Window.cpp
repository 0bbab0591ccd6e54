// Window lifecycle: the user-interface thread, its event loop, the window procedure,
// the back buffer's life and the synchronous hand-over from other threads.
//
// SDL only supports its event pump on the thread that initialised video, and every
// window here gets a new thread, so each user-interface thread initialises the video
// subsystem at its start and quits it at its teardown. The threads never overlap
// (Window closes the old window and joins its thread first). This holds on X11 and with
// the dummy driver; other platforms (macOS) would need the window on the process's first
// thread.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "Wimdows/WimdowsState.hpp"

namespace Wimdows::Internal {

// ---- Module state (everything starts zeroed) ----
WinStruct window{};
SDL_Surface* hBitBuf = nullptr;
std::atomic<bool> buffering{false};
std::atomic<std::uint32_t> windowId{0};
std::atomic<bool> closedByUser{false};
MenuStruct* menu = nullptr;
std::uint32_t menulen = 0;
BitStruct* bit = nullptr;
std::uint32_t bitlen = 0;
ControlWindow* children = nullptr;
ControlStruct* ctrl = nullptr;
std::uint32_t controllen = 0;

namespace {

constexpr std::uint32_t kMaxSide = 16384;  // X servers refuse larger windows anyway
constexpr Sint32 kRequestEvent = 0x4B4F5201;

std::recursive_mutex bufferLock;
thread_local int guardDepth = 0;
thread_local bool uiThread = false;

// A request handed to the user-interface thread; lives on the caller's stack.
struct Request {
    void (*fn)(void*);
    void* arg;
    Request* next;
    std::atomic<int> status;  // 0 waiting, 1 served, 2 refused
};
std::mutex requestLock;
Request* requestHead = nullptr;  // oldest
Request* requestTail = nullptr;
bool accepting = false;  // the window's thread serves requests; under requestLock
std::atomic<std::uint32_t> requestsDone{0};

// User-interface thread only: the window procedure asked the loop to end.
bool quitPosted = false;

// SDL wakes a thread that waits for events when another thread pushes one only where the
// video driver can be woken (X11, Wayland). With the dummy and offscreen drivers
// SDL_WaitEvent looks again every millisecond, so each hand-over (every UpdateWindow)
// would cost up to a millisecond; there the user-interface thread waits for this layer's
// own pushes instead, the only events those drivers get from outside.
std::mutex wakeLock;
std::condition_variable wakeCv;
std::uint64_t pushes = 0;  // under wakeLock

void Pushed() {
    {
        std::lock_guard lock(wakeLock);
        ++pushes;
    }
    wakeCv.notify_one();
}

bool WakesOnPush() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0);
}

// The next event; false when the events can't be read.
bool NextEvent(SDL_Event& e, bool wakesOnPush) {
    if (wakesOnPush) return SDL_WaitEvent(&e) == 1;
    for (;;) {
        std::uint64_t seen;
        {
            std::lock_guard lock(wakeLock);
            seen = pushes;
        }
        if (SDL_PollEvent(&e)) return true;
        std::unique_lock lock(wakeLock);
        // The timeout only guards against events that come some other way.
        wakeCv.wait_for(lock, std::chrono::milliseconds(10), [seen] { return pushes != seen; });
    }
}

void Unlink(Request* r) {
    Request* prev = nullptr;
    for (Request* p = requestHead; p; prev = p, p = p->next) {
        if (p != r) continue;
        (prev ? prev->next : requestHead) = p->next;
        if (requestTail == p) requestTail = prev;
        return;
    }
}

void Finish(Request* r, int status) {
    r->status.store(status, std::memory_order_release);  // the caller may return right now
    requestsDone.fetch_add(1, std::memory_order_release);
    requestsDone.notify_all();
}

// Runs the request whose wake-up event is being handled, so that requests keep their
// place among the events posted before them.
void ServeRequest(Request* r) {
    {
        std::lock_guard lock(requestLock);
        bool pending = false;
        for (Request* p = requestHead; p && !pending; p = p->next) pending = p == r;
        if (!pending) return;
        Unlink(r);
    }
    r->fn(r->arg);
    Finish(r, 1);
}

// Puts a request into the window's queue without waiting for it; false when no window
// takes it.
bool Enqueue(Request* r) {
    for (;;) {
        {
            std::lock_guard lock(requestLock);
            if (!accepting) return false;
            r->next = nullptr;
            r->status.store(0, std::memory_order_relaxed);
            (requestTail ? requestTail->next : requestHead) = r;
            requestTail = r;
            SDL_Event e{};
            e.type = SDL_USEREVENT;
            e.user.code = kRequestEvent;
            e.user.windowID = windowId.load();
            e.user.data1 = r;
            const int pushed = SDL_PushEvent(&e);
            if (pushed == 1) {
                Pushed();
                return true;
            }
            Unlink(r);
            if (pushed == 0) {
                std::fprintf(stderr, "[ERROR] (SendRequest) SDL filters the window's requests out.\n");
                return false;
            }
        }
        // SDL's queue is full: the window's thread is busy emptying it.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

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
Request showRequest{ShowUnshown, nullptr, nullptr, {0}};

void StartRequests() {
    std::lock_guard lock(requestLock);
    accepting = true;
    showPosted.store(false);
}

// Teardown: nothing is served any more, and everyone waiting is told so.
void RefuseRequests() {
    std::lock_guard lock(requestLock);
    accepting = false;
    while (Request* r = requestHead) {
        requestHead = r->next;
        Finish(r, 2);
    }
    requestTail = nullptr;
}

// Video drivers that show a window to somebody. Left to itself SDL falls back to its
// invisible "offscreen" driver when there is no display, and the program would wait for
// keys that nobody can press. SDL_VIDEODRIVER in the environment still decides (tests use
// the dummy driver).
constexpr const char* kVisibleDrivers = "x11,wayland,KMSDRM";

void SetHints() {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, kVisibleDrivers);
    // Ctrl-C in the console ends the program, as for any console program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The back buffer is a software picture: show it through the window system's own
    // shared-memory image instead of an OpenGL texture (no GL context on this thread).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // A click that brings the window to the front is a click all the same (a menu
    // button pressed in a window that had lost the focus).
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
}

void CloseMessage(bool byUser) {
    if (byUser) closedByUser.store(true);
    if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
}

// Turns one SDL event into the window procedure's messages.
void DispatchEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        CloseMessage(true);
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            CloseMessage(true);
            break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
            if (window.hwnd) WindowProcedure(window.hwnd, WM_PAINT, 0, 0);
            break;
        default:
            break;
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const std::uint32_t vk = VirtualKey(e.key.keysym);
        if (vk == 0) break;
        // Alt combinations and F10 belong to the window system and never reach the
        // game; a release always does, so that no key is left down.
        if (e.type == SDL_KEYDOWN && IsSystemKey(e.key.keysym)) break;
        WindowProcedure(window.hwnd, e.type == SDL_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, vk, 0);
        break;
    }
    case SDL_MOUSEMOTION:
        WindowProcedure(window.hwnd, WM_MOUSEMOVE, 0, MakeLParam(e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        // The second press of a double click comes as a double-click message instead.
        const bool twice = down && e.button.clicks >= 2 && e.button.clicks % 2 == 0;
        std::uint32_t msg = 0;
        if (e.button.button == SDL_BUTTON_LEFT)
            msg = twice ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e.button.button == SDL_BUTTON_RIGHT && !twice)  // right double clicks: ignored
            msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        if (msg) WindowProcedure(window.hwnd, msg, 0, MakeLParam(e.button.x, e.button.y));
        break;
    }
    case SDL_USEREVENT:
        if (e.user.code == kRequestEvent) ServeRequest(static_cast<Request*>(e.user.data1));
        break;
    default:
        break;
    }
}

// WM_COMMAND: menu commands (100 to 9999) and control commands (10000 and above).
void Command(WPARAM wParam) {
    const std::uint32_t code = static_cast<std::uint32_t>(wParam >> 16) & 0xFFFFu;
    const std::uint32_t id = static_cast<std::uint32_t>(wParam) & 0xFFFFu;
    if (code == 1 || id < 100) return;
    if (id < 10000) {
        // Only entries that exist are called; nothing fills the menu table in this game.
        const std::uint32_t entry = id / 100 - 1;
        const std::uint32_t index = id % 100;
        if (entry < menulen && index < menu[entry].itemlen && menu[entry].item[index])
            menu[entry].item[index]();
        return;
    }
    if (code != 0) return;
    ButtonProc proc = nullptr;
    {
        BufferGuard guard;
        const std::uint32_t slot = id - 10000;
        if (slot < controllen && ctrl[slot].hwnd && ctrl[slot].type == CTRL_BUTTON) proc = ctrl[slot].proc;
    }
    if (proc) proc();  // outside the guard: a procedure may run for seconds
}

// Destroys the SDL window; its controls go with it.
void DestroyMainWindow() {
    {
        BufferGuard guard;
        for (std::uint32_t i = 0; i < controllen; ++i) ctrl[i].hwnd = nullptr;
    }
    DestroyChildren();
    SDL_DestroyWindow(window.hwnd);
    window.hwnd = nullptr;
}

void ReportNoWindow(const char* why) {
    std::fprintf(stderr, "[ERROR] (Window) Can't open the window \"%s\": %s\n", window.class_ ? window.class_ : "",
                 why && *why ? why : "unknown reason");
}

void Fail() {
    window.state.store(STATE_ERROR);
    window.state.notify_all();
}

// The user-interface thread of the open (or just closed) window. Joined by the main
// thread once the state says it is finished, and at exit.
struct UiThread {
    std::thread thread;
    void Join() {
        if (thread.joinable()) thread.join();
    }
    ~UiThread();
};
UiThread ui;

}  // namespace

// ---- Back buffer guard and hand-over ----

BufferGuard::BufferGuard() {
    bufferLock.lock();
    ++guardDepth;
}

BufferGuard::~BufferGuard() {
    --guardDepth;
    bufferLock.unlock();
}

bool OnUiThread() { return uiThread; }

bool SendRequest(void (*fn)(void*), void* arg) {
    if (uiThread) {
        fn(arg);
        return true;
    }
    if (guardDepth > 0) {
        std::fprintf(stderr, "[ERROR] (SendRequest) Called while holding the back buffer; request dropped.\n");
        return false;
    }
    Request r{fn, arg, nullptr, {0}};
    if (!Enqueue(&r)) return false;
    for (;;) {
        const std::uint32_t seen = requestsDone.load(std::memory_order_acquire);
        const int status = r.status.load(std::memory_order_acquire);
        if (status != 0) return status == 1;
        requestsDone.wait(seen);
    }
}

bool PostEvent(SDL_Event& event) {
    std::lock_guard lock(requestLock);
    if (!accepting || SDL_PushEvent(&event) != 1) return false;
    Pushed();
    return true;
}

namespace {

// Copies an area of the picture to show onto the window and has the window system show
// it. User-interface thread, holding shownLock.
void ToScreen(SDL_Surface* from, SDL_Rect area) {
    SDL_Surface* screen = SDL_GetWindowSurface(window.hwnd);
    if (!screen) return;
    SDL_Rect target = area;
    SDL_BlitSurface(from, &area, screen, &target);
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

}  // namespace

namespace {

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
    if (uiThread) {
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

// ---- Controls as children of the window ----

void DestroyChild(ControlWindow* child) {
    for (ControlWindow** p = &children; *p; p = &(*p)->next) {
        if (*p != child) continue;
        *p = child->next;
        delete[] child->text;
        delete child;
        return;
    }
}

void DestroyChildren() {
    while (children) DestroyChild(children);
}

// ---- The window's life on its own thread ----

std::int32_t WindowProcedure(SDL_Window* hwnd, std::uint32_t msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        quitPosted = true;
        break;
    case WM_PAINT:
        Paint();
        break;
    case WM_CLOSE:
        if (hwnd && hwnd == window.hwnd) {
            DestroyMainWindow();
            WindowProcedure(hwnd, WM_DESTROY, 0, 0);
        }
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        KeyMessage(msg, wParam);
        break;
    case WM_COMMAND:
        Command(wParam);
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        MouseMessage(msg, lParam);
        break;
    default:
        break;
    }
    return 0;
}

bool Init() {
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window.hwnd, &w, &h);
    if (w <= 0 || h <= 0) return false;
    window.xlen.store(static_cast<std::uint32_t>(w));
    window.ylen.store(static_cast<std::uint32_t>(h));
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    if (!surface) return false;
    BufferGuard guard;
    hBitBuf = surface;
    return true;
}

void Paint() {
    PresentNow(SDL_Rect{0, 0, static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load())});
}

void FreeWindow() {
    delete[] window.class_;
    window.class_ = nullptr;
    {
        std::lock_guard lock(shownLock);
        SDL_FreeSurface(shown);
        shown = nullptr;
        anyUnshown = false;
    }
    {
        BufferGuard guard;
        SDL_FreeSurface(hBitBuf);
        hBitBuf = nullptr;
        window.xlen.store(0);
        window.ylen.store(0);
        buffering.store(false);
    }
    ResetInput();
    for (std::uint32_t i = 0; i < menulen; ++i) delete[] menu[i].item;
    delete[] menu;
    menu = nullptr;
    menulen = 0;
    DestroyChildren();
    BufferGuard guard;
    delete[] ctrl;
    ctrl = nullptr;
    controllen = 0;
    for (std::uint32_t i = 0; i < bitlen; ++i) SDL_FreeSurface(bit[i].hbit);
    delete[] bit;
    bit = nullptr;
    bitlen = 0;
}

std::uint32_t WinMain(void*) {
    // SDL frees its per-thread data (error texts) only for threads it started itself.
    struct ThreadData {
        ~ThreadData() { SDL_TLSCleanup(); }
    } threadData;
    uiThread = true;
    quitPosted = false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
        std::string why = chosen && *chosen ? "" : "no display to show it on; ";
        ReportNoWindow((why + SDL_GetError()).c_str());
        Fail();
        return 0;
    }
    // Not resizable, so not maximisable either; it can be minimised.
    window.hwnd = SDL_CreateWindow(window.class_, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()),
                                   SDL_WINDOW_HIDDEN);
    if (!window.hwnd || !Init()) {
        ReportNoWindow(SDL_GetError());
        if (window.hwnd) SDL_DestroyWindow(window.hwnd);
        window.hwnd = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        Fail();
        return 0;
    }
    windowId.store(SDL_GetWindowID(window.hwnd));
    SDL_ShowWindow(window.hwnd);
    Paint();
    SDL_RaiseWindow(window.hwnd);
    StartRequests();
    window.state.store(STATE_ACTIVE);
    window.state.notify_all();

    const bool wakesOnPush = WakesOnPush();
    SDL_Event e;
    while (!quitPosted) {
        if (!NextEvent(e, wakesOnPush)) {
            std::fprintf(stderr, "[ERROR] (WinMain) The window's events can't be read, closing it: %s\n",
                         SDL_GetError());
            CloseMessage(false);
            break;
        }
        DispatchEvent(e);
    }

    RefuseRequests();
    // Nothing left in SDL's queue may reach the next window (the queue outlives this
    // thread when another part of the program keeps SDL's events running).
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (window.hwnd) DestroyMainWindow();
    FreeWindow();
    windowId.store(0);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    window.state.store(STATE_DEAD);
    window.state.notify_all();
    keyEvents.fetch_add(1, std::memory_order_release);  // wakes GetKey
    keyEvents.notify_all();
    return 0;
}

namespace {

UiThread::~UiThread() {
    if (!thread.joinable()) return;
    if (uiThread) {  // exit() from a button procedure: the thread cannot join itself
        thread.detach();
        return;
    }
    if (window.state.load() == STATE_ACTIVE) KillWindow();
    Join();
}

}  // namespace

}  // namespace Wimdows::Internal

namespace Wimdows {

using namespace Internal;

void Init() { SetHints(); }

void Window(const char* title, std::uint32_t x, std::uint32_t y) {
    if (OnUiThread()) {
        std::fprintf(stderr, "[ERROR] (Window) A window can't be opened from a button procedure.\n");
        return;
    }
    SetHints();
    if (window.state.load() == STATE_ACTIVE) KillWindow();
    ui.Join();  // a window closed by the user has ended its thread by itself

    if (!title) title = "";
    const std::size_t len = std::strlen(title);
    window.class_ = new char[len + 1];
    std::memcpy(window.class_, title, len + 1);
    if (x == 0 || y == 0 || x > kMaxSide || y > kMaxSide) {
        char why[96];
        std::snprintf(why, sizeof why, "a client area of %u by %u pixels is not possible", static_cast<unsigned>(x),
                      static_cast<unsigned>(y));
        ReportNoWindow(why);
        delete[] window.class_;
        window.class_ = nullptr;
        return;
    }
    window.xlen.store(x);
    window.ylen.store(y);
    closedByUser.store(false);

    try {
        ui.thread = std::thread(WinMain, nullptr);
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "[ERROR] (Window) Can't create window. (%s)\n", error.what());
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", "Can't create window.", nullptr);
        delete[] window.class_;
        window.class_ = nullptr;
        window.xlen.store(0);
        window.ylen.store(0);
        return;
    }

    window.state.wait(STATE_DEAD);
    if (window.state.load() == STATE_ERROR) {
        ui.Join();
        window.state.store(STATE_DEAD);
        delete[] window.class_;
        window.class_ = nullptr;
        window.xlen.store(0);
        window.ylen.store(0);
    }
}

void KillWindow() {
    if (OnUiThread()) {
        // From a button procedure: the thread cannot wait for itself. The window is
        // destroyed now and torn down as soon as the procedure returns.
        if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
        return;
    }
    if (window.state.load() != STATE_ACTIVE) {
        window.state.store(STATE_DEAD);
        ui.Join();
        return;
    }
    auto close = [] {
        if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
    };
    SendRequest(close);  // refused when the user's close got there first: same teardown
    for (WinState s; (s = window.state.load()) != STATE_DEAD;) window.state.wait(s);
    ui.Join();
}

WinState State() { return window.state.load(); }

bool ClosedByUser() { return closedByUser.load(); }

}  // namespace Wimdows
