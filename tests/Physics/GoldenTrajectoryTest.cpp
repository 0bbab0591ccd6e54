// Golden trajectories: shipped levels shot with fixed launches and stepped a fixed number of
// times; the exact final state of every body must not change. Any change to the order of
// the float operations in the simulation, the collisions or the loader shows up here, even
// one that the win counts of kor-levelcheck would not notice. Editing one of these levels
// moves them too.
//
// To accept a deliberate change, run this test, check that the new outcomes make sense
// (the same level with `build/tools/kor-sim` shows every body), and copy the "got" values
// it prints into the table below, with a word in the commit on why the trajectories moved.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Game/Game.hpp"
#include "Physics/Physics.hpp"

namespace {

std::uint32_t gNow = 0;
std::uint32_t GoldenClock() { return gNow; }

struct Shot {
    const char* level;  // file under data/
    float speed;
    float angle;
    std::uint32_t stepMs;
    unsigned maxSteps;
    // Expected: the outcome, the steps run and the hash of every body.
    const char* result;
    unsigned steps;
    std::uint64_t hash;
};

// FNV-1a, 64 bits, over the bytes of each value in a fixed order (not over the structs,
// whose padding is undefined).
struct Fnv {
    std::uint64_t h = 14695981039346656037ull;
    void Bytes(const void* data, std::size_t n)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < n; ++i) {
            h = (h ^ p[i]) * 1099511628211ull;
        }
    }
    void Float(float f)
    {
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        Bytes(&bits, sizeof bits);
    }
    void Word(std::uint32_t w) { Bytes(&w, sizeof w); }
};

std::uint64_t HashBodies(const Level::Table& level)
{
    Fnv f;
    f.Word(level.N);
    for (std::uint32_t i = 0; i <= level.N; ++i) {
        const Physics::OBJECT& o = level.Objects[i];
        f.Word(static_cast<std::uint32_t>(o.Type));
        for (const float v :
             {o.Dimension.x, o.Dimension.y, o.Position.x, o.Position.y, o.Speed.x, o.Speed.y, o.Mass, o.Field}) {
            f.Float(v);
        }
        f.Word(o.GameOverOnCollision ? 1u : 0u);
    }
    return f.h;
}

Level::Table Load(const Shot& shot)
{
    const std::string path = std::string(KOR_SOURCE_DIR "/data/") + shot.level;
    Level::Table level;
    EXPECT_TRUE(Game::LoadLevelFile(path.c_str(), level).opened) << path;
    return level;
}

// As the game did before it had worlds: hold, release, shoot through the face over the
// module's world, then step by its clock until won, lost or maxSteps.
void Fly(const Shot& shot, Level::Table& level, std::string& result, unsigned& steps)
{
    level = Load(shot);
    Physics::Reset();
    Physics::HoldShip(level.Objects);
    Physics::UnFreeze();
    Physics::ShootShip(level.Objects, shot.speed, shot.angle);
    steps = 0;
    while (steps < shot.maxSteps) {
        gNow += shot.stepMs;
        Physics::Simulate(level.Objects, level.N);
        ++steps;
        if (Physics::IsGameOver() || Physics::IsGameWon()) {
            break;
        }
    }
    result = Physics::IsGameWon() ? "won" : Physics::IsGameOver() ? "lost" : "running";
}

}  // namespace

// Level 1 won, level 3 with asteroids shoved about, level 8 with orbiting asteroids under
// both step sizes, level 11 lost under a moving planet.
const Shot Shots[] = {
    {"level-01.txt", 250.0f, 0.075f, 10, 1000, "won", 247, 0x30c647f999e0af1full},
    {"level-03.txt", 300.0f, 0.3f, 10, 1500, "running", 1500, 0x67ca14eb35f750e1ull},
    {"level-08.txt", 200.0f, 1.0f, 10, 2000, "running", 2000, 0x35607fd842425150ull},
    {"level-08.txt", 200.0f, 1.0f, 20, 1000, "running", 1000, 0xaa5a2ec11a6a3bc5ull},
    {"level-11.txt", 300.0f, 0.0f, 10, 1000, "lost", 123, 0xd1f59589c738ae48ull},
};

TEST(GoldenTrajectory, ShippedLevelsEndInTheSameStateBitForBit)
{
    Physics::SetClock(&GoldenClock);
    for (const Shot& shot : Shots) {
        std::string result;
        unsigned steps = 0;
        Level::Table level;
        Fly(shot, level, result, steps);
        const std::uint64_t hash = HashBodies(level);
        char got[160];
        std::snprintf(got, sizeof got, "\"%s\", %u, 0x%016" PRIx64 "ull", result.c_str(), steps, hash);
        char expected[160];
        std::snprintf(expected, sizeof expected, "\"%s\", %u, 0x%016" PRIx64 "ull", shot.result, shot.steps, shot.hash);
        EXPECT_STREQ(got, expected) << shot.level << " speed " << shot.speed << " angle " << shot.angle << " dt "
                                    << shot.stepMs << " ms: the final state changed. If the change is deliberate, "
                                    << "put the got values into the table in " << __FILE__;
    }
    Physics::SetClock(nullptr);
}

// Every shot in a world of its own, all stepped in turn one step at a time: the worlds share
// nothing, so each ends exactly where it ends alone (and where the face above ends).
TEST(GoldenTrajectory, WorldsSteppedSideBySideEndAsAlone)
{
    constexpr std::size_t Count = std::size(Shots);
    std::vector<Physics::World> worlds(Count);
    std::vector<unsigned> steps(Count, 0);
    std::vector<std::vector<Physics::Event>> heard(Count);
    for (std::size_t k = 0; k < Count; ++k) {
        worlds[k].level = Load(Shots[k]);
        Physics::Hold(worlds[k]);
        Physics::Release(worlds[k]);
        Physics::Shoot(worlds[k], Shots[k].speed, Shots[k].angle);
    }
    for (bool any = true; any;) {
        any = false;
        for (std::size_t k = 0; k < Count; ++k) {
            Physics::World& w = worlds[k];
            if (steps[k] == Shots[k].maxSteps || w.GameWon || w.GameOver) continue;
            const std::vector<Physics::Event>& events = Physics::Step(w, Shots[k].stepMs);
            heard[k].insert(heard[k].end(), events.begin(), events.end());
            ++steps[k];
            any = true;
        }
    }
    for (std::size_t k = 0; k < Count; ++k) {
        const Physics::World& w = worlds[k];
        EXPECT_STREQ(w.GameWon ? "won" : w.GameOver ? "lost" : "running", Shots[k].result) << k;
        EXPECT_EQ(steps[k], Shots[k].steps) << k;
        EXPECT_EQ(HashBodies(w.level), Shots[k].hash) << k;
    }
    // The events say what happened, in order: the win ends level 1, the crash level 11.
    ASSERT_FALSE(heard[0].empty());
    EXPECT_EQ(heard[0].back(), Physics::Event::Win);
    ASSERT_FALSE(heard[4].empty());
    EXPECT_EQ(heard[4].back(), Physics::Event::Crash);
}
