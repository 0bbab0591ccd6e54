// Float RGB canvas with anti-aliased shapes, noise and a seeded random source.
// Everything here is pure arithmetic, so the same calls give the same bytes every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Canvas {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline Rgb operator-(Rgb a, Rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline Rgb operator*(Rgb a, float s) { return {a.r * s, a.g * s, a.b * s}; }
inline Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }

// Colour from 0-255 components.
Rgb Hex(int r, int g, int b);
Rgb Mix(Rgb a, Rgb b, float t);
float Clamp01(float v);
float Smooth(float e0, float e1, float v);  // smoothstep

struct Image {
    int w = 0, h = 0;
    std::vector<Rgb> px;
    Rgb& At(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
    const Rgb& At(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
};

Image Make(int w, int h, Rgb fill);
// Lays colour c over pixel (x, y) with opacity a; outside pixels are ignored.
void Blend(Image& img, int x, int y, Rgb c, float a);
// Adds light: c * a added to the pixel (used for glows and stars).
void AddLight(Image& img, int x, int y, Rgb c, float a);
// Copies src onto dst at (x, y), clipped.
void Paste(Image& dst, const Image& src, int x, int y);
// Nearest-neighbour resize, the way a plain scaled blit samples.
Image ScaleNearest(const Image& src, int w, int h);
// Box-filtered resize (for previews and for reusing large art small).
Image ScaleSmooth(const Image& src, int w, int h);
// Copies src through a black/white mask onto dst (white shows src).
void PasteMasked(Image& dst, const Image& src, const Image& mask, int x, int y);

// Signed distances (negative inside), in pixels.
float SdCircle(float px, float py, float cx, float cy, float r);
float SdRoundBox(float px, float py, float cx, float cy, float hw, float hh, float radius);
float SdSegment(float px, float py, float ax, float ay, float bx, float by);
struct Pt {
    float x, y;
};
float SdPolygon(float px, float py, const std::vector<Pt>& poly);
// Coverage of a pixel by a shape from its signed distance at the pixel centre.
inline float Cover(float d) { return Clamp01(0.5f - d); }

// Fills every pixel whose centre lies in the box [x0, x1) x [y0, y1) with colour c at the
// coverage given by sdf(px, py) (pixel-centre coordinates).
template <class Sdf>
void FillShape(Image& img, float x0, float y0, float x1, float y1, Rgb c, Sdf sdf, float alpha = 1.0f)
{
    int ix0 = static_cast<int>(x0) - 1, iy0 = static_cast<int>(y0) - 1;
    int ix1 = static_cast<int>(x1) + 2, iy1 = static_cast<int>(y1) + 2;
    if (ix0 < 0) ix0 = 0;
    if (iy0 < 0) iy0 = 0;
    if (ix1 > img.w) ix1 = img.w;
    if (iy1 > img.h) iy1 = img.h;
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            float a = Cover(sdf(x + 0.5f, y + 0.5f)) * alpha;
            if (a > 0) Blend(img, x, y, c, a);
        }
}

// Calls shade(px, py, out colour, out alpha) for every pixel of the box and blends the result.
template <class Shader>
void ShadeBox(Image& img, int x0, int y0, int x1, int y1, Shader shade)
{
    if (x0 < 0) x0 = 0;
    if (y0 < 0) y0 = 0;
    if (x1 > img.w) x1 = img.w;
    if (y1 > img.h) y1 = img.h;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            Rgb c;
            float a = 0;
            shade(x + 0.5f, y + 0.5f, c, a);
            if (a > 0) Blend(img, x, y, c, a);
        }
}

// Black/white mask: white where inside(px, py) holds at the pixel centre.
template <class Inside>
Image MakeMask(int w, int h, Inside inside)
{
    Image m = Make(w, h, {0, 0, 0});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (inside(x + 0.5f, y + 0.5f)) m.At(x, y) = {1, 1, 1};
    return m;
}

// splitmix64: small, fast and the same on every platform.
struct Rng {
    std::uint64_t state;
};
std::uint64_t Next(Rng& r);
float Uniform(Rng& r);                    // [0, 1)
float Range(Rng& r, float lo, float hi);  // [lo, hi)

// Smooth value noise in [0, 1] and its fractal sum.
float Noise2(float x, float y, std::uint32_t seed);
float Noise3(float x, float y, float z, std::uint32_t seed);
float Fbm2(float x, float y, int octaves, std::uint32_t seed);
float Fbm3(float x, float y, float z, int octaves, std::uint32_t seed);

// 24-bit BMP through SDL; returns false (and says why on stderr) on failure.
bool SaveBmp(const Image& img, const std::string& path);

}  // namespace Canvas
