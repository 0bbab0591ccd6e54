// One frame of play: a simulation step and a drawn frame, for the heaviest shipped level and
// for a full table of 101 bodies. Each reports its time per frame and its share of the
// game loop's 10 ms frame pause ("pause_share", in percent). Drawing runs on SDL's dummy
// video driver, so the copy to a real screen is not in the figure.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "BenchReport.hpp"
#include "Drawing/Drawing.hpp"
#include "Game/Game.hpp"
#include "Physics/Physics.hpp"
#include "Wimdows/Wimdows.hpp"

namespace {

struct BenchLevel {
    Level::ObjectTable objects{};
    std::uint32_t n = 0;
    std::string name;
    std::uint32_t number = 0;  // of a shipped level
};

// The build tree holds the shipped levels and the generated pictures.
void EnterBuildTree()
{
    static bool done = false;
    if (!done) {
        done = true;
        std::filesystem::current_path(KOR_BUILD_DIR);
    }
}

BenchLevel Load(const std::string& path)
{
    BenchLevel l;
    Level::Table loaded;
    Game::LoadLevelFile(path.c_str(), loaded);
    l.objects = loaded.Objects;
    l.n = loaded.N;
    l.name = path;
    return l;
}

// The shipped level with the most bodies.
const BenchLevel& Heaviest()
{
    static const BenchLevel level = [] {
        EnterBuildTree();
        BenchLevel best;
        for (std::uint32_t i = 1; Game::LevelExists(i); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "data/level-%02u.txt", i);
            BenchLevel l = Load(name);
            l.number = i;
            if (best.name.empty() || l.n > best.n) best = l;
        }
        return best;
    }();
    return level;
}

}  // namespace

// The black hole, the rocket in flight, then a grid of attracting and repelling planets,
// asteroids drifting through the fields, walls and red walls, in turn.
std::string BenchReport::GeneratedLevel(int bodies)
{
    std::ostringstream out;
    out << "[Ball]\nPosition_X = 480\nPosition_Y = 340\nRadius = 25\n";
    out << "[Ball]\nPosition_X = -480\nPosition_Y = -340\nRadius = 12\nMass = 1\nSpeed_X = 120\nSpeed_Y = 90\n";
    for (int i = 0; i < bodies - 2; ++i) {
        const int x = -450 + (i % 11) * 90;
        const int y = -320 + (i / 11) * 80;
        if (i % 4 == 3) {
            out << "[Rectangle]\nPosition_X = " << x << "\nPosition_Y = " << y
                << "\nDimension_X = 40\nDimension_Y = 20\nGameOverOnCollision = " << (i % 8 == 3) << "\n";
        } else {
            out << "[Ball]\nPosition_X = " << x << "\nPosition_Y = " << y << "\nRadius = 14\n";
            if (i % 4 == 0) out << "Field = 20000\n";
            if (i % 4 == 1) out << "Field = -20000\n";
            if (i % 4 == 2) out << "Mass = 1\nSpeed_X = 10\n";
        }
    }
    return out.str();
}

namespace {

BenchLevel Generated(int bodies)
{
    EnterBuildTree();
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kor-bench-" + std::to_string(getpid()) + ".txt");
    std::ofstream(path) << BenchReport::GeneratedLevel(bodies);
    BenchLevel l = Load(path.string());
    l.name = std::to_string(bodies) + " bodies";
    std::filesystem::remove(path);
    return l;
}

const BenchLevel& Full()
{
    static const BenchLevel level = Generated(101);
    return level;
}

std::uint32_t clockMs = 0;
std::uint32_t TickingClock() { return clockMs += 10; }

void Report(benchmark::State& state, std::chrono::steady_clock::duration spent, const BenchLevel& level,
            const std::string& figure)
{
    const double perFrame = std::chrono::duration<double>(spent).count() / static_cast<double>(state.iterations());
    BenchReport::Figures()[figure] = perFrame;
    state.counters["bodies"] = level.n + 1;
    state.counters["pause_share_%"] = perFrame / 0.010 * 100.0;
    state.SetLabel(level.name);
}

void Simulate(benchmark::State& state, const BenchLevel& level, const std::string& figure)
{
    Physics::SetClock(&TickingClock);  // 10 ms of game time per step
    Physics::UnFreeze();
    Level::ObjectTable objects = level.objects;
    std::uint32_t steps = 0;
    std::chrono::steady_clock::duration spent{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Physics::Simulate(objects, level.n);
        spent += std::chrono::steady_clock::now() - start;
        // Back to the start after a second of play, before bodies have flown off for good.
        if (++steps % 100 == 0) objects = level.objects;
    }
    Physics::Freeze();
    Physics::SetClock(nullptr);
    Report(state, spent, level, figure);
}

void Draw(benchmark::State& state, const BenchLevel& level, const std::string& figure)
{
    EnterBuildTree();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Drawing::Init();
    Drawing::LoadWindow();
    if (Wimdows::State() != Wimdows::STATE_ACTIVE) {
        state.SkipWithError("no window");
        return;
    }
    Level::ObjectTable objects = level.objects;
    Drawing::LoadGraph(objects, level.n);
    // A flight path of a few hundred points, as after some seconds of flight.
    Drawing::RestartRecordingPath();
    Level::ObjectTable flight = objects;
    for (int i = 0; i < 300; ++i) {
        flight[1].Position = {-450.0f + 3.0f * static_cast<float>(i), 100.0f * std::sin(0.02f * static_cast<float>(i))};
        Drawing::Draw(flight, level.n, 7, 460, 0.5f, 250.0f, 0.4f, 240.0f);
    }
    Drawing::StopRecordingPath();
    objects[1].Mass = 0.0f;  // held: the aiming arrow is drawn too
    std::chrono::steady_clock::duration spent{};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Drawing::Draw(objects, level.n, 7, 460, 0.5f, 250.0f, 0.4f, 240.0f);
        spent += std::chrono::steady_clock::now() - start;
    }
    Drawing::UnloadGraph();
    Drawing::ClearPath();
    Wimdows::KillWindow();
    Report(state, spent, level, figure);
}

void BM_Simulate2Bodies(benchmark::State& state)
{
    static const BenchLevel level = Generated(2);
    Simulate(state, level, "simulate/2");
}
void BM_Simulate10Bodies(benchmark::State& state)
{
    static const BenchLevel level = Generated(10);
    Simulate(state, level, "simulate/10");
}
void BM_SimulateHeaviestShippedLevel(benchmark::State& state) { Simulate(state, Heaviest(), "simulate/heaviest"); }
void BM_Simulate101Bodies(benchmark::State& state) { Simulate(state, Full(), "simulate/101"); }
void BM_DrawHeaviestShippedLevel(benchmark::State& state)
{
    BenchReport::Figures()["heaviest/bodies"] = Heaviest().n + 1;
    BenchReport::Figures()["heaviest/level"] = Heaviest().number;
    Draw(state, Heaviest(), "draw/heaviest");
}
void BM_Draw101Bodies(benchmark::State& state) { Draw(state, Full(), "draw/101"); }

}  // namespace

BENCHMARK(BM_Simulate2Bodies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Simulate10Bodies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimulateHeaviestShippedLevel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Simulate101Bodies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawHeaviestShippedLevel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Draw101Bodies)->Unit(benchmark::kMicrosecond);
