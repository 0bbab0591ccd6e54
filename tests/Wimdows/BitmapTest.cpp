// The bitmap table: loading BMP files at a size, handle reuse and shrinking, opaque and
// masked drawing, buffered and unbuffered.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "../support/TempDir.hpp"
#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

constexpr int kW = 80, kH = 60;
constexpr std::uint32_t kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// Writes a BMP file whose pixel (x, y) has the colour f(x, y) (0x00BBGGRR).
void WriteBmp(const std::string& path, int w, int h, const std::function<std::uint32_t(int, int)>& f)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_BGR24);
    ASSERT_NE(s, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = f(x, y);
            auto* p = static_cast<std::uint8_t*>(s->pixels) + y * s->pitch + x * 3;
            p[0] = static_cast<std::uint8_t>(c >> 16);  // blue first
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c);
        }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_EQ(SDL_SaveBMP(s, path.c_str()), 0) << SDL_GetError();
    SDL_FreeSurface(s);
}

std::uint32_t Back(int x, int y)
{
    std::uint32_t c = 0xDEADBEEF;
    EXPECT_TRUE(Testing::ReadBackBuffer(x, y, c));
    return c;
}

// Number of pixels of the colour c, and whether they all lie inside the box.
std::size_t CountIn(const std::vector<std::uint32_t>& pixels, std::uint32_t c, int x0, int y0, int x1, int y1,
                    bool& outside)
{
    std::size_t n = 0;
    outside = false;
    for (int i = 0; i < static_cast<int>(pixels.size()); ++i) {
        if (pixels[i] != c) continue;
        ++n;
        const int x = i % kW, y = i / kW;
        if (x < x0 || x > x1 || y < y0 || y > y1) outside = true;
    }
    return n;
}

class Bitmaps : public WindowFixture {
protected:
    ScopedWorkDir dir;
    void SetUp() override
    {
        WriteBmp("graphics/red.bmp", 100, 100, [](int, int) { return kRed; });
        WriteBmp("graphics/mask.bmp", 40, 40, [](int x, int) { return x < 20 ? kWhite : 0u; });
        WriteBmp("graphics/grey-mask.bmp", 20, 20, [](int x, int) { return x < 10 ? 0x808080u : 0x7F7F7Fu; });
        WriteBmp("graphics/rb.bmp", 2, 2, [](int x, int) { return x == 0 ? kRed : kBlue; });
        Window("Bitmaps", kW, kH);
        ASSERT_EQ(State(), STATE_ACTIVE);
        Testing::Sync();  // the repaint of the first showing is over
        SetBuffering(true);
    }
};

TEST_F(Bitmaps, HandlesReuseTheLowestFreeSlotAndTheTableShrinksFromItsEnd)
{
    EXPECT_EQ(LoadBitmap(".\\graphics\\red.bmp", 10, 10), 1u);  // backslashes are separators
    EXPECT_EQ(LoadBitmap("./graphics/red.bmp", 10, 10), 2u);
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 10), 3u);
    DestroyBitmap(2);
    EXPECT_EQ(I::bitlen, 3u);
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 10), 2u);
    DestroyBitmap(2);
    for (std::uint32_t ignored : {0u, 2u, 4u, 99u}) DestroyBitmap(ignored);
    EXPECT_EQ(I::bitlen, 3u);
    DestroyBitmap(3);  // the free slot 2 goes with it
    EXPECT_EQ(I::bitlen, 1u);
    DestroyBitmap(1);
    EXPECT_EQ(I::bitlen, 0u);
    EXPECT_EQ(I::bit, nullptr);

    EXPECT_EQ(LoadBitmap("graphics/missing.bmp", 10, 10), 0u);
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 0, 10), 0u);
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 0), 0u);
    EXPECT_EQ(LoadBitmap(nullptr, 10, 10), 0u);
    WriteFile("graphics/broken.bmp", "BM not really a picture");
    EXPECT_EQ(LoadBitmap("graphics/broken.bmp", 10, 10), 0u);
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 2147483647u, 2147483647u), 0u);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("(LoadBitmap) A picture of 2147483647 by 2147483647"),
              std::string::npos);
    EXPECT_EQ(I::bitlen, 0u);

    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 10), 1u);
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 10), 2u);
    Window("Bitmaps again", kW, kH);  // a new window starts with an empty table
    EXPECT_EQ(I::bitlen, 0u);
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 10), 1u);
    KillWindow();
    EXPECT_EQ(LoadBitmap("graphics/red.bmp", 10, 10), 0u);  // no window, no table
    DrawBitmap(1, 0, 0);
}

TEST_F(Bitmaps, PicturesAreScaledToTheSizeAskedFor)
{
    ClearScreen();
    const std::uint32_t red = LoadBitmap("graphics/red.bmp", 50, 20);
    DrawBitmap(red, 10, 10);
    bool outside = true;
    EXPECT_EQ(CountIn(BackPixels(), kRed, 10, 10, 59, 29, outside), 50u * 20u);
    EXPECT_FALSE(outside);
    DrawBitmap(0, 0, 0);       // nothing
    DrawBitmap(red, -45, 55);  // partly outside: clipped
    EXPECT_EQ(CountIn(BackPixels(), kRed, 0, 0, kW - 1, kH - 1, outside), 50u * 20u + 5u * 5u);

    // A coloured picture is scaled smoothly, a black-and-white mask without smoothing.
    const std::uint32_t rb = LoadBitmap("graphics/rb.bmp", 1, 1);
    DrawBitmap(rb, 0, 0);
    EXPECT_EQ(Back(0, 0), 0x800080u);
    const std::uint32_t mask = LoadBitmap("graphics/mask.bmp", 15, 7);
    I::BufferGuard guard;
    ASSERT_TRUE(I::bit[mask - 1].blackWhite);
    EXPECT_TRUE(Raster::IsBlackAndWhite(I::View(I::bit[mask - 1].hbit)));
    EXPECT_FALSE(I::bit[rb - 1].blackWhite);
}

TEST_F(Bitmaps, MaskedCopiesKeepTheBackgroundWhereTheMaskIsBlack)
{
    const std::uint32_t red = LoadBitmap("graphics/red.bmp", 20, 20);
    const std::uint32_t mask = LoadBitmap("graphics/mask.bmp", 20, 20);  // left half white
    const std::uint32_t small = LoadBitmap("graphics/mask.bmp", 10, 10);
    const std::uint32_t grey = LoadBitmap("graphics/grey-mask.bmp", 20, 20);
    bool outside = true;

    FillBack(kBlue);
    DrawMaskBitmap(red, mask, 5, 5);
    EXPECT_EQ(CountIn(BackPixels(), kRed, 5, 5, 14, 24, outside), 10u * 20u);
    EXPECT_FALSE(outside);
    EXPECT_EQ(Back(15, 5), kBlue);

    FillBack(kBlue);  // a smaller mask is black beyond its edges
    DrawMaskBitmap(red, small, 5, 5);
    EXPECT_EQ(CountIn(BackPixels(), kRed, 5, 5, 9, 14, outside), 5u * 10u);
    EXPECT_FALSE(outside);

    FillBack(kBlue);  // not black and white: at least half as bright counts as white
    DrawMaskBitmap(red, grey, 5, 5);
    EXPECT_EQ(CountIn(BackPixels(), kRed, 5, 5, 14, 24, outside), 10u * 20u);
    EXPECT_FALSE(outside);

    FillBack(kBlue);  // an invalid image or mask draws nothing at all
    DrawMaskBitmap(red, 0, 5, 5);
    DrawMaskBitmap(red, 99, 5, 5);
    DrawMaskBitmap(0, mask, 5, 5);
    DestroyBitmap(grey);
    DrawMaskBitmap(red, grey, 5, 5);
    EXPECT_EQ(CountIn(BackPixels(), kBlue, 0, 0, kW - 1, kH - 1, outside), static_cast<std::size_t>(kW * kH));
}

TEST_F(Bitmaps, UnbufferedDrawingShowsThePictureAtOnce)
{
    const std::uint32_t red = LoadBitmap("graphics/red.bmp", 20, 20);
    const std::uint32_t mask = LoadBitmap("graphics/mask.bmp", 20, 20);
    ClearScreen();
    UpdateWindow();
    DrawBitmap(red, 0, 0);  // buffered: the window still shows black
    bool outside = true;
    EXPECT_EQ(CountIn(ScreenPixels(), kRed, 0, 0, kW - 1, kH - 1, outside), 0u);

    SetBuffering(false);
    EXPECT_EQ(CountIn(ScreenPixels(), kRed, 0, 0, 19, 19, outside), 400u);
    DrawBitmap(red, 30, 0);
    DrawMaskBitmap(red, mask, 60, 40);
    EXPECT_EQ(CountIn(ScreenPixels(), kRed, 0, 0, kW - 1, kH - 1, outside), 400u + 400u + 200u);
    EXPECT_EQ(ScreenPixels(), BackPixels());
}

}  // namespace

// A header that promises more than its file holds is refused before anything is decoded
// (the decoder would allocate what it promises: 65535 x 65535 is 16 GiB), and a FIFO is
// never waited on.
TEST_F(Bitmaps, PictureFilesThatLieAreRefusedBeforeDecoding)
{
    const auto header = [](std::int32_t w, std::int32_t h, std::uint16_t bits, std::size_t size) {
        std::string b(size, '\0');
        const auto put = [&](std::size_t at, std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
        };
        b[0] = 'B';
        b[1] = 'M';
        put(2, static_cast<std::uint32_t>(size), 4);
        put(10, 138, 4);  // pixels right after a 124-byte header
        put(14, 124, 4);
        put(18, static_cast<std::uint32_t>(w), 4);
        put(22, static_cast<std::uint32_t>(h), 4);
        put(26, 1, 2);
        put(28, bits, 2);
        return b;
    };
    WriteFile("graphics/huge.bmp", header(65535, 65535, 32, 154));
    WriteFile("graphics/long.bmp", header(4000, -4000, 24, 154));  // within the pixel limit
    WriteFile("graphics/fits.bmp", header(2, -2, 32, 138 + 16));
    std::string truncated = ReadFile("graphics/red.bmp");
    truncated.resize(truncated.size() - 1);
    WriteFile("graphics/truncated.bmp", truncated);
    ASSERT_EQ(::mkfifo("graphics/fifo.bmp", 0666), 0);

    alarm(20);
    for (const char* name : {"huge", "long", "truncated", "fifo"}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadBitmap(("graphics/" + std::string(name) + ".bmp").c_str(), 10, 10), 0u) << name;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.rfind("[ERROR] (LoadBitmap) This picture is not loaded, ", 0), 0u) << err;
    }
    alarm(0);
    const std::uint32_t fits = LoadBitmap("graphics/fits.bmp", 2, 2);
    EXPECT_NE(fits, 0u);
    DestroyBitmap(fits);
}
