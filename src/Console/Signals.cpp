// Stop signals are blocked in every thread and taken by sigwait on a thread of their own,
// so nothing runs inside a signal handler and any work may follow a signal.
#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "Console/Console.hpp"

namespace Console {

namespace {

std::mutex guard;  // orders a signal against the start and end of a game
std::condition_variable gameEnded;
// Marks alive: the editor holds one for its whole run, and its play-test's game one more
// inside it, so the play-test's end leaves the editor's mark standing.
int gamesRunning = 0;
int stopSignal = 0;

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

[[noreturn]] void EndNow(int signal)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(128 + signal);
}

void Watch(sigset_t set)
{
    for (;;) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) continue;
        std::unique_lock<std::mutex> lock(guard);
        // Outside a game nothing is lost by ending at once; after a game a stop signal ended,
        // with that signal's status, whichever came later.
        if (gamesRunning == 0) EndNow(stopSignal != 0 ? stopSignal : signal);
        if (stopSignal == 0) stopSignal = signal;
        // The game ends as with Escape and saves its score. Signals that come meanwhile (a
        // closed terminal sends two or three at once) stay pending and change nothing; only
        // a game that cannot end in time is given up, and a save cut short leaves the old
        // table whole, since a new one only ever replaces it complete.
        if (!gameEnded.wait_for(lock, GameEndLimit, [] { return gamesRunning == 0; })) {
            std::printf(
                "[ERROR] (Signals) The game did not end within %lld s of the stop signal: the program "
                "ends without saving its score.\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(GameEndLimit).count()));
            EndNow(stopSignal);
        }
    }
}

}  // namespace

void Start()
{
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    // Console lines to a pipe whose reader has gone are dropped (the write fails with
    // EPIPE) instead of ending the program before it saves.
    ::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = StopSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    std::thread(Watch, set).detach();
}

GameInProgress::GameInProgress()
{
    const std::lock_guard<std::mutex> lock(guard);
    ++gamesRunning;
}

GameInProgress::~GameInProgress()
{
    {
        const std::lock_guard<std::mutex> lock(guard);
        --gamesRunning;
    }
    gameEnded.notify_all();
}

int StopSignal()
{
    const std::lock_guard<std::mutex> lock(guard);
    return stopSignal;
}

}  // namespace Console
