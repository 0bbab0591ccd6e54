// The generator's building blocks: shapes, masks, scaling, noise, the BMP and WAV writers,
// the sound finishing step and text coverage.
#include "Canvas.hpp"
#include "FileFormats.hpp"
#include "Sounds.hpp"
#include "Text.hpp"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;
using namespace Canvas;

TEST(Shapes, SignedDistancesAreNegativeInsideAndExactOnSimpleShapes)
{
    EXPECT_FLOAT_EQ(SdCircle(13, 10, 10, 10, 2), 1);
    EXPECT_FLOAT_EQ(SdCircle(10, 10, 10, 10, 2), -2);
    EXPECT_FLOAT_EQ(SdRoundBox(0, 0, 0, 0, 4, 2, 0), -2);
    EXPECT_FLOAT_EQ(SdRoundBox(7, 0, 0, 0, 4, 2, 0), 3);
    EXPECT_NEAR(SdRoundBox(7, 6, 0, 0, 4, 2, 0), 5, 1e-5);  // off the corner: 3-4-5
    EXPECT_FLOAT_EQ(SdSegment(5, 3, 0, 0, 10, 0), 3);
    EXPECT_FLOAT_EQ(SdSegment(-4, 3, 0, 0, 10, 0), 5);              // past the end: to the end point
    EXPECT_FLOAT_EQ(SdSegment(1, 1, 2, 2, 2, 2), std::sqrt(2.0f));  // a point-like segment
}

TEST(Shapes, PolygonInsideTestHandlesConcaveOutlines)
{
    // An arrow pointing right: concave where the head meets the shaft.
    std::vector<Pt> arrow = {{10, 0}, {4, 5}, {4, 2}, {-10, 2}, {-10, -2}, {4, -2}, {4, -5}};
    EXPECT_LT(SdPolygon(0, 0, arrow), 0);
    EXPECT_LT(SdPolygon(6, 3, arrow), 0);  // in the head, beside the shaft line
    EXPECT_GT(SdPolygon(0, 4, arrow), 0);  // beside the shaft, behind the head
    EXPECT_GT(SdPolygon(12, 0, arrow), 0);
    EXPECT_NEAR(SdPolygon(0, 4, arrow), 2, 1e-5);
    EXPECT_NEAR(SdPolygon(-5, 0, arrow), -2, 1e-5);
}

TEST(Shapes, FillShapeCoversByPixelCentreAndBlendsEdges)
{
    Image img = Canvas::Make(10, 10, {0, 0, 0});
    FillShape(img, 0, 0, 10, 10, {1, 1, 1}, [](float px, float py) { return SdRoundBox(px, py, 5, 5, 2, 2, 0); });
    EXPECT_FLOAT_EQ(img.At(5, 5).r, 1);  // inside
    EXPECT_FLOAT_EQ(img.At(0, 0).r, 0);  // well outside
    // Pixel 7 has its centre at 7.5, half a pixel past the edge at 7: half covered.
    EXPECT_NEAR(img.At(7, 5).r, 0.0f, 1e-6);
    EXPECT_NEAR(img.At(6, 5).r, 1.0f, 1e-6);
    Image soft = Canvas::Make(10, 10, {0, 0, 0});
    FillShape(soft, 0, 0, 10, 10, {1, 1, 1}, [](float px, float) { return px - 5.5f; });
    EXPECT_NEAR(soft.At(5, 0).r, 0.5f, 1e-6);
    // Shapes that reach past the image are clipped, not written out of bounds.
    FillShape(soft, -20, -20, 40, 40, {0, 1, 0}, [](float, float) { return -1.0f; });
    EXPECT_FLOAT_EQ(soft.At(9, 9).g, 1);
}

TEST(Shapes, MasksAreWhiteExactlyWherePixelCentresAreInside)
{
    Image m = MakeMask(4, 4, [](float px, float py) { return SdCircle(px, py, 2, 2, 1.6f) <= 0; });
    // Centres at 0.5..3.5: the middle four lie 0.71 from the centre, edge ones 1.58, corners 2.12.
    EXPECT_EQ(m.At(1, 1).r, 1);
    EXPECT_EQ(m.At(2, 2).r, 1);
    EXPECT_EQ(m.At(0, 0).r, 0);
    EXPECT_EQ(m.At(3, 3).r, 0);
    EXPECT_EQ(m.At(0, 1).r, 1);  // 1.58 from the centre
}

TEST(Images, NearestScalingPicksSourcePixelsAndSmoothScalingKeepsTheMean)
{
    Image src = Canvas::Make(2, 2, {});
    src.At(0, 0) = {1, 0, 0};
    src.At(1, 0) = {0, 1, 0};
    src.At(0, 1) = {0, 0, 1};
    src.At(1, 1) = {1, 1, 1};
    Image up = ScaleNearest(src, 4, 4);
    EXPECT_EQ(up.At(1, 1).r, 1);
    EXPECT_EQ(up.At(2, 1).g, 1);
    EXPECT_EQ(up.At(3, 3).b, 1);
    Image checker = Canvas::Make(8, 8, {});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) checker.At(x, y) = (x + y) % 2 ? Rgb{1, 1, 1} : Rgb{0, 0, 0};
    Image down = ScaleSmooth(checker, 3, 3);  // not a whole factor
    for (const Rgb& p : down.px) EXPECT_NEAR(p.r, 0.5f, 0.07f);
    Image same = ScaleSmooth(checker, 8, 8);
    for (std::size_t i = 0; i < same.px.size(); ++i) EXPECT_NEAR(same.px[i].r, checker.px[i].r, 1e-6);
    Image grown = ScaleSmooth(Canvas::Make(3, 2, {0.25f, 0.5f, 0.75f}), 7, 5);
    for (const Rgb& p : grown.px) EXPECT_NEAR(p.g, 0.5f, 1e-6);
}

TEST(Images, PasteMaskedCopiesOnlyWhereTheMaskIsWhiteAndClips)
{
    Image dst = Canvas::Make(4, 4, {0.5f, 0.5f, 0.5f});
    Image src = Canvas::Make(3, 3, {1, 0, 0});
    Image mask = Canvas::Make(3, 3, {0, 0, 0});
    mask.At(1, 1) = {1, 1, 1};
    mask.At(2, 2) = {1, 1, 1};
    PasteMasked(dst, src, mask, 2, 2);  // (2,2) of the source falls outside the target
    EXPECT_EQ(dst.At(3, 3).r, 1);
    EXPECT_EQ(dst.At(2, 2).r, 0.5f);
    EXPECT_EQ(dst.At(3, 2).r, 0.5f);
}

TEST(Randomness, SeededAndInRange)
{
    Rng a{42}, b{42}, c{43};
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        float u = Uniform(a);
        EXPECT_EQ(u, Uniform(b));
        differs |= u != Uniform(c);
        EXPECT_GE(u, 0.0f);
        EXPECT_LT(u, 1.0f);
        float r = Range(a, -3, 5);
        Uniform(b);
        Uniform(c);
        EXPECT_GE(r, -3.0f);
        EXPECT_LT(r, 5.0f);
    }
    EXPECT_TRUE(differs);
}

TEST(Randomness, NoiseStaysInRangeAndIsSmooth)
{
    float lo = 1, hi = 0;
    for (int i = 0; i < 2000; ++i) {
        float x = i * 0.173f - 150, y = i * 0.071f - 40;
        for (float v : {Noise2(x, y, 7), Noise3(x, y, x * 0.3f, 7), Fbm2(x, y, 5, 7), Fbm3(x, y, 1.5f, 4, 7)}) {
            EXPECT_GE(v, 0.0f);
            EXPECT_LE(v, 1.0f);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        // Continuous: a tiny step gives a tiny change, also across negative lattice cells.
        EXPECT_NEAR(Noise2(x, y, 7), Noise2(x + 1e-3f, y, 7), 0.01f);
    }
    EXPECT_LT(lo, 0.2f);
    EXPECT_GT(hi, 0.8f);
    EXPECT_NE(Noise2(0.5f, 0.5f, 1), Noise2(0.5f, 0.5f, 2));
}

TEST(Files, SavedBmpReadsBackWithTheSameColours)
{
    Image img = Canvas::Make(5, 3, {});  // 15-byte rows: padding is needed
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) img.At(x, y) = {x / 4.0f, y / 2.0f, 1.5f - x / 4.0f};
    fs::path path = fs::temp_directory_path() / ("kor-bmp-" + std::to_string(getpid()) + ".bmp");
    ASSERT_TRUE(SaveBmp(img, path.string()));
    FileFormats::Bmp b;
    ASSERT_EQ(FileFormats::ReadBmp(path.string(), b), "");
    ASSERT_EQ(b.w, 5);
    ASSERT_EQ(b.h, 3);
    EXPECT_EQ(b.At(0, 0)[0], 0);
    EXPECT_EQ(b.At(4, 0)[0], 255);
    EXPECT_EQ(b.At(2, 0)[0], 128);  // 0.5 rounds to nearest
    EXPECT_EQ(b.At(0, 2)[1], 255);  // bottom row stays at the bottom
    EXPECT_EQ(b.At(0, 0)[2], 255);  // 1.5 is clamped
    fs::remove(path);
    EXPECT_FALSE(SaveBmp(img, "/proc/no-such-dir/x.bmp"));
}

TEST(Files, WavBytesHaveACorrectHeaderAndClampedSamples)
{
    std::vector<float> s = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 3.0f, -3.0f};
    std::vector<std::uint8_t> bytes = Sounds::WavBytes(s);
    ASSERT_EQ(bytes.size(), 44 + 2 * s.size());
    fs::path path = fs::temp_directory_path() / ("kor-wav-" + std::to_string(getpid()) + ".wav");
    ASSERT_TRUE(Sounds::SaveWav(s, path.string()));
    FileFormats::Wav w;
    ASSERT_EQ(FileFormats::ReadWav(path.string(), w), "");
    fs::remove(path);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, Sounds::kRate);
    ASSERT_EQ(w.samples.size(), s.size());
    EXPECT_EQ(w.samples[1], 16384);  // 16383.5 rounds to even
    EXPECT_EQ(w.samples[2], -16384);
    EXPECT_EQ(w.samples[3], 32767);
    EXPECT_EQ(w.samples[4], -32767);
    EXPECT_EQ(w.samples[5], 32767);
    EXPECT_EQ(w.samples[6], -32767);
    EXPECT_EQ(Sounds::WavBytes({}).size(), 44u);
}

TEST(SoundFinish, NormalisesRemovesOffsetAndFadesBothEnds)
{
    std::vector<float> s(Sounds::kRate / 2);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = 0.3f + 0.2f * std::sin(static_cast<float>(i) * 0.05f);
    Sounds::Finish(s, 0.8f);
    float peak = 0;
    double mean = 0;
    for (float v : s) {
        peak = std::max(peak, std::fabs(v));
        mean += v;
    }
    mean /= static_cast<double>(s.size());
    EXPECT_NEAR(peak, 0.8f, 1e-5);
    EXPECT_LT(std::fabs(mean), 0.05) << "the offset should be mostly gone";
    EXPECT_NEAR(s.front(), 0.0f, 1e-6);
    EXPECT_NEAR(s.back(), 0.0f, 0.01f);
    // The fades are gradual: no jump larger than the sound's own slope near the ends.
    for (std::size_t i = 1; i < 200; ++i) EXPECT_LT(std::fabs(s[i] - s[i - 1]), 0.05f);
}

TEST(SoundFinish, SilenceAndTinyBuffersAreLeftSafe)
{
    std::vector<float> silent(1000, 0.0f);
    Sounds::Finish(silent, 0.9f);
    for (float v : silent) EXPECT_EQ(v, 0.0f);  // no division by a zero peak
    std::vector<float> empty;
    Sounds::Finish(empty, 0.9f);
    EXPECT_TRUE(empty.empty());
    std::vector<float> one = {0.7f};
    Sounds::Finish(one, 0.9f);
    EXPECT_FALSE(std::isnan(one[0]));
}

TEST(SoundSet, EverySoundIsFinishedAndWithinItsLength)
{
    for (const Sounds::Sound& s : Sounds::MakeAll()) {
        ASSERT_FALSE(s.samples.empty()) << s.name;
        float peak = 0;
        for (float v : s.samples) {
            ASSERT_FALSE(std::isnan(v)) << s.name;
            peak = std::max(peak, std::fabs(v));
        }
        EXPECT_GE(peak, 0.69f) << s.name;
        EXPECT_LE(peak, 0.9f) << s.name;
        EXPECT_EQ(s.samples.front(), 0.0f) << s.name;
    }
}

TEST(TextCoverage, RendersOutlinesAndBlurKeepsTheInk)
{
    ASSERT_TRUE(Text::Init());
    Text::Alpha a = Text::Render(Text::Face::SansBold, 24, "KOR");
    ASSERT_GT(a.w, 0);
    ASSERT_GT(a.h, 0);
    EXPECT_EQ(Text::Width(Text::Face::SansBold, 24, "KOR"), a.w);
    Text::Alpha outlined = Text::Render(Text::Face::SansBold, 24, "KOR", 2);
    EXPECT_EQ(outlined.w, a.w + 4);
    EXPECT_EQ(outlined.h, a.h + 4);
    double ink = 0, blurred = 0;
    for (float v : a.a) ink += v;
    Text::Alpha b = Text::Blur(a, 3, 12);
    EXPECT_EQ(b.w, a.w + 24);
    for (float v : b.a) blurred += v;
    EXPECT_GT(ink, 50);
    EXPECT_NEAR(blurred, ink, ink * 1e-3);
    EXPECT_EQ(Text::Render(Text::Face::Sans, 12, "").w, 0);
    Text::Quit();
}
