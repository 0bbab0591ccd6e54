#include "Icon.hpp"

#include "Png.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <SDL.h>

namespace Icon {

namespace {

const Canvas::Image* Find(const std::vector<Pictures::Picture>& pictures, const char* name)
{
    for (const auto& p : pictures)
        if (p.name == name) return &p.image;
    return nullptr;
}

std::uint8_t Byte(float v) { return static_cast<std::uint8_t>(std::lrint(Canvas::Clamp01(v) * 255.0f)); }

}  // namespace

Rgba Make(const std::vector<Pictures::Picture>& pictures, int size)
{
    const Canvas::Image* rocket = Find(pictures, "raket.bmp");
    const Canvas::Image* mask = Find(pictures, "raket-mask.bmp");
    if (!rocket || !mask || size < 16) return {};
    using namespace Canvas;

    // The sky: a disc in the front end's blue, lighter towards the upper left, with a rim.
    const float c = static_cast<float>(size) / 2.0f;
    const float r = c - 1.0f;
    Image sky = Make(size, size, Hex(0, 0, 0));
    std::vector<float> alpha(static_cast<std::size_t>(size) * size, 0.0f);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float px = static_cast<float>(x) + 0.5f, py = static_cast<float>(y) + 0.5f;
            const float d = SdCircle(px, py, c, c, r);
            const float light = Clamp01(1.0f - std::hypot(px - 0.7f * c, py - 0.7f * c) / (1.6f * r));
            Rgb col = Mix(Pictures::FrontEndBlue() * 0.6f, Hex(30, 70, 150), light * light);
            col = Mix(col, Hex(120, 170, 255), Clamp01(1.0f - std::fabs(d + 1.5f) / 1.5f) * 0.8f);
            sky.At(x, y) = col;
            alpha[static_cast<std::size_t>(y) * size + x] = Cover(d);
        }
    // A few stars, placed by fixed fractions so every size shows the same sky.
    const float stars[][3] = {{0.22f, 0.30f, 0.9f}, {0.70f, 0.18f, 0.7f}, {0.80f, 0.66f, 0.8f},
                              {0.30f, 0.78f, 0.6f}, {0.52f, 0.12f, 0.5f}, {0.14f, 0.56f, 0.5f}};
    for (const auto& s : stars)
        AddLight(sky, static_cast<int>(s[0] * size), static_cast<int>(s[1] * size), Hex(255, 255, 255), s[2]);

    // The rocket through its mask, smoothly scaled so its edges stay soft.
    const int rs = std::max(8, size * 4 / 5);
    const Image rk = ScaleSmooth(*rocket, rs, rs);
    const Image mk = ScaleSmooth(*mask, rs, rs);
    const int off = (size - rs) / 2;
    for (int y = 0; y < rs; ++y)
        for (int x = 0; x < rs; ++x) {
            const Rgb m = mk.At(x, y);
            const float a = Clamp01((m.r + m.g + m.b) / 3.0f);
            const int ix = x + off, iy = y + off;
            Blend(sky, ix, iy, rk.At(x, y), a);
            float& al = alpha[static_cast<std::size_t>(iy) * size + ix];
            al = al + a * (1.0f - al);
        }

    Rgba out;
    out.w = out.h = size;
    out.px.reserve(static_cast<std::size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const Rgb& p = sky.At(x, y);
            out.px.insert(out.px.end(),
                          {Byte(p.r), Byte(p.g), Byte(p.b), Byte(alpha[static_cast<std::size_t>(y) * size + x])});
        }
    return out;
}

std::vector<std::uint8_t> EncodePng(const Rgba& image)
{
    Png::Image png;
    png.width = image.w;
    png.height = image.h;
    png.channels = 4;
    png.pixels = image.px;
    return Png::Encode(png);
}

bool SavePng(const Rgba& image, const std::string& path)
{
    const std::vector<std::uint8_t> bytes = EncodePng(image);
    if (bytes.empty()) {
        std::fprintf(stderr, "no icon to write to %s\n", path.c_str());
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

bool SaveBmp(const Rgba& image, const std::string& path)
{
    if (image.w <= 0 || image.px.size() != static_cast<std::size_t>(image.w) * image.h * 4) {
        std::fprintf(stderr, "no icon to write to %s\n", path.c_str());
        return false;
    }
    // Bytes R, G, B, A in memory; SDL writes a 32-bit BMP that keeps the alpha.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(image.px.data()), image.w,
                                                              image.h, 32, image.w * 4, SDL_PIXELFORMAT_ABGR8888);
    const bool ok = surface && SDL_SaveBMP(surface, path.c_str()) == 0;
    if (!ok) std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), SDL_GetError());
    SDL_FreeSurface(surface);
    return ok;
}

}  // namespace Icon
