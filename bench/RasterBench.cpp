// Costs of the pixel routines against the floor of every full-frame operation: one
// 1024 x 768 x 4-byte memcpy. A game frame should stay within about two such copies times 4.
#include "ReferenceCopy.hpp"
#include "Wimdows/Raster.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace Wimdows::Raster;

namespace {

constexpr int kW = 1024, kH = 768;

Image Picture(int w, int h, std::uint32_t seed)
{
    Image img;
    MakeImage(img, w, h);
    std::mt19937 rng(seed);
    for (auto& p : img.pixels) p = rng() & 0xFFFFFF;
    return img;
}

// A round mask, thresholded as the bitmap registry keeps it.
Image RoundMask(int size, bool threshold)
{
    Image m;
    MakeImage(m, size, size);
    Ellipse(View(m), 0, 0, size, size, 0xFFFFFF, true, 0xC0C0C0);
    if (threshold) ThresholdMask(View(m));
    return m;
}

// Rendered text: white letters with soft edges on a clear background, 0xAARRGGBB.
Image TextLike(int w, int h)
{
    Image t;
    MakeImage(t, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = ((x / 2 + y) % 5 == 0) ? 255u : ((x + y) % 7 == 0 ? 96u : 0u);
            t.pixels[static_cast<std::size_t>(y) * w + x] = (a << 24) | 0xFFFFFF;
        }
    return t;
}

// A flight path: 2,000 points of a few pixels each, curving over the screen.
std::vector<std::pair<int, int>> FlightPath()
{
    std::vector<std::pair<int, int>> pts;
    for (int i = 0; i < 2000; ++i) {
        const double t = i / 2000.0;
        pts.push_back(
            {static_cast<int>(40 + 940 * t), static_cast<int>(700 - 1800 * t * (1 - t) + 30 * std::sin(40 * t))});
    }
    return pts;
}

struct Frame {
    Image back = Picture(kW, kH, 1), background = Picture(kW, kH, 2);
    Image sprite = Picture(50, 50, 3), mask = RoundMask(50, true), rawMask = RoundMask(50, false);
    Image text = TextLike(140, 18);
    std::vector<std::pair<int, int>> path = FlightPath();

    void draw()
    {
        const Surface s = View(back);
        FillRect(s, 0, 0, kW, kH, 0);
        Copy(s, 0, 0, View(background));
        for (int i = 0; i < 100; ++i)
            MaskedCopy(s, (i * 97) % (kW - 50), (i * 53) % (kH - 50), View(sprite), View(mask));
        for (int i = 0; i < 12; ++i) BlendArgb(s, 20 + (i % 4) * 250, 10 + (i / 4) * 20, View(text));
        PenPos pos;
        PenMoveTo(pos, path[0].first, path[0].second);
        for (std::size_t i = 1; i < path.size(); ++i) PenLineTo(s, Pen{PEN_DOT, 0}, pos, path[i].first, path[i].second);
    }
};

void BM_MemcpyFrame(benchmark::State& state)
{
    std::vector<std::uint32_t> a(kW * kH, 1), b(kW * kH, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyFrame);

void BM_Frame(benchmark::State& state)
{
    Frame f;
    const double ref = bench::MemcpyReferenceNs();
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        f.draw();
        benchmark::ClobberMemory();
    }
    const double perFrame =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count() / state.iterations();
    state.counters["memcpy_ns"] = ref;
    state.counters["frame_per_2memcpy"] = perFrame / (2 * ref);
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMicrosecond);

void BM_ClearScreen(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        FillRect(View(back), 0, 0, kW, kH, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ClearScreen)->Unit(benchmark::kMicrosecond);

void BM_FillRectColour(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        FillRect(View(back), 1, 1, kW - 2, kH - 2, 0x461400);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillRectColour)->Unit(benchmark::kMicrosecond);

void BM_CopyFrame(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1), background = Picture(kW, kH, 2);
    for (auto _ : state) {
        Copy(View(back), 0, 0, View(background));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFrame)->Unit(benchmark::kMicrosecond);

template <bool Prepared>
void BM_MaskedCopy100(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1), sprite = Picture(50, 50, 3), mask = RoundMask(50, Prepared);
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            const int x = (i * 97) % (kW - 50), y = (i * 53) % (kH - 50);
            if (Prepared)
                MaskedCopy(View(back), x, y, View(sprite), View(mask));
            else
                MaskedCopyByBrightness(View(back), x, y, View(sprite), View(mask));
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MaskedCopy100<true>)->Name("BM_MaskedCopy_100x50x50")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MaskedCopy100<false>)->Name("BM_MaskedCopyByBrightness_100x50x50")->Unit(benchmark::kMicrosecond);

void BM_BlendText12(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1), text = TextLike(140, 18);
    for (auto _ : state) {
        for (int i = 0; i < 12; ++i) BlendArgb(View(back), 20 + (i % 4) * 250, 10 + (i / 4) * 20, View(text));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BlendText12)->Unit(benchmark::kMicrosecond);

void BM_DottedPolyline2000(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    const auto path = FlightPath();
    for (auto _ : state) {
        PenPos pos;
        PenMoveTo(pos, path[0].first, path[0].second);
        for (std::size_t i = 1; i < path.size(); ++i)
            PenLineTo(View(back), Pen{PEN_DOT, 0}, pos, path[i].first, path[i].second);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DottedPolyline2000)->Unit(benchmark::kMicrosecond);

void BM_LineAcross(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        Line(View(back), -5000, -100, 6000, 900, 0xFFFFFF);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LineAcross);

void BM_FrameRect(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        FrameRect(View(back), 10, 10, 1000, 700, 0xFFFFFF);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameRect);

void BM_EllipseFilled(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        Ellipse(View(back), 100, 100, 900, 700, 0xFFFFFF, true, 0x00FF00);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EllipseFilled)->Unit(benchmark::kMicrosecond);

void BM_EllipseHugeOutline(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        Ellipse(View(back), INT32_MIN, -300, INT32_MAX, 1000, 0xFFFFFF, false, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EllipseHugeOutline)->Unit(benchmark::kMicrosecond);

void BM_Arc(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        Arc(View(back), 100, 100, 900, 700, 900, 400, 100, 100, 0xFFFFFF);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Arc)->Unit(benchmark::kMicrosecond);

void BM_PieFilled(benchmark::State& state)
{
    Image back = Picture(kW, kH, 1);
    for (auto _ : state) {
        Pie(View(back), 100, 100, 900, 700, 900, 400, 100, 100, 0xFFFFFF, true, 0x00FF00);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PieFilled)->Unit(benchmark::kMicrosecond);

void BM_ThresholdMask50(benchmark::State& state)
{
    Image mask = RoundMask(50, false);
    for (auto _ : state) {
        ThresholdMask(View(mask));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ThresholdMask50);

void BM_ScaleSmoothGrow(benchmark::State& state)
{
    Image src = Picture(800, 600, 4), dst = Picture(kW, kH, 5);
    for (auto _ : state) benchmark::DoNotOptimize(ScaleSmooth(View(dst), View(src)));
}
BENCHMARK(BM_ScaleSmoothGrow)->Unit(benchmark::kMillisecond);

void BM_ScaleSmoothShrink(benchmark::State& state)
{
    Image src = Picture(kW, kH, 4), dst = Picture(50, 50, 5);
    for (auto _ : state) benchmark::DoNotOptimize(ScaleSmooth(View(dst), View(src)));
}
BENCHMARK(BM_ScaleSmoothShrink)->Unit(benchmark::kMillisecond);

void BM_ScaleNearestMask(benchmark::State& state)
{
    Image src = RoundMask(100, false), dst = Picture(50, 50, 5);
    for (auto _ : state) benchmark::DoNotOptimize(ScaleNearest(View(dst), View(src)));
}
BENCHMARK(BM_ScaleNearestMask);

}  // namespace
