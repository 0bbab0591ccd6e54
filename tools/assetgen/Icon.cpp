#include "Icon.hpp"

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

std::uint32_t Crc32(const std::uint8_t* data, std::size_t n, std::uint32_t crc = 0)
{
    static const auto table = [] {
        std::vector<std::uint32_t> t(256);
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data)
{
    Put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc32(out.data() + start, out.size() - start));
}

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
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32(header, static_cast<std::uint32_t>(image.w));
    Put32(header, static_cast<std::uint32_t>(image.h));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter set, no interlace
    Chunk(out, "IHDR", header);

    // Each row starts with filter type 0; the rows go into stored deflate blocks.
    std::vector<std::uint8_t> raw;
    const std::size_t stride = static_cast<std::size_t>(image.w) * 4;
    for (int y = 0; y < image.h; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.px.begin() + static_cast<std::ptrdiff_t>(y * stride),
                   image.px.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride));
    }
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.insert(z.end(), {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(~n & 0xFF), static_cast<std::uint8_t>((~n >> 8) & 0xFF)});
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(pos),
                 raw.begin() + static_cast<std::ptrdiff_t>(pos + n));
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;  // Adler-32 of the uncompressed data
    for (const std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);
    Chunk(out, "IDAT", z);
    Chunk(out, "IEND", {});
    return out;
}

bool SavePng(const Rgba& image, const std::string& path)
{
    if (image.w <= 0 || image.px.size() != static_cast<std::size_t>(image.w) * image.h * 4) {
        std::fprintf(stderr, "no icon to write to %s\n", path.c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes = EncodePng(image);
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
