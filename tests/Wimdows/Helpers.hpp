// Shared helpers of the window layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"
#include "WimdowsState.hpp"

namespace WimdowsTest {

using namespace std::chrono_literals;

// Waits until pred() holds, at most `limit`; tells whether it did.
template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs f on the user-interface thread and returns once it has run.
template <class F>
bool OnUi(F f)
{
    return Wimdows::detail::SendRequest(f);
}

// Every pixel of a 32-bit surface as 0x00BBGGRR, row by row.
inline std::vector<std::uint32_t> Pixels(SDL_Surface* s)
{
    std::vector<std::uint32_t> out;
    if (!s || s->format->BytesPerPixel != 4) return out;
    for (int y = 0; y < s->h; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x) {
            Uint8 r, g, b;
            SDL_GetRGB(row[x], s->format, &r, &g, &b);
            out.push_back(r | (g << 8) | (static_cast<std::uint32_t>(b) << 16));
        }
    }
    return out;
}

// The whole back buffer, or the whole of what the window shows.
inline std::vector<std::uint32_t> BackPixels()
{
    Wimdows::detail::BufferGuard guard;
    return guard ? Pixels(Wimdows::detail::hBitBuf) : std::vector<std::uint32_t>{};
}
inline std::vector<std::uint32_t> ScreenPixels()
{
    std::vector<std::uint32_t> out;
    auto read = [&] {
        if (Wimdows::detail::window.hwnd) out = Pixels(SDL_GetWindowSurface(Wimdows::detail::window.hwnd));
    };
    Wimdows::detail::SendRequest(read);
    return out;
}

// Fills the back buffer with one colour without showing it.
inline void FillBack(std::uint32_t color)
{
    Wimdows::detail::BufferGuard guard;
    if (guard) SDL_FillRect(Wimdows::detail::hBitBuf, nullptr, Wimdows::detail::ColorToPixel(color));
}

// Every test starts and ends without a window.
class WindowFixture : public ::testing::Test {
protected:
    void TearDown() override { Wimdows::KillWindow(); }
};

}  // namespace WimdowsTest
