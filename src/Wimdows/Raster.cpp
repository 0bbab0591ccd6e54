#include "Wimdows/Raster.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <stdexcept>

namespace Wimdows::Raster {
namespace {

using i64 = std::int64_t;
// Products of two 64-bit coordinates (exact ellipse and sweep tests, line entry points).
__extension__ typedef __int128 i128;
__extension__ typedef unsigned __int128 u128;

// The per-pixel loops of blending and masking are worth twice as much in 256-bit vectors;
// the loader picks the version the processor has. Not under ThreadSanitizer: the loader
// runs the instrumented chooser before the sanitizer is set up, and the program crashes.
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__) && !defined(__SANITIZE_THREAD__)
#define KOR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KOR_VECTOR_CLONES
#endif

// Stands for an open end of an interval: far beyond any surface, far from overflowing.
constexpr i64 kFar = i64{1} << 62;

bool Usable(const Surface& s) { return s.pixels != nullptr && s.width > 0 && s.height > 0 && s.pitch >= s.width; }

std::uint32_t* Row(const Surface& s, i64 y) { return s.pixels + static_cast<std::ptrdiff_t>(y) * s.pitch; }

// Fills pixels x0..x1 of a row; the caller has clipped.
inline void FillSpan(std::uint32_t* row, i64 x0, i64 x1, std::uint32_t pixel)
{
    std::fill(row + x0, row + x1 + 1, pixel);
}

// Inclusive box, any 64-bit coordinates.
void FillBox(const Surface& s, i64 x0, i64 y0, i64 x1, i64 y1, std::uint32_t pixel)
{
    if (!Usable(s) || x1 < x0 || y1 < y0) return;
    x0 = std::max<i64>(x0, 0);
    y0 = std::max<i64>(y0, 0);
    x1 = std::min<i64>(x1, s.width - 1);
    y1 = std::min<i64>(y1, s.height - 1);
    if (x1 < x0 || y1 < y0) return;
    i64 w = x1 - x0 + 1;
    i64 rows = y1 - y0 + 1;
    if (w == s.pitch) {  // whole rows lie back to back: one run
        w *= rows;
        rows = 1;
    }
    // A pixel of four equal bytes (black, white) is a memset, the fastest fill there is.
    const bool bytewise = (pixel & 0xFFu) * 0x01010101u == pixel;
    for (i64 y = y0; y < y0 + rows; ++y) {
        std::uint32_t* p = Row(s, y) + x0;
        if (bytewise)
            std::memset(p, static_cast<int>(pixel & 0xFFu), static_cast<std::size_t>(w) * 4);
        else
            std::fill(p, p + w, pixel);
    }
}

// ---- Lines ----

// Pen patterns over 24 pixels (every style's period divides 24), bit i = pixel i is on.
constexpr std::uint32_t kPatternPeriod = 24;
constexpr std::uint32_t Bits(unsigned from, unsigned count) { return ((1u << count) - 1u) << from; }
constexpr std::uint32_t kDash = Bits(0, 18);
constexpr std::uint32_t kDot = Bits(0, 3) | Bits(6, 3) | Bits(12, 3) | Bits(18, 3);
constexpr std::uint32_t kDashDot = Bits(0, 9) | Bits(15, 3);
constexpr std::uint32_t kDashDotDot = Bits(0, 9) | Bits(12, 3) | Bits(18, 3);

i64 Abs(i64 v) { return v < 0 ? -v : v; }

// Visits the visible pixels of the segment from (u0, v0) to (u0 + du, v0 + dv) along its
// major axis u (|du| >= |dv|), steps 0..last from the start, calling plot(x, y, step).
template <bool XMajor, class Plot>
void WalkAxis(i64 u0, i64 v0, i64 du, i64 dv, i64 umax, i64 vmax, i64 last, Plot& plot)
{
    const i64 n = Abs(du);
    if (last < 0) return;
    const i64 su = du < 0 ? -1 : 1;
    const i64 sv = dv < 0 ? -1 : 1;
    const i64 m = Abs(dv);
    if (std::max(v0, v0 + dv) < 0 || std::min(v0, v0 + dv) >= vmax) return;

    // Steps whose u lies on the surface.
    i64 ilo, ihi;
    if (su > 0) {
        ilo = std::max<i64>(0, -u0);
        ihi = std::min<i64>(last, umax - 1 - u0);
    } else {
        ilo = std::max<i64>(0, u0 - (umax - 1));
        ihi = std::min<i64>(last, u0);
    }
    if (ilo > ihi) return;
    if (n == 0) {  // a single point, already known to be visible
        if (XMajor)
            plot(u0, v0, i64{0});
        else
            plot(v0, u0, i64{0});
        return;
    }

    // Minor offset at step i: q = floor((2 m i + c) / 2n), the nearest integer to m i / n with
    // a tie towards the smaller coordinate (c = n - 1 when v grows, n when it shrinks), so the
    // segment covers the same pixels in either direction. r is the remainder of that division.
    const i64 twoN = 2 * n;
    const i64 twoM = 2 * m;
    const i64 c = sv > 0 ? n - 1 : n;
    i64 q, r;
    if (ilo == 0) {
        q = 0;
        r = c;
    } else {  // entering from off the surface: 2 m i may need more than 64 bits
        const i128 num = static_cast<i128>(twoM) * ilo + c;
        q = static_cast<i64>(num / twoN);
        r = static_cast<i64>(num - static_cast<i128>(q) * twoN);
    }
    for (i64 i = ilo; i <= ihi; ++i) {
        const i64 v = v0 + sv * q;
        if (v >= 0 && v < vmax) {
            const i64 u = u0 + su * i;
            if (XMajor)
                plot(u, v, i);
            else
                plot(v, u, i);
        } else if ((sv > 0) == (v >= vmax)) {
            break;  // left the surface for good
        }
        r += twoM;
        if (r >= twoN) {
            ++q;
            r -= twoN;
        }
    }
}

// Steps 0..last of the segment from (x0, y0) to (x1, y1); last = number of steps includes
// the end point, one fewer leaves it out.
template <class Plot>
void WalkLine(const Surface& s, i64 x0, i64 y0, i64 x1, i64 y1, i64 last, Plot plot)
{
    const i64 dx = x1 - x0, dy = y1 - y0;
    if (Abs(dx) >= Abs(dy))
        WalkAxis<true>(x0, y0, dx, dy, s.width, s.height, last, plot);
    else
        WalkAxis<false>(y0, x0, dy, dx, s.height, s.width, last, plot);
}

void SolidLine(const Surface& s, i64 x0, i64 y0, i64 x1, i64 y1, std::uint32_t pixel)
{
    if (!Usable(s)) return;
    const i64 steps = std::max(Abs(x1 - x0), Abs(y1 - y0));
    WalkLine(s, x0, y0, x1, y1, steps, [&](i64 x, i64 y, i64) { Row(s, y)[x] = pixel; });
}

// ---- Ellipses ----

i128 FloorDiv(i128 a, i128 b)
{  // b > 0
    i128 q = a / b;
    if (a % b != 0 && a < 0) --q;
    return q;
}

i64 Clamp64(i128 v) { return v < -kFar ? -kFar : v > kFar ? kFar : static_cast<i64>(v); }

struct Interval {
    i64 lo, hi;  // inclusive; empty when lo > hi
};

// The box in doubled coordinates: pixel x lies at X = 2x - cx from the centre, and the
// ellipse has semi-axes w and h there (it touches the box's outer edges).
struct EllipseBox {
    i64 x0, y0, x1, y1;  // x1, y1 exclusive
    i64 w, h;
    i64 cx, cy;
    u128 w2, h2;
};

EllipseBox MakeBox(i64 x0, i64 y0, i64 x1, i64 y1)
{
    EllipseBox e{x0, y0, x1, y1, x1 - x0, y1 - y0, x0 + x1 - 1, y0 + y1 - 1, 0, 0};
    e.w2 = static_cast<u128>(e.w) * static_cast<u128>(e.w);
    e.h2 = static_cast<u128>(e.h) * static_cast<u128>(e.h);
    return e;
}

// Pixels of row y inside the ellipse: X^2 h^2 <= w^2 (h^2 - Y^2), X of the parity of w - 1.
Interval RowSpan(const EllipseBox& e, i64 y)
{
    if (y < e.y0 || y >= e.y1) return {1, 0};
    const i64 yd = 2 * y - e.cy;  // |yd| <= h - 1
    const u128 ay = static_cast<u128>(Abs(yd));
    const u128 rhs = e.w2 * (e.h2 - ay * ay);
    auto inside = [&](i64 X) { return static_cast<u128>(X) * static_cast<u128>(X) * e.h2 <= rhs; };
    const long double est = static_cast<long double>(e.w) * std::sqrt(static_cast<long double>(e.h2 - ay * ay)) /
                            static_cast<long double>(e.h);
    i64 X = static_cast<i64>(std::clamp<long double>(est, 0.0L, static_cast<long double>(e.w)));
    while (X > 0 && !inside(X)) --X;
    while (X < e.w && inside(X + 1)) ++X;
    if ((X ^ (e.w - 1)) & 1) --X;
    if (X < 0) return {1, 0};
    return {(e.cx - X) / 2, (e.cx + X) / 2};
}

// Directions from the centre (doubled units, y up) that an arc sweeps.
struct Sweep {
    enum Kind { ALL, HALF, BOTH, EITHER } kind = ALL;
    i64 sx = 1, sy = 0, ex = 1, ey = 0;
};

Sweep MakeSweep(const EllipseBox& e, i64 xs, i64 ys, i64 xe, i64 ye)
{
    Sweep w;
    w.sx = 2 * xs - e.cx;
    w.sy = e.cy - 2 * ys;
    w.ex = 2 * xe - e.cx;
    w.ey = e.cy - 2 * ye;
    if (w.sx == 0 && w.sy == 0) w.sx = 1;
    if (w.ex == 0 && w.ey == 0) w.ex = 1;
    const i128 cross = static_cast<i128>(w.sx) * w.ey - static_cast<i128>(w.sy) * w.ex;
    const i128 dot = static_cast<i128>(w.sx) * w.ex + static_cast<i128>(w.sy) * w.ey;
    if (cross > 0)
        w.kind = Sweep::BOTH;  // less than a half turn: between both radials
    else if (cross < 0)
        w.kind = Sweep::EITHER;  // more than a half turn: all but the wedge from end to start
    else
        w.kind = dot > 0 ? Sweep::ALL : Sweep::HALF;
    return w;
}

// Integers x with a x + b >= 0.
Interval HalfLine(i128 a, i128 b)
{
    if (a > 0) return {Clamp64(-FloorDiv(b, a)), kFar};  // x >= ceil(-b / a)
    if (a < 0) return {-kFar, Clamp64(FloorDiv(b, -a))};
    return b >= 0 ? Interval{-kFar, kFar} : Interval{1, 0};
}

// The columns of row y that the sweep covers, as up to two intervals; returns their number.
int SweepRow(const Sweep& w, const EllipseBox& e, i64 y, Interval out[2])
{
    const i128 yd = 2 * y - e.cy;
    // Pixel direction P = (2x - cx, -yd). cross(S, P) >= 0 and cross(P, E) >= 0, linear in x.
    const Interval fromStart = HalfLine(-2 * static_cast<i128>(w.sy), static_cast<i128>(w.sy) * e.cx - w.sx * yd);
    const Interval toEnd = HalfLine(2 * static_cast<i128>(w.ey), w.ex * yd - static_cast<i128>(w.ey) * e.cx);
    switch (w.kind) {
        case Sweep::ALL:
            out[0] = {-kFar, kFar};
            return 1;
        case Sweep::HALF:
            out[0] = fromStart;
            return 1;
        case Sweep::BOTH:
            out[0] = {std::max(fromStart.lo, toEnd.lo), std::min(fromStart.hi, toEnd.hi)};
            return 1;
        case Sweep::EITHER:
            out[0] = fromStart;
            out[1] = toEnd;
            return 2;
    }
    return 0;
}

// Where the radial through direction (dx, dy) (doubled units, y up) meets the ellipse,
// as a pixel of the box.
void RadialEnd(const EllipseBox& e, i64 dx, i64 dy, i64& px, i64& py)
{
    const long double fx = static_cast<long double>(dx) / static_cast<long double>(e.w);
    const long double fy = static_cast<long double>(dy) / static_cast<long double>(e.h);
    const long double t = 1.0L / std::sqrt(fx * fx + fy * fy);
    const long double x = std::nearbyint((static_cast<long double>(dx) * t + e.cx) / 2);
    const long double y = std::nearbyint((-static_cast<long double>(dy) * t + e.cy) / 2);
    px = static_cast<i64>(std::clamp<long double>(x, e.x0, e.x1 - 1));
    py = static_cast<i64>(std::clamp<long double>(y, e.y0, e.y1 - 1));
}

// Draws the ellipse's outline (restricted to a sweep when given) and, when filled, the
// rest of its shape (restricted the same way).
void DrawEllipse(const Surface& s, const EllipseBox& e, const Sweep* sweep, bool drawOutline, std::uint32_t outline,
                 bool filled, std::uint32_t fill)
{
    const i64 top = std::max<i64>(e.y0, 0);
    const i64 bottom = std::min<i64>(e.y1 - 1, s.height - 1);
    if (top > bottom) return;
    Interval above = RowSpan(e, top - 1), here = RowSpan(e, top);
    for (i64 y = top; y <= bottom; ++y) {
        const Interval below = RowSpan(e, y + 1);
        if (here.lo <= here.hi) {
            Interval cover[2] = {{-kFar, kFar}, {1, 0}};
            const int nCover = sweep ? SweepRow(*sweep, e, y, cover) : 1;
            std::uint32_t* row = Row(s, y);
            auto draw = [&](i64 a, i64 b, std::uint32_t pixel) {
                for (int k = 0; k < nCover; ++k) {
                    const i64 lo = std::max({a, cover[k].lo, i64{0}});
                    const i64 hi = std::min({b, cover[k].hi, i64{s.width} - 1});
                    if (lo <= hi) FillSpan(row, lo, hi, pixel);
                }
            };
            // Spans share the centre and shrink away from it, so the pixels with an upper and
            // a lower neighbour inside are those of the narrower neighbouring span.
            Interval inner{std::max(above.lo, below.lo), std::min(above.hi, below.hi)};
            if (above.lo > above.hi || below.lo > below.hi) inner = {1, 0};
            if (inner.lo > inner.hi) {
                if (drawOutline) draw(here.lo, here.hi, outline);
            } else {
                const i64 innerLo = std::max(inner.lo, here.lo + 1), innerHi = std::min(inner.hi, here.hi - 1);
                if (filled && innerLo <= innerHi) draw(innerLo, innerHi, fill);
                if (drawOutline) {
                    draw(here.lo, std::max(here.lo, inner.lo - 1), outline);
                    draw(std::min(here.hi, inner.hi + 1), here.hi, outline);
                }
            }
        }
        above = here;
        here = below;
    }
}

bool EllipseBoxVisible(const Surface& s, i64 x0, i64 y0, i64 x1, i64 y1)
{
    return Usable(s) && x1 > x0 && y1 > y0 && x1 > 0 && y1 > 0 && x0 < s.width && y0 < s.height;
}

// ---- Copies ----

// Clips a w x h rectangle at (sx, sy) of a srcW x srcH source, drawn at (dx, dy) of dst.
struct Placement {
    i64 dx, dy, sx, sy, w, h;
};

bool Place(const Surface& dst, i64 dx, i64 dy, i64 sx, i64 sy, i64 w, i64 h, i64 srcW, i64 srcH, Placement& p)
{
    if (w <= 0 || h <= 0) return false;
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    w = std::min(w, srcW - sx);
    h = std::min(h, srcH - sy);
    if (dx < 0) {
        sx -= dx;
        w += dx;
        dx = 0;
    }
    if (dy < 0) {
        sy -= dy;
        h += dy;
        dy = 0;
    }
    w = std::min<i64>(w, dst.width - dx);
    h = std::min<i64>(h, dst.height - dy);
    if (w <= 0 || h <= 0) return false;
    p = {dx, dy, sx, sy, w, h};
    return true;
}

// Brightness test of MaskValue: 77 R + 150 G + 29 B >= 128 x 255.
inline std::uint32_t MaskOf(std::uint32_t p)
{
    const std::uint32_t luma = 77 * ((p >> 16) & 0xFFu) + 150 * ((p >> 8) & 0xFFu) + 29 * (p & 0xFFu);
    return 0u - static_cast<std::uint32_t>(luma >= 32640u);
}

// Axis taps of a scaler: dst index d reads src indices index[begin[d] .. begin[d+1]).
struct Taps {
    std::vector<std::size_t> begin;
    std::vector<std::int32_t> index;
    std::vector<float> weight;
};

void MakeTaps(i64 srcN, i64 dstN, Taps& t)
{
    t.begin.assign(1, 0);
    t.begin.reserve(static_cast<std::size_t>(dstN) + 1);
    if (dstN <= srcN) {
        // Area: src pixel s spans [s dstN, (s+1) dstN), dst pixel d spans [d srcN, (d+1) srcN).
        t.index.reserve(static_cast<std::size_t>(srcN + dstN));
        t.weight.reserve(static_cast<std::size_t>(srcN + dstN));
        for (i64 d = 0; d < dstN; ++d) {
            const i64 lo = d * srcN, hi = (d + 1) * srcN;
            for (i64 sIdx = lo / dstN; sIdx * dstN < hi; ++sIdx) {
                const i64 overlap = std::min(hi, (sIdx + 1) * dstN) - std::max(lo, sIdx * dstN);
                t.index.push_back(static_cast<std::int32_t>(sIdx));
                t.weight.push_back(static_cast<float>(static_cast<double>(overlap) / static_cast<double>(srcN)));
            }
            t.begin.push_back(t.index.size());
        }
    } else {
        // Bilinear: dst centre d + 1/2 sits at src position ((2d + 1) srcN - dstN) / 2 dstN.
        t.index.reserve(static_cast<std::size_t>(2 * dstN));
        t.weight.reserve(static_cast<std::size_t>(2 * dstN));
        for (i64 d = 0; d < dstN; ++d) {
            const i64 num = (2 * d + 1) * srcN - dstN, den = 2 * dstN;
            const i64 s0 = num <= 0 ? 0 : num / den;
            if (num <= 0 || s0 >= srcN - 1) {
                t.index.push_back(static_cast<std::int32_t>(num <= 0 ? 0 : srcN - 1));
                t.weight.push_back(1.0f);
            } else {
                const float frac = static_cast<float>(static_cast<double>(num - s0 * den) / static_cast<double>(den));
                t.index.push_back(static_cast<std::int32_t>(s0));
                t.weight.push_back(1.0f - frac);
                t.index.push_back(static_cast<std::int32_t>(s0 + 1));
                t.weight.push_back(frac);
            }
            t.begin.push_back(t.index.size());
        }
    }
}

inline std::uint32_t Channel(float v)
{
    const long r = std::lrint(v);
    return static_cast<std::uint32_t>(std::clamp<long>(r, 0, 255));
}

}  // namespace

bool MakeImage(Image& image, std::int32_t width, std::int32_t height, std::uint32_t pixel)
{
    image = Image{};
    if (width <= 0 || height <= 0) return false;
    try {
        image.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), pixel);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    image.width = width;
    image.height = height;
    return true;
}

Surface View(Image& image)
{
    if (image.pixels.empty()) return {};
    return {image.pixels.data(), image.width, image.height, image.width};
}

bool GetPixel(const Surface& s, std::int32_t x, std::int32_t y, std::uint32_t& pixel)
{
    if (!Usable(s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return false;
    pixel = Row(s, y)[x];
    return true;
}

void SetPixel(const Surface& s, std::int32_t x, std::int32_t y, std::uint32_t pixel)
{
    if (!Usable(s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
    Row(s, y)[x] = pixel;
}

void FillRect(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t pixel)
{
    FillBox(s, x0, y0, x1, y1, pixel);
}

void FrameRect(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
               std::uint32_t pixel)
{
    if (x1 < x0 || y1 < y0) return;
    FillBox(s, x0, y0, x1, y0, pixel);
    if (y1 == y0) return;
    FillBox(s, x0, y1, x1, y1, pixel);
    FillBox(s, x0, i64{y0} + 1, x0, i64{y1} - 1, pixel);
    if (x1 != x0) FillBox(s, x1, i64{y0} + 1, x1, i64{y1} - 1, pixel);
}

void Line(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t pixel)
{
    SolidLine(s, x0, y0, x1, y1, pixel);
}

void PenMoveTo(PenPos& pos, std::int32_t x, std::int32_t y)
{
    pos.x = x;
    pos.y = y;
}

void PenLineTo(const Surface& s, const Pen& pen, PenPos& pos, std::int32_t x, std::int32_t y)
{
    const i64 x0 = pos.x, y0 = pos.y;
    const i64 steps = std::max(Abs(x - x0), Abs(y - y0));
    const std::uint32_t phase = pos.phase % kPatternPeriod;
    pos.x = x;
    pos.y = y;
    pos.phase = static_cast<std::uint32_t>((phase + static_cast<std::uint64_t>(steps)) % kPatternPeriod);
    if (!Usable(s) || steps == 0 || pen.style == PEN_NULL) return;

    std::uint32_t pattern;
    switch (pen.style) {
        case PEN_DASH:
            pattern = kDash;
            break;
        case PEN_DOT:
            pattern = kDot;
            break;
        case PEN_DASHDOT:
            pattern = kDashDot;
            break;
        case PEN_DASHDOTDOT:
            pattern = kDashDotDot;
            break;
        default:
            pattern = ~0u;
            break;
    }
    const std::uint32_t pixel = pen.pixel;
    if (pattern == ~0u) {
        WalkLine(s, x0, y0, x, y, steps - 1, [&](i64 px, i64 py, i64) { Row(s, py)[px] = pixel; });
    } else {
        WalkLine(s, x0, y0, x, y, steps - 1, [&](i64 px, i64 py, i64 i) {
            const auto k = static_cast<std::uint32_t>((phase + static_cast<std::uint64_t>(i)) % kPatternPeriod);
            if ((pattern >> k) & 1u) Row(s, py)[px] = pixel;
        });
    }
}

void Ellipse(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
             std::uint32_t outline, bool filled, std::uint32_t fill)
{
    if (!EllipseBoxVisible(s, x0, y0, x1, y1)) return;
    DrawEllipse(s, MakeBox(x0, y0, x1, y1), nullptr, true, outline, filled, fill);
}

void Arc(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs,
         std::int32_t ys, std::int32_t xe, std::int32_t ye, std::uint32_t pixel)
{
    if (!EllipseBoxVisible(s, x0, y0, x1, y1)) return;
    const EllipseBox e = MakeBox(x0, y0, x1, y1);
    const Sweep w = MakeSweep(e, xs, ys, xe, ye);
    DrawEllipse(s, e, &w, true, pixel, false, 0);
}

void Pie(const Surface& s, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t xs,
         std::int32_t ys, std::int32_t xe, std::int32_t ye, std::uint32_t outline, bool filled, std::uint32_t fill)
{
    if (!EllipseBoxVisible(s, x0, y0, x1, y1)) return;
    const EllipseBox e = MakeBox(x0, y0, x1, y1);
    const Sweep w = MakeSweep(e, xs, ys, xe, ye);
    if (filled) {
        // The inside of the shape within the sector; the outline comes over it below.
        DrawEllipse(s, e, &w, false, 0, true, fill);
    }
    DrawEllipse(s, e, &w, true, outline, false, 0);
    const i64 cx = e.cx >> 1, cy = e.cy >> 1;  // the centre pixel; halves go up and left
    i64 ex, ey;
    RadialEnd(e, w.sx, w.sy, ex, ey);
    SolidLine(s, cx, cy, ex, ey, outline);
    RadialEnd(e, w.ex, w.ey, ex, ey);
    SolidLine(s, cx, cy, ex, ey, outline);
}

void Copy(const Surface& dst, std::int32_t dx, std::int32_t dy, const Surface& src, std::int32_t sx, std::int32_t sy,
          std::int32_t w, std::int32_t h)
{
    if (!Usable(dst) || !Usable(src)) return;
    Placement p;
    if (!Place(dst, dx, dy, sx, sy, w, h, src.width, src.height, p)) return;
    const auto bytes = static_cast<std::size_t>(p.w) * 4;
    const std::uint32_t* from = Row(src, p.sy) + p.sx;
    std::uint32_t* to = Row(dst, p.dy) + p.dx;
    // Views of one picture may overlap: then a copy to a later address runs from the last
    // row up, so that every row is read before it is written, and memmove handles the row.
    const auto addr = [](const void* q) { return reinterpret_cast<std::uintptr_t>(q); };
    const std::uintptr_t fromEnd = addr(Row(src, p.sy + p.h - 1) + p.sx + p.w);
    const std::uintptr_t toEnd = addr(Row(dst, p.dy + p.h - 1) + p.dx + p.w);
    const bool overlap = addr(from) < toEnd && addr(to) < fromEnd;
    const std::ptrdiff_t dp = dst.pitch, sp = src.pitch;
    if (!overlap) {
        for (i64 y = 0; y < p.h; ++y) std::memcpy(to + y * dp, from + y * sp, bytes);
    } else if (addr(to) > addr(from)) {
        for (i64 y = p.h - 1; y >= 0; --y) std::memmove(to + y * dp, from + y * sp, bytes);
    } else {
        for (i64 y = 0; y < p.h; ++y) std::memmove(to + y * dp, from + y * sp, bytes);
    }
}

void Copy(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& src)
{
    Copy(dst, x, y, src, 0, 0, src.width, src.height);
}

std::uint32_t MaskValue(std::uint32_t pixel) { return MaskOf(pixel); }

void ThresholdMask(const Surface& mask)
{
    if (!Usable(mask)) return;
    const i64 w = mask.width;  // a local: the stores below could otherwise alias the view
    for (i64 y = 0; y < mask.height; ++y) {
        std::uint32_t* row = Row(mask, y);
        for (i64 x = 0; x < w; ++x) row[x] = MaskOf(row[x]);
    }
}

bool IsBlackAndWhite(const Surface& s)
{
    if (!Usable(s)) return false;
    for (i64 y = 0; y < s.height; ++y) {
        const std::uint32_t* row = Row(s, y);
        std::uint32_t odd = 0;  // any pixel neither 0 nor 0xFFFFFF, without a branch per pixel
        for (i64 x = 0; x < s.width; ++x) {
            const std::uint32_t p = row[x] & 0xFFFFFFu;
            odd |= static_cast<std::uint32_t>(p != 0 && p != 0xFFFFFFu);
        }
        if (odd) return false;
    }
    return true;
}

KOR_VECTOR_CLONES void MaskedCopy(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& image,
                                  const Surface& mask)
{
    if (!Usable(dst) || !Usable(image) || !Usable(mask)) return;
    Placement p;
    if (!Place(dst, x, y, 0, 0, std::min(image.width, mask.width), std::min(image.height, mask.height), image.width,
               image.height, p))
        return;
    for (i64 j = 0; j < p.h; ++j) {
        std::uint32_t* d = Row(dst, p.dy + j) + p.dx;
        const std::uint32_t* s = Row(image, p.sy + j) + p.sx;
        const std::uint32_t* m = Row(mask, p.sy + j) + p.sx;
        for (i64 i = 0; i < p.w; ++i) d[i] = (s[i] & m[i]) | (d[i] & ~m[i]);
    }
}

KOR_VECTOR_CLONES void MaskedCopyByBrightness(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& image,
                                              const Surface& mask)
{
    if (!Usable(dst) || !Usable(image) || !Usable(mask)) return;
    Placement p;
    if (!Place(dst, x, y, 0, 0, std::min(image.width, mask.width), std::min(image.height, mask.height), image.width,
               image.height, p))
        return;
    for (i64 j = 0; j < p.h; ++j) {
        std::uint32_t* d = Row(dst, p.dy + j) + p.dx;
        const std::uint32_t* s = Row(image, p.sy + j) + p.sx;
        const std::uint32_t* mrow = Row(mask, p.sy + j) + p.sx;
        for (i64 i = 0; i < p.w; ++i) {
            const std::uint32_t m = MaskOf(mrow[i]);
            d[i] = (s[i] & m) | (d[i] & ~m);
        }
    }
}

KOR_VECTOR_CLONES void BlendArgb(const Surface& dst, std::int32_t x, std::int32_t y, const Surface& src)
{
    if (!Usable(dst) || !Usable(src)) return;
    Placement p;
    if (!Place(dst, x, y, 0, 0, src.width, src.height, src.width, src.height, p)) return;
    for (i64 j = 0; j < p.h; ++j) {
        std::uint32_t* d = Row(dst, p.dy + j) + p.dx;
        const std::uint32_t* s = Row(src, p.sy + j) + p.sx;
        for (i64 i = 0; i < p.w; ++i) {
            const std::uint32_t sp = s[i], dp = d[i];
            const std::uint32_t a = sp >> 24, na = 255 - a;
            // Red and blue side by side in one word, green alone; each lane stays below 2^16.
            // (t + (t >> 8)) >> 8 with t = v + 128 is v / 255 rounded to nearest.
            std::uint32_t rb = (sp & 0xFF00FFu) * a + (dp & 0xFF00FFu) * na + 0x800080u;
            rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
            std::uint32_t g = ((sp >> 8) & 0xFFu) * a + ((dp >> 8) & 0xFFu) * na + 0x80u;
            g = ((g + (g >> 8)) >> 8) & 0xFFu;
            d[i] = rb | (g << 8);
        }
    }
}

bool ScaleSmooth(const Surface& dst, const Surface& src)
{
    if (!Usable(dst) || !Usable(src)) return false;
    const i64 sw = src.width, sh = src.height, dw = dst.width, dh = dst.height;
    try {
        Taps tx, ty;
        MakeTaps(sw, dw, tx);
        MakeTaps(sh, dh, ty);
        // Rows of src scaled across, three channels each.
        std::vector<float> across(static_cast<std::size_t>(sh) * static_cast<std::size_t>(dw) * 3);
        std::vector<float> acc(static_cast<std::size_t>(dw) * 3);
        for (i64 y = 0; y < sh; ++y) {
            const std::uint32_t* row = Row(src, y);
            float* out = &across[static_cast<std::size_t>(y) * static_cast<std::size_t>(dw) * 3];
            for (i64 d = 0; d < dw; ++d) {
                float r = 0, g = 0, b = 0;
                for (std::size_t k = tx.begin[d]; k < tx.begin[d + 1]; ++k) {
                    const std::uint32_t p = row[tx.index[k]];
                    const float wt = tx.weight[k];
                    r += wt * static_cast<float>((p >> 16) & 0xFFu);
                    g += wt * static_cast<float>((p >> 8) & 0xFFu);
                    b += wt * static_cast<float>(p & 0xFFu);
                }
                out[3 * d] = r;
                out[3 * d + 1] = g;
                out[3 * d + 2] = b;
            }
        }
        for (i64 y = 0; y < dh; ++y) {
            std::fill(acc.begin(), acc.end(), 0.0f);
            for (std::size_t k = ty.begin[y]; k < ty.begin[y + 1]; ++k) {
                const float* in = &across[static_cast<std::size_t>(ty.index[k]) * static_cast<std::size_t>(dw) * 3];
                const float wt = ty.weight[k];
                for (std::size_t i = 0; i < acc.size(); ++i) acc[i] += wt * in[i];
            }
            std::uint32_t* row = Row(dst, y);
            for (i64 x = 0; x < dw; ++x)
                row[x] = (Channel(acc[3 * x]) << 16) | (Channel(acc[3 * x + 1]) << 8) | Channel(acc[3 * x + 2]);
        }
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool ScaleNearest(const Surface& dst, const Surface& src)
{
    if (!Usable(dst) || !Usable(src)) return false;
    const i64 sw = src.width, sh = src.height, dw = dst.width, dh = dst.height;
    std::vector<std::int32_t> column;
    try {
        column.resize(static_cast<std::size_t>(dw));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (i64 x = 0; x < dw; ++x) column[x] = static_cast<std::int32_t>((2 * x + 1) * sw / (2 * dw));
    i64 previous = -1;
    for (i64 y = 0; y < dh; ++y) {
        const i64 sy = (2 * y + 1) * sh / (2 * dh);
        std::uint32_t* out = Row(dst, y);
        if (sy == previous) {  // the same source row as the row above: copy that
            std::memcpy(out, Row(dst, y - 1), static_cast<std::size_t>(dw) * 4);
            continue;
        }
        const std::uint32_t* in = Row(src, sy);
        for (i64 x = 0; x < dw; ++x) out[x] = in[column[x]];
        previous = sy;
    }
    return true;
}

}  // namespace Wimdows::Raster
