// The hand-over from other threads to the user-interface thread: the back buffer's
// guard, the request queue and the wake-up of the window's event wait.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "WimdowsState.hpp"

namespace Wimdows::Internal {

thread_local bool uiThread = false;

namespace {

constexpr Sint32 kRequestEvent = 0x4B4F5201;

std::recursive_mutex bufferLock;
thread_local int guardDepth = 0;

std::mutex requestLock;
QueuedRequest* requestHead = nullptr;  // oldest
QueuedRequest* requestTail = nullptr;
bool accepting = false;  // the window's thread serves requests; under requestLock
std::atomic<std::uint32_t> requestsDone{0};

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

void Unlink(QueuedRequest* r) {
    QueuedRequest* prev = nullptr;
    for (QueuedRequest* p = requestHead; p; prev = p, p = p->next) {
        if (p != r) continue;
        (prev ? prev->next : requestHead) = p->next;
        if (requestTail == p) requestTail = prev;
        return;
    }
}

void Finish(QueuedRequest* r, int status) {
    r->status.store(status, std::memory_order_release);  // the caller may return right now
    requestsDone.fetch_add(1, std::memory_order_release);
    requestsDone.notify_all();
}

}  // namespace

bool WakesOnPush() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0);
}

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

bool IsRequestEvent(const SDL_Event& e) { return e.type == SDL_USEREVENT && e.user.code == kRequestEvent; }

void ServeRequest(const SDL_Event& e) {
    QueuedRequest* r = static_cast<QueuedRequest*>(e.user.data1);
    {
        std::lock_guard lock(requestLock);
        bool pending = false;
        for (QueuedRequest* p = requestHead; p && !pending; p = p->next) pending = p == r;
        if (!pending) return;
        Unlink(r);
    }
    r->fn(r->arg);
    Finish(r, 1);
}

bool Enqueue(QueuedRequest* r) {
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

void StartRequests() {
    std::lock_guard lock(requestLock);
    accepting = true;
}

void RefuseRequests() {
    std::lock_guard lock(requestLock);
    accepting = false;
    while (QueuedRequest* r = requestHead) {
        requestHead = r->next;
        Finish(r, 2);
    }
    requestTail = nullptr;
}

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
    QueuedRequest r{fn, arg, nullptr, {0}};
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

}  // namespace Wimdows::Internal
