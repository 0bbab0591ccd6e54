// Fitting the back buffer onto windows and screens: the scale rules, the mouse mapping and
// the scaled pictures as numbers, then a scaled window on the dummy driver.
#include <vector>

#include "Helpers.hpp"
#include "Wimdows/Scale.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace S = Wimdows::Scale;

namespace {

TEST(Scale, ChoosesWholeScalesThatFitAndShrinksSmoothlyOnlyBelowOne)
{
    EXPECT_EQ(S::Choose({1024, 768}, {1366, 768}, 0), 1.0f);   // fits: as asked
    EXPECT_EQ(S::Choose({1024, 768}, {3840, 2100}, 0), 2.0f);  // HiDPI: largest whole scale
    EXPECT_EQ(S::Choose({800, 550}, {3840, 2100}, 0), 3.0f);
    EXPECT_EQ(S::Choose({800, 550}, {3840, 2100}, 2), 2.0f);  // a scale asked for is a most
    EXPECT_EQ(S::Choose({800, 550}, {3840, 2100}, 8), 3.0f);  // never more than fits
    EXPECT_EQ(S::Choose({1024, 768}, {1024, 768}, 0), 1.0f);
    // A title bar on a 1366 x 768 screen: below 1, the height decides, aspect kept.
    const float s = S::Choose({1024, 768}, {1366, 768 - 27}, 1);
    EXPECT_LT(s, 1.0f);
    const S::Size size = S::Scaled({1024, 768}, s, {1366, 741});
    EXPECT_EQ(size.h, 741);
    EXPECT_NEAR(static_cast<float>(size.w) / static_cast<float>(size.h), 1024.0f / 768, 0.002f);
    EXPECT_GT(S::Choose({1024, 768}, {0, 0}, 0), 0.0f);  // nothing known: still a scale
}

// On a HiDPI Wayland desktop a window is sized in the desktop's units, its picture laid out
// in the screen's pixels as on X11; a unit of 1 leaves everything as it was.
TEST(Scale, WindowsOnHiDpiDesktopsAreSizedForThePictureInTheScreensPixels)
{
    const struct {
        S::Size client, room;
        float pixels;
        S::Size window;
    } cases[] = {
        {{800, 550}, {683, 296}, 2.0f, {400, 275}},      // 1366 x 768 at scale 2: scale 1 in pixels
        {{1024, 768}, {683, 296}, 2.0f, {395, 296}},     // below 1: 789 x 592 pixels, held whole
        {{800, 550}, {1920, 992}, 2.0f, {1200, 825}},    // 3840 x 2160 at 2: scale 3 in pixels
        {{800, 550}, {910, 424}, 1.5f, {534, 367}},      // 150 %: rounded up, 801 x 551 pixels
        {{1024, 768}, {1366, 741}, 1.0f, {988, 741}},    // no HiDPI: as the scale rules say
        {{800, 550}, {3840, 2100}, 1.0f, {2400, 1650}},  // (whole scales on X11)
    };
    for (const auto& c : cases) {
        const S::Size w = S::Windowed(c.client, c.room, c.pixels, 0);
        EXPECT_EQ(w.w, c.window.w) << c.client.w << " in " << c.room.w << " at " << c.pixels;
        EXPECT_EQ(w.h, c.window.h) << c.client.w << " in " << c.room.w << " at " << c.pixels;
    }
    const S::Size one = S::Scaled({1024, 768}, S::Choose({1024, 768}, {1366, 741}, 0), {1366, 741});
    EXPECT_EQ(one.w, 988);

    // A frame centred in the usable area, or at its corner when it is larger.
    const S::Rect at = S::Centred({0, 20, 1366, 748}, {998, 768});
    EXPECT_EQ(at.x, 184);
    EXPECT_EQ(at.y, 20);
    EXPECT_EQ(S::Centred({10, 0, 800, 600}, {400, 300}).y, 150);

    // The pointer in units to the picture's pixels and back.
    std::int32_t x = 10, y = 20;
    S::ToPixels({400, 275}, {800, 550}, x, y);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 40);
    x = 21, y = 41;
    S::ToUnits({400, 275}, {800, 550}, x, y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    x = -7, y = 9;  // the same size: nothing changes
    S::ToPixels({640, 480}, {640, 480}, x, y);
    EXPECT_EQ(x, -7);
    EXPECT_EQ(y, 9);
}

TEST(Scale, FullscreenCentresThePictureAndMapsTheMouseBack)
{
    const S::Layout hd = S::Place({1024, 768}, {1920, 1080}, 0);
    EXPECT_EQ(hd.factor, 1);
    EXPECT_EQ(hd.picture.x, 448);
    EXPECT_EQ(hd.picture.y, 156);
    const S::Layout uhd = S::Place({1024, 768}, {3840, 2160}, 0);
    ASSERT_TRUE(uhd.whole);
    EXPECT_EQ(uhd.factor, 2);
    EXPECT_EQ(uhd.picture.x, (3840 - 2048) / 2);
    EXPECT_EQ(uhd.picture.y, (2160 - 1536) / 2);

    // Every window pixel of a client pixel's 2 x 2 block maps back to it; the bars hit nothing.
    for (int cx : {0, 1, 500, 1023})
        for (int dx : {0, 1}) {
            std::int32_t x = uhd.picture.x + 2 * cx + dx, y = uhd.picture.y + 2 * 767 + dx;
            EXPECT_TRUE(S::ToClient(uhd, x, y));
            EXPECT_EQ(x, cx);
            EXPECT_EQ(y, 767);
        }
    std::int32_t x = uhd.picture.x - 1, y = 1000;
    EXPECT_FALSE(S::ToClient(uhd, x, y));
    EXPECT_EQ(x, -1);
    x = uhd.picture.x + uhd.picture.w;
    y = uhd.picture.y + uhd.picture.h;
    EXPECT_FALSE(S::ToClient(uhd, x, y));
    EXPECT_EQ(x, 1024);
    EXPECT_EQ(y, 768);
    x = -7, y = 5000;  // outside the window: a drag that holds the mouse, on the same scale
    EXPECT_TRUE(S::ToClient(uhd, x, y));
    EXPECT_EQ(x, (-7 - uhd.picture.x - 1) / 2);
    EXPECT_EQ(y, (5000 - uhd.picture.y) / 2);
    const S::Layout one = S::Place({64, 48}, {64, 48}, 0);  // scale 1, no bars: unchanged
    x = -3, y = 300;
    EXPECT_TRUE(S::ToClient(one, x, y));
    EXPECT_EQ(x, -3);
    EXPECT_EQ(y, 300);

    // Below 1 the centre of every client pixel maps back to it where a window pixel holds it.
    const S::Layout small = S::Place({800, 550}, {640, 440}, 0);
    ASSERT_FALSE(small.whole);
    EXPECT_EQ(small.picture.w, 640);
    for (std::int32_t cx = 0; cx < 800; cx += 5) {
        std::int32_t wx = cx, wy = 549;
        S::ToWindow(small, wx, wy);
        EXPECT_TRUE(S::ToClient(small, wx, wy));
        EXPECT_LE(std::abs(wx - cx), 1) << cx;  // a 0.8 scale drops one pixel in five
        EXPECT_LE(std::abs(wy - 549), 1);
    }
}

// A picture of distinct pixels.
std::vector<std::uint32_t> Picture(int w, int h)
{
    std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    return p;
}

TEST(Scale, AreasScaleIntoBlocksAndSmoothAreasJoinWithoutSeams)
{
    const int w = 40, h = 30;
    std::vector<std::uint32_t> src = Picture(w, h);
    const Raster::Surface from{src.data(), w, h, w};

    // Scale 3 with bars: every client pixel an exact 3 x 3 block, the bars untouched.
    const S::Layout three = S::Place({w, h}, {130, 100}, 0);
    ASSERT_EQ(three.factor, 3);
    std::vector<std::uint32_t> win(130 * 100, 0xABCDEFu);
    const Raster::Surface to{win.data(), 130, 100, 130};
    const S::Rect out = S::Area(to, from, three, {-5, -5, 100, 100}, 0xFF000000u);
    EXPECT_EQ(out.w, 120);
    EXPECT_EQ(out.h, 90);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 130; ++x) {
            std::int32_t cx = x, cy = y;
            const bool inside = S::ToClient(three, cx, cy);
            const std::uint32_t want = inside ? (src[static_cast<std::size_t>(cy * w + cx)] | 0xFF000000u) : 0xABCDEFu;
            ASSERT_EQ(win[static_cast<std::size_t>(y * 130 + x)], want) << x << "," << y;
        }

    // Smooth: showing a picture area by area gives the same pixels as showing it whole.
    const S::Layout shrink = S::Place({w, h}, {28, 21}, 0);
    ASSERT_FALSE(shrink.whole);
    std::vector<std::uint32_t> whole(28 * 21, 0), parts(28 * 21, 0);
    S::Area({whole.data(), 28, 21, 28}, from, shrink, {0, 0, w, h});
    std::vector<std::uint32_t> old = Picture(w, h);
    for (auto& p : old) p ^= 0x5A5A5Au;
    S::Area({parts.data(), 28, 21, 28}, {old.data(), w, h, w}, shrink, {0, 0, w, h});
    for (int y = 0; y < h; y += 7)
        for (int x = 0; x < w; x += 9) S::Area({parts.data(), 28, 21, 28}, from, shrink, {x, y, 9, 7});
    EXPECT_EQ(parts, whole);
    // A flat picture stays flat: the weights add up.
    std::vector<std::uint32_t> flat(static_cast<std::size_t>(w) * h, 0x807F01u);
    S::Area({parts.data(), 28, 21, 28}, {flat.data(), w, h, w}, shrink, {0, 0, w, h});
    for (std::uint32_t p : parts) ASSERT_EQ(p, 0x807F01u);
}

// On the dummy driver a window keeps its size unless a scale is set; set, the window grows,
// shows blocks, and clicks land on the controls where they are drawn.
TEST(ScaledWindow, ShowsBlocksAndTakesClicksWhereDrawn)
{
    SetPresentOptions({3, false});
    Window("Scaled", 100, 60);
    ASSERT_EQ(State(), STATE_ACTIVE);
    int ww = 0, wh = 0;
    OnUi([&] { SDL_GetWindowSize(detail::window.hwnd, &ww, &wh); });
    EXPECT_EQ(ww, 300);
    EXPECT_EQ(wh, 180);
    Rectangle(10, 10, 19, 19, RgbColor(255, 0, 0), true);
    Testing::Sync();
    std::uint32_t c = 0;
    EXPECT_TRUE(Testing::ReadScreen(15, 15, c));
    EXPECT_EQ(c, 0x0000FFu);
    std::vector<std::uint32_t> screen = ScreenPixels();
    ASSERT_EQ(screen.size(), 300u * 180);
    EXPECT_EQ(screen[30 * 300 + 30], 0x0000FFu);  // the block's corners
    EXPECT_EQ(screen[59 * 300 + 59], 0x0000FFu);
    EXPECT_EQ(screen[60 * 300 + 60], 0u);

    static int pressed = 0;
    pressed = 0;
    ASSERT_NE(CreateButton("Go", 40, 20, 30, 20, [] { ++pressed; }), 0u);
    Testing::PostMouseButton(1, true, 45, 25);  // client pixels, placed as a player's pointer
    Testing::PostMouseButton(1, false, 45, 25);
    Testing::Sync();
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(Testing::ReadScreen(41, 21, c));
    EXPECT_NE(c, 0u);  // the button is drawn over the picture at the scale
    KillWindow();
    SetPresentOptions({});
}

// SDL frees the window's picture and makes a new one whenever the window's size may have
// changed, and the new one can come at the same address with the same size: what is shown
// next must land in the new picture's pixels, not in the freed ones.
TEST(ScaledWindow, APictureRenewedAtTheSameAddressIsDrawnInto)
{
    Window("Renewed", 100, 60);
    ASSERT_EQ(State(), STATE_ACTIVE);
    OnUi([] { detail::ToggleFullscreen(); });  // the dummy display's size: bars round the picture
    std::vector<std::uint32_t> fresh;
    void* old = nullptr;
    int w = 0, h = 0;
    OnUi([&] {
        SDL_Surface* s = SDL_GetWindowSurface(detail::window.hwnd);
        w = s->w;
        h = s->h;
        ASSERT_EQ(s->pitch, w * 4);
        fresh.assign(static_cast<std::size_t>(w) * h, 0);
        old = s->pixels;
        s->pixels = fresh.data();
    });
    ASSERT_GT(w, 100);
    Rectangle(10, 10, 19, 19, RgbColor(255, 0, 0), true);
    Testing::Sync();
    OnUi([&] { SDL_GetWindowSurface(detail::window.hwnd)->pixels = old; });
    const int x = (w - 100) / 2 + 15, y = (h - 60) / 2 + 15;
    EXPECT_EQ(fresh[static_cast<std::size_t>(y * w + x)] & 0xFFFFFFu, 0xFF0000u);
    KillWindow();
    SetPresentOptions({});
}

// A window back from fullscreen gets its own size again, whoever switched and whatever
// size the window manager gave it (fluxbox: 3 pixels taller; sway: the screen's size).
TEST(ScaledWindow, BackFromFullscreenTheWindowHasItsOwnSize)
{
    Window("Restored", 100, 60);
    ASSERT_EQ(State(), STATE_ACTIVE);
    OnUi([] { detail::ToggleFullscreen(); });
    OnUi([] {
        SDL_SetWindowFullscreen(detail::window.hwnd, 0);  // as a compositor does
        SDL_SetWindowSize(detail::window.hwnd, 100, 63);
    });
    Testing::Sync();
    int ww = 0, wh = 0;
    OnUi([&] { SDL_GetWindowSize(detail::window.hwnd, &ww, &wh); });
    EXPECT_EQ(ww, 100);
    EXPECT_EQ(wh, 60);
    KillWindow();
    SetPresentOptions({});
}

}  // namespace
