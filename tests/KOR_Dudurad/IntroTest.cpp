// The intro on SDL's dummy video driver with the generated pictures: its frames, their
// pace, what some of them show, and how it ends.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "../support/TempDir.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

using namespace Wimdows;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr std::uint32_t kBackground = 0x461400;  // RgbColor(0, 20, 70)
constexpr std::uint32_t kAnimationFrames = 820;

// What the hook saw: the number of frames, when they came, and pixels of chosen frames.
struct Seen {
    std::atomic<std::uint32_t> frames{0};
    Clock::time_point first;
    Clock::time_point finalPicture;
    std::mutex lock;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> probes;  // (frame, colour)
    std::uint32_t closeAt = 0;                                    // post a close at this frame
    std::uint32_t keyAt = 0;                                      // post a key press at this frame
};
Seen* seen = nullptr;

std::uint32_t ScreenAt(std::int32_t x, std::int32_t y)
{
    std::uint32_t c = 0xDEADBEEF;
    Testing::ReadScreen(x, y, c);
    return c;
}

// Pixels looked at per frame: the logo's middle, the first portrait, the rocket's body on
// its three legs, the intro text.
void Hook(std::uint32_t frame)
{
    if (frame == 1) seen->first = Clock::now();
    seen->frames = frame;
    if (frame == seen->closeAt) Testing::PostClose();
    if (frame == seen->keyAt) Testing::PostKey('Q', true);
    std::lock_guard lock(seen->lock);
    switch (frame) {
        case 1:  // the logo is still right of the window: plain background
            seen->probes.push_back({frame, ScreenAt(540, 265)});
            break;
        case 201:  // the logo has arrived at (400, 125)
            seen->probes.push_back({frame, ScreenAt(540, 265)});
            seen->probes.push_back({frame + 10000, ScreenAt(175, 62)});  // no crew yet
            break;
        case 405:  // all four rows in place
            seen->probes.push_back({frame, ScreenAt(175, 62)});
            break;
        case 500:  // rocket at (800 - 3 * 94, 80) = (518, 80): its body at (548, 110)
            seen->probes.push_back({frame, ScreenAt(548, 110)});
            break;
        case 600:  // going down at (340, 80 + 3 * 39) = (340, 197): body at (370, 227)
            seen->probes.push_back({frame, ScreenAt(370, 227)});
            break;
        case 821:  // the final picture
            seen->finalPicture = Clock::now();
            seen->probes.push_back({frame, ScreenAt(370, 227)});
            seen->probes.push_back({frame + 10000, ScreenAt(548, 110)});
            break;
        default:
            break;
    }
}

std::uint32_t Probe(std::uint32_t frame)
{
    std::lock_guard lock(seen->lock);
    for (const auto& [f, c] : seen->probes)
        if (f == frame) return c;
    ADD_FAILURE() << "frame " << frame << " not probed";
    return 0;
}

// The intro text's box holds something besides the background.
bool TextShown()
{
    for (int x = 560; x < 800; x += 4)
        for (int y = 505; y < 550; y += 3)
            if (ScreenAt(x, y) != kBackground) return true;
    return false;
}

class Intro : public ::testing::Test {
protected:
    void SetUp() override
    {
        seen = &state;
        KOR_Dudurad::detail::SetFrameHook(Hook);
        Window("Intro", 800, 550);
        ASSERT_EQ(State(), STATE_ACTIVE);
        SetBuffering(true);
    }
    void TearDown() override
    {
        KOR_Dudurad::detail::SetFrameHook(nullptr);
        KillWindow();
        seen = nullptr;
    }
    Seen state;
};

// A key pressed during the animation neither stops nor shortens it, and ends the intro
// as soon as the final picture is up.
TEST_F(Intro, AllFramesPlayAtTheirPaceAndAnEarlyKeyEndsItAfterTheFinalPicture)
{
    ASSERT_EQ(::chdir(KOR_BUILD_DIR), 0);
    state.keyAt = 30;
    const auto start = Clock::now();
    KOR_Dudurad::Bewegen();
    const auto end = Clock::now();
    EXPECT_EQ(state.frames.load(), kAnimationFrames + 1);
    EXPECT_GE(state.finalPicture - start, 8200ms);
    EXPECT_LT(end - state.finalPicture, 300ms);
    EXPECT_EQ(Probe(1), kBackground);
    EXPECT_NE(Probe(201), kBackground);
    EXPECT_EQ(Probe(10201), kBackground);
    EXPECT_NE(Probe(405), kBackground);
    EXPECT_NE(Probe(500), kBackground);
    EXPECT_NE(Probe(600), Probe(821));     // the rocket over the logo, then not
    EXPECT_EQ(Probe(10821), kBackground);  // nor above it
    EXPECT_TRUE(TextShown());
}

// Without the rocket's mask no rocket appears, the rest plays as usual, and without a key
// the final picture stays until one comes.
TEST_F(Intro, AMissingMaskLeavesTheRocketOutAndTheFinalPictureWaitsForAKey)
{
    ScopedWorkDir dir;
    std::filesystem::copy(std::filesystem::path(KOR_BUILD_DIR) / "graphics", "graphics");
    std::filesystem::remove("graphics/raket-mask.bmp");
    std::thread player([] {
        while (seen->frames.load() <= kAnimationFrames) std::this_thread::sleep_for(5ms);
        std::this_thread::sleep_for(400ms);
        Testing::PostKey(' ', true);
    });
    KOR_Dudurad::Bewegen();
    const auto end = Clock::now();
    player.join();
    EXPECT_EQ(state.frames.load(), kAnimationFrames + 1);
    EXPECT_GE(end - state.finalPicture, 400ms);
    EXPECT_EQ(Probe(500), kBackground);
    EXPECT_EQ(Probe(600), Probe(821));
    EXPECT_NE(Probe(405), kBackground);
    EXPECT_TRUE(TextShown());
}

TEST_F(Intro, ClosingTheWindowEndsItAtOnce)
{
    ASSERT_EQ(::chdir(KOR_BUILD_DIR), 0);
    state.closeAt = 5;
    const auto start = Clock::now();
    KOR_Dudurad::Bewegen();
    EXPECT_LT(Clock::now() - start, 1000ms);
    EXPECT_LT(state.frames.load(), 50u);
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);  // known as soon as the close begins
}

TEST_F(Intro, WithoutAWindowItReturnsAtOnce)
{
    KillWindow();
    const auto start = Clock::now();
    KOR_Dudurad::Bewegen();
    EXPECT_LT(Clock::now() - start, 100ms);
    EXPECT_EQ(state.frames.load(), 0u);
}

}  // namespace
