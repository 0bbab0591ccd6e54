#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Bodies.hpp"
#include "Search/Search.hpp"

namespace {

using Level::OBJECT;
using Search::Outcome;

struct Tiny {
    Level::ObjectTable table{};
    std::uint32_t N = 0;

    // Black hole at (100, 0), radius 25; rocket at the origin, radius 10, mass 1.
    Tiny()
    {
        table[0] = Ball(100.0f, 0.0f, 25.0f);
        table[1] = Ball(0.0f, 0.0f, 10.0f, 1.0f);
        N = 1;
    }
    Tiny& Add(const OBJECT& o)
    {
        table[++N] = o;
        return *this;
    }
};

}  // namespace

TEST(RunShotTest, EndsAsTheGameWouldEndTheAttempt)
{
    Tiny open;
    // 2.5 or 5 units a step: inside the win distance 26.25 after 30 or 15 steps.
    Search::ShotResult r = Search::RunShot(open.table, open.N, 10, 250.0f, 0.0f);
    EXPECT_EQ(r.outcome, Outcome::Won);
    EXPECT_EQ(r.steps, 30u);
    r = Search::RunShot(open.table, open.N, 20, 250.0f, 0.0f);
    EXPECT_EQ(r.outcome, Outcome::Won);
    EXPECT_EQ(r.steps, 15u);

    // Away from the black hole with nothing about: stopped as gone, long before 30 s.
    r = Search::RunShot(open.table, open.N, 10, 250.0f, 3.14159f);
    EXPECT_EQ(r.outcome, Outcome::Gone);
    EXPECT_LT(r.steps, 100u);
    // Launched at speed 0 where nothing pulls: nothing moves, stopped as still.
    r = Search::RunShot(open.table, open.N, 20, 0.0f, 1.0f);
    EXPECT_EQ(r.outcome, Outcome::Still);
    EXPECT_LT(r.steps, 100u);
    // Without early stops the same shot runs the whole 30 s.
    r = Search::RunShot(open.table, open.N, 20, 0.0f, 1.0f, false);
    EXPECT_EQ(r.outcome, Outcome::Flying);
    EXPECT_EQ(r.steps, 1500u);

    Tiny walled;
    walled.Add(Deadly(Box(40.0f, -50.0f, 10.0f, 100.0f)));
    r = Search::RunShot(walled.table, walled.N, 10, 250.0f, 0.0f);
    EXPECT_EQ(r.outcome, Outcome::Lost);
    EXPECT_EQ(r.steps, 12u);
}

TEST(RunShotTest, AShotAFarFieldBringsBackIsNotGivenUp)
{
    // A strong attracting planet 600 behind the rocket: escape speed there is about 258.
    Tiny level;
    level.table[0] = Ball(-200.0f, 0.0f, 25.0f);
    level.Add(Ball(-600.0f, 0.0f, 20.0f, 0.0f, 2.0e7f));
    for (std::uint32_t ms : {10u, 20u}) {
        const Search::ShotResult back = Search::RunShot(level.table, level.N, ms, 100.0f, 0.0f);
        EXPECT_EQ(back.outcome, Outcome::Won) << ms;
        EXPECT_GT(back.steps * ms, 2000u) << ms;  // out and back again
        EXPECT_EQ(Search::RunShot(level.table, level.N, ms, 300.0f, 0.0f).outcome, Outcome::Gone) << ms;
        EXPECT_EQ(Search::RunShot(level.table, level.N, ms, 300.0f, 0.0f, false).outcome, Outcome::Flying) << ms;
    }

    // The early stops never change which shots of a grid win.
    for (int s = 0; s <= 500; s += 50) {
        for (int a = 0; a < 503; a += 48) {
            const float angle = Search::AngleAfterUpPresses(static_cast<std::uint32_t>(a));
            const bool early =
                Search::RunShot(level.table, level.N, 20, static_cast<float>(s), angle).outcome == Outcome::Won;
            const bool full =
                Search::RunShot(level.table, level.N, 20, static_cast<float>(s), angle, false).outcome == Outcome::Won;
            EXPECT_EQ(early, full) << "speed " << s << " angle " << angle;
        }
    }
}

TEST(CannotComeBackTest, GivesUpOnlyWhenNothingCanReachTheRocket)
{
    Tiny level;
    level.table[1].Position = {1000.0f, 0.0f};
    level.table[1].Speed = {100.0f, 0.0f};
    EXPECT_TRUE(Search::CannotComeBack(level.table, level.N, 0.01, 29.0));

    Tiny inward = level;
    inward.table[1].Speed = {-100.0f, 0.0f};
    EXPECT_FALSE(Search::CannotComeBack(inward.table, inward.N, 0.01, 29.0));
    Tiny close = level;
    close.table[1].Position = {140.0f, 0.0f};  // still within reach of the black hole's edge
    EXPECT_FALSE(Search::CannotComeBack(close.table, close.N, 0.01, 29.0));

    // A body of mass 0 on a course after the rocket: faster than it, it could catch up.
    OBJECT chaser = Ball(0.0f, 0.0f, 10.0f);
    chaser.Speed = {200.0f, 0.0f};
    Tiny chased = level;
    chased.Add(chaser);
    EXPECT_FALSE(Search::CannotComeBack(chased.table, chased.N, 0.01, 29.0));
    chased.table[2].Speed = {20.0f, 0.0f};
    EXPECT_TRUE(Search::CannotComeBack(chased.table, chased.N, 0.01, 29.0));

    // An attracting planet strong enough to stop the rocket.
    Tiny pulled = level;
    pulled.Add(Ball(0.0f, 0.0f, 20.0f, 0.0f, 1.0e7f));
    EXPECT_FALSE(Search::CannotComeBack(pulled.table, pulled.N, 0.01, 29.0));
    pulled.table[2].Field = 1.0e5f;
    EXPECT_TRUE(Search::CannotComeBack(pulled.table, pulled.N, 0.01, 29.0));
}

TEST(CannotComeBackTest, BodiesWithMassCountOnlyWithoutFields)
{
    Tiny level;
    level.table[1].Position = {1000.0f, 0.0f};
    level.table[1].Speed = {100.0f, 0.0f};
    level.Add(Ball(0.0f, 100.0f, 15.0f, 2.0f));  // an asteroid at rest
    EXPECT_TRUE(Search::CannotComeBack(level.table, level.N, 0.02, 29.0));

    Tiny fast = level;
    fast.table[2].Speed = {0.0f, 60.0f};  // could end up faster than half the rocket's 100
    EXPECT_FALSE(Search::CannotComeBack(fast.table, fast.N, 0.02, 29.0));

    Tiny field = level;
    field.Add(Ball(-300.0f, 0.0f, 20.0f, 0.0f, 1.0e3f));  // any field may drive the asteroid
    EXPECT_FALSE(Search::CannotComeBack(field.table, field.N, 0.02, 29.0));
    Tiny rocketField = level;
    rocketField.table[1].Field = 1.0f;
    EXPECT_FALSE(Search::CannotComeBack(rocketField.table, rocketField.N, 0.02, 29.0));

    Tiny negative = level;
    negative.table[2].Mass = -1.0f;
    EXPECT_FALSE(Search::CannotComeBack(negative.table, negative.N, 0.02, 29.0));
}

TEST(HoldForTest, BodiesMoveOnWhileTheRocketWaits)
{
    Tiny level;
    OBJECT drifting = Box(-300.0f, 100.0f, 20.0f, 20.0f);
    drifting.Speed = {0.0f, -10.0f};
    level.Add(drifting);
    const Level::ObjectTable held = Search::HoldFor(level.table, level.N, 20, 2000);
    EXPECT_NEAR(held[2].Position.y, 80.0f, 0.01f);
    EXPECT_EQ(held[1].Mass, 1.0f);
    EXPECT_EQ(held[1].Position.x, 0.0f);
    EXPECT_EQ(held[1].Speed.x, 0.0f);
}

TEST(GridTest, AnglesAreTheOnesTheUpKeyGives)
{
    EXPECT_EQ(Search::AngleAfterUpPresses(0), 0.0f);
    EXPECT_EQ(Search::AngleAfterUpPresses(1), 0.0125f);
    EXPECT_LT(Search::AngleAfterUpPresses(Search::MaxUpPresses), 6.283184f);
    EXPECT_NEAR(Search::AngleAfterUpPresses(Search::MaxUpPresses + 1), 0.004316f, 1e-4f);

    // Down from 0 wraps below a full turn; the nearest Down aim to an Up aim is within half a step.
    EXPECT_NEAR(Search::AngleAfterDownPresses(1), 6.270684f, 1e-5f);
    for (const std::uint32_t up : {251u, 400u, 496u, 502u}) {
        float angle = 0.0f;
        const std::uint32_t down = Search::DownPressesNear(up, angle);
        EXPECT_NEAR(down, 503 - up, 1u) << up;
        EXPECT_EQ(angle, Search::AngleAfterDownPresses(down));
        EXPECT_LE(std::fabs(angle - Search::AngleAfterUpPresses(up)), 0.00625f) << up;
    }
    EXPECT_EQ(Search::PressesText({}), "no presses");
    EXPECT_EQ(Search::PressesText({4, 6, 0}), "Shift+Right x4, Shift+Up x6");
    EXPECT_EQ(Search::PressesText({-40, 0, 3}), "Shift+Left x40, Shift+Down x3");

    const Search::Grid coarse;
    EXPECT_EQ(coarse.Speeds(), 101u);
    EXPECT_EQ(coarse.Angles(), 252u);
    EXPECT_EQ(coarse.Speed(100), 500.0f);
    EXPECT_EQ(coarse.UpPresses(251), 502u);
    const Search::Grid fine{1, 1};
    EXPECT_EQ(fine.Speeds(), 201u);
    EXPECT_EQ(fine.Angles(), 503u);
}

TEST(ChooseExampleTest, PrefersAShotSurroundedByWinners)
{
    const Search::Grid grid;
    std::vector<std::uint8_t> both(grid.Shots(), 0);
    auto set = [&](std::uint32_t s, std::uint32_t a) { both[s * grid.Angles() + a] = 1; };
    Search::Example e;
    EXPECT_FALSE(Search::ChooseExample(both, grid, 150.0f, e));

    set(30, 30);  // speed 150, a lone winner
    for (std::uint32_t s = 60; s <= 62; ++s) {
        for (std::uint32_t a : {250u, 251u, 0u}) {  // a block across the wrap of the aim
            set(s, a);
        }
    }
    ASSERT_TRUE(Search::ChooseExample(both, grid, 150.0f, e));
    EXPECT_EQ(e.speed, 61u);
    EXPECT_EQ(e.angle, 251u);

    // Equally surrounded shots: the fewest key presses from the start aim wins.
    std::vector<std::uint8_t> two(grid.Shots(), 0);
    two[30 * grid.Angles() + 4] = 1;
    two[50 * grid.Angles() + 4] = 1;
    ASSERT_TRUE(Search::ChooseExample(two, grid, 250.0f, e));
    EXPECT_EQ(e.speed, 50u);
    ASSERT_TRUE(Search::ChooseExample(two, grid, 150.0f, e));
    EXPECT_EQ(e.speed, 30u);
}

// The search on threads finds what the shots one by one find, and stops when told to, from
// another thread, long before it would be done.
TEST(SearchTest, ThreadsAgreeWithSingleShotsAndACancelEndsTheSearch)
{
    Tiny open;
    Search::Grid coarse{20, 25};  // 11 speeds x 21 angles
    std::vector<Search::Held> levels(2);
    for (int k = 0; k < 2; ++k) {
        levels[0].held[k] = Search::HoldFor(open.table, open.N, Search::StepMs[k], 0);
    }
    levels[0].N = open.N;
    levels[1].search = false;  // skipped: its shots stay Flying
    Search::Control control(levels.size());
    const Search::GridResult r = Search::SearchGrid(levels, coarse, true, 3, control);
    ASSERT_TRUE(r.complete);
    for (std::uint32_t s = 0; s < coarse.Speeds(); ++s) {
        for (std::uint32_t a = 0; a < coarse.Angles(); ++a) {
            for (std::size_t k = 0; k < 2; ++k) {
                const auto alone =
                    Search::RunShot(levels[0].held[k], open.N, Search::StepMs[k], coarse.Speed(s), coarse.Angle(a));
                ASSERT_EQ(r.At(0, k, s, a), alone.outcome) << s << " " << a << " " << k;
                EXPECT_EQ(r.At(1, k, s, a), Outcome::Flying);
            }
        }
    }
    EXPECT_EQ(control.doneRows[0].load(), coarse.Speeds());
    EXPECT_EQ(control.doneRows[2].load(), 0u);

    // Every shot of the player's grid flown its whole 30 s: minutes of work, cancelled at once.
    Search::Control stop(1);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.cancel = true;
    });
    const auto started = std::chrono::steady_clock::now();
    const Search::GridResult cut = Search::SearchGrid({levels[0]}, Search::Grid{1, 1}, false, 2, stop);
    canceller.join();
    EXPECT_FALSE(cut.complete);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}
