// Window lifecycle: the user-interface thread, its event loop and the back buffer's life.
//
// One user-interface thread serves the whole run: it starts SDL's video once, hosts each
// window in turn and stops video when the program ends (on Wayland: see KeepVideo). SDL
// only supports its event pump on the thread that initialised video, and keeping the
// display connection open between windows matters on X: a server whose last client
// leaves resets, and a window opened right then would be refused. This holds on X11, Wayland and with the dummy driver;
// other platforms (macOS) would need the window on the process's first thread.
#include <X11/Xlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

WinStruct window{};
SDL_Surface* hBitBuf = nullptr;
std::atomic<bool> buffering{false};
std::atomic<std::uint32_t> windowId{0};
std::atomic<bool> closedByUser{false};
std::atomic<Ended> ended{Ended::NeverOpened};

namespace {

// Video drivers that show a window to somebody. Left to itself SDL falls back to its
// invisible "offscreen" driver when there is no display, and the program would wait for
// keys that nobody can press. SDL_VIDEODRIVER in the environment still decides (tests use
// the dummy driver).
constexpr const char* kVisibleDrivers = "x11,wayland,KMSDRM";

void SetHints()
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, kVisibleDrivers);
    // Ctrl-C in the console ends the program, as for any console program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A click that brings the window to the front is a click all the same (a menu
    // button pressed in a window that had lost the focus).
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    PresentHints();
}

void ReportNoWindow(const char* why)
{
    std::fprintf(stderr, "[ERROR] (Window) Can't open the window \"%s\": %s\n", window.class_ ? window.class_ : "",
                 why && *why ? why : "unknown reason");
}

void Fail()
{
    window.state.store(STATE_ERROR);
    window.state.notify_all();
}

// ---- The display connection's errors ----
// Xlib's own handlers end the process with exit() on whichever thread meets the error,
// while the main thread may be drawing and static objects are destroyed under it.
std::atomic<bool> xErrorTold{false};

int OnXError(Display*, XErrorEvent* e)
{
    // A request about a window that is already gone, for instance: nothing to stop for.
    if (!xErrorTold.exchange(true))
        std::fprintf(stderr, "[ERROR] (Window) The display refused a request (error %u, request %u.%u); going on.\n",
                     static_cast<unsigned>(e->error_code), static_cast<unsigned>(e->request_code),
                     static_cast<unsigned>(e->minor_code));
    return 0;
}

int OnXIOError(Display*)
{
    // The display is gone (the X server ended): no window can be shown any more. End here,
    // on this thread, without running exit handlers under the other threads' feet; saved
    // files are whole (saves go through a rename).
    static const char message[] = "[ERROR] (Window) The connection to the display was lost; the program ends.\n";
    const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    _exit(1);
}

void InstallXHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XSetErrorHandler(OnXError);
        XSetIOErrorHandler(OnXIOError);
    });
}

// Video start-up. A display that is named but refuses the connection may be resetting
// (its last client just left): try again for a short while.
constexpr auto kVideoRetry = std::chrono::milliseconds(1500);

bool DisplayNamed()
{
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

bool StartVideo(std::string& why)
{
    InstallXHandlers();  // before SDL's driver puts its own in front of them
    const auto end = std::chrono::steady_clock::now() + kVideoRetry;
    const bool named = DisplayNamed();
    for (;;) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        why = SDL_GetError();
        if (!named || std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (!(chosen && *chosen)) why = "no display to show it on; " + why;
    return false;
}

// The user-interface thread, and what the other threads ask of it between windows.
struct UiThread {
    std::thread thread;
    std::mutex lock;
    std::condition_variable wanted;
    bool openWanted = false;  // under lock
    bool quitWanted = false;  // under lock
    ~UiThread();
};
UiThread ui;

// Whether video stays up between windows. On Wayland SDL 2.26 still dispatches the
// decorations' callbacks of a window it has destroyed (a crash in the next window); there
// each window brings its own connection, as the compositor does not reset.
bool KeepVideo()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || std::strcmp(driver, "wayland") != 0;
}

void UiMain()
{
    // SDL frees its per-thread data (error texts) only for threads it started itself.
    struct ThreadData {
        ~ThreadData() { SDL_TLSCleanup(); }
    } threadData;
    uiThread = true;
    bool video = false;
    for (;;) {
        {
            std::unique_lock lock(ui.lock);
            ui.wanted.wait(lock, [] { return ui.openWanted || ui.quitWanted; });
            if (ui.quitWanted) break;
            ui.openWanted = false;
        }
        std::string why;
        if (!video && !(video = StartVideo(why))) {
            ReportNoWindow(why.c_str());
            Fail();
            continue;
        }
        StartGamepads();
        WinMain(nullptr);
        ReleaseGamepadKeys();
        if (!KeepVideo()) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            video = false;
        }
    }
    StopGamepads();
    if (video) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

void DestroyMainWindow()
{
    {
        BufferGuard guard;
        for (std::uint32_t i = 0; i < controllen; ++i) ctrl[i].hwnd = nullptr;
    }
    DestroyChildren();
    PresentClose();
    SDL_DestroyWindow(window.hwnd);
    window.hwnd = nullptr;
}

bool Init()
{
    const std::int32_t w = static_cast<std::int32_t>(window.xlen.load());
    const std::int32_t h = static_cast<std::int32_t>(window.ylen.load());
    if (w <= 0 || h <= 0) return false;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    if (!surface) return false;
    BufferGuard guard;
    hBitBuf = surface;
    return true;
}

void FreeWindow()
{
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

void CloseWindow()
{
    if (!window.hwnd) return;
    ended.store(closedByUser.load() ? Ended::ClosedByUser : Ended::ClosedByProgram);
    // No request reaches the window, and nothing is sent to it, once its end has begun.
    RefuseRequests();
    DestroyMainWindow();
}

std::uint32_t WinMain(void*)
{
    quitPosted = false;
    // Not resizable, so not maximisable either; it can be minimised. The back buffer
    // keeps the size asked for; the window's own size is presentation's choice.
    const WindowPlacement place =
        PlaceWindow(static_cast<int>(window.xlen.load()), static_cast<int>(window.ylen.load()));
    window.hwnd = SDL_CreateWindow(window.class_, place.x, place.y, place.w, place.h, SDL_WINDOW_HIDDEN | place.flags);
    if (!window.hwnd || !Init() || !PresentOpen() || !PrepareWait()) {
        ReportNoWindow(SDL_GetError());
        if (window.hwnd) DestroyMainWindow();
        FreeWindow();
        Fail();
        return 0;
    }
    windowId.store(SDL_GetWindowID(window.hwnd));
    SDL_ShowWindow(window.hwnd);
    AwaitCompositor();
    Paint();
    SDL_RaiseWindow(window.hwnd);
    ended.store(Ended::StillOpen);
    StartRequests();
    window.state.store(STATE_ACTIVE);
    window.state.notify_all();

    // Every event that has come in first, then one request, so that a request finds the
    // events posted before it handled (an event posted by a request is in SDL's queue when
    // that request has run); wait only when neither is there.
    while (!quitPosted) {
        bool busy = false;
        SDL_Event e;
        while (!quitPosted && SDL_PollEvent(&e)) {
            DispatchEvent(e);
            busy = true;
        }
        if (!quitPosted && ServeOneRequest()) busy = true;
        if (!busy && !quitPosted) WaitForWork();
    }

    RefuseRequests();
    // Nothing left in SDL's queue may reach the next window.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    if (window.hwnd) DestroyMainWindow();
    FreeWindow();
    windowId.store(0);
    window.state.store(STATE_DEAD);
    window.state.notify_all();
    keyEvents.fetch_add(1, std::memory_order_release);  // wakes GetKey
    keyEvents.notify_all();
    return 0;
}

namespace {

UiThread::~UiThread()
{
    if (!thread.joinable()) return;
    if (uiThread) {  // exit() from a button procedure: the thread cannot join itself
        thread.detach();
        return;
    }
    if (window.state.load() == STATE_ACTIVE) KillWindow();
    {
        std::lock_guard guard(lock);
        quitWanted = true;
    }
    wanted.notify_all();
    thread.join();
}

}  // namespace

}  // namespace Wimdows::detail

namespace Wimdows {

using namespace detail;

void Init() { SetHints(); }

void Window(const char* title, std::uint32_t x, std::uint32_t y)
{
    if (OnUiThread()) {
        std::fprintf(stderr, "[ERROR] (Window) A window can't be opened from a button procedure.\n");
        return;
    }
    SetHints();
    // A window closed by the user ends by itself: wait until it is torn down.
    if (window.state.load() == STATE_ACTIVE) KillWindow();

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
    ended.store(Ended::NeverOpened);

    if (!ui.thread.joinable()) {
        try {
            ui.thread = std::thread(UiMain);
        } catch (const std::system_error& error) {
            std::fprintf(stderr, "[ERROR] (Window) Can't create window. (%s)\n", error.what());
            SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "Error", "Can't create window.", nullptr);
            delete[] window.class_;
            window.class_ = nullptr;
            window.xlen.store(0);
            window.ylen.store(0);
            return;
        }
    }
    {
        std::lock_guard lock(ui.lock);
        ui.openWanted = true;
    }
    ui.wanted.notify_all();

    window.state.wait(STATE_DEAD);
    if (window.state.load() == STATE_ERROR) {
        window.state.store(STATE_DEAD);
        delete[] window.class_;
        window.class_ = nullptr;
        window.xlen.store(0);
        window.ylen.store(0);
    }
}

void KillWindow()
{
    if (OnUiThread()) {
        // From a button procedure: the thread cannot wait for itself. The window is
        // destroyed now and torn down as soon as the procedure returns.
        if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
        return;
    }
    if (window.state.load() != STATE_ACTIVE) return;
    auto close = [] {
        if (window.hwnd) WindowProcedure(window.hwnd, WM_CLOSE, 0, 0);
    };
    SendRequest(close);  // refused when the user's close got there first: same teardown
    for (WinState s; (s = window.state.load()) != STATE_DEAD;) window.state.wait(s);
}

WinState State() { return window.state.load(); }

Ended WindowEnded() { return ended.load(); }

}  // namespace Wimdows
