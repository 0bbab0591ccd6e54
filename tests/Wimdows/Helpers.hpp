// Shared helpers of the window layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsState.hpp"
#include "Wimdows/WimdowsTesting.hpp"

namespace WimdowsTest {

using namespace std::chrono_literals;

// Waits until pred() holds, at most `limit`; tells whether it did.
template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs f on the user-interface thread and returns once it has run.
template <class F>
bool OnUi(F f) {
    return Wimdows::Internal::SendRequest(f);
}

// Every test starts and ends without a window.
class WindowFixture : public ::testing::Test {
protected:
    void TearDown() override { Wimdows::KillWindow(); }
};

}  // namespace WimdowsTest
