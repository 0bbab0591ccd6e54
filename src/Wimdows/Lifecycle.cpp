// Window lifecycle: the user-interface thread, its event loop and the back buffer's life.
//
// SDL only supports its event pump on the thread that initialised video, and every
// window here gets a new thread, so each user-interface thread initialises the video
// subsystem at its start and quits it at its teardown. The threads never overlap
// (Window closes the old window and joins its thread first). This holds on X11 and with
// the dummy driver; other platforms (macOS) would need the window on the process's first
// thread.
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "WimdowsState.hpp"

namespace Wimdows::Internal {

WinStruct window{};
SDL_Surface* hBitBuf = nullptr;
std::atomic<bool> buffering{false};
std::atomic<std::uint32_t> windowId{0};
std::atomic<bool> closedByUser{false};

namespace {

constexpr std::uint32_t kMaxSide = 16384;  // X servers refuse larger windows anyway

// Video drivers that show a window to somebody. Left to itself SDL falls back to its
// invisible "offscreen" driver when there is no display, and the program would wait for
// keys that nobody can press. SDL_VIDEODRIVER in the environment still decides (tests use
// the dummy driver).
constexpr const char* kVisibleDrivers = "x11,wayland,KMSDRM";

void SetHints() {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, kVisibleDrivers);
    // Ctrl-C in the console ends the program, as for any console program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A click that brings the window to the front is a click all the same (a menu
    // button pressed in a window that had lost the focus).
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    PresentHints();
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

void DestroyMainWindow() {
    {
        BufferGuard guard;
        for (std::uint32_t i = 0; i < controllen; ++i) ctrl[i].hwnd = nullptr;
    }
    DestroyChildren();
    PresentClose();
    SDL_DestroyWindow(window.hwnd);
    window.hwnd = nullptr;
}

bool Init() {
    const std::int32_t w = static_cast<std::int32_t>(window.xlen.load());
    const std::int32_t h = static_cast<std::int32_t>(window.ylen.load());
    if (w <= 0 || h <= 0) return false;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    if (!surface) return false;
    BufferGuard guard;
    hBitBuf = surface;
    return true;
}

void FreeWindow() {
    delete[] window.class_;
    window.class_ = nullptr;
    PresentClose();
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
    // Not resizable, so not maximisable either; it can be minimised. The back buffer
    // keeps the size asked for; the window's own size is presentation's choice.
    const WindowPlacement place =
        PlaceWindow(static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()));
    window.hwnd = SDL_CreateWindow(window.class_, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, place.w, place.h,
                                   SDL_WINDOW_HIDDEN | place.flags);
    if (!window.hwnd || !Init() || !PresentOpen()) {
        ReportNoWindow(SDL_GetError());
        if (window.hwnd) DestroyMainWindow();
        FreeWindow();
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
            if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
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
