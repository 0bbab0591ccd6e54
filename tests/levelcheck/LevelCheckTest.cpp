#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "LevelCheck.hpp"

namespace {

using LevelCheck::Outcome;
using Physics::OBJECT;

OBJECT Ball(float x, float y, float r, float mass = 0.0f, float field = 0.0f)
{
    OBJECT o = Physics::NewObj();
    o.Position = {x, y};
    o.Dimension = {r, 0.0f};
    o.Mass = mass;
    o.Field = field;
    return o;
}

OBJECT Box(float x, float y, float w, float h, bool deadly)
{
    OBJECT o = Physics::NewObj();
    o.Type = Physics::SHAPE::Rectangle;
    o.Position = {x, y};
    o.Dimension = {w, h};
    o.GameOverOnCollision = deadly;
    return o;
}

struct Level {
    Physics::ObjectTable table{};
    std::uint32_t N = 0;

    // Black hole at (100, 0), radius 25; rocket at the origin, radius 10, mass 1.
    Level()
    {
        table[0] = Ball(100.0f, 0.0f, 25.0f);
        table[1] = Ball(0.0f, 0.0f, 10.0f, 1.0f);
        N = 1;
    }
    Level& Add(const OBJECT& o)
    {
        table[++N] = o;
        return *this;
    }
};

}  // namespace

TEST(RunShotTest, EndsAsTheGameWouldEndTheAttempt)
{
    Level open;
    // 2.5 or 5 units a step: inside the win distance 26.25 after 30 or 15 steps.
    LevelCheck::ShotResult r = LevelCheck::RunShot(open.table, open.N, 10, 250.0f, 0.0f);
    EXPECT_EQ(r.outcome, Outcome::Won);
    EXPECT_EQ(r.steps, 30u);
    r = LevelCheck::RunShot(open.table, open.N, 20, 250.0f, 0.0f);
    EXPECT_EQ(r.outcome, Outcome::Won);
    EXPECT_EQ(r.steps, 15u);

    // Away from the black hole with nothing about: stopped as gone, long before 30 s.
    r = LevelCheck::RunShot(open.table, open.N, 10, 250.0f, 3.14159f);
    EXPECT_EQ(r.outcome, Outcome::Gone);
    EXPECT_LT(r.steps, 100u);
    // Launched at speed 0 where nothing pulls: nothing moves, stopped as still.
    r = LevelCheck::RunShot(open.table, open.N, 20, 0.0f, 1.0f);
    EXPECT_EQ(r.outcome, Outcome::Still);
    EXPECT_LT(r.steps, 100u);
    // Without early stops the same shot runs the whole 30 s.
    r = LevelCheck::RunShot(open.table, open.N, 20, 0.0f, 1.0f, false);
    EXPECT_EQ(r.outcome, Outcome::Flying);
    EXPECT_EQ(r.steps, 1500u);

    Level walled;
    walled.Add(Box(40.0f, -50.0f, 10.0f, 100.0f, true));
    r = LevelCheck::RunShot(walled.table, walled.N, 10, 250.0f, 0.0f);
    EXPECT_EQ(r.outcome, Outcome::Lost);
    EXPECT_EQ(r.steps, 12u);
}

TEST(RunShotTest, AShotAFarFieldBringsBackIsNotGivenUp)
{
    // A strong attracting planet 600 behind the rocket: escape speed there is about 258.
    Level level;
    level.table[0] = Ball(-200.0f, 0.0f, 25.0f);
    level.Add(Ball(-600.0f, 0.0f, 20.0f, 0.0f, 2.0e7f));
    for (std::uint32_t ms : {10u, 20u}) {
        const LevelCheck::ShotResult back = LevelCheck::RunShot(level.table, level.N, ms, 100.0f, 0.0f);
        EXPECT_EQ(back.outcome, Outcome::Won) << ms;
        EXPECT_GT(back.steps * ms, 2000u) << ms;  // out and back again
        EXPECT_EQ(LevelCheck::RunShot(level.table, level.N, ms, 300.0f, 0.0f).outcome, Outcome::Gone) << ms;
        EXPECT_EQ(LevelCheck::RunShot(level.table, level.N, ms, 300.0f, 0.0f, false).outcome, Outcome::Flying) << ms;
    }

    // The early stops never change which shots of a grid win.
    for (int s = 0; s <= 500; s += 50) {
        for (int a = 0; a < 503; a += 48) {
            const float angle = LevelCheck::AngleAfterUpPresses(static_cast<std::uint32_t>(a));
            const bool early =
                LevelCheck::RunShot(level.table, level.N, 20, static_cast<float>(s), angle).outcome == Outcome::Won;
            const bool full =
                LevelCheck::RunShot(level.table, level.N, 20, static_cast<float>(s), angle, false).outcome ==
                Outcome::Won;
            EXPECT_EQ(early, full) << "speed " << s << " angle " << angle;
        }
    }
}

TEST(CannotComeBackTest, GivesUpOnlyWhenNothingCanReachTheRocket)
{
    Level level;
    level.table[1].Position = {1000.0f, 0.0f};
    level.table[1].Speed = {100.0f, 0.0f};
    EXPECT_TRUE(LevelCheck::CannotComeBack(level.table, level.N, 0.01, 29.0));

    Level inward = level;
    inward.table[1].Speed = {-100.0f, 0.0f};
    EXPECT_FALSE(LevelCheck::CannotComeBack(inward.table, inward.N, 0.01, 29.0));
    Level close = level;
    close.table[1].Position = {140.0f, 0.0f};  // still within reach of the black hole's edge
    EXPECT_FALSE(LevelCheck::CannotComeBack(close.table, close.N, 0.01, 29.0));

    // A body of mass 0 on a course after the rocket: faster than it, it could catch up.
    OBJECT chaser = Ball(0.0f, 0.0f, 10.0f);
    chaser.Speed = {200.0f, 0.0f};
    Level chased = level;
    chased.Add(chaser);
    EXPECT_FALSE(LevelCheck::CannotComeBack(chased.table, chased.N, 0.01, 29.0));
    chased.table[2].Speed = {20.0f, 0.0f};
    EXPECT_TRUE(LevelCheck::CannotComeBack(chased.table, chased.N, 0.01, 29.0));

    // An attracting planet strong enough to stop the rocket.
    Level pulled = level;
    pulled.Add(Ball(0.0f, 0.0f, 20.0f, 0.0f, 1.0e7f));
    EXPECT_FALSE(LevelCheck::CannotComeBack(pulled.table, pulled.N, 0.01, 29.0));
    pulled.table[2].Field = 1.0e5f;
    EXPECT_TRUE(LevelCheck::CannotComeBack(pulled.table, pulled.N, 0.01, 29.0));
}

TEST(CannotComeBackTest, BodiesWithMassCountOnlyWithoutFields)
{
    Level level;
    level.table[1].Position = {1000.0f, 0.0f};
    level.table[1].Speed = {100.0f, 0.0f};
    level.Add(Ball(0.0f, 100.0f, 15.0f, 2.0f));  // an asteroid at rest
    EXPECT_TRUE(LevelCheck::CannotComeBack(level.table, level.N, 0.02, 29.0));

    Level fast = level;
    fast.table[2].Speed = {0.0f, 60.0f};  // could end up faster than half the rocket's 100
    EXPECT_FALSE(LevelCheck::CannotComeBack(fast.table, fast.N, 0.02, 29.0));

    Level field = level;
    field.Add(Ball(-300.0f, 0.0f, 20.0f, 0.0f, 1.0e3f));  // any field may drive the asteroid
    EXPECT_FALSE(LevelCheck::CannotComeBack(field.table, field.N, 0.02, 29.0));
    Level rocketField = level;
    rocketField.table[1].Field = 1.0f;
    EXPECT_FALSE(LevelCheck::CannotComeBack(rocketField.table, rocketField.N, 0.02, 29.0));

    Level negative = level;
    negative.table[2].Mass = -1.0f;
    EXPECT_FALSE(LevelCheck::CannotComeBack(negative.table, negative.N, 0.02, 29.0));
}

TEST(HoldForTest, BodiesMoveOnWhileTheRocketWaits)
{
    Level level;
    OBJECT drifting = Box(-300.0f, 100.0f, 20.0f, 20.0f, false);
    drifting.Speed = {0.0f, -10.0f};
    level.Add(drifting);
    const Physics::ObjectTable held = LevelCheck::HoldFor(level.table, level.N, 20, 2000);
    EXPECT_NEAR(held[2].Position.y, 80.0f, 0.01f);
    EXPECT_EQ(held[1].Mass, 1.0f);
    EXPECT_EQ(held[1].Position.x, 0.0f);
    EXPECT_EQ(held[1].Speed.x, 0.0f);
}

TEST(GridTest, AnglesAreTheOnesTheUpKeyGives)
{
    EXPECT_EQ(LevelCheck::AngleAfterUpPresses(0), 0.0f);
    EXPECT_EQ(LevelCheck::AngleAfterUpPresses(1), 0.0125f);
    EXPECT_LT(LevelCheck::AngleAfterUpPresses(LevelCheck::MaxUpPresses), 6.283184f);
    EXPECT_NEAR(LevelCheck::AngleAfterUpPresses(LevelCheck::MaxUpPresses + 1), 0.004316f, 1e-4f);

    // Down from 0 wraps below a full turn; the nearest Down aim to an Up aim is within half a step.
    EXPECT_NEAR(LevelCheck::AngleAfterDownPresses(1), 6.270684f, 1e-5f);
    for (const std::uint32_t up : {251u, 400u, 496u, 502u}) {
        float angle = 0.0f;
        const std::uint32_t down = LevelCheck::DownPressesNear(up, angle);
        EXPECT_NEAR(down, 503 - up, 1u) << up;
        EXPECT_EQ(angle, LevelCheck::AngleAfterDownPresses(down));
        EXPECT_LE(std::fabs(angle - LevelCheck::AngleAfterUpPresses(up)), 0.00625f) << up;
    }
    EXPECT_EQ(LevelCheck::PressesText({}), "no presses");
    EXPECT_EQ(LevelCheck::PressesText({4, 6, 0}), "Shift+Right x4, Shift+Up x6");
    EXPECT_EQ(LevelCheck::PressesText({-40, 0, 3}), "Shift+Left x40, Shift+Down x3");

    const LevelCheck::Grid coarse;
    EXPECT_EQ(coarse.Speeds(), 101u);
    EXPECT_EQ(coarse.Angles(), 252u);
    EXPECT_EQ(coarse.Speed(100), 500.0f);
    EXPECT_EQ(coarse.UpPresses(251), 502u);
    const LevelCheck::Grid fine{1, 1};
    EXPECT_EQ(fine.Speeds(), 201u);
    EXPECT_EQ(fine.Angles(), 503u);
}

TEST(ChooseExampleTest, PrefersAShotSurroundedByWinners)
{
    const LevelCheck::Grid grid;
    std::vector<std::uint8_t> both(grid.Shots(), 0);
    auto set = [&](std::uint32_t s, std::uint32_t a) { both[s * grid.Angles() + a] = 1; };
    LevelCheck::Example e;
    EXPECT_FALSE(LevelCheck::ChooseExample(both, grid, 150.0f, e));

    set(30, 30);  // speed 150, a lone winner
    for (std::uint32_t s = 60; s <= 62; ++s) {
        for (std::uint32_t a : {250u, 251u, 0u}) {  // a block across the wrap of the aim
            set(s, a);
        }
    }
    ASSERT_TRUE(LevelCheck::ChooseExample(both, grid, 150.0f, e));
    EXPECT_EQ(e.speed, 61u);
    EXPECT_EQ(e.angle, 251u);

    // Equally surrounded shots: the fewest key presses from the start aim wins.
    std::vector<std::uint8_t> two(grid.Shots(), 0);
    two[30 * grid.Angles() + 4] = 1;
    two[50 * grid.Angles() + 4] = 1;
    ASSERT_TRUE(LevelCheck::ChooseExample(two, grid, 250.0f, e));
    EXPECT_EQ(e.speed, 50u);
    ASSERT_TRUE(LevelCheck::ChooseExample(two, grid, 150.0f, e));
    EXPECT_EQ(e.speed, 30u);
}

// The search on threads finds what the shots one by one find, and stops when told to, from
// another thread, long before it would be done.
TEST(SearchTest, ThreadsAgreeWithSingleShotsAndACancelEndsTheSearch)
{
    Level open;
    LevelCheck::Grid coarse{20, 25};  // 11 speeds x 21 angles
    std::vector<LevelCheck::SearchLevel> levels(2);
    for (int k = 0; k < 2; ++k) {
        levels[0].held[k] = LevelCheck::HoldFor(open.table, open.N, LevelCheck::StepMs[k], 0);
    }
    levels[0].N = open.N;
    levels[1].search = false;  // skipped: its shots stay Flying
    LevelCheck::SearchControl control(levels.size());
    const LevelCheck::SearchResult r = LevelCheck::Search(levels, coarse, true, 3, control);
    ASSERT_TRUE(r.complete);
    for (std::uint32_t s = 0; s < coarse.Speeds(); ++s) {
        for (std::uint32_t a = 0; a < coarse.Angles(); ++a) {
            for (std::size_t k = 0; k < 2; ++k) {
                const auto alone = LevelCheck::RunShot(levels[0].held[k], open.N, LevelCheck::StepMs[k],
                                                       coarse.Speed(s), coarse.Angle(a));
                ASSERT_EQ(r.At(0, k, s, a), alone.outcome) << s << " " << a << " " << k;
                EXPECT_EQ(r.At(1, k, s, a), Outcome::Flying);
            }
        }
    }
    EXPECT_EQ(control.doneRows[0].load(), coarse.Speeds());
    EXPECT_EQ(control.doneRows[2].load(), 0u);

    // Every shot of the player's grid flown its whole 30 s: minutes of work, cancelled at once.
    LevelCheck::SearchControl stop(1);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.cancel = true;
    });
    const auto started = std::chrono::steady_clock::now();
    const LevelCheck::SearchResult cut = LevelCheck::Search({levels[0]}, LevelCheck::Grid{1, 1}, false, 2, stop);
    canceller.join();
    EXPECT_FALSE(cut.complete);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}
