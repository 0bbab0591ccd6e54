// The desktop icon: a PNG that any reader takes (chunks with correct checksums, a zlib stream
// of stored blocks that gives back the pixels), and the picture a menu shows: the rocket on a
// round patch of sky, transparent in the corners.
#include "Icon.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

// Bitwise CRC-32, independent of the encoder's table.
std::uint32_t Crc(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

// Reads a PNG of 8-bit RGBA rows without filtering in stored deflate blocks (what the encoder
// writes); any fault is reported and gives an empty image.
Icon::Rgba Decode(const Bytes& png)
{
    const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || !std::equal(signature.begin(), signature.end(), png.begin())) {
        ADD_FAILURE() << "no PNG signature";
        return {};
    }
    Icon::Rgba img;
    Bytes z;
    std::vector<std::string> order;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t len = Get32(png, at);
        const std::string type(png.begin() + static_cast<std::ptrdiff_t>(at + 4), png.begin() + static_cast<std::ptrdiff_t>(at + 8));
        if (at + 12 + len > png.size()) {
            ADD_FAILURE() << "chunk " << type << " runs past the end";
            return {};
        }
        EXPECT_EQ(Crc(png.data() + at + 4, len + 4), Get32(png, at + 8 + len)) << "CRC of " << type;
        order.push_back(type);
        if (type == "IHDR") {
            img.w = static_cast<int>(Get32(png, at + 8));
            img.h = static_cast<int>(Get32(png, at + 12));
            EXPECT_EQ(png[at + 16], 8);  // bit depth
            EXPECT_EQ(png[at + 17], 6);  // RGBA
            EXPECT_EQ(png[at + 20], 0);  // not interlaced
        } else if (type == "IDAT") {
            z.insert(z.end(), png.begin() + static_cast<std::ptrdiff_t>(at + 8), png.begin() + static_cast<std::ptrdiff_t>(at + 8 + len));
        }
        at += 12 + len;
    }
    EXPECT_EQ(order, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    // zlib: header with a valid check, stored blocks, Adler-32 of the data.
    if (z.size() < 6 || ((z[0] << 8) | z[1]) % 31 != 0 || (z[0] & 0x0F) != 8) {
        ADD_FAILURE() << "bad zlib header";
        return {};
    }
    Bytes raw;
    std::size_t at = 2;
    for (bool last = false; !last;) {
        if (at + 5 > z.size()) {
            ADD_FAILURE() << "deflate stream cut short";
            return {};
        }
        last = z[at] & 1;
        EXPECT_EQ(z[at] >> 1, 0) << "only stored blocks are expected";
        const unsigned n = z[at + 1] | (z[at + 2] << 8);
        EXPECT_EQ(n ^ 0xFFFFu, static_cast<unsigned>(z[at + 3] | (z[at + 4] << 8)));
        raw.insert(raw.end(), z.begin() + static_cast<std::ptrdiff_t>(at + 5), z.begin() + static_cast<std::ptrdiff_t>(at + 5 + n));
        at += 5 + n;
    }
    std::uint32_t a = 1, b = 0;
    for (const std::uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(Get32(z, at), (b << 16) | a) << "Adler-32";
    const std::size_t stride = static_cast<std::size_t>(img.w) * 4 + 1;
    if (raw.size() != stride * img.h) {
        ADD_FAILURE() << "pixel data of " << raw.size() << " bytes for " << img.w << " x " << img.h;
        return {};
    }
    for (int y = 0; y < img.h; ++y) {
        EXPECT_EQ(raw[y * stride], 0) << "row filter";
        img.px.insert(img.px.end(), raw.begin() + static_cast<std::ptrdiff_t>(y * stride + 1),
                      raw.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride));
    }
    return img;
}

std::uint8_t Alpha(const Icon::Rgba& img, int x, int y) { return img.px[(static_cast<std::size_t>(y) * img.w + x) * 4 + 3]; }

TEST(IconPng, PixelsComeBackExactlyAcrossSeveralDeflateBlocks)
{
    // 200 x 100 RGBA is 80,100 bytes of rows: two stored blocks.
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
        std::ifstream in(std::string(KOR_BUILD_DIR) + "/icons/" + dim + "/apps/kor-dudurad.png", std::ios::binary);
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
