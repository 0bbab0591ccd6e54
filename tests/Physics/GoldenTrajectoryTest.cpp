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

std::uint64_t HashBodies()
{
    Fnv f;
    f.Word(Game::N);
    for (std::uint32_t i = 0; i <= Game::N; ++i) {
        const Physics::OBJECT& o = Game::Objects[i];
        f.Word(static_cast<std::uint32_t>(o.Type));
        for (const float v :
             {o.Dimension.x, o.Dimension.y, o.Position.x, o.Position.y, o.Speed.x, o.Speed.y, o.Mass, o.Field}) {
            f.Float(v);
        }
        f.Word(o.GameOverOnCollision ? 1u : 0u);
    }
    return f.h;
}

// As kor-sim does: hold, release, shoot, then step until won, lost or maxSteps.
void Fly(const Shot& shot, std::string& result, unsigned& steps)
{
    const std::string path = std::string(KOR_SOURCE_DIR "/data/") + shot.level;
    ASSERT_TRUE(Game::LoadLevelFile(path.c_str()).opened) << path;
    Physics::Reset();
    Physics::HoldShip(Game::Objects);
    Physics::UnFreeze();
    Physics::ShootShip(Game::Objects, shot.speed, shot.angle);
    steps = 0;
    while (steps < shot.maxSteps) {
        gNow += shot.stepMs;
        Physics::Simulate(Game::Objects, Game::N);
        ++steps;
        if (Physics::IsGameOver() || Physics::IsGameWon()) {
            break;
        }
    }
    result = Physics::IsGameWon() ? "won" : Physics::IsGameOver() ? "lost" : "running";
}

}  // namespace

TEST(GoldenTrajectory, ShippedLevelsEndInTheSameStateBitForBit)
{
    // Level 1 won, level 3 with asteroids shoved about, level 8 with orbiting asteroids under
    // both step sizes, level 11 lost under a moving planet.
    const Shot shots[] = {
        {"level-01.txt", 250.0f, 0.075f, 10, 1000, "won", 247, 0x30c647f999e0af1full},
        {"level-03.txt", 300.0f, 0.3f, 10, 1500, "running", 1500, 0x67ca14eb35f750e1ull},
        {"level-08.txt", 200.0f, 1.0f, 10, 2000, "running", 2000, 0x35607fd842425150ull},
        {"level-08.txt", 200.0f, 1.0f, 20, 1000, "running", 1000, 0xaa5a2ec11a6a3bc5ull},
        {"level-11.txt", 300.0f, 0.0f, 10, 1000, "lost", 123, 0xd1f59589c738ae48ull},
    };
    Physics::SetClock(&GoldenClock);
    for (const Shot& shot : shots) {
        std::string result;
        unsigned steps = 0;
        Fly(shot, result, steps);
        const std::uint64_t hash = HashBodies();
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
