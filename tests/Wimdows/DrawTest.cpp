// Primitives, pens and the buffering rules, pixel by pixel, on SDL's dummy video driver.
#include <atomic>
#include <set>
#include <thread>
#include <utility>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

constexpr int kW = 64, kH = 48;
constexpr std::uint32_t kWhite = 0xFFFFFF;

using Points = std::set<std::pair<int, int>>;

// Pixels of `pixels` that have the colour c.
Points Where(const std::vector<std::uint32_t>& pixels, std::uint32_t c)
{
    Points out;
    for (int i = 0; i < static_cast<int>(pixels.size()); ++i)
        if (pixels[i] == c) out.insert({i % kW, i / kW});
    return out;
}

Points Box(int x0, int y0, int x1, int y1)
{
    Points out;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) out.insert({x, y});
    return out;
}

class Drawing : public WindowFixture {
protected:
    void SetUp() override
    {
        Window("Draw", kW, kH);
        ASSERT_EQ(State(), STATE_ACTIVE);
        Testing::Sync();  // the repaint of the first showing is over
        SetBuffering(true);
        ClearScreen();
    }
    static Points Drawn(std::uint32_t c = kWhite) { return Where(BackPixels(), c); }
};

TEST(Colours, PackingAndTheLayersOwnForm)
{
    EXPECT_EQ(RgbColor(300, 0, 0), 255u);
    EXPECT_EQ(RgbColor(0, 0, 255), 0xFF0000u);
    EXPECT_EQ(RgbColor(0, 20, 70), 4592640u);
    EXPECT_EQ(RgbColor(1000, 1000, 1000), 0xFFFFFFu);
    EXPECT_EQ(I::CreateColor(0xFF123456u), 0x123456u);
}

TEST_F(Drawing, RedComesOutRedOnTheScreen)
{
    SetBuffering(false);
    Rectangle(0, 0, 3, 3, RgbColor(255, 0, 0), true);
    std::uint32_t raw = 0;
    ASSERT_TRUE(OnUi([&] {
        SDL_Surface* screen = SDL_GetWindowSurface(I::window.hwnd);
        Uint8 r, g, b;
        SDL_GetRGB(static_cast<const Uint32*>(screen->pixels)[0], screen->format, &r, &g, &b);
        raw = r | (g << 8) | (static_cast<std::uint32_t>(b) << 16);
    }));
    EXPECT_EQ(raw, 0x0000FFu);  // red 255, green 0, blue 0
}

TEST_F(Drawing, LinesCoverBothEndPointsWhicheverWayTheyRun)
{
    Line(10, 5, 2, 5, kWhite);
    EXPECT_EQ(Drawn(), Box(2, 5, 10, 5));
    ClearScreen();
    Line(3, 40, 3, 30, kWhite);
    EXPECT_EQ(Drawn(), Box(3, 30, 3, 40));
    ClearScreen();
    Line(20, 20, 26, 23, kWhite);
    const Points diagonal = Drawn();
    EXPECT_TRUE(diagonal.count({20, 20}) && diagonal.count({26, 23}));
    EXPECT_EQ(diagonal.size(), 7u);  // one pixel per column
    ClearScreen();
    Line(26, 23, 20, 20, kWhite);
    EXPECT_EQ(Drawn(), diagonal);
    Line(-1000, 1, 1000, 1, kWhite);  // far outside: clipped
    EXPECT_EQ(Drawn().size(), diagonal.size() + kW);
}

TEST_F(Drawing, RectanglesCoverBothCornersFramedOrFilledWithCornersInAnyOrder)
{
    Rectangle(10, 10, 20, 20, kWhite, false);
    Points frame = Box(10, 10, 20, 20);
    for (const auto& p : Box(11, 11, 19, 19)) frame.erase(p);
    EXPECT_EQ(Drawn(), frame);
    EXPECT_EQ(frame.size(), 40u);
    ClearScreen();
    Rectangle(20, 20, 10, 10, kWhite, false);
    EXPECT_EQ(Drawn(), frame);
    ClearScreen();
    Rectangle(20, 10, 10, 20, kWhite, true);
    EXPECT_EQ(Drawn(), Box(10, 10, 20, 20));
    ClearScreen();
    Rectangle(5, 7, 5, 7, kWhite, false);
    EXPECT_EQ(Drawn(), Box(5, 7, 5, 7));
}

TEST_F(Drawing, ClearScreenBlackensEverythingUpToTheLastPixel)
{
    FillBack(kWhite);
    ClearScreen();
    EXPECT_EQ(Drawn(0).size(), static_cast<std::size_t>(kW * kH));
}

TEST_F(Drawing, EllipsesArcsAndPiesLeaveOutTheRightColumnAndBottomRow)
{
    I::DrawStruct draw{};
    I::SetDraw(draw, 30, 30, 10, 10, 0xFF00FFFFu, true);  // sorted, colour cleared to 0x00FFFF
    draw.object = I::DR_ELLIPSE;
    I::UpdateDC(draw);
    const Points ellipse = Drawn(0x00FFFF);
    EXPECT_TRUE(ellipse.count({10, 20}) && ellipse.count({29, 20}) && ellipse.count({20, 10}) &&
                ellipse.count({20, 29}));
    for (const auto& p : ellipse) EXPECT_TRUE(p.first < 30 && p.second < 30);
    EXPECT_TRUE(ellipse.count({20, 20}));  // filled

    ClearScreen();
    draw.object = I::DR_ARC;  // from the radial to the right counter-clockwise to the one upwards
    draw.x2 = 40, draw.y2 = 20, draw.x3 = 20, draw.y3 = 0;
    I::UpdateDC(draw);
    const Points arc = Drawn(0x00FFFF);
    EXPECT_TRUE(arc.count({29, 20}) || arc.count({29, 19}));
    EXPECT_TRUE(arc.count({20, 10}) || arc.count({19, 10}));
    for (const auto& p : arc) EXPECT_TRUE(p.first >= 19 && p.second <= 20) << p.first << "," << p.second;

    ClearScreen();
    draw.object = I::DR_PIE;
    I::UpdateDC(draw);
    const Points pie = Drawn(0x00FFFF);
    EXPECT_TRUE(pie.count({20, 20}) || pie.count({19, 19}));  // the centre
    EXPECT_TRUE(pie.count({24, 16}));                         // inside the quarter: filled
    EXPECT_FALSE(pie.count({16, 24}));
}

TEST_F(Drawing, BufferedDrawingWaitsForUpdateWindowAndUnbufferedShowsAtOnce)
{
    SetBuffering(false);  // shows the cleared buffer
    ASSERT_EQ(Where(ScreenPixels(), 0).size(), static_cast<std::size_t>(kW * kH));
    SetBuffering(true);
    Rectangle(1, 1, 8, 8, kWhite, true);
    Line(0, 30, 63, 30, kWhite);
    EXPECT_EQ(Drawn().size(), 64u + 64u);
    EXPECT_TRUE(Where(ScreenPixels(), kWhite).empty());
    UpdateWindow();
    EXPECT_EQ(Where(ScreenPixels(), kWhite), Drawn());

    // Unbuffered: each primitive shows its own area, far column and row included, and
    // nothing beyond it (the green drawn before is still only in the back buffer).
    ClearScreen();
    SetBuffering(false);
    FillBack(0x00FF00);
    Rectangle(10, 10, 20, 15, kWhite, false);
    Line(40, 5, 50, 5, kWhite);
    Line(60, 40, 60, 47, kWhite);
    Points expected = Box(10, 10, 20, 15);
    for (const auto& p : Box(11, 11, 19, 14)) expected.erase(p);
    const Points lines[] = {Box(40, 5, 50, 5), Box(60, 40, 60, 47)};
    for (const auto& l : lines) expected.insert(l.begin(), l.end());
    EXPECT_EQ(Where(ScreenPixels(), kWhite), expected);
    EXPECT_EQ(Where(ScreenPixels(), 0x00FF00), Box(11, 11, 19, 14));  // inside the frame's area

    // Leaving buffered mode shows everything at once.
    SetBuffering(true);
    FillBack(0x0000FF);
    SetBuffering(false);
    EXPECT_EQ(Where(ScreenPixels(), 0x0000FF).size(), static_cast<std::size_t>(kW * kH));
}

TEST_F(Drawing, AWindowClosedWhileShowingLeavesTheNextOneShowing)
{
    for (int round = 0; round < 10; ++round) {
        SetBuffering(false);
        Testing::PostClose();
        for (int i = 0; State() == STATE_ACTIVE; ++i) Rectangle(0, 0, i % kW, i % kH, kWhite, true);
        Window("Draw", kW, kH);
        ASSERT_EQ(State(), STATE_ACTIVE);
        Rectangle(0, 0, 3, 3, 0x0000FF, true);
        ASSERT_EQ(Where(ScreenPixels(), 0x0000FF), Box(0, 0, 3, 3)) << round;
    }
}

TEST_F(Drawing, TheWindowNeverFallsBackToAnOlderPicture)
{
    // The main thread leaves an area to be shown while a button procedure is busy on the
    // window's thread; the procedure then draws the same area anew and shows it at once.
    SetBuffering(false);
    std::atomic<bool> running{false}, go{false};
    std::thread button([&] {
        OnUi([&] {
            running.store(true);
            WaitFor([&go] { return go.load(); });
            Rectangle(0, 0, 9, 9, 0x00FF00, true);
        });
    });
    ASSERT_TRUE(WaitFor([&running] { return running.load(); }));
    Rectangle(0, 0, 9, 9, 0x0000FF, true);
    go.store(true);
    button.join();
    EXPECT_EQ(Where(ScreenPixels(), 0x00FF00), Box(0, 0, 9, 9));
}

TEST_F(Drawing, PensDrawPatternedPolylinesIntoTheBackBufferOnly)
{
    SetBuffering(false);
    HPEN dot = CreatePen(2, 0, RgbColor(255, 255, 255));
    SelectPen(dot);
    MovePenTo(0, 10);
    LineTo(5, 10);
    LineTo(13, 10);  // the pattern runs on across the corner; the end pixel is left out
    EXPECT_EQ(Drawn(), (Points{{0, 10}, {1, 10}, {2, 10}, {6, 10}, {7, 10}, {8, 10}, {12, 10}}));
    EXPECT_TRUE(Where(ScreenPixels(), kWhite).empty());  // never shown by the pen itself

    SelectPen(dot);  // selecting starts the pattern afresh
    MovePenTo(0, 20);
    LineTo(0, 26);
    EXPECT_EQ(Where(BackPixels(), kWhite).size(), 7u + 3u);

    HPEN dash = CreatePen(1, 0, kWhite);
    SelectPen(dash);
    MovePenTo(0, 30);
    LineTo(30, 30);
    EXPECT_EQ(Drawn().size(), 10u + 18u + 6u);  // 18 on, 6 off, 6 on

    // Releasing the selected pen leaves no dangling selection: the default black pen draws.
    DeletePen(dash);
    FillBack(kWhite);
    MovePenTo(0, 40);
    LineTo(10, 40);
    EXPECT_EQ(Drawn(0), Box(0, 40, 9, 40));
    DeletePen(dash);  // twice, or a pen never made: ignored
    DeletePen(nullptr);
    SelectPen(dash);
    LineTo(20, 40);
    EXPECT_EQ(Drawn(0), Box(0, 40, 19, 40));
    DeletePen(dot);
}

TEST(NoWindow, DrawingOperationsDoNothing)
{
    ASSERT_EQ(State(), STATE_DEAD);
    SetBuffering(true);
    Line(0, 0, 10, 10, kWhite);
    Rectangle(0, 0, 10, 10, kWhite, true);
    ClearScreen();
    UpdateWindow();
    I::DrawStruct draw{};
    draw.object = I::DR_PIE;
    I::UpdateDC(draw);
    HPEN pen = CreatePen(0, 0, 0);  // pens work with or without a window
    SelectPen(pen);
    MovePenTo(1, 1);
    LineTo(5, 5);
    DeletePen(pen);
    Window("Later", 16, 16);
    EXPECT_FALSE(I::buffering.load());  // the earlier SetBuffering(true) had no effect
    KillWindow();
}

}  // namespace
