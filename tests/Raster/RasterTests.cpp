#include "Wimdows/Raster.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <utility>

using namespace Wimdows::Raster;

namespace {

constexpr std::uint32_t kBack = 0x123456, kInk = 0xABCDEF, kFill = 0x00FF00;
using Pixels = std::set<std::pair<int, int>>;

struct Canvas {
    Image image;
    Surface s;
    explicit Canvas(int w = 32, int h = 32, std::uint32_t back = kBack)
    {
        MakeImage(image, w, h, back);
        s = View(image);
    }
    std::uint32_t at(int x, int y) const { return image.pixels[static_cast<std::size_t>(y) * image.width + x]; }
    Pixels with(std::uint32_t colour) const
    {
        Pixels out;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                if (at(x, y) == colour) out.insert({x, y});
        return out;
    }
};

// A window of a larger canvas: shapes drawn into it must look exactly like the same shapes
// drawn into the whole canvas, cut to the window.
struct Window {
    static constexpr int kOx = 40, kOy = 30, kW = 25, kH = 17;
    Canvas whole{120, 90}, part{120, 90};
    Surface view() { return {part.s.pixels + kOy * part.s.pitch + kOx, kW, kH, part.s.pitch}; }
    void expectSameInside()
    {
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x) {
                const bool inside = x >= kOx && x < kOx + kW && y >= kOy && y < kOy + kH;
                ASSERT_EQ(part.at(x, y), inside ? whole.at(x, y) : kBack) << x << "," << y;
            }
    }
};

Pixels Border(int x0, int y0, int x1, int y1)
{
    Pixels out;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (x == x0 || x == x1 || y == y0 || y == y1) out.insert({x, y});
    return out;
}

}  // namespace

TEST(RasterColour, ColorRefAndPixelSwapRedAndBlue)
{
    EXPECT_EQ(PixelFromColorRef(0x0000FF), 0xFF0000u);  // red in the layer's colours
    EXPECT_EQ(PixelFromColorRef(0xFF123456), 0x563412u);
    EXPECT_EQ(ColorRefFromPixel(PixelFromColorRef(0x461400)), 0x461400u);
}

TEST(RasterBoxes, ElevenByElevenFrameAndFill)
{
    Canvas c;
    FrameRect(c.s, 10, 10, 20, 20, kInk);
    EXPECT_EQ(c.with(kInk), Border(10, 10, 20, 20));
    FillRect(c.s, 10, 10, 20, 20, kFill);
    EXPECT_EQ(c.with(kFill).size(), 121u);
    EXPECT_EQ(c.with(kBack).size(), 32u * 32u - 121u);

    Canvas one;
    FrameRect(one.s, 5, 7, 5, 7, kInk);  // a one-pixel box is its one pixel
    FrameRect(one.s, 2, 2, 2, 4, kInk);  // a one-wide box is its column
    EXPECT_EQ(one.with(kInk), (Pixels{{5, 7}, {2, 2}, {2, 3}, {2, 4}}));
}

TEST(RasterBoxes, InvertedBoxDrawsNothing)
{
    Canvas c;
    FillRect(c.s, 20, 20, 10, 10, kInk);
    FrameRect(c.s, 20, 10, 10, 20, kInk);
    FillRect(c.s, 10, 20, 20, 10, kInk);
    Ellipse(c.s, 20, 20, 10, 10, kInk, true, kInk);
    EXPECT_TRUE(c.with(kInk).empty());
}

TEST(RasterBoxes, ExtremeCoordinatesClip)
{
    Canvas c;
    FrameRect(c.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, kInk);  // every edge off the surface
    EXPECT_TRUE(c.with(kInk).empty());
    FrameRect(c.s, INT32_MIN, 3, 5, INT32_MAX, kInk);  // right edge x 5 and top edge y 3 visible
    Pixels expect;
    for (int x = 0; x <= 5; ++x) expect.insert({x, 3});
    for (int y = 4; y < 32; ++y) expect.insert({5, y});
    EXPECT_EQ(c.with(kInk), expect);
    FillRect(c.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, kFill);
    EXPECT_EQ(c.with(kFill).size(), 32u * 32u);
    SetPixel(c.s, INT32_MIN, 0, kInk);
    SetPixel(c.s, 32, 0, kInk);
    EXPECT_TRUE(c.with(kInk).empty());
}

TEST(RasterLines, BothEndPointsInEitherDirection)
{
    Canvas c;
    Line(c.s, 10, 5, 2, 5, kInk);
    Pixels expect;
    for (int x = 2; x <= 10; ++x) expect.insert({x, 5});
    EXPECT_EQ(c.with(kInk), expect);

    Canvas point;
    Line(point.s, 7, 9, 7, 9, kInk);
    EXPECT_EQ(point.with(kInk), (Pixels{{7, 9}}));

    // Any segment: both ends, one pixel per step of the longer axis, same pixels both ways.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 31);
    for (int k = 0; k < 300; ++k) {
        const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        Canvas a, b;
        Line(a.s, x0, y0, x1, y1, kInk);
        Line(b.s, x1, y1, x0, y0, kInk);
        const Pixels pa = a.with(kInk);
        ASSERT_EQ(pa, b.with(kInk)) << x0 << "," << y0 << " " << x1 << "," << y1;
        EXPECT_TRUE(pa.count({x0, y0}) && pa.count({x1, y1}));
        EXPECT_EQ(pa.size(), static_cast<std::size_t>(std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1));
    }
}

TEST(RasterLines, LineToLeavesOutTheEndPixel)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> coord(0, 31);
    for (int k = 0; k < 200; ++k) {
        const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        Canvas line, pen;
        Line(line.s, x0, y0, x1, y1, kInk);
        PenPos pos;
        PenMoveTo(pos, x0, y0);
        PenLineTo(pen.s, Pen{PEN_SOLID, kInk}, pos, x1, y1);
        EXPECT_EQ(pos.x, x1);
        EXPECT_EQ(pos.y, y1);
        Pixels drawn = pen.with(kInk);
        if (x0 != x1 || y0 != y1)
            ASSERT_EQ(drawn.count({x1, y1}), 0u);
        else
            ASSERT_TRUE(drawn.empty());  // a segment to where the pen stands draws nothing
        SetPixel(pen.s, x1, y1, kInk);
        ASSERT_EQ(pen.with(kInk), line.with(kInk));
    }
}

TEST(RasterLines, ClippedLinesMatchUnclipped)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coord(-30, 150);
    for (int k = 0; k < 200; ++k) {
        const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        const std::uint32_t style = static_cast<std::uint32_t>(k % 3);
        const std::uint32_t phase = static_cast<std::uint32_t>(k % 24);
        Window w;
        Line(w.whole.s, x0, y0, x1, y1, kInk);
        Line(w.view(), x0 - Window::kOx, y0 - Window::kOy, x1 - Window::kOx, y1 - Window::kOy, kInk);
        PenPos a{x0, y0, phase}, b{x0 - Window::kOx, y0 - Window::kOy, phase};
        PenLineTo(w.whole.s, Pen{style, kFill}, a, x1, y1);
        PenLineTo(w.view(), Pen{style, kFill}, b, x1 - Window::kOx, y1 - Window::kOy);
        EXPECT_EQ(a.phase, b.phase);
        w.expectSameInside();
    }
}

TEST(RasterLines, ExtremeCoordinates)
{
    Canvas c, diagonal;
    Line(c.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, kInk);  // exactly 45 degrees
    Line(diagonal.s, 0, 0, 31, 31, kInk);
    EXPECT_EQ(c.with(kInk), diagonal.with(kInk));

    // Rises one row over 2^32 - 2 columns: exactly half way up at x = 0, which keeps row 0.
    Pixels expect{{0, 0}};
    for (int x = 1; x < 32; ++x) expect.insert({x, 1});
    Canvas flat, back;
    Line(flat.s, INT32_MIN + 1, 0, INT32_MAX, 1, kInk);
    Line(back.s, INT32_MAX, 1, INT32_MIN + 1, 0, kInk);
    EXPECT_EQ(flat.with(kInk), expect);
    EXPECT_EQ(back.with(kInk), expect);

    Canvas none;
    Line(none.s, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, kInk);
    Line(none.s, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MIN + 5, kInk);
    PenPos pos{INT32_MAX, INT32_MAX, 0};
    PenLineTo(none.s, Pen{PEN_DOT, kInk}, pos, INT32_MIN, INT32_MIN);  // passes through the surface
    Pixels dots;  // pixel (k, k) is step INT32_MAX - k of the dotted pattern
    for (int k = 0; k < 32; ++k)
        if ((std::int64_t{INT32_MAX} - k) % 6 < 3) dots.insert({k, k});
    EXPECT_EQ(none.with(kInk), dots);
}

TEST(RasterPens, PatternsRunOnAcrossSegments)
{
    Canvas whole(200, 4), pieces(200, 4);
    PenPos a;
    PenMoveTo(a, 0, 1);
    PenLineTo(whole.s, Pen{PEN_DOT, kInk}, a, 199, 1);
    // The same row drawn as a polyline of one- and two-pixel segments.
    PenPos b;
    PenMoveTo(b, 0, 1);
    for (int x = 0; x < 199;) {
        x = std::min(199, x + 1 + x % 2);
        PenLineTo(pieces.s, Pen{PEN_DOT, kInk}, b, x, 1);
    }
    EXPECT_EQ(pieces.with(kInk), whole.with(kInk));
    for (int x = 0; x < 199; ++x) EXPECT_EQ(whole.at(x, 1) == kInk, x % 6 < 3) << x;
    EXPECT_EQ(a.phase, 199u % 24u);

    Canvas dash(48, 1), null(48, 1);
    PenPos d, n;
    PenLineTo(dash.s, Pen{PEN_DASH, kInk}, d, 48, 0);
    for (int x = 0; x < 48; ++x) EXPECT_EQ(dash.at(x, 0) == kInk, x % 24 < 18) << x;
    PenLineTo(null.s, Pen{PEN_NULL, kInk}, n, 48, 0);
    EXPECT_TRUE(null.with(kInk).empty());
}

TEST(RasterEllipses, ShapeStaysInsideTheBoxAndTouchesEachSide)
{
    for (int w = 1; w <= 14; ++w)
        for (int h = 1; h <= 14; ++h) {
            Canvas c, filled;
            Ellipse(c.s, 3, 4, 3 + w, 4 + h, kInk, false, 0);
            Ellipse(filled.s, 3, 4, 3 + w, 4 + h, kInk, true, kFill);
            const Pixels outline = c.with(kInk);
            Pixels shape = filled.with(kFill);
            shape.insert(outline.begin(), outline.end());
            ASSERT_EQ(filled.with(kInk), outline);  // the outline does not depend on filling
            int minX = 99, maxX = -1, minY = 99, maxY = -1;
            for (auto [x, y] : outline) {
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
                EXPECT_EQ(outline.count({2 * 3 + w - 1 - x, y}), 1u);  // mirror images
                EXPECT_EQ(outline.count({x, 2 * 4 + h - 1 - y}), 1u);
            }
            if (w >= 2 && h >= 2 && std::max(w, h) <= 3 * std::min(w, h)) {
                EXPECT_EQ(minX, 3);
                EXPECT_EQ(maxX, 3 + w - 1) << w << "x" << h;  // right column x1 left out
                EXPECT_EQ(minY, 4);
                EXPECT_EQ(maxY, 4 + h - 1) << w << "x" << h;  // bottom row y1 left out
            }
            // Filled pixels never touch the outside; the outline does.
            for (auto [x, y] : filled.with(kFill))
                for (auto [ax, ay] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}})
                    EXPECT_TRUE(shape.count({ax, ay})) << w << "x" << h;
        }
}

TEST(RasterEllipses, ClippedEllipsesArcsAndPiesMatchUnclipped)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> coord(-40, 160);
    for (int k = 0; k < 120; ++k) {
        int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        if (x1 < x0) std::swap(x0, x1);
        if (y1 < y0) std::swap(y0, y1);
        const int xs = coord(rng), ys = coord(rng), xe = coord(rng), ye = coord(rng);
        const int ox = Window::kOx, oy = Window::kOy;
        Window w;
        if (k % 3 == 0) {
            Ellipse(w.whole.s, x0, y0, x1, y1, kInk, true, kFill);
            Ellipse(w.view(), x0 - ox, y0 - oy, x1 - ox, y1 - oy, kInk, true, kFill);
        } else if (k % 3 == 1) {
            Arc(w.whole.s, x0, y0, x1, y1, xs, ys, xe, ye, kInk);
            Arc(w.view(), x0 - ox, y0 - oy, x1 - ox, y1 - oy, xs - ox, ys - oy, xe - ox, ye - oy, kInk);
        } else {
            Pie(w.whole.s, x0, y0, x1, y1, xs, ys, xe, ye, kInk, true, kFill);
            Pie(w.view(), x0 - ox, y0 - oy, x1 - ox, y1 - oy, xs - ox, ys - oy, xe - ox, ye - oy, kInk, true, kFill);
        }
        w.expectSameInside();
    }
    Canvas huge;  // the surface lies deep inside: all fill, no outline
    Ellipse(huge.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, kInk, true, kFill);
    EXPECT_EQ(huge.with(kFill).size(), 32u * 32u);
    Arc(huge.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 0, 0, kInk);
    Pie(huge.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX, 0, 0, INT32_MIN, kInk, false, 0);
    EXPECT_TRUE(huge.with(kInk).empty());  // the radials start at (-1, -1), just off the surface
}

TEST(RasterEllipses, ArcRunsCounterClockwise)
{
    // Box 0..11: centre pixel (5, 5). From the right radial to the top one: the upper right.
    Canvas ring, quarter, rest;
    Ellipse(ring.s, 0, 0, 11, 11, kInk, false, 0);
    Arc(quarter.s, 0, 0, 11, 11, 30, 5, 5, -30, kInk);
    Arc(rest.s, 0, 0, 11, 11, 5, -30, 30, 5, kInk);  // the other way round: three quarters
    const Pixels all = ring.with(kInk), q = quarter.with(kInk), r = rest.with(kInk);
    ASSERT_FALSE(q.empty());
    for (auto [x, y] : q) EXPECT_TRUE(x >= 5 && y <= 5) << x << "," << y;
    for (auto [x, y] : all) {
        const bool inQuarter = x >= 5 && y <= 5, onRadial = x == 5 || y == 5;
        EXPECT_EQ(q.count({x, y}), inQuarter ? 1u : 0u) << x << "," << y;
        EXPECT_EQ(r.count({x, y}), !inQuarter || onRadial ? 1u : 0u) << x << "," << y;
    }
    Canvas full;
    Arc(full.s, 0, 0, 11, 11, 8, 1, 11, -3, kInk);  // equal radials: the whole outline
    EXPECT_EQ(full.with(kInk), all);
}

TEST(RasterEllipses, PieDrawsBothRadialsAndFillsItsSector)
{
    Canvas c;
    Pie(c.s, 0, 0, 11, 11, 30, 5, 5, -30, kInk, true, kFill);
    const Pixels ink = c.with(kInk), fill = c.with(kFill);
    for (int x = 5; x <= 10; ++x) EXPECT_TRUE(ink.count({x, 5})) << x;  // radial to the right
    for (int y = 0; y <= 5; ++y) EXPECT_TRUE(ink.count({5, y})) << y;   // radial to the top
    ASSERT_FALSE(fill.empty());
    for (auto [x, y] : fill) EXPECT_TRUE(x > 5 && y < 5) << x << "," << y;
    for (auto [x, y] : ink) EXPECT_TRUE(x >= 5 && y <= 5) << x << "," << y;
    EXPECT_EQ(c.at(8, 2), kFill);
    EXPECT_EQ(c.at(9, 2), kInk);
}

TEST(RasterCopies, OpaqueCopyClipsBothSidesAndHandlesOverlap)
{
    Canvas src(8, 8), dst(10, 10);
    for (int i = 0; i < 64; ++i) src.image.pixels[i] = static_cast<std::uint32_t>(i);
    // Source columns -1..4 land on -2..3: -1 is off the source, 0 lands off dst; rows 10+ too.
    Copy(dst.s, -2, 7, src.s, -1, 0, 6, 6);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool hit = x < 4 && y >= 7;
            EXPECT_EQ(dst.at(x, y), hit ? static_cast<std::uint32_t>((y - 7) * 8 + x + 1) : kBack) << x << "," << y;
        }
    Copy(dst.s, INT32_MAX, INT32_MIN, src.s);
    Copy(dst.s, 0, 0, src.s, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    EXPECT_EQ(dst.with(kBack).size(), 100u - 12u);

    // Shifting a picture within itself, either way, reads every pixel before it is overwritten.
    for (int shift : {1, -1}) {
        Canvas self(8, 8);
        for (int i = 0; i < 64; ++i) self.image.pixels[i] = static_cast<std::uint32_t>(i);
        Copy(self.s, shift, shift, self.s, 0, 0, 8, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int fx = x - shift, fy = y - shift;
                if (fx >= 0 && fx < 8 && fy >= 0 && fy < 8) {
                    EXPECT_EQ(self.at(x, y), static_cast<std::uint32_t>(fy * 8 + fx));
                }
            }
    }
}

TEST(RasterCopies, MaskedCopyKeepsBackgroundWhereBlack)
{
    Canvas image(4, 3, kInk), mask(3, 2, 0), dst(8, 8);
    mask.image.pixels = {0xFFFFFF, 0x000000, 0x808080,   // grey at half: white
                         0x7F7F7F, 0xFFFFFF, 0x00FF00};  // just below half: black; bright green: white
    Canvas viaThreshold(8, 8);
    MaskedCopyByBrightness(dst.s, 2, 1, image.s, mask.s);
    EXPECT_FALSE(IsBlackAndWhite(mask.s));
    ThresholdMask(mask.s);
    EXPECT_TRUE(IsBlackAndWhite(mask.s));
    MaskedCopy(viaThreshold.s, 2, 1, image.s, mask.s);
    // The mask is smaller than the image: its fourth column and third row count as black.
    const Pixels expect{{2, 1}, {4, 1}, {3, 2}, {4, 2}};
    EXPECT_EQ(dst.with(kInk), expect);
    EXPECT_EQ(viaThreshold.with(kInk), expect);
    EXPECT_EQ(dst.with(kBack).size(), 64u - 4u);

    Canvas pure(4, 3, 0), asLoaded(8, 8);  // pure black and white works without thresholding
    for (auto [x, y] : {std::pair{0, 0}, {2, 0}, {1, 1}, {2, 1}}) pure.image.pixels[y * 4 + x] = 0xFFFFFF;
    MaskedCopy(asLoaded.s, 2, 1, image.s, pure.s);
    EXPECT_EQ(asLoaded.with(kInk), expect);

    Canvas clipped(8, 8);  // partly off the destination
    MaskedCopy(clipped.s, -1, 7, image.s, mask.s);
    EXPECT_EQ(clipped.with(kInk), (Pixels{{1, 7}}));
    EXPECT_EQ(MaskValue(0xFF000000), 0u);
    EXPECT_EQ(MaskValue(0x00FFFFFF), 0xFFFFFFFFu);
}

TEST(RasterCopies, BlendArgbWeighsByAlpha)
{
    Canvas dst(3, 1, 0x000000), src(3, 1);
    src.image.pixels = {0x00FFFFFF, 0xFF102030, 0x80FF8000};
    BlendArgb(dst.s, 0, 0, src.s);
    EXPECT_EQ(dst.at(0, 0), 0x000000u);
    EXPECT_EQ(dst.at(1, 0), 0x102030u);
    EXPECT_EQ(dst.at(2, 0), 0x804000u);  // 255 * 128 / 255 = 128, 128 * 128 / 255 = 64.25
}

TEST(RasterScaling, SizesAreExactAndMasksStayPure)
{
    Canvas picture(100, 100);
    std::mt19937 rng(9);
    for (auto& p : picture.image.pixels) p = rng() & 0xFFFFFF;
    Canvas scaled(50, 20, 0xFF000000u);  // a marker top byte that every written pixel clears
    ASSERT_TRUE(ScaleSmooth(scaled.s, picture.s));
    EXPECT_TRUE(scaled.with(0xFF000000u).empty());
    for (std::uint32_t p : scaled.image.pixels) EXPECT_EQ(p >> 24, 0u);

    Canvas mask(37, 23);
    for (auto& p : mask.image.pixels) p = (rng() & 1) ? 0xFFFFFF : 0;
    for (auto [w, h] : {std::pair{50, 20}, {101, 77}, {37, 23}}) {
        Canvas out(w, h);
        ASSERT_TRUE(ScaleNearest(out.s, mask.s));
        EXPECT_TRUE(IsBlackAndWhite(out.s)) << w << "x" << h;
        EXPECT_EQ(out.at(0, 0), mask.at(0, 0));
        EXPECT_EQ(out.at(w - 1, h - 1), mask.at(36, 22));
    }
    Canvas dot(1, 1);  // the pixel under the centre
    ScaleNearest(dot.s, mask.s);
    EXPECT_EQ(dot.at(0, 0), mask.at(18, 11));
    Canvas same(37, 23);
    ScaleNearest(same.s, mask.s);
    EXPECT_EQ(same.image.pixels, mask.image.pixels);
    EXPECT_FALSE(ScaleSmooth(same.s, Surface{}));
}

TEST(RasterScaling, SmoothAveragesWhenShrinkingAndInterpolatesWhenGrowing)
{
    Canvas src(4, 2);
    src.image.pixels = {0x000000, 0x040404, 0x102030, 0x102030, 0x080808, 0x0C0C0C, 0x102030, 0x102030};
    Canvas half(2, 1);
    ScaleSmooth(half.s, src.s);
    EXPECT_EQ(half.at(0, 0), 0x060606u);  // mean of the 2 x 2 block
    EXPECT_EQ(half.at(1, 0), 0x102030u);
    Canvas same(4, 2);
    ScaleSmooth(same.s, src.s);
    EXPECT_EQ(same.image.pixels, src.image.pixels);

    Canvas ramp(2, 1), grown(8, 1);
    ramp.image.pixels = {0x000000, 0x0000FF};
    ScaleSmooth(grown.s, ramp.s);
    // Centres at src 0.5 apart from -0.375 to 1.375: flat beyond the end pixels, linear between.
    const std::uint32_t expect[8] = {0, 0, 0x20, 0x60, 0x9F, 0xDF, 0xFF, 0xFF};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(grown.at(x, 0), expect[x]) << x;
}
