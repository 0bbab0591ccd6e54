// The hand-over from other threads to the user-interface thread: the back buffer's
// guard, the request queue and the wake-up of the window's wait.
//
// Requests wait in this layer's own queue, and the user-interface thread is woken by the
// layer itself: no other thread ever puts anything into SDL's queue or sends anything to
// the window system. On X11 SDL wakes a waiting thread by sending an event to the window
// over a second connection; sent while the window is being destroyed, that event draws an
// error from the server, read later by whatever thread closes the connection. Here the
// thread instead waits in poll() on the display connection and on an eventfd that the
// layer writes, after SDL has read everything that came in.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <X11/Xlib.h>

#include <SDL_syswm.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "WimdowsState.hpp"

namespace Wimdows::detail {

thread_local bool uiThread = false;

namespace {

// An event in SDL's queue that only wakes the thread (drivers where SDL wakes it itself).
constexpr Sint32 kWakeEvent = 0x4B4F5201;
// The longest wait without a look at SDL: the drivers keep a few timers of their own
// (focus changes, the screen saver) that only a pump serves.
constexpr int kWaitMs = 250;
// A pad's events are read only when SDL pumps: with one open, look every frame.
constexpr int kGamepadWaitMs = 10;
int WaitMs() { return GamepadsOpen() ? kGamepadWaitMs : kWaitMs; }

std::recursive_mutex bufferLock;
thread_local int guardDepth = 0;

std::mutex requestLock;
QueuedRequest* requestHead = nullptr;  // oldest
QueuedRequest* requestTail = nullptr;
bool accepting = false;  // the window's thread serves requests; under requestLock
std::atomic<std::uint32_t> requestsDone{0};

// How the user-interface thread waits (set by PrepareWait while no request is accepted).
enum class WaitKind { Descriptors, SdlWait };
WaitKind waitKind = WaitKind::Descriptors;
int wakeFd = -1;     // eventfd written by Wake; made once, kept for the run
int displayFd = -1;  // the X connection, or -1 (dummy and offscreen drivers)
Display* xDisplay = nullptr;

// Under requestLock, while accepting.
void Wake()
{
    if (waitKind == WaitKind::SdlWait) {
        // Wayland and the others wake the display, not a window.
        SDL_Event e{};
        e.type = SDL_USEREVENT;
        e.user.code = kWakeEvent;
        SDL_PushEvent(&e);
        return;
    }
    const std::uint64_t one = 1;
    while (write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Unlink(QueuedRequest* r)
{
    QueuedRequest* prev = nullptr;
    for (QueuedRequest* p = requestHead; p; prev = p, p = p->next) {
        if (p != r) continue;
        (prev ? prev->next : requestHead) = p->next;
        if (requestTail == p) requestTail = prev;
        return;
    }
}

void Finish(QueuedRequest* r, int status)
{
    r->status.store(status, std::memory_order_release);  // the caller may return right now
    requestsDone.fetch_add(1, std::memory_order_release);
    requestsDone.notify_all();
}

}  // namespace

bool PrepareWait()
{
    if (wakeFd < 0) wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) return false;
    displayFd = -1;
    xDisplay = nullptr;
    waitKind = WaitKind::Descriptors;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return true;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window.hwnd && SDL_GetWindowWMInfo(window.hwnd, &info) && info.subsystem == SDL_SYSWM_X11) {
        xDisplay = info.info.x11.display;
        displayFd = ConnectionNumber(xDisplay);
        return true;
    }
    waitKind = WaitKind::SdlWait;
    return true;
}

bool ServeOneRequest()
{
    QueuedRequest* r;
    {
        std::lock_guard lock(requestLock);
        r = requestHead;
        if (!r) return false;
        Unlink(r);
    }
    r->fn(r->arg);
    Finish(r, 1);
    return true;
}

void WaitForWork()
{
    if (waitKind == WaitKind::SdlWait) {
        {
            std::lock_guard lock(requestLock);
            if (requestHead) return;
        }
        SDL_WaitEventTimeout(nullptr, WaitMs());  // leaves the event for the caller
        return;
    }
    std::uint64_t count;
    while (read(wakeFd, &count, sizeof count) > 0) {
    }
    {
        std::lock_guard lock(requestLock);
        if (requestHead) return;  // a later write keeps the descriptor readable
    }
    if (xDisplay) {
        // SDL has read the connection dry; whatever our own drawing has since drawn in
        // (replies read by a sync) is in Xlib's queue, which poll() can't see.
        XFlush(xDisplay);
        if (XEventsQueued(xDisplay, QueuedAlready) > 0) return;
    }
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {displayFd, POLLIN, 0}};
    poll(fds, displayFd >= 0 ? 2 : 1, WaitMs());
}

bool Enqueue(QueuedRequest* r)
{
    std::lock_guard lock(requestLock);
    if (!accepting) return false;
    r->next = nullptr;
    r->status.store(0, std::memory_order_relaxed);
    (requestTail ? requestTail->next : requestHead) = r;
    requestTail = r;
    Wake();
    return true;
}

void StartRequests()
{
    std::lock_guard lock(requestLock);
    accepting = true;
}

void RefuseRequests()
{
    std::lock_guard lock(requestLock);
    accepting = false;
    while (QueuedRequest* r = requestHead) {
        requestHead = r->next;
        Finish(r, 2);
    }
    requestTail = nullptr;
}

BufferGuard::BufferGuard()
{
    bufferLock.lock();
    ++guardDepth;
}

BufferGuard::~BufferGuard()
{
    --guardDepth;
    bufferLock.unlock();
}

bool OnUiThread() { return uiThread; }

bool SendRequest(void (*fn)(void*), void* arg)
{
    if (uiThread) {
        fn(arg);
        return true;
    }
    if (guardDepth > 0) {
        std::fprintf(stderr, "[ERROR] (SendRequest) Called while holding the back buffer; request dropped.\n");
        return false;
    }
    QueuedRequest r{fn, arg, nullptr, {0}};
    if (!Enqueue(&r)) return false;
    for (;;) {
        const std::uint32_t seen = requestsDone.load(std::memory_order_acquire);
        const int status = r.status.load(std::memory_order_acquire);
        if (status != 0) return status == 1;
        requestsDone.wait(seen);
    }
}

bool PostEvent(SDL_Event& event)
{
    // Through the queue: only the user-interface thread puts events into SDL's queue.
    auto post = [&event] { SDL_PushEvent(&event); };
    return SendRequest(post);
}

}  // namespace Wimdows::detail
