// One game frame composed through the window layer's public operations, against the floor
// of every full-frame operation: one 1024 x 768 x 4-byte memcpy, timed in the same run.
// The frame should cost at most 4 times two such copies. Runs on SDL's dummy video driver
// unless SDL_VIDEODRIVER says otherwise.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ReferenceCopy.hpp"
#include "Wimdows/Raster.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

namespace {

constexpr int kW = 1024, kH = 768;

void SavePicture(const std::string& path, int w, int h, bool roundMask, std::uint32_t seed)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XRGB8888);
    std::mt19937 rng(seed);
    auto* p = static_cast<std::uint32_t*>(s->pixels);
    for (int i = 0; i < w * h; ++i) p[i] = roundMask ? 0 : rng() & 0xFFFFFF;
    if (roundMask) Wimdows::Raster::Ellipse({p, w, h, s->pitch / 4}, 0, 0, w, h, 0xFFFFFF, true, 0xFFFFFF);
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
}

// The game window with its pictures loaded, for the whole run.
struct Scene {
    std::filesystem::path dir;
    std::uint32_t background = 0, sprite = 0, mask = 0;
    std::vector<std::pair<int, int>> path;

    Scene()
    {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        dir = std::filesystem::temp_directory_path() / ("kor-frame-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        SavePicture((dir / "achtergrond.bmp").string(), kW, kH, false, 1);
        SavePicture((dir / "raket.bmp").string(), 50, 50, false, 2);
        SavePicture((dir / "raket-mask.bmp").string(), 50, 50, true, 3);
        Wimdows::Window("The KOR Dudurad", kW, kH);
        Wimdows::SetBuffering(true);
        background = Wimdows::LoadBitmap((dir / "achtergrond.bmp").c_str(), kW, kH);
        sprite = Wimdows::LoadBitmap((dir / "raket.bmp").c_str(), 50, 50);
        mask = Wimdows::LoadBitmap((dir / "raket-mask.bmp").c_str(), 50, 50);
        for (int i = 0; i < 2000; ++i) {  // a flight path curving over the screen
            const double t = i / 2000.0;
            path.push_back(
                {static_cast<int>(40 + 940 * t), static_cast<int>(700 - 1800 * t * (1 - t) + 30 * std::sin(40 * t))});
        }
    }
    ~Scene()
    {
        Wimdows::KillWindow();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    bool Ready() const { return Wimdows::State() == Wimdows::STATE_ACTIVE && background && sprite && mask; }

    // The head-up display's twelve texts: four labels and four numbers in black, level and
    // score with their numbers in white.
    static void HeadUpDisplay(std::int32_t n)
    {
        Wimdows::SetFont(0, 0);
        Wimdows::Text("Huidige Hoek (\xB0)", 20, 720);
        Wimdows::TextInt(45 + n, 120, 720);
        Wimdows::Text("Vorige Hoek (\xB0)", 150, 720);
        Wimdows::TextInt(30 + n, 230, 720);
        Wimdows::Text("Huidige Snelheid", 20, 740);
        Wimdows::TextInt(250 + n, 120, 740);
        Wimdows::Text("Vorige Snelheid", 150, 740);
        Wimdows::TextInt(180 + n, 230, 740);
        Wimdows::SetFont(0, 0xFFFFFF);
        Wimdows::Text("Level", 964, 10);
        Wimdows::TextInt(3 + n, 994, 10);
        Wimdows::Text("Score", 20, 10);
        Wimdows::TextInt(240 + n, 55, 10);
    }

    void Frame(std::int32_t n) const
    {
        Wimdows::ClearScreen();
        Wimdows::DrawBitmap(background, 0, 0);
        Wimdows::HPEN pen = Wimdows::CreatePen(2, 0, 0);
        Wimdows::SelectPen(pen);
        Wimdows::MovePenTo(path[0].first, path[0].second);
        for (std::size_t i = 1; i < path.size(); ++i) Wimdows::LineTo(path[i].first, path[i].second);
        Wimdows::DeletePen(pen);
        for (int i = 0; i < 100; ++i) Wimdows::DrawMaskBitmap(sprite, mask, (i * 97) % (kW - 50), (i * 53) % (kH - 50));
        HeadUpDisplay(n);
        Wimdows::UpdateWindow();
    }
};

Scene& TheScene()
{
    static Scene scene;
    return scene;
}

void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<std::uint32_t> a(kW * kH, 1), b(kW * kH, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

// freshNumbers: every number of the display changes every frame (no text comes from the cache
// twice); otherwise they stay, as while the player looks at a flying rocket.
void Frames(benchmark::State& state, bool freshNumbers)
{
    Scene& scene = TheScene();
    if (!scene.Ready()) {
        state.SkipWithError("no window or pictures");
        return;
    }
    const double reference = bench::MemcpyReferenceNs();
    std::int32_t n = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) scene.Frame(freshNumbers ? n++ : 0);
    const double perFrame =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() / state.iterations();
    state.counters["memcpy_us"] = reference / 1000;
    state.counters["frame_per_2memcpy"] = perFrame / (2 * reference);
}
BENCHMARK_CAPTURE(Frames, BM_GameFrame, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Frames, BM_GameFrameFreshNumbers, true)->Unit(benchmark::kMicrosecond);

// The parts of a frame alone.
void BM_ClearScreen(benchmark::State& state)
{
    if (!TheScene().Ready()) return state.SkipWithError("no window");
    for (auto _ : state) Wimdows::ClearScreen();
}
BENCHMARK(BM_ClearScreen)->Unit(benchmark::kMicrosecond);

void BM_Background(benchmark::State& state)
{
    const Scene& scene = TheScene();
    if (!scene.Ready()) return state.SkipWithError("no window");
    for (auto _ : state) Wimdows::DrawBitmap(scene.background, 0, 0);
}
BENCHMARK(BM_Background)->Unit(benchmark::kMicrosecond);

void BM_MaskedBitmaps100(benchmark::State& state)
{
    const Scene& scene = TheScene();
    if (!scene.Ready()) return state.SkipWithError("no window");
    for (auto _ : state)
        for (int i = 0; i < 100; ++i)
            Wimdows::DrawMaskBitmap(scene.sprite, scene.mask, (i * 97) % (kW - 50), (i * 53) % (kH - 50));
}
BENCHMARK(BM_MaskedBitmaps100)->Unit(benchmark::kMicrosecond);

void BM_DottedPath2000(benchmark::State& state)
{
    const Scene& scene = TheScene();
    if (!scene.Ready()) return state.SkipWithError("no window");
    for (auto _ : state) {
        Wimdows::HPEN pen = Wimdows::CreatePen(2, 0, 0);
        Wimdows::SelectPen(pen);
        Wimdows::MovePenTo(scene.path[0].first, scene.path[0].second);
        for (std::size_t i = 1; i < scene.path.size(); ++i) Wimdows::LineTo(scene.path[i].first, scene.path[i].second);
        Wimdows::DeletePen(pen);
    }
}
BENCHMARK(BM_DottedPath2000)->Unit(benchmark::kMicrosecond);

void BM_HeadUpDisplay(benchmark::State& state)
{
    if (!TheScene().Ready()) return state.SkipWithError("no window");
    for (auto _ : state) Scene::HeadUpDisplay(0);
}
BENCHMARK(BM_HeadUpDisplay)->Unit(benchmark::kMicrosecond);

// One whole-window copy handed to the window's thread, and the hand-over alone.
void BM_UpdateWindow(benchmark::State& state)
{
    if (!TheScene().Ready()) return state.SkipWithError("no window");
    for (auto _ : state) Wimdows::UpdateWindow();
}
BENCHMARK(BM_UpdateWindow)->Unit(benchmark::kMicrosecond);

void BM_HandOver(benchmark::State& state)
{
    if (!TheScene().Ready()) return state.SkipWithError("no window");
    for (auto _ : state) Wimdows::Testing::Sync();
}
BENCHMARK(BM_HandOver)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
