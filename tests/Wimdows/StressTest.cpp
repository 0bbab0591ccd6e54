// The user closes the window while the program draws: the back buffer and the tables
// must stay valid under every drawing operation in progress. Run under AddressSanitizer
// and ThreadSanitizer.
#include <atomic>
#include <random>
#include <thread>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::Internal;

namespace {

// One drawing operation done as the primitives will do it: pixels written by our own
// code (so that the sanitizers see every access), then the area shown when unbuffered.
bool DrawFrame(std::uint32_t color, bool show) {
    if (State() != STATE_ACTIVE) return false;
    int w = 0, h = 0;
    {
        I::BufferGuard guard;
        if (!guard) return false;
        w = I::hBitBuf->w;
        h = I::hBitBuf->h;
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(I::hBitBuf->pixels) +
                                                         y * I::hBitBuf->pitch);
            for (int x = 0; x < w; ++x) row[x] = I::ColorToPixel(color + static_cast<std::uint32_t>(x));
        }
        for (std::uint32_t i = 0; i < I::bitlen; ++i)
            if (I::bit[i].hbit) static_cast<std::uint32_t*>(I::bit[i].hbit->pixels)[0] = color;
    }
    if (show) I::PresentRect(0, 0, w, h);
    return true;
}

void LoadPictures(int count) {
    I::BufferGuard guard;
    I::bitlen = static_cast<std::uint32_t>(count);
    I::bit = new I::BitStruct[count]{};
    for (int i = 0; i < count; ++i)
        I::bit[i] = {SDL_CreateRGBSurfaceWithFormat(0, 16, 16, 32, SDL_PIXELFORMAT_XRGB8888), 16, 16, false};
}

class CloseWhileDrawing : public WindowFixture {};

TEST_F(CloseWhileDrawing, TheUserClosesTheWindowWhileTheMainThreadDraws) {
    std::mt19937 random(1234);
    int drawnWhileClosing = 0;
    for (int round = 0; round < 40; ++round) {
        Window("Stress", 320, 240);
        ASSERT_EQ(State(), STATE_ACTIVE);
        LoadPictures(4);
        const auto delay = std::chrono::microseconds(random() % 8000);
        std::thread user([delay] {
            std::this_thread::sleep_for(delay);
            Testing::PostClose();
        });
        int frames = 0;
        while (DrawFrame(static_cast<std::uint32_t>(frames), frames % 2 == 0)) ++frames;
        user.join();
        ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; })) << round;
        EXPECT_TRUE(ClosedByUser());
        if (frames > 0) ++drawnWhileClosing;
        EXPECT_FALSE(DrawFrame(0, true));  // after the close nothing is drawn
    }
    EXPECT_GT(drawnWhileClosing, 20);
}

TEST_F(CloseWhileDrawing, BothThreadsDrawWhileTheUserCloses) {
    // A button procedure draws on the user-interface thread while the main thread draws too.
    for (int round = 0; round < 25; ++round) {
        Window("Stress", 200, 150);
        ASSERT_EQ(State(), STATE_ACTIVE);
        std::thread user([round] {
            std::this_thread::sleep_for(std::chrono::microseconds(300 * round));
            Testing::PostClose();
        });
        std::uint32_t n = 0;
        for (bool open = true; open; ++n) {
            open = DrawFrame(n, false);
            auto draw = [n] { DrawFrame(n ^ 0xFF00u, true); };
            OnUi(draw);
        }
        user.join();
        ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    }
}

TEST_F(CloseWhileDrawing, KillWindowWhileInputPoursIn) {
    for (int round = 0; round < 20; ++round) {
        Window("Stress", 100, 100);
        ASSERT_EQ(State(), STATE_ACTIVE);
        testing::internal::CaptureStderr();  // the player's events after the close are refused
        std::atomic<bool> stop{false};
        std::thread player([&] {
            for (std::uint32_t i = 0; !stop.load(); ++i) {
                Testing::PostKey('A' + i % 26, i % 3 != 2);
                Testing::PostMouseMove(static_cast<std::int32_t>(i % 100), 5);
                Testing::PostMouseButton(1 + 2 * static_cast<int>(i % 2), i % 4 < 2, 5, 5);
                if (i % 16 == 0) std::this_thread::sleep_for(50us);
            }
        });
        for (int i = 0; i < 30; ++i) {
            DrawFrame(static_cast<std::uint32_t>(i), true);
            if (i % 10 == 0) FlushKeys();
        }
        KillWindow();
        stop.store(true);
        player.join();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(State(), STATE_DEAD);
        EXPECT_EQ(I::keybuf.tail, nullptr);
        for (std::uint32_t k = 0; k < 256; ++k) ASSERT_FALSE(KeyDown(k));
    }
}

}  // namespace
