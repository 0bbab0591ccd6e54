// Pictures for tests of the game's drawing: every file the game loads, each one solid in a
// colour of its own, so that a pixel of the back buffer tells which picture lies there.
// Masks are white (the whole picture shows), except the planets' mask, whose top-left
// quarter is black so that masking can be seen.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Wimdows/WimdowsTesting.hpp"

namespace TestGraphics {

// Colours as the window layer reads them back: 0x00BBGGRR.
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | (g << 8) | (b << 16); }

constexpr std::uint32_t BackgroundColor = Rgb(0, 0, 96);
constexpr std::uint32_t MenuColor = Rgb(200, 200, 200);
constexpr std::uint32_t BlackHoleColor = Rgb(40, 40, 40);
constexpr std::uint32_t RocketColor = Rgb(255, 0, 0);
constexpr std::uint32_t RedBoxColor = Rgb(180, 0, 60);
constexpr std::uint32_t BlueBoxColor = Rgb(0, 0, 255);
constexpr std::uint32_t AttractColor = Rgb(0, 255, 0);
constexpr std::uint32_t RepelColor = Rgb(255, 0, 255);
constexpr std::uint32_t NoFieldColor = Rgb(128, 128, 0);
constexpr std::uint32_t AsteroidColor = Rgb(139, 69, 19);
constexpr std::uint32_t QuitColor = Rgb(64, 0, 64);
constexpr std::uint32_t WonColor = Rgb(0, 96, 0);
constexpr std::uint32_t LostColor = Rgb(96, 0, 0);
// The eight arrows, in the order up-left, left, down-left, up, down, up-right, right, down-right.
constexpr std::uint32_t ArrowColors[8] = {Rgb(255, 128, 0), Rgb(255, 160, 0), Rgb(255, 192, 0), Rgb(255, 224, 0),
                                          Rgb(0, 128, 255), Rgb(0, 160, 255), Rgb(0, 192, 255), Rgb(0, 224, 255)};
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Black = 0;

// An uncompressed 24-bit BMP; `at(x, y)` gives 0x00BBGGRR for each pixel, top row first.
template <class F>
void WriteBmp(const std::filesystem::path& path, int w, int h, F at)
{
    const int stride = (w * 3 + 3) & ~3;
    const std::uint32_t size = 54 + static_cast<std::uint32_t>(stride * h);
    std::vector<std::uint8_t> b(size, 0);
    auto u32 = [&](std::size_t o, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[o + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    u32(2, size);
    u32(10, 54);
    u32(14, 40);
    u32(18, static_cast<std::uint32_t>(w));
    u32(22, static_cast<std::uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    u32(34, static_cast<std::uint32_t>(stride * h));
    for (int y = 0; y < h; ++y) {
        const std::size_t row = 54 + static_cast<std::size_t>(stride) * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = at(x, y);
            b[row + x * 3 + 0] = static_cast<std::uint8_t>(c >> 16);  // blue
            b[row + x * 3 + 1] = static_cast<std::uint8_t>(c >> 8);   // green
            b[row + x * 3 + 2] = static_cast<std::uint8_t>(c);        // red
        }
    }
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void WriteSolid(const std::filesystem::path& path, std::uint32_t color, int w = 16, int h = 16)
{
    WriteBmp(path, w, h, [color](int, int) { return color; });
}

// Writes graphics/ under `dir` with every picture of the game loop.
inline void WriteAll(const std::filesystem::path& dir)
{
    const std::filesystem::path g = dir / "graphics";
    WriteSolid(g / "achtergrond.bmp", BackgroundColor, 64, 48);
    WriteSolid(g / "menu.bmp", MenuColor, 30, 7);
    WriteSolid(g / "zwartgat.bmp", BlackHoleColor);
    WriteSolid(g / "raket.bmp", RocketColor);
    WriteSolid(g / "roderechthoek.bmp", RedBoxColor);
    WriteSolid(g / "blauwerechthoek.bmp", BlueBoxColor);
    WriteSolid(g / "aantrekking.bmp", AttractColor);
    WriteSolid(g / "afstoting.bmp", RepelColor);
    WriteSolid(g / "geenveld.bmp", NoFieldColor);
    WriteSolid(g / "astero.bmp", AsteroidColor);
    WriteSolid(g / "quit_kor.bmp", QuitColor, 64, 48);
    WriteSolid(g / "won_kor.bmp", WonColor, 64, 48);
    WriteSolid(g / "lost_kor.bmp", LostColor, 64, 48);
    for (const char* m : {"zwartgat-mask.bmp", "raket-mask.bmp", "rechthoek-mask.bmp"}) WriteSolid(g / m, White);
    WriteBmp(g / "planeet-mask.bmp", 16, 16, [](int x, int y) { return x < 8 && y < 8 ? Black : White; });
    const char* arrows[8] = {"linksboven", "links",       "linksonder", "boven",
                             "onder",      "rechtsboven", "rechts",     "rechtsonder"};
    for (int i = 0; i < 8; ++i) {
        WriteSolid(g / (std::string(arrows[i]) + ".bmp"), ArrowColors[i]);
        WriteSolid(g / (std::string(arrows[i]) + "-mask.bmp"), White);
    }
}

// Windows and sound of the tests go to SDL's invisible, silent drivers.
inline void UseDummyDrivers()
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

inline std::uint32_t BackPixel(std::int32_t x, std::int32_t y)
{
    std::uint32_t c = 0xFFFFFFFFu;
    Wimdows::Testing::ReadBackBuffer(x, y, c);
    return c;
}

// True when some pixel of the box [x0, x1) x [y0, y1) is within `tolerance` of `color` in
// every channel (text is blended at its edges).
inline bool AnyPixelNear(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t color,
                         int tolerance = 24)
{
    for (std::int32_t y = y0; y < y1; ++y) {
        for (std::int32_t x = x0; x < x1; ++x) {
            std::uint32_t c = 0;
            if (!Wimdows::Testing::ReadBackBuffer(x, y, c)) continue;
            bool near = true;
            for (int s = 0; s < 24; s += 8) {
                const int d = static_cast<int>((c >> s) & 0xFF) - static_cast<int>((color >> s) & 0xFF);
                near = near && d <= tolerance && d >= -tolerance;
            }
            if (near) return true;
        }
    }
    return false;
}

}  // namespace TestGraphics
