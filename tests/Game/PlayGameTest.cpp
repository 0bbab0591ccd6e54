// Whole games played in a dummy-driver window: the test's thread runs PlayGame, a second
// thread presses keys through the window system's event queue, and every frame is looked at
// as it ends (state, bodies, back-buffer pixels) while the simulation clock ticks 10 ms a step.
#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Game/Game.hpp"
#include "Game/PlayGameTesting.hpp"
#include "Path/Path.hpp"
#include "Physics/Physics.hpp"
#include "StandardSound/StandardSound.hpp"
#include "TempDir.hpp"
#include "TestGraphics.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

using namespace std::chrono_literals;
using namespace TestGraphics;
using Game::detail::EndState;
using Game::detail::FrameState;
using StandardSound::SoundEventEn;

namespace {

using namespace Wimdows::VirtualKeys;

// What one frame looked like when it ended.
struct Seen {
    FrameState state;
    float rocketMass;
    Level::VECTOR rocket;
    bool pathExists;
};

std::mutex lock;
std::condition_variable changed;
std::vector<Seen> frames;
std::vector<SoundEventEn> sounds;
std::optional<EndState> ended;
bool returned = false;  // PlayGame has returned
// Runs on the game's thread at the end of every frame, with the frame in the back buffer.
std::function<void(const Seen&)> probe;

std::atomic<std::uint32_t> clockMs{0};
std::uint32_t TickingClock() { return clockMs.fetch_add(10) + 10; }
// A clock that moves only when the test moves it.
std::uint32_t ManualClock() { return clockMs.load(); }

std::vector<bool> switches;  // what the game reported after each M
void OnSwitch(bool muted)
{
    std::lock_guard g(lock);
    switches.push_back(muted);
}

void OnFrame(const FrameState& s)
{
    const Level::OBJECT& rocket = Game::detail::PlayedLevel()->Objects[1];
    const Seen seen{s, rocket.Mass, rocket.Position, Path::Exists()};
    std::function<void(const Seen&)> p;
    {
        std::lock_guard g(lock);
        frames.push_back(seen);
        p = probe;
    }
    if (p) p(seen);
    changed.notify_all();
}

void OnEnd(const EndState& s)
{
    {
        std::lock_guard g(lock);
        ended = s;
    }
    changed.notify_all();
}

void OnSound(SoundEventEn e)
{
    std::lock_guard g(lock);
    sounds.push_back(e);
}

// ---- Script side (second thread) ----

// Waits until pred() holds under the lock; false after 10 seconds.
template <class Pred>
bool WaitUntil(Pred pred)
{
    std::unique_lock g(lock);
    return changed.wait_for(g, 10s, pred);
}

// Waits for k more frames, or for the game to return when it has stopped drawing frames.
bool WaitFrames(std::size_t k)
{
    std::size_t target = 0;
    {
        std::lock_guard g(lock);
        target = frames.size() + k;
    }
    return WaitUntil([&] { return frames.size() >= target || returned; });
}

bool WaitEnd()
{
    return WaitUntil([] { return ended.has_value(); });
}

// Holds a key until the game has tested it in at least `k` whole frames, then lets it go
// until the game has tested it up in a whole frame (so that the next press is a press of
// its own), or, on the end screen, until the game has returned.
void Hold(std::uint32_t vk, std::size_t k = 1)
{
    Wimdows::Testing::PostKey(vk, true);
    Wimdows::Testing::Sync();
    EXPECT_TRUE(WaitFrames(k + 1)) << "no frames while key " << vk << " was held";
    Wimdows::Testing::PostKey(vk, false);
    Wimdows::Testing::Sync();
    WaitFrames(2);
}

int Count(SoundEventEn e)
{
    std::lock_guard g(lock);
    int c = 0;
    for (SoundEventEn s : sounds) c += s == e;
    return c;
}

class PlayGameTest : public ::testing::Test {
protected:
    ScopedWorkDir dir;

    void SetUp() override
    {
        UseDummyDrivers();
        WriteAll(dir.dir);
        std::filesystem::create_directories(dir.dir / "data");
        Game::Init();
        {
            std::lock_guard g(lock);
            frames.clear();
            sounds.clear();
            ended.reset();
            returned = false;
            probe = nullptr;
            switches.clear();
        }
        Game::SetSoundSwitchedHandler(&OnSwitch);
        Game::detail::SetClock(&TickingClock);
        Game::detail::SetFrameHook(&OnFrame);
        Game::detail::SetEndHook(&OnEnd);
        StandardSound::SetEventObserver(&OnSound);
    }
    void TearDown() override
    {
        Game::detail::SetFrameHook(nullptr);
        Game::detail::SetEndHook(nullptr);
        StandardSound::SetEventObserver(nullptr);
        StandardSound::SetMuted(false);
        Game::SetSoundSwitchedHandler(nullptr);
        Game::detail::SetClock(nullptr);
        Game::detail::SetFramePause(Game::detail::FramePause);
        Wimdows::KillWindow();
        std::lock_guard g(lock);
        probe = nullptr;
    }

    void Level(int number, const std::string& text)
    {
        WriteFile(
            dir.dir / "data" / (std::string(number < 10 ? "level-0" : "level-") + std::to_string(number) + ".txt"),
            text);
    }

    // Plays a game on this thread while `script` runs on another; the script always ends the
    // game in the end, and a script that gets stuck closes the window so that nothing hangs.
    template <class Script>
    void Play(Script script, std::uint32_t firstLevel = 1)
    {
        Game::Setup setup;
        setup.levels.first = firstLevel;
        setup.table = firstLevel == 1 ? Game::ScoreTable::Game : Game::ScoreTable::NoTable;
        setup.remark = firstLevel == 1 ? Game::EndRemark::NoRemark : Game::EndRemark::NotInTable;
        Play(script, setup);
    }
    template <class Script>
    void Play(Script script, const Game::Setup& setup)
    {
        std::thread t([&] {
            // The first frame, or the end screen when there is no level to play.
            EXPECT_TRUE(WaitUntil([] { return !frames.empty() || ended.has_value(); })) << "the game shows nothing";
            script();
        });
        Game::PlayGame(setup);
        {
            std::lock_guard g(lock);
            returned = true;
        }
        changed.notify_all();
        t.join();
    }

    std::vector<Seen> Frames()
    {
        std::lock_guard g(lock);
        return frames;
    }

    static std::string Scores() { return ReadFile("data/highscores.dat"); }
};

const std::string Hole = "[Ball]\nPosition_X = 400\nPosition_Y = 0\nRadius = 25\n";
const std::string RocketFar = "[Ball]\nPosition_X = -400\nPosition_Y = -100\nRadius = 12\nMass = 1\n";
// The rocket inside the win distance of the black hole at (400, 0): won in the first step.
const std::string RocketAtHole = "[Ball]\nPosition_X = 390\nPosition_Y = 0\nRadius = 12\nMass = 1\n";
// A deadly asteroid lying on the rocket at (-400, -100): lost in the first step.
const std::string DeadlyOnRocket =
    "[Ball]\nPosition_X = -395\nPosition_Y = -100\nRadius = 10\nMass = 1\nGameOverOnCollision = 1\n";

TEST_F(PlayGameTest, WonLevelScoresAndGoesOnToTheNextWithFreshAim)
{
    Level(1, Hole + RocketAtHole);
    Level(2, Hole + RocketFar);
    std::atomic<bool> looked{false};
    {
        std::lock_guard g(lock);
        probe = [&](const Seen& s) {
            if (s.state.level != 2 || looked.exchange(true)) return;
            // The first frame of level 2: bodies, aiming arrow and display where the tables put them.
            EXPECT_EQ(BackPixel(100, 472), RocketColor);     // rocket (-400, -100) r 12
            EXPECT_EQ(BackPixel(887, 359), BlackHoleColor);  // hole (400, 0) r 25
            EXPECT_EQ(BackPixel(141, 484), White);           // speed 150: a 30 pixel shaft
            EXPECT_NE(BackPixel(150, 484), White);
            EXPECT_EQ(BackPixel(5, 705), MenuColor);
            EXPECT_TRUE(AnyPixelNear(120, 740, 145, 756, Black));  // current speed
            EXPECT_TRUE(AnyPixelNear(994, 10, 1024, 26, White));   // level number
            EXPECT_TRUE(AnyPixelNear(55, 10, 85, 26, White));      // score
        };
    }
    Play([] {
        WaitUntil([] { return !frames.empty() && frames.back().state.level == 2; });
        Hold(VK_ESCAPE);
    });

    const auto f = Frames();
    ASSERT_GE(f.size(), 2u);
    EXPECT_EQ(f[0].state.level, 1u);
    EXPECT_EQ(f[0].state.score, 200);
    EXPECT_TRUE(f[0].state.goToNextLevel);
    EXPECT_TRUE(f[0].state.stopLevel);
    EXPECT_EQ(f[1].state.level, 2u);
    EXPECT_EQ(f[1].state.score, 200);
    EXPECT_EQ(f[1].state.speed, 150.0f);
    EXPECT_EQ(f[1].state.angle, 0.0f);
    EXPECT_EQ(f[1].state.previousSpeed, 0.0f);
    EXPECT_FALSE(f[1].pathExists);
    EXPECT_EQ(f[1].rocketMass, 0.0f);  // held
    EXPECT_TRUE(looked);
    EXPECT_GE(Count(StandardSound::WIN), 1);
    EXPECT_EQ(Count(StandardSound::OUTROQUIT), 1);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->quitGame);
    EXPECT_EQ(Scores(), "200\r\n0\r\n0\r\n0\r\n0\r\n");
    EXPECT_EQ(Wimdows::WindowEnded(), Wimdows::Ended::StillOpen);
}

TEST_F(PlayGameTest, DeadlyWallCostsTwentyAndTheLevelIsTriedAgain)
{
    // A deadly wall 30 pixels in front of the rocket, which flies right at 250 a second.
    Level(1, Hole + "[Ball]\nPosition_X = -400\nPosition_Y = 0\nRadius = 12\nMass = 1\n" +
                 "[Rectangle]\nPosition_X = -358\nPosition_Y = -50\nDimension_X = 20\nDimension_Y = 100\n"
                 "GameOverOnCollision = 1\n");
    Play([] {
        Hold(VK_SPACE, 2);
        EXPECT_TRUE(WaitUntil([] { return !frames.empty() && frames.back().state.score == 80; }));
        WaitFrames(2);
        Hold(VK_ESCAPE);
    });

    const auto f = Frames();
    std::size_t lost = 0;
    while (lost < f.size() && !f[lost].state.stopLevel) ++lost;
    ASSERT_LT(lost + 1, f.size());
    EXPECT_EQ(f[lost].state.score, 80);
    EXPECT_FALSE(f[lost].state.goToNextLevel);
    EXPECT_FALSE(f[lost].state.quitGame);
    EXPECT_GT(f[lost].rocket.x, -400.0f);  // it flew
    // The same level again: rocket back and held, aim and path of the last flight kept.
    const Seen& again = f[lost + 1];
    EXPECT_EQ(again.state.level, 1u);
    EXPECT_EQ(again.rocket.x, -400.0f);
    EXPECT_EQ(again.rocketMass, 0.0f);
    EXPECT_EQ(again.state.previousSpeed, 250.0f);
    EXPECT_TRUE(again.pathExists);
    EXPECT_EQ(Count(StandardSound::SHOOT), 1);  // Space held on during the flight does nothing
    EXPECT_GE(Count(StandardSound::CRASH), 1);
    EXPECT_EQ(Scores(), "80\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(PlayGameTest, EndRestartsTheLevelWithTheRestartSound)
{
    Level(1, Hole + RocketFar);
    Level(2, Hole + RocketFar);
    Play([] {
        Hold(VK_SPACE);
        WaitFrames(5);
        Hold(VK_END, 2);
        WaitFrames(2);
        Hold(VK_R, 2);  // R is End's twin
        WaitFrames(2);
        Hold(VK_ESCAPE);
    });
    const auto f = Frames();
    int restarts = 0;
    for (std::size_t i = 0; i + 1 < f.size(); ++i) {
        if (!f[i].state.stopLevel || f[i].state.quitGame) continue;
        ++restarts;
        EXPECT_FALSE(f[i].state.goToNextLevel);
        EXPECT_EQ(f[i + 1].rocketMass, 0.0f);   // held again
        EXPECT_EQ(f[i + 1].rocket.x, -400.0f);  // at its start
    }
    EXPECT_GE(restarts, 4);  // each held for two frames or more: a restart in each
    EXPECT_EQ(Count(StandardSound::RESTART), restarts);
    for (const Seen& s : f) {
        EXPECT_EQ(s.state.level, 1u);
        EXPECT_EQ(s.state.score, 100);
    }
    EXPECT_EQ(Count(StandardSound::OUTROQUIT), 1);
}

TEST_F(PlayGameTest, LastLevelWonShowsTheWonScreenAndSavesTheScore)
{
    Level(1, Hole + RocketAtHole);
    WriteFile(dir.dir / "data" / "highscores.dat", "500 300 200 100 0");
    Play([] {
        ASSERT_TRUE(WaitEnd());
        EXPECT_EQ(BackPixel(500, 300), WonColor);
        EXPECT_TRUE(AnyPixelNear(100, 570, 140, 586, White));  // "Your score" 200
        EXPECT_FALSE(AnyPixelNear(20, 676, 300, 688, White));  // a whole game: no remark
        Hold(VK_SPACE);
    });
    ASSERT_TRUE(ended);
    EXPECT_FALSE(ended->quitGame);
    EXPECT_TRUE(ended->goToNextLevel);
    EXPECT_EQ(ended->score, 200);
    EXPECT_EQ(Count(StandardSound::OUTROWIN), 1);
    EXPECT_EQ(Scores(), "500\r\n300\r\n200\r\n200\r\n100\r\n");
    EXPECT_EQ(Wimdows::WindowEnded(), Wimdows::Ended::StillOpen);
    EXPECT_EQ(Wimdows::State(), Wimdows::STATE_ACTIVE);  // left open for the next window
}

TEST_F(PlayGameTest, FiveLossesInARowEndTheGameAsLost)
{
    Level(1, Hole + RocketFar + DeadlyOnRocket);
    Play([] {
        ASSERT_TRUE(WaitEnd());
        EXPECT_EQ(BackPixel(500, 300), LostColor);
        Hold(VK_ESCAPE);
    });
    const auto f = Frames();
    ASSERT_EQ(f.size(), 5u);
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_EQ(f[i].state.score, 80 - 20 * static_cast<int>(i));
        EXPECT_TRUE(f[i].state.stopLevel);
    }
    EXPECT_FALSE(ended->goToNextLevel);
    EXPECT_FALSE(ended->quitGame);
    EXPECT_EQ(Count(StandardSound::OUTROLOSE), 1);
    EXPECT_EQ(Scores(), "0\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(PlayGameTest, FrameBothLostAndWonCountsAsWon)
{
    Level(1, Hole + RocketAtHole +
                 "[Ball]\nPosition_X = 380\nPosition_Y = 0\nRadius = 10\nMass = 1\nGameOverOnCollision = 1\n");
    Level(2, Hole + RocketFar);
    Play([] {
        WaitUntil([] { return !frames.empty() && frames.back().state.level == 2; });
        Hold(VK_ESCAPE);
    });
    const auto f = Frames();
    ASSERT_GE(f.size(), 2u);
    EXPECT_EQ(f[0].state.score, 180);
    EXPECT_TRUE(f[0].state.goToNextLevel);
    EXPECT_EQ(f[1].state.level, 2u);
    EXPECT_EQ(Scores(), "180\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST_F(PlayGameTest, AimingKeysStepAndStayInTheirRanges)
{
    Level(1, Hole + RocketFar);
    Play([] {
        Hold(VK_DOWN);
        // Holding Right for long enough reaches 500 and stays there.
        Wimdows::Testing::PostKey(VK_RIGHT, true);
        EXPECT_TRUE(WaitUntil([] {
            int top = 0;
            for (auto i = frames.rbegin(); i != frames.rend() && i->state.speed == 500.0f; ++i) ++top;
            return top >= 3;
        }));
        Wimdows::Testing::PostKey(VK_RIGHT, false);
        Wimdows::Testing::Sync();
        WaitFrames(1);
        Hold(VK_ESCAPE);
    });
    const auto f = Frames();
    float previous = 250.0f;
    for (const Seen& s : f) {
        EXPECT_LE(s.state.speed, 500.0f);
        EXPECT_TRUE(s.state.speed == previous || s.state.speed == previous + 2.5f);
        previous = s.state.speed;
    }
    // Down from 0 wraps round to just under a full turn, then steps on down.
    std::size_t turned = 0;
    while (turned < f.size() && f[turned].state.angle == 0.0f) ++turned;
    ASSERT_LT(turned, f.size());
    EXPECT_NEAR(f[turned].state.angle, 6.270684f, 1e-5f);
    EXPECT_GT(f.back().state.angle, 6.2f);
    EXPECT_EQ(f.back().state.speed, 500.0f);
}

TEST_F(PlayGameTest, CloseBoxEndsTheGameAsEscapeAndKeepsTheScore)
{
    Level(1, Hole + RocketFar);
    WriteFile(dir.dir / "data" / "highscores.dat", "500\r\n300\r\n200\r\n100\r\n0\r\n");
    Play([] {
        WaitFrames(3);
        Wimdows::Testing::PostClose();
    });
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->quitGame);
    EXPECT_EQ(Count(StandardSound::OUTROQUIT), 1);
    EXPECT_EQ(Scores(), "500\r\n300\r\n200\r\n100\r\n100\r\n");
    EXPECT_EQ(Wimdows::WindowEnded(), Wimdows::Ended::ClosedByUser);
}

TEST_F(PlayGameTest, CloseBoxEndsTheEndScreenWait)
{
    Play([] {
        // No level 1: straight to the end screen, lost, with the starting score.
        ASSERT_TRUE(WaitEnd());
        EXPECT_EQ(BackPixel(500, 300), LostColor);
        Wimdows::Testing::PostClose();
    });
    EXPECT_TRUE(Frames().empty());
    ASSERT_TRUE(ended);
    EXPECT_FALSE(ended->quitGame);
    EXPECT_FALSE(ended->goToNextLevel);
    EXPECT_EQ(ended->score, 100);
    EXPECT_EQ(Count(StandardSound::OUTROLOSE), 1);
    EXPECT_EQ(Scores(), "100\r\n0\r\n0\r\n0\r\n0\r\n");
    EXPECT_NE(Wimdows::WindowEnded(), Wimdows::Ended::StillOpen);
}

TEST_F(PlayGameTest, NoWindowMeansNoGameRatherThanAnEndlessOne)
{
    Level(1, Hole + RocketFar);
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    Game::PlayGame();  // returns at once: nobody could ever press a key
    UseDummyDrivers();
    EXPECT_NE(Wimdows::WindowEnded(), Wimdows::Ended::StillOpen);
    EXPECT_TRUE(Frames().empty());
    EXPECT_FALSE(ended);
    EXPECT_FALSE(std::filesystem::exists("data/highscores.dat"));
}

TEST_F(PlayGameTest, AGameFromALaterLevelStartsThereAndStaysOutOfTheTable)
{
    Level(1, Hole + RocketFar);
    Level(2, Hole + RocketAtHole);
    WriteFile(dir.dir / "data" / "highscores.dat", "500 300 200 100 0");
    Play(
        [] {
            ASSERT_TRUE(WaitEnd());
            EXPECT_EQ(BackPixel(500, 300), WonColor);
            EXPECT_TRUE(AnyPixelNear(20, 676, 300, 688, White));  // the remark why
            Hold(VK_SPACE);
        },
        2);
    const auto f = Frames();
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f[0].state.level, 2u);
    EXPECT_EQ(f[0].state.speed, 250.0f);  // a game's first aim
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->score, 200);
    EXPECT_EQ(Scores(), "500 300 200 100 0");  // not even rewritten
}

TEST_F(PlayGameTest, ShiftArrowsStepOncePerPressAndRepeatAfterAPauseByTheClock)
{
    Level(1, Hole + RocketFar);
    clockMs = 1000;
    Game::detail::SetClock(&ManualClock);
    Play([] {
        const auto now = [] {
            std::lock_guard g(lock);
            return frames.back().state;
        };
        Wimdows::Testing::PostKey(VK_SHIFT, true);
        Hold(VK_DOWN, 3);  // one step however long it is held: round below 0
        EXPECT_NEAR(now().angle, 6.270684f, 1e-5f);
        Hold(VK_UP, 3);
        Hold(VK_UP, 3);  // back over the full turn
        EXPECT_NEAR(now().angle, 0.0125f, 1e-5f);

        Wimdows::Testing::PostKey(VK_RIGHT, true);
        Wimdows::Testing::Sync();
        WaitFrames(3);
        EXPECT_EQ(now().speed, 252.5f);
        clockMs += 399;
        WaitFrames(3);
        EXPECT_EQ(now().speed, 252.5f);
        clockMs += 1;  // 400 ms held: the repeats begin
        WaitFrames(3);
        EXPECT_EQ(now().speed, 255.0f);
        clockMs += 200;  // three more at 15 a second
        WaitFrames(3);
        EXPECT_EQ(now().speed, 262.5f);
        for (int i = 0; i < 60; ++i) {
            clockMs += 200;
            WaitFrames(2);
        }
        EXPECT_EQ(now().speed, 500.0f);
        Wimdows::Testing::PostKey(VK_RIGHT, false);
        Hold(VK_LEFT, 3);
        EXPECT_EQ(now().speed, 497.5f);
        // Shift let go before the arrow: the press stays one fine step.
        Wimdows::Testing::PostKey(VK_LEFT, true);
        Wimdows::Testing::Sync();
        WaitFrames(2);
        Wimdows::Testing::PostKey(VK_SHIFT, false);
        Wimdows::Testing::Sync();
        WaitFrames(5);
        EXPECT_EQ(now().speed, 495.0f);
        Wimdows::Testing::PostKey(VK_LEFT, false);
        Wimdows::Testing::Sync();
        WaitFrames(2);
        Hold(VK_LEFT);  // a new press without Shift is coarse again
        EXPECT_LT(now().speed, 495.0f);
        Hold(VK_ESCAPE);
    });
    for (const Seen& s : Frames()) EXPECT_LE(s.state.speed, 500.0f);
}

// F1 and ? show the keys over the frame and hold the game, in flight too; on the end screen
// they show its keys and then the end screen again.
TEST_F(PlayGameTest, HelpKeysShowTheKeysAndHoldTheGame)
{
    Level(1, Hole + RocketFar);
    const auto boxShown = [] { return BackPixel(230, 160) == 0x461400 && AnyPixelNear(228, 166, 400, 186, White); };
    static std::atomic<int> helpFrames{0};
    helpFrames = 0;
    {
        std::lock_guard g(lock);
        probe = [boxShown](const Seen& s) {
            if (s.state.paused && boxShown()) ++helpFrames;
        };
    }
    bool endHelp = false, endAgain = false;
    std::size_t shownAt = 0, goneAt = 0;
    Play([&] {
        Hold(VK_SPACE);
        Hold(VK_F1);
        shownAt = Frames().size();
        Hold(VK_RIGHT, 3);  // not heard while the help shows
        Hold(VK_QUESTION);
        goneAt = Frames().size();
        WaitFrames(3);
        // Escape let go within the end screen's first half second, which would end it.
        Wimdows::Testing::PostKey(VK_ESCAPE, true);
        Wimdows::Testing::Sync();
        ASSERT_TRUE(WaitEnd());
        Wimdows::Testing::PostKey(VK_ESCAPE, false);
        Wimdows::Testing::Sync();
        // The end screen has no frames: a key is held until what it does is in the back buffer.
        const auto tap = [](std::uint32_t vk, auto done) {
            Wimdows::Testing::PostKey(vk, true);
            Wimdows::Testing::Sync();
            for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
            Wimdows::Testing::PostKey(vk, false);
            Wimdows::Testing::Sync();
            return done();
        };
        endHelp = tap(VK_F1, [] { return BackPixel(280, 260) == 0x461400 && AnyPixelNear(278, 266, 500, 286, White); });
        endAgain = tap(VK_QUESTION, [] { return BackPixel(500, 300) == QuitColor; });
        Hold(VK_SPACE);
    });
    const auto f = Frames();
    ASSERT_GT(goneAt, shownAt);
    ASSERT_GT(f.size(), goneAt + 2);
    const Seen& held = f[shownAt - 1];
    EXPECT_TRUE(held.state.paused);
    EXPECT_NE(held.rocketMass, 0.0f);  // in flight, held
    int heldFrames = 0;
    for (std::size_t i = shownAt; i < goneAt; ++i) {
        if (!f[i].state.paused) continue;
        ++heldFrames;
        EXPECT_EQ(f[i].rocket.x, held.rocket.x);
        EXPECT_EQ(f[i].state.speed, 250.0f);
    }
    EXPECT_GT(heldFrames, 3);
    EXPECT_GT(helpFrames.load(), 3);
    EXPECT_FALSE(f[goneAt + 1].state.paused);
    EXPECT_GT(f.back().rocket.x, held.rocket.x);  // flying on
    EXPECT_TRUE(endHelp);
    EXPECT_TRUE(endAgain);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->quitGame);  // the help keys on the end screen do not leave it
}

// A level file, a set of the player's with its own table and progress, and the play-test:
// each won, each leaving the game's own table as it was.
TEST_F(PlayGameTest, EveryWayOfPlayingKeepsToItsOwnTableAndSaysWhatItWas)
{
    WriteFile(dir.dir / "data" / "highscores.dat", "500 300 200 100 0");
    std::filesystem::create_directories(dir.dir / "set");
    WriteFile(dir.dir / "set" / "level-01.txt", Hole + RocketAtHole);
    WriteFile(dir.dir / "one.txt", Hole + RocketAtHole);
    struct Case {
        const char* what;
        Game::Levels::From from;
        Game::ScoreTable table;
        Game::EndRemark remark;
        const char* setScores;  // the set's table afterwards ("" : none written)
        const char* progress;   // the set's progress afterwards
        bool testBox;           // the play-test's box over the headline
    };
    for (const Case& c : {
             Case{"file", Game::Levels::From::File, Game::ScoreTable::NoTable, Game::EndRemark::LevelFile, "", "",
                  false},
             Case{"set", Game::Levels::From::Folder, Game::ScoreTable::Set, Game::EndRemark::NoRemark,
                  "200\r\n0\r\n0\r\n0\r\n0\r\n", "1\n", false},
             Case{"play-test", Game::Levels::From::File, Game::ScoreTable::NoTable, Game::EndRemark::PlayTest, "", "",
                  true},
         }) {
        std::filesystem::remove(dir.dir / "set" / "scores.dat");
        std::filesystem::remove(dir.dir / "set" / "progress.txt");
        Game::Setup setup;
        setup.levels.from = c.from;
        setup.levels.folder = "set";
        setup.levels.file = "one.txt";
        setup.table = c.table;
        setup.remark = c.remark;
        if (c.from == Game::Levels::From::Folder) {
            setup.scoreFile = "set/scores.dat";
            setup.progress = "set/progress.txt";
        }
        {
            std::lock_guard g(lock);
            ended.reset();
            returned = false;
        }
        Play(
            [&] {
                ASSERT_TRUE(WaitEnd());
                EXPECT_EQ(BackPixel(500, 300), WonColor) << c.what;
                EXPECT_EQ(BackPixel(120, 80) == 0x461400, c.testBox) << c.what;
                Hold(VK_SPACE);
            },
            setup);
        ASSERT_TRUE(ended) << c.what;
        EXPECT_EQ(ended->score, 200) << c.what;
        EXPECT_EQ(Scores(), "500 300 200 100 0") << c.what;
        EXPECT_EQ(ReadFile("set/scores.dat"), c.setScores) << c.what;
        EXPECT_EQ(ReadFile("set/progress.txt"), c.progress) << c.what;
    }
}

// Escape over the help closes the help only: back to the pause it came from, or on with
// the game; then a new press of Escape ends the game.
TEST_F(PlayGameTest, EscapeClosesTheHelpFirstAndHelpFromThePauseReturnsToIt)
{
    Level(1, Hole + RocketFar);
    const auto pauseBox = [] { return BackPixel(400, 340) == 0x461400; };
    const auto helpBox = [] { return BackPixel(230, 160) == 0x461400; };
    bool overPause = false, backToPause = false, helpAgain = false;
    Play([&] {
        Hold(VK_P);
        Hold(VK_F1);
        overPause = helpBox();
        Hold(VK_F1);  // F1 again: the pause, not the game
        backToPause = pauseBox() && !helpBox() && Frames().back().state.paused;
        Hold(VK_P);
        Hold(VK_F1);
        helpAgain = helpBox();
        Hold(VK_ESCAPE, 3);  // closes the help, and the game goes on while it is held
        EXPECT_FALSE(Frames().back().state.quitGame);
        EXPECT_FALSE(Frames().back().state.paused);
        Hold(VK_ESCAPE);
        ASSERT_TRUE(WaitEnd());
        Hold(VK_SPACE);
    });
    EXPECT_TRUE(overPause);
    EXPECT_TRUE(backToPause);
    EXPECT_TRUE(helpAgain);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->quitGame);
}

TEST_F(PlayGameTest, PauseStopsTheFlightAndHearsOnlyPAndEscape)
{
    Level(1, Hole + RocketFar);
    Level(2, Hole + RocketFar);
    clockMs = 1000;
    Game::detail::SetClock(&ManualClock);
    static std::atomic<bool> overlay{false}, note{false};
    overlay = false;
    note = false;
    {
        std::lock_guard g(lock);
        probe = [](const Seen& s) {
            clockMs += 10;  // 10 ms a frame, paused or not
            if (s.state.paused && !overlay)
                overlay = BackPixel(400, 340) == 0x461400 && AnyPixelNear(488, 360, 540, 376, White);
            if (!s.state.paused && !note) note = AnyPixelNear(462, 40, 560, 56, White);
        };
    }
    std::size_t pausedAt = 0, resumedAt = 0;
    Play([&] {
        Hold(VK_SPACE);
        WaitFrames(3);
        Hold(VK_P);
        pausedAt = Frames().size();
        for (std::uint32_t vk : {VK_RIGHT, VK_END, VK_M, VK_SPACE}) Hold(vk, 3);
        WaitFrames(20);
        resumedAt = Frames().size();
        Hold(VK_P);
        WaitFrames(3);
        Hold(VK_M);
        WaitFrames(3);
        Hold(VK_M);
        Hold(VK_P);
        Hold(VK_ESCAPE);  // Escape still quits a paused game
    });
    const auto f = Frames();
    ASSERT_GT(resumedAt, pausedAt);
    ASSERT_GT(f.size(), resumedAt + 2);
    const Seen& held = f[pausedAt - 1];
    EXPECT_TRUE(held.state.paused);
    EXPECT_NE(held.rocketMass, 0.0f);  // in flight
    for (std::size_t i = pausedAt; i < resumedAt; ++i) {
        EXPECT_TRUE(f[i].state.paused);
        EXPECT_EQ(f[i].rocket.x, held.rocket.x);
        EXPECT_EQ(f[i].state.speed, held.state.speed);
        EXPECT_FALSE(f[i].state.stopLevel);
    }
    EXPECT_TRUE(overlay);
    // On from where it stood: one frame's flight (2.5 at 250 a second), not the pause's.
    std::size_t next = resumedAt;
    while (next < f.size() && f[next].state.paused) ++next;
    ASSERT_LT(next + 1, f.size());
    EXPECT_EQ(f[next].rocket.x, held.rocket.x);  // the frame that heard P
    EXPECT_GT(f[next + 1].rocket.x, held.rocket.x);
    EXPECT_LE(f[next + 1].rocket.x, held.rocket.x + 5.0f);
    EXPECT_EQ(Count(StandardSound::RESTART), 0);
    EXPECT_EQ(Count(StandardSound::SHOOT), 1);
    EXPECT_EQ(switches, (std::vector<bool>{true, false}));
    EXPECT_TRUE(note);
    EXPECT_FALSE(StandardSound::Muted());
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->quitGame);
    EXPECT_TRUE(f.back().state.paused);
}

// A pad plays a level to the end screen and leaves it: the stick a little up aims finely, A
// launches, A again leaves the end screen. SDL's virtual pad; the dummy driver gives no
// window the focus, without which SDL keeps a pad's events back. Each move of the stick
// waits until the game has seen it, and the game's clock stands still while the test aims,
// so that no step is lost or repeated however slowly the window's thread runs.
TEST_F(PlayGameTest, AGamepadAimsLaunchesAndLeavesTheEndScreen)
{
    Level(1, Hole + RocketFar);
    static std::atomic<bool> aiming;
    aiming = true;
    Game::detail::SetClock(+[]() -> std::uint32_t { return aiming ? clockMs.load() : clockMs.fetch_add(10) + 10; });
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_Joystick* pad = nullptr;
    int device = -1;
    Play([&] {
        SDL_VirtualJoystickDesc d{};
        d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        d.naxes = SDL_CONTROLLER_AXIS_MAX;
        d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        device = SDL_JoystickAttachVirtualEx(&d);
        ASSERT_GE(device, 0) << SDL_GetError();
        pad = SDL_JoystickOpen(device);
        // Plugged in: the window's thread opens it as a game controller.
        const SDL_JoystickID id = SDL_JoystickInstanceID(pad);
        ASSERT_TRUE(WaitUntil([id] { return SDL_GameControllerFromInstanceID(id) != nullptr; }))
            << "the pad was not opened";
        for (int i = 1; i <= 10; ++i) {  // the aim at the hole: 0.125 rad, a step each
            SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, -16000);
            EXPECT_TRUE(WaitUntil([i] { return frames.back().state.angle > 0.0125f * (static_cast<float>(i) - 0.5f); }))
                << "step " << i << " was not seen";
            SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 0);
            EXPECT_TRUE(WaitUntil([] { return !Wimdows::KeyDown(VK_UP) && !Wimdows::KeyDown(VK_SHIFT); }));
            WaitFrames(2);  // a whole frame with the stick let go
        }
        aiming = false;
        SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
        EXPECT_TRUE(WaitUntil([] { return frames.back().state.previousSpeed > 0.0f; })) << "A did not launch";
        SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);
        // A flight of about 3 s of game time, 300 frames: a bound of two minutes for a slow machine.
        for (int i = 0; i < 12 && !WaitEnd(); ++i) {
        }
        if (!ended) Hold(VK_ESCAPE);
        SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);  // held until the game returns
    });
    SDL_JoystickClose(pad);
    if (device >= 0) SDL_JoystickDetachVirtual(device);
    const auto f = Frames();
    ASSERT_FALSE(f.empty());
    EXPECT_NEAR(f.back().state.previousAngle, 0.125f, 1e-5f);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->goToNextLevel);
    EXPECT_EQ(ended->score, 200);
}

// Each shipped level from a new game (--level N: speed 250, angle 0), aimed by its recipe as
// `kor-levelcheck data/level-*.txt` prints it ("from a new game"): Shift held, one press of an
// arrow after the other, then Space, every key through the window's event queue.
struct Recipe {
    std::uint32_t level;
    std::int32_t speed;  // Shift+Right presses, Shift+Left when negative
    std::int32_t angle;  // Shift+Up presses, Shift+Down when negative
};

void PrintTo(const Recipe& r, std::ostream* os) { *os << "level " << r.level << " " << r.speed << " " << r.angle; }

class ShippedRecipe : public PlayGameTest, public ::testing::WithParamInterface<Recipe> {};

TEST_P(ShippedRecipe, WinsTheLevelThroughTheKeys)
{
    const Recipe r = GetParam();
    char name[32];
    std::snprintf(name, sizeof name, "level-%02u.txt", static_cast<unsigned>(r.level));
    std::filesystem::copy_file(std::filesystem::path(KOR_DATA_DIR) / name, dir.dir / "data" / name);
    clockMs = 1000;
    Game::detail::SetClock(&ManualClock);
    // The clock stands still while the test aims and moves 10 ms a frame from the launch,
    // so the shot leaves with the bodies where the search had them, however slowly the
    // test's keys come; frames 1 ms apart, so the long flight takes little real time.
    Game::detail::SetFramePause(1ms);
    {
        std::lock_guard g(lock);
        probe = [](const Seen& seen) {
            if (seen.state.previousSpeed > 0.0f) clockMs += 10;
        };
    }
    Play(
        [&] {
            Wimdows::Testing::PostKey(VK_SHIFT, true);
            for (std::int32_t i = 0; i < std::abs(r.speed); ++i) Hold(r.speed > 0 ? VK_RIGHT : VK_LEFT);
            for (std::int32_t i = 0; i < std::abs(r.angle); ++i) Hold(r.angle > 0 ? VK_UP : VK_DOWN);
            Wimdows::Testing::PostKey(VK_SHIFT, false);
            Hold(VK_SPACE);
            const std::size_t launched = Frames().size();
            // 30 s of flight at most, as the recipes are searched: 3000 frames of 10 ms.
            const auto over = [launched] {
                for (std::size_t i = launched; i < frames.size(); ++i)
                    if (frames[i].state.stopLevel) return true;
                return ended.has_value() || frames.size() > launched + 3100;
            };
            for (int i = 0; i < 25 && !WaitUntil(over); ++i) {
            }
            WaitEnd();  // a won level's end screen comes a moment after its last frame
            if (!ended) {
                ADD_FAILURE() << "level " << r.level << " not over after its flight";
                Hold(VK_ESCAPE);
            }
            WaitEnd();
            Hold(VK_SPACE);
        },
        r.level);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->goToNextLevel) << "level " << r.level << " was not won";
    EXPECT_EQ(ended->score, 200);  // the first shot
    const auto f = Frames();
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f.back().state.previousSpeed, 250.0f + 2.5f * static_cast<float>(r.speed));
}

INSTANTIATE_TEST_SUITE_P(Levels, ShippedRecipe,
                         ::testing::Values(Recipe{1, 0, 6}, Recipe{2, -40, 46}, Recipe{3, -40, 50}, Recipe{4, -40, 26},
                                           Recipe{5, -90, 128}, Recipe{6, -72, -61}, Recipe{7, -40, 8},
                                           Recipe{8, -66, -7}, Recipe{9, 6, -33}, Recipe{10, 84, -41},
                                           Recipe{11, -52, 36}, Recipe{12, -52, 14}),
                         [](const ::testing::TestParamInfo<Recipe>& info) {
                             return "Level" + std::to_string(info.param.level);
                         });

}  // namespace

// A gap of seconds that came from a stop (SIGCONT on waking; a machine's sleep is told the
// same way by its clocks) is no flight time: the rocket does not jump through the red wall
// into the black hole. A slow frame without a stop still makes its long step.
TEST_F(PlayGameTest, TimeTheGameWasStoppedIsNoFlightTime)
{
    Level(1,
          "[Ball]\nPosition_X = 300\nRadius = 25\n[Ball]\nPosition_X = -300\nRadius = 12\nMass = 1\n"
          "[Rectangle]\nPosition_X = -10\nPosition_Y = -100\nDimension_X = 20\nDimension_Y = 200\n"
          "GameOverOnCollision = 1\n");
    clockMs = 1000;
    Game::detail::SetClock(&ManualClock);
    float launched = 0.0f, afterStop = 0.0f, afterSlowFrame = 0.0f;
    Play([&] {
        const auto rocketX = [] {
            std::lock_guard g(lock);
            return frames.back().rocket.x;
        };
        Hold(VK_SPACE);  // 250 a second to the right, the clock standing still
        launched = rocketX();
        std::raise(SIGCONT);
        clockMs += 2100;  // 525 units: through the wall and into the hole
        WaitFrames(3);
        afterStop = rocketX();
        clockMs += 40;
        WaitFrames(3);
        afterSlowFrame = rocketX();
        Hold(VK_ESCAPE);
    });
    EXPECT_EQ(launched, -300.0f);
    EXPECT_EQ(afterStop, launched);
    EXPECT_NEAR(afterSlowFrame, launched + 10.0f, 1e-3f);
    EXPECT_EQ(Count(StandardSound::WIN), 0);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->score, 100);
}
