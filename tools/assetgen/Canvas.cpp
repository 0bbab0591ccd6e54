#include "Canvas.hpp"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Canvas {

Rgb Hex(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f}; }

Rgb Mix(Rgb a, Rgb b, float t) { return a + (b - a) * t; }

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float Smooth(float e0, float e1, float v)
{
    float t = Clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

Image Make(int w, int h, Rgb fill)
{
    Image img;
    img.w = w;
    img.h = h;
    img.px.assign(static_cast<std::size_t>(w) * h, fill);
    return img;
}

void Blend(Image& img, int x, int y, Rgb c, float a)
{
    if (x < 0 || y < 0 || x >= img.w || y >= img.h) return;
    Rgb& p = img.At(x, y);
    a = Clamp01(a);
    p = p + (c - p) * a;
}

void AddLight(Image& img, int x, int y, Rgb c, float a)
{
    if (x < 0 || y < 0 || x >= img.w || y >= img.h) return;
    Rgb& p = img.At(x, y);
    p = p + c * a;
}

void Paste(Image& dst, const Image& src, int x, int y)
{
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i) {
            int dx = x + i, dy = y + j;
            if (dx >= 0 && dy >= 0 && dx < dst.w && dy < dst.h) dst.At(dx, dy) = src.At(i, j);
        }
}

void PasteMasked(Image& dst, const Image& src, const Image& mask, int x, int y)
{
    for (int j = 0; j < src.h && j < mask.h; ++j)
        for (int i = 0; i < src.w && i < mask.w; ++i) {
            int dx = x + i, dy = y + j;
            if (dx >= 0 && dy >= 0 && dx < dst.w && dy < dst.h && mask.At(i, j).r > 0.5f) dst.At(dx, dy) = src.At(i, j);
        }
}

Image ScaleNearest(const Image& src, int w, int h)
{
    Image out = Make(w, h, {});
    for (int y = 0; y < h; ++y) {
        int sy = static_cast<int>((y + 0.5) * src.h / h);
        for (int x = 0; x < w; ++x) {
            int sx = static_cast<int>((x + 0.5) * src.w / w);
            out.At(x, y) = src.At(std::min(sx, src.w - 1), std::min(sy, src.h - 1));
        }
    }
    return out;
}

namespace {

// One axis of an area-weighted resize: for every target index the source indices and weights.
struct Tap {
    int index;
    float weight;
};

std::vector<std::vector<Tap>> AreaTaps(int from, int to)
{
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(to));
    double scale = static_cast<double>(from) / to;
    for (int t = 0; t < to; ++t) {
        double a = t * scale, b = (t + 1) * scale;
        if (scale < 1) {  // enlarging: linear interpolation between neighbours
            double c = (t + 0.5) * scale - 0.5;
            int i0 = static_cast<int>(std::floor(c));
            double f = c - i0;
            taps[t].push_back({std::clamp(i0, 0, from - 1), static_cast<float>(1 - f)});
            taps[t].push_back({std::clamp(i0 + 1, 0, from - 1), static_cast<float>(f)});
            continue;
        }
        for (int i = static_cast<int>(std::floor(a)); i < b && i < from; ++i) {
            double lo = std::max<double>(a, i), hi = std::min<double>(b, i + 1);
            if (hi > lo) taps[t].push_back({i, static_cast<float>((hi - lo) / scale)});
        }
    }
    return taps;
}

}  // namespace

Image ScaleSmooth(const Image& src, int w, int h)
{
    auto tx = AreaTaps(src.w, w), ty = AreaTaps(src.h, h);
    Image mid = Make(w, src.h, {});
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb s;
            for (const Tap& t : tx[x]) s = s + src.At(t.index, y) * t.weight;
            mid.At(x, y) = s;
        }
    Image out = Make(w, h, {});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgb s;
            for (const Tap& t : ty[y]) s = s + mid.At(x, t.index) * t.weight;
            out.At(x, y) = s;
        }
    return out;
}

float SdCircle(float px, float py, float cx, float cy, float r) { return std::hypot(px - cx, py - cy) - r; }

float SdRoundBox(float px, float py, float cx, float cy, float hw, float hh, float radius)
{
    float qx = std::fabs(px - cx) - hw + radius, qy = std::fabs(py - cy) - hh + radius;
    float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SdSegment(float px, float py, float ax, float ay, float bx, float by)
{
    float pax = px - ax, pay = py - ay, bax = bx - ax, bay = by - ay;
    float len2 = bax * bax + bay * bay;
    float t = len2 > 0 ? Clamp01((pax * bax + pay * bay) / len2) : 0;
    return std::hypot(pax - bax * t, pay - bay * t);
}

float SdPolygon(float px, float py, const std::vector<Pt>& poly)
{
    float best = 1e30f;
    bool inside = false;
    std::size_t n = poly.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const Pt& a = poly[i];
        const Pt& b = poly[j];
        best = std::min(best, SdSegment(px, py, a.x, a.y, b.x, b.y));
        if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside ? -best : best;
}

std::uint64_t Next(Rng& r)
{
    std::uint64_t z = (r.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float Uniform(Rng& r) { return static_cast<float>(Next(r) >> 40) / static_cast<float>(1u << 24); }

float Range(Rng& r, float lo, float hi) { return lo + (hi - lo) * Uniform(r); }

namespace {

float Lattice(int x, int y, int z, std::uint32_t seed)
{
    std::uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h = (h << 11) | (h >> 21);
    h ^= static_cast<std::uint32_t>(z) * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<float>(h >> 8) / static_cast<float>(1u << 24);
}

float Fade(float t) { return t * t * (3 - 2 * t); }

}  // namespace

float Noise2(float x, float y, std::uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = Fade(x - fx), ty = Fade(y - fy);
    float a = Lattice(ix, iy, 0, seed), b = Lattice(ix + 1, iy, 0, seed);
    float d = Lattice(ix, iy + 1, 0, seed), e = Lattice(ix + 1, iy + 1, 0, seed);
    float top = a + (b - a) * tx, bottom = d + (e - d) * tx;
    return top + (bottom - top) * ty;
}

float Noise3(float x, float y, float z, std::uint32_t seed)
{
    float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    float tx = Fade(x - fx), ty = Fade(y - fy), tz = Fade(z - fz);
    float c[2];
    for (int k = 0; k < 2; ++k) {
        float a = Lattice(ix, iy, iz + k, seed), b = Lattice(ix + 1, iy, iz + k, seed);
        float d = Lattice(ix, iy + 1, iz + k, seed), e = Lattice(ix + 1, iy + 1, iz + k, seed);
        float top = a + (b - a) * tx, bottom = d + (e - d) * tx;
        c[k] = top + (bottom - top) * ty;
    }
    return c[0] + (c[1] - c[0]) * tz;
}

float Fbm2(float x, float y, int octaves, std::uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += Noise2(x, y, seed + static_cast<std::uint32_t>(o) * 101u) * amp;
        norm += amp;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f + 5.3f;
        amp *= 0.5f;
    }
    return sum / norm;
}

float Fbm3(float x, float y, float z, int octaves, std::uint32_t seed)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += Noise3(x, y, z, seed + static_cast<std::uint32_t>(o) * 101u) * amp;
        norm += amp;
        x = x * 2.03f + 17.1f;
        y = y * 2.03f + 5.3f;
        z = z * 2.03f + 11.7f;
        amp *= 0.5f;
    }
    return sum / norm;
}

bool SaveBmp(const Image& img, const std::string& path)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, img.w, img.h, 24, SDL_PIXELFORMAT_BGR24);
    if (!s) {
        std::fprintf(stderr, "cannot make a %dx%d surface: %s\n", img.w, img.h, SDL_GetError());
        return false;
    }
    auto* base = static_cast<std::uint8_t*>(s->pixels);
    for (int y = 0; y < img.h; ++y) {
        std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * s->pitch;
        for (int x = 0; x < img.w; ++x) {
            const Rgb& p = img.At(x, y);
            Uint32 v = SDL_MapRGB(s->format, static_cast<Uint8>(std::lrint(Clamp01(p.r) * 255)),
                                  static_cast<Uint8>(std::lrint(Clamp01(p.g) * 255)),
                                  static_cast<Uint8>(std::lrint(Clamp01(p.b) * 255)));
            // 24-bit pixels are three bytes in the order the format's masks give (little endian).
            row[x * 3 + 0] = static_cast<std::uint8_t>(v & 0xFF);
            row[x * 3 + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<std::uint8_t>((v >> 16) & 0xFF);
        }
    }
    bool ok = SDL_SaveBMP(s, path.c_str()) == 0;
    if (!ok) std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), SDL_GetError());
    SDL_FreeSurface(s);
    return ok;
}

}  // namespace Canvas
