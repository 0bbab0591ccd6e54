// The level editor while a body is dragged: each frame moves a planet of a 10-body level,
// restarts the background search (two worker threads, as in the editor), predicts the flight
// and draws the frame with its dotted path (dummy video driver). The drag as the editor's own
// session does it, frame by frame at its pace, on 10 and 101 bodies: the wall time of the
// frame that follows each of 1,000 moves. Beside it: the search of the heaviest shipped level
// against kor-levelcheck --jobs 2, and memory over 1,000 edits.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchReport.hpp"
#include "Drawing/Drawing.hpp"
#include "Drawing/Geometry.hpp"
#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Path/Path.hpp"
#include "Search/Search.hpp"
#include "Wimdows/Wimdows.hpp"

namespace {

Level::File LevelFromText(const std::string& text)
{
    Level::File level;
    Level::ReadText(text, "generated", level);
    return level;
}

double ThreadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ResidentMB()
{
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One editor frame: the edit, the search restarted, the prediction, the frame drawn.
void Frame(Editor::Document& doc, Search::Background& search, Level::Table& shown, int step)
{
    Level::OBJECT b = doc.level().sections[2].body;
    b.Position.x = static_cast<float>(-300 + step % 600);
    doc.Change(2, b, true);
    search.Start(Level::TableOf(doc.level()));
    const Editor::Prediction p = Editor::Predict(doc.level(), 250.0f, 0.3f);
    Level::ToTable(doc.level(), shown);
    shown.Objects[1].Mass = 0.0f;
    Drawing::RefreshPictures(shown.Objects, shown.N);
    Path::Clear();
    for (const Level::VECTOR& v : p.path) Path::Add(Drawing::GetX(v.x), Drawing::GetY(v.y));
    Drawing::Draw(shown.Objects, shown.N, 13, 0, 0.3f, 250.0f, 0.3f, 250.0f);
}

void BM_EditorFrameWhileDragging10Bodies(benchmark::State& state)
{
    std::filesystem::current_path(KOR_BUILD_DIR);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Drawing::Init();
    Drawing::LoadWindow();
    if (Wimdows::State() != Wimdows::STATE_ACTIVE) {
        state.SkipWithError("no window");
        return;
    }
    Editor::Document doc(LevelFromText(BenchReport::GeneratedLevel(10)));
    Search::Background search(2);
    Level::Table shown = Level::TableOf(doc.level());
    Drawing::LoadGraph(shown.Objects, shown.N);
    int step = 0;
    double cpu = 0.0;
    for (auto _ : state) {
        const double before = ThreadSeconds();
        Frame(doc, search, shown, ++step);
        cpu += ThreadSeconds() - before;
    }
    search.Cancel();
    Drawing::UnloadGraph();
    Path::Clear();
    Wimdows::KillWindow();
    // The frame's own thread: on a loaded machine the wall time also holds the waits for a core.
    const double perFrame = cpu / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["frame_thread_cpu_us"] = perFrame * 1e6;
    state.counters["share_of_10ms_%"] = perFrame / 0.010 * 100.0;
    BenchReport::Figures()["editor/frame-thread-cpu"] = perFrame;
}

// 1,000 moves of a drag through the editor's session, one a frame at the editor's 10 ms pace
// with the search running: the wall time from the move to the drawn frame.
void BM_EditorDragFrameWallTime(benchmark::State& state)
{
    std::filesystem::current_path(KOR_BUILD_DIR);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Drawing::Init();
    Drawing::LoadWindow();
    if (Wimdows::State() != Wimdows::STATE_ACTIVE) {
        state.SkipWithError("no window");
        return;
    }
    const int bodies = static_cast<int>(state.range(0));
    Search::Background search(2);
    std::vector<double> frames;
    for (auto _ : state) {
        Editor::Session s;
        s.doc = Editor::Document(LevelFromText(BenchReport::GeneratedLevel(bodies)));
        s.file = "bench.txt";
        s.searcher = &search;
        const Level::Table none = Level::TableOf(Level::File{});
        Drawing::LoadGraph(none.Objects, none.N);
        Drawing::SetOverlay(&Editor::Overlay);
        const Level::VECTOR at = s.doc.level().sections[2].body.Position;
        const std::int32_t x = Drawing::GetX(at.x), y = Drawing::GetY(at.y);
        s.Mouse({Wimdows::MouseEvent::Type::LeftDown, x, y, 0});
        s.Refresh();
        s.Draw();
        auto next = std::chrono::steady_clock::now();
        frames.clear();
        for (int move = 1; move <= 1000; ++move) {
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
            const auto start = std::chrono::steady_clock::now();
            // Round and round in a circle of 60 pixels, so every move changes the flight.
            const float turn = static_cast<float>(move) * 0.05f;
            s.Mouse({Wimdows::MouseEvent::Type::Move, x + static_cast<std::int32_t>(60.0f * std::cos(turn)),
                     y + static_cast<std::int32_t>(60.0f * std::sin(turn)), 0});
            s.Refresh();
            s.Draw();
            const auto end = std::chrono::steady_clock::now();
            frames.push_back(std::chrono::duration<double>(end - start).count());
            if (end > next) next = end;
        }
        s.Mouse({Wimdows::MouseEvent::Type::LeftUp, x, y, 0});
        Drawing::SetOverlay(nullptr);
        Drawing::UnloadGraph();
    }
    search.Cancel();
    Path::Clear();
    Wimdows::KillWindow();
    std::sort(frames.begin(), frames.end());
    const double median = frames.empty() ? 0.0 : frames[frames.size() / 2];
    const double worst = frames.empty() ? 0.0 : frames.back();
    state.counters["median_ms"] = median * 1e3;
    state.counters["worst_ms"] = worst * 1e3;
    BenchReport::Figures()["editor/drag-" + std::to_string(bodies) + "-median"] = median;
    BenchReport::Figures()["editor/drag-" + std::to_string(bodies) + "-worst"] = worst;
}

// The heaviest shipped level (level 3): the editor's search against the tool's.
void BM_EditorSearchOfLevel3(benchmark::State& state)
{
    std::filesystem::current_path(KOR_BUILD_DIR);
    Level::File level;
    Editor::ReadLevel("data/level-03.txt", level);
    Search::Background search(2);
    for (auto _ : state) {
        search.Start(Level::TableOf(level));
        search.Wait();
    }
    const Search::Summary r = search.Result();
    state.counters["wins_both"] = r.bothWins;
    // kor-levelcheck --jobs 2 on the same file, timed from outside.
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system("tools/kor-levelcheck --jobs 2 data/level-03.txt > /dev/null 2>&1");
    const double tool = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status == 0) {
        state.counters["levelcheck_jobs2_s"] = tool;
        BenchReport::Figures()["editor/levelcheck-jobs2"] = tool;
    }
}

// Memory over 1,000 edits with the prediction and the search restarted after each.
void BM_EditorMemoryOver1000Edits(benchmark::State& state)
{
    Editor::Document doc(LevelFromText(BenchReport::GeneratedLevel(10)));
    Search::Background search(2);
    double before = 0.0, after = 0.0;
    for (auto _ : state) {
        for (int i = 0; i < 1100; ++i) {
            if (i == 100) before = ResidentMB();  // after the first allocations have settled
            Level::OBJECT b = doc.level().sections[2 + i % 8].body;
            b.Position.y += 1.0f;
            doc.Change(2 + i % 8, b);
            search.Start(Level::TableOf(doc.level()));
            benchmark::DoNotOptimize(Editor::Predict(doc.level(), 250.0f, 0.3f));
        }
        after = ResidentMB();
    }
    search.Cancel();
    state.counters["rss_after_100_MB"] = before;
    state.counters["rss_after_1100_MB"] = after;
    BenchReport::Figures()["editor/rss-growth-MB"] = after - before;
}

}  // namespace

BENCHMARK(BM_EditorFrameWhileDragging10Bodies)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditorDragFrameWallTime)->Arg(10)->Arg(101)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EditorSearchOfLevel3)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EditorMemoryOver1000Edits)->Unit(benchmark::kMillisecond)->Iterations(1);
