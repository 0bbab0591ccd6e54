// Stop signals are blocked in every thread and taken by sigwait on a thread of their own,
// so nothing runs inside a signal handler and any work may follow a signal.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "Console/Console.hpp"

namespace Console {

namespace {

std::mutex guard;  // orders a signal against the start and end of a game
bool gameRunning = false;
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
        const std::lock_guard<std::mutex> lock(guard);
        // Outside a game nothing is lost by ending at once; a second signal during a game
        // ends it too, should the game's own end not come.
        if (!gameRunning || stopSignal != 0) EndNow(signal);
        stopSignal = signal;
    }
}

}  // namespace

void Start()
{
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    const sigset_t set = StopSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    std::thread(Watch, set).detach();
}

GameInProgress::GameInProgress()
{
    const std::lock_guard<std::mutex> lock(guard);
    gameRunning = true;
}

GameInProgress::~GameInProgress()
{
    const std::lock_guard<std::mutex> lock(guard);
    gameRunning = false;
}

int StopSignal()
{
    const std::lock_guard<std::mutex> lock(guard);
    return stopSignal;
}

}  // namespace Console
