// The desktop icon: the game's rocket on a round patch of its night sky, with a
// transparent surround, written as PNG (what desktop menus expect) and as BMP (the
// windows' own icon).
#pragma once

#include "Pictures.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace Icon {

// 8-bit RGBA pixels, row by row, no padding.
struct Rgba {
    int w = 0, h = 0;
    std::vector<std::uint8_t> px;
};

// The icon at size x size pixels, from the rocket and its mask among the game's pictures.
// Empty when they are missing or the size is below 16.
Rgba Make(const std::vector<Pictures::Picture>& pictures, int size);

// The PNG file's bytes (8-bit RGBA, written by libpng); empty for an empty image.
std::vector<std::uint8_t> EncodePng(const Rgba& image);
bool SavePng(const Rgba& image, const std::string& path);
// As a 32-bit BMP with alpha: the window icon, which SDL loads without an image library.
bool SaveBmp(const Rgba& image, const std::string& path);

}  // namespace Icon
