#include "Wimdows/Scale.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace Wimdows::Scale {

namespace {

// Floor division for a positive divisor.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool Empty(Size s) { return s.w <= 0 || s.h <= 0; }

// One channel pair mix: a and b weighted (256 - f) and f, rounded to nearest.
inline std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t g = 256 - f;
    const std::uint32_t rb = ((a & 0xFF00FFu) * g + (b & 0xFF00FFu) * f + 0x800080u) >> 8;
    const std::uint32_t gg = ((a & 0x00FF00u) * g + (b & 0x00FF00u) * f + 0x008000u) >> 8;
    return (rb & 0xFF00FFu) | (gg & 0x00FF00u);
}

// One row of client pixels widened into blocks N pixels wide (N known to the compiler for
// the common scales, so the loop is unrolled and vectorised).
template <int N>
void Widen(std::uint32_t* d, const std::uint32_t* s, std::int32_t cols, std::uint32_t alpha)
{
    for (std::int32_t i = 0; i < cols; ++i) {
        const std::uint32_t v = s[i] | alpha;
        for (int k = 0; k < N; ++k) d[i * N + k] = v;
    }
}

void Widen(std::uint32_t* d, const std::uint32_t* s, std::int32_t cols, std::uint32_t alpha, std::int32_t n)
{
    switch (n) {
        case 1:
            return Widen<1>(d, s, cols, alpha);
        case 2:
            return Widen<2>(d, s, cols, alpha);
        case 3:
            return Widen<3>(d, s, cols, alpha);
        case 4:
            return Widen<4>(d, s, cols, alpha);
        default:
            for (std::int32_t i = 0; i < cols; ++i) {
                const std::uint32_t v = s[i] | alpha;
                for (std::int32_t k = 0; k < n; ++k) d[i * n + k] = v;
            }
    }
}

// For each window pixel p (first .. first + count - 1, relative to the picture) of an axis
// scaled from n client pixels to m: the two client pixels around its centre and the weight
// of the second in 256ths.
struct Taps {
    std::vector<std::int32_t> i0, i1;
    std::vector<std::uint32_t> f;
};
Taps MakeTaps(std::int32_t first, std::int32_t count, std::int32_t n, std::int32_t m)
{
    Taps t;
    t.i0.resize(static_cast<std::size_t>(count));
    t.i1.resize(static_cast<std::size_t>(count));
    t.f.resize(static_cast<std::size_t>(count));
    const double ratio = static_cast<double>(n) / m;
    for (std::int32_t k = 0; k < count; ++k) {
        double u = (first + k + 0.5) * ratio - 0.5;
        u = std::clamp(u, 0.0, static_cast<double>(n - 1));
        const auto i = static_cast<std::int32_t>(u);
        const auto idx = static_cast<std::size_t>(k);
        t.i0[idx] = i;
        t.i1[idx] = std::min(i + 1, n - 1);
        t.f[idx] = static_cast<std::uint32_t>(std::lround((u - i) * 256.0));
    }
    return t;
}

}  // namespace

float Choose(Size client, Size room, std::uint32_t most)
{
    if (Empty(client)) return 1.0f;
    if (Empty(room)) return 1.0f / 64;
    if (room.w >= client.w && room.h >= client.h) {
        std::uint32_t whole = static_cast<std::uint32_t>(std::min(room.w / client.w, room.h / client.h));
        if (most != 0 && whole > most) whole = most;
        return static_cast<float>(whole);
    }
    return std::min(static_cast<float>(room.w) / static_cast<float>(client.w),
                    static_cast<float>(room.h) / static_cast<float>(client.h));
}

Size Scaled(Size client, float scale, Size limit)
{
    Size s{std::max(1, static_cast<std::int32_t>(std::nearbyint(static_cast<float>(client.w) * scale))),
           std::max(1, static_cast<std::int32_t>(std::nearbyint(static_cast<float>(client.h) * scale)))};
    if (limit.w > 0) s.w = std::min(s.w, limit.w);
    if (limit.h > 0) s.h = std::min(s.h, limit.h);
    return s;
}

Size Windowed(Size client, Size room, float pixels, std::uint32_t most)
{
    if (!(pixels > 1.0f)) return Scaled(client, Choose(client, room, most), room);
    const Size screen{static_cast<std::int32_t>(std::floor(static_cast<float>(room.w) * pixels)),
                      static_cast<std::int32_t>(std::floor(static_cast<float>(room.h) * pixels))};
    const Size picture = Scaled(client, Choose(client, screen, most), screen);
    const auto units = [pixels](std::int32_t n, std::int32_t limit) {
        const auto u = static_cast<std::int32_t>(std::ceil(static_cast<float>(n) / pixels));
        return std::max(1, limit > 0 ? std::min(u, limit) : u);
    };
    return {units(picture.w, room.w), units(picture.h, room.h)};
}

Rect Centred(Rect area, Size outer)
{
    return {area.x + std::max(0, (area.w - outer.w) / 2), area.y + std::max(0, (area.h - outer.h) / 2), outer.w,
            outer.h};
}

void ToPixels(Size units, Size pixels, std::int32_t& x, std::int32_t& y)
{
    if (Empty(units) || Empty(pixels) || (units.w == pixels.w && units.h == pixels.h)) return;
    x = static_cast<std::int32_t>(FloorDiv(std::int64_t{x} * pixels.w, units.w));
    y = static_cast<std::int32_t>(FloorDiv(std::int64_t{y} * pixels.h, units.h));
}

void ToUnits(Size units, Size pixels, std::int32_t& x, std::int32_t& y)
{
    if (Empty(units) || Empty(pixels) || (units.w == pixels.w && units.h == pixels.h)) return;
    x = static_cast<std::int32_t>(FloorDiv(std::int64_t{x} * units.w, pixels.w));
    y = static_cast<std::int32_t>(FloorDiv(std::int64_t{y} * units.h, pixels.h));
}

Layout Place(Size client, Size window, std::uint32_t most)
{
    Layout layout;
    layout.client = client;
    layout.window = window;
    if (Empty(client)) return layout;
    const float scale = Choose(client, window, most);
    Size size;
    if (scale >= 1.0f) {
        layout.factor = static_cast<std::int32_t>(scale);
        size = {client.w * layout.factor, client.h * layout.factor};
    } else {
        layout.whole = false;
        size = Scaled(client, scale, window);
        // Rounding may give a size that is in fact whole (a 1-pixel client, say).
        if (size.w == client.w && size.h == client.h) layout.whole = true;
    }
    layout.picture = {(window.w - size.w) / 2, (window.h - size.h) / 2, size.w, size.h};
    if (layout.picture.x < 0) layout.picture.x = 0;
    if (layout.picture.y < 0) layout.picture.y = 0;
    return layout;
}

bool ToClient(const Layout& layout, std::int32_t& x, std::int32_t& y)
{
    const Rect& p = layout.picture;
    const Size& c = layout.client;
    if (Empty(c) || p.w <= 0 || p.h <= 0) return true;
    const std::int64_t dx = static_cast<std::int64_t>(x) - p.x;
    const std::int64_t dy = static_cast<std::int64_t>(y) - p.y;
    const bool inPicture = dx >= 0 && dy >= 0 && dx < p.w && dy < p.h;
    const bool inWindow = x >= 0 && y >= 0 && x < layout.window.w && y < layout.window.h;
    constexpr std::int64_t kFar = 1 << 30;
    x = static_cast<std::int32_t>(std::clamp<std::int64_t>(FloorDiv(dx * c.w, p.w), -kFar, kFar));
    y = static_cast<std::int32_t>(std::clamp<std::int64_t>(FloorDiv(dy * c.h, p.h), -kFar, kFar));
    return inPicture || !inWindow;
}

void ToWindow(const Layout& layout, std::int32_t& x, std::int32_t& y)
{
    const Rect& p = layout.picture;
    const Size& c = layout.client;
    if (Empty(c)) return;
    x = p.x + static_cast<std::int32_t>(FloorDiv((2 * static_cast<std::int64_t>(x) + 1) * p.w, 2 * std::int64_t{c.w}));
    y = p.y + static_cast<std::int32_t>(FloorDiv((2 * static_cast<std::int64_t>(y) + 1) * p.h, 2 * std::int64_t{c.h}));
}

Rect WindowArea(const Layout& layout, Rect area)
{
    const Size& c = layout.client;
    const Rect& p = layout.picture;
    const std::int32_t x0 = std::max(area.x, 0);
    const std::int32_t y0 = std::max(area.y, 0);
    const std::int32_t x1 = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{area.x} + area.w, c.w));
    const std::int32_t y1 = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{area.y} + area.h, c.h));
    if (x0 >= x1 || y0 >= y1 || p.w <= 0 || p.h <= 0) return {};
    if (layout.whole) {
        const std::int32_t n = layout.factor;
        return {p.x + x0 * n, p.y + y0 * n, (x1 - x0) * n, (y1 - y0) * n};
    }
    // A window pixel blends the two client pixels around its centre: a changed client
    // pixel reaches the window pixels whose centres lie within one client pixel of it.
    const auto lo = [](std::int32_t a, std::int32_t n, std::int32_t m) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(FloorDiv((std::int64_t{a} - 1) * m, n), 0, m));
    };
    const auto hi = [](std::int32_t a, std::int32_t n, std::int32_t m) {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(FloorDiv((std::int64_t{a} + 1) * m + n - 1, n), 0, m));
    };
    const std::int32_t wx0 = lo(x0, c.w, p.w), wx1 = hi(x1, c.w, p.w);
    const std::int32_t wy0 = lo(y0, c.h, p.h), wy1 = hi(y1, c.h, p.h);
    return {p.x + wx0, p.y + wy0, wx1 - wx0, wy1 - wy0};
}

Rect Area(const Raster::Surface& dst, const Raster::Surface& src, const Layout& layout, Rect area, std::uint32_t alpha)
{
    const Rect& p = layout.picture;
    if (!dst.pixels || !src.pixels || src.width != layout.client.w || src.height != layout.client.h) return {};
    if (p.x < 0 || p.y < 0 || p.x + p.w > dst.width || p.y + p.h > dst.height) return {};
    const Rect out = WindowArea(layout, area);
    if (out.w <= 0 || out.h <= 0) return {};
    if (layout.whole) {
        const std::int32_t n = layout.factor;
        const std::int32_t sx = (out.x - p.x) / n;
        const std::int32_t sy = (out.y - p.y) / n;
        const std::int32_t cols = out.w / n;
        for (std::int32_t row = 0; row < out.h / n; ++row) {
            const std::uint32_t* s = src.pixels + static_cast<std::ptrdiff_t>(sy + row) * src.pitch + sx;
            std::uint32_t* d = dst.pixels + static_cast<std::ptrdiff_t>(out.y + row * n) * dst.pitch + out.x;
            Widen(d, s, cols, alpha, n);
            for (std::int32_t k = 1; k < n; ++k)
                std::memcpy(d + static_cast<std::ptrdiff_t>(k) * dst.pitch, d, static_cast<std::size_t>(out.w) * 4);
        }
        return out;
    }
    const Taps tx = MakeTaps(out.x - p.x, out.w, layout.client.w, p.w);
    const Taps ty = MakeTaps(out.y - p.y, out.h, layout.client.h, p.h);
    for (std::int32_t row = 0; row < out.h; ++row) {
        const auto r = static_cast<std::size_t>(row);
        const std::uint32_t* s0 = src.pixels + static_cast<std::ptrdiff_t>(ty.i0[r]) * src.pitch;
        const std::uint32_t* s1 = src.pixels + static_cast<std::ptrdiff_t>(ty.i1[r]) * src.pitch;
        const std::uint32_t fy = ty.f[r];
        std::uint32_t* d = dst.pixels + static_cast<std::ptrdiff_t>(out.y + row) * dst.pitch + out.x;
        for (std::int32_t col = 0; col < out.w; ++col) {
            const auto c = static_cast<std::size_t>(col);
            const std::uint32_t top = Mix(s0[tx.i0[c]], s0[tx.i1[c]], tx.f[c]);
            const std::uint32_t bottom = Mix(s1[tx.i0[c]], s1[tx.i1[c]], tx.f[c]);
            d[col] = Mix(top, bottom, fy) | alpha;
        }
    }
    return out;
}

}  // namespace Wimdows::Scale
