// The desktop icon: a PNG that gives back its pixels exactly, and the picture a menu shows:
// the rocket on a round patch of sky, transparent in the corners.
#include "Icon.hpp"
#include "Png.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads the PNG back with libpng; any fault is reported and gives an empty image.
Icon::Rgba Decode(const Bytes& png)
{
    Png::Image image;
    std::string error;
    if (!Png::Decode(png, 4, image, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    return Icon::Rgba{image.width, image.height, image.pixels};
}

std::uint8_t Alpha(const Icon::Rgba& img, int x, int y)
{
    return img.px[(static_cast<std::size_t>(y) * img.w + x) * 4 + 3];
}

TEST(IconPng, PixelsComeBackExactly)
{
    Icon::Rgba img;
    img.w = 200;
    img.h = 100;
    for (int i = 0; i < img.w * img.h * 4; ++i) img.px.push_back(static_cast<std::uint8_t>(i * 7 + i / 13));
    const Icon::Rgba back = Decode(Icon::EncodePng(img));
    EXPECT_EQ(back.w, 200);
    EXPECT_EQ(back.h, 100);
    EXPECT_EQ(back.px, img.px);

    Icon::Rgba tiny;
    tiny.w = tiny.h = 1;
    tiny.px = {1, 2, 3, 4};
    EXPECT_EQ(Decode(Icon::EncodePng(tiny)).px, tiny.px);
}

TEST(IconPng, MissingPicturesOrATooSmallSizeGiveNoIcon)
{
    EXPECT_EQ(Icon::Make({}, 64).w, 0);
    EXPECT_FALSE(Icon::SavePng({}, (std::filesystem::temp_directory_path() / "kor-no-icon.png").string()));
}

TEST(IconFiles, TheBuiltIconsAreRoundRocketsWithClearCorners)
{
    for (const int size : {48, 128, 256}) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        std::ifstream in(std::filesystem::path(KOR_BUILD_DIR) / "icons" / dim / "apps" / "kor-dudurad.png",
                         std::ios::binary);
        ASSERT_TRUE(in) << dim;
        const Icon::Rgba img = Decode(Bytes(std::istreambuf_iterator<char>(in), {}));
        ASSERT_EQ(img.w, size);
        ASSERT_EQ(img.h, size);
        EXPECT_EQ(Alpha(img, 0, 0), 0);
        EXPECT_EQ(Alpha(img, size - 1, size - 1), 0);
        EXPECT_EQ(Alpha(img, size / 2, size / 2), 255);
        EXPECT_EQ(Alpha(img, size / 2, 2), 255);  // the disc reaches the edge
        // The rocket's white body crosses the middle; the sky around it is dark blue.
        const std::uint8_t* mid = &img.px[(static_cast<std::size_t>(size / 2) * size + size / 2) * 4];
        EXPECT_GT(mid[0] + mid[1] + mid[2], 3 * 150) << dim;
        const std::uint8_t* sky = &img.px[(static_cast<std::size_t>(size / 8 + 2) * size + size / 2) * 4];
        EXPECT_GT(sky[2], sky[0]) << dim;
    }
}

}  // namespace
