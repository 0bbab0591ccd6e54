// Frames drawn into a real (dummy-driver) window: pictures at their places, the head-up
// display, the rocket's arrows, the flight path and the end screen, read back pixel by pixel.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "Bodies.hpp"
#include "Drawing/Drawing.hpp"
#include "Drawing/Geometry.hpp"
#include "Path/Path.hpp"
#include "TempDir.hpp"
#include "TestGraphics.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

using namespace TestGraphics;
using Drawing::detail::CurrentHandles;
using Level::OBJECT;
using Level::SHAPE;

namespace {

std::vector<std::uint32_t> Snapshot(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1)
{
    std::vector<std::uint32_t> px;
    for (std::int32_t y = y0; y < y1; ++y)
        for (std::int32_t x = x0; x < x1; ++x) px.push_back(BackPixel(x, y));
    return px;
}

class DrawTest : public ::testing::Test {
protected:
    ScopedWorkDir dir;
    Level::ObjectTable objects{};
    std::uint32_t n = 1;

    void SetUp() override
    {
        UseDummyDrivers();
        WriteAll(dir.dir);
        Drawing::Init();
        Drawing::LoadWindow();
        ASSERT_EQ(Wimdows::State(), Wimdows::STATE_ACTIVE);
        Drawing::StopRecordingPath();
        Drawing::ClearPath();
        objects[0] = Ball(400, 0, 25);
        objects[1] = Ball(-400, -100, 12, 1);
    }
    void TearDown() override
    {
        Drawing::StopRecordingPath();
        Drawing::ClearPath();
        Wimdows::KillWindow();
    }

    void Frame(float angle = 0, float speed = 250, float previousAngle = 0, float previousSpeed = 0,
               std::uint32_t level = 1, std::uint32_t score = 100)
    {
        Drawing::Draw(objects, n, level, score, angle, speed, previousAngle, previousSpeed);
    }

    // The text box at (x, y) in the frame just drawn against the same text written there by hand
    // over `under` (a picture redrawn first at its own place).
    void ExpectText(const char* text, std::int32_t x, std::int32_t y, std::uint32_t color, std::uint32_t under,
                    std::int32_t ux, std::int32_t uy, std::int32_t w = 44, std::int32_t h = 16)
    {
        SCOPED_TRACE(std::string("text ") + text + " at " + std::to_string(x) + ", " + std::to_string(y));
        const auto drawn = Snapshot(x, y, x + w, y + h);
        EXPECT_TRUE(AnyPixelNear(x, y, x + w, y + h, color)) << "no text in the box";
        Wimdows::DrawBitmap(under, ux, uy);
        Wimdows::SetFont(0, color);
        Wimdows::Text(text, x, y);
        EXPECT_EQ(drawn, Snapshot(x, y, x + w, y + h));
    }
};

TEST_F(DrawTest, TwoBodyLevelLoadsAndReleasesTwentyTwoPictures)
{
    Drawing::LoadGraph(objects, n);
    const auto h = CurrentHandles();
    EXPECT_EQ(h.Background, 1u);
    EXPECT_EQ(h.body[0].image, 2u);
    EXPECT_EQ(h.body[0].mask, 3u);
    EXPECT_EQ(h.body[1].image, 4u);
    EXPECT_EQ(h.body[1].mask, 5u);
    for (std::uint32_t a = 0; a < Drawing::detail::ArrowCount; ++a) {
        EXPECT_EQ(h.arrow[a], 6 + 2 * a);
        EXPECT_EQ(h.arrowMask[a], 7 + 2 * a);
    }
    EXPECT_EQ(h.menu, 22u);
    Drawing::UnloadGraph();
    EXPECT_EQ(CurrentHandles().body[1].image, 0u);
    EXPECT_EQ(CurrentHandles().menu, 0u);
    // Every slot was given back: the registry hands out slot 1 again.
    const std::uint32_t next = Wimdows::LoadBitmap(".\\graphics\\menu.bmp", 4, 4);
    EXPECT_EQ(next, 1u);
    Wimdows::DestroyBitmap(next);
}

TEST_F(DrawTest, NegativeSizesGetNoPictureAndDrawNothing)
{
    objects[2] = Ball(0, 0, -40, 0, 100);
    objects[3] = Deadly(Box(100, 100, 50, -30));
    objects[4] = Ball(-100, 0, 20, 0, 0);
    n = 4;
    Drawing::LoadGraph(objects, n);
    EXPECT_EQ(CurrentHandles().body[2].image, 0u);
    EXPECT_EQ(CurrentHandles().body[2].mask, 0u);
    EXPECT_EQ(CurrentHandles().body[3].image, 0u);
    EXPECT_NE(CurrentHandles().body[4].image, 0u);
    EXPECT_EQ(CurrentHandles().menu, 24u);  // 1 + 3 bodies x 2 + 16 + 1: two bodies without pictures
    Frame();
    EXPECT_EQ(BackPixel(512, 384), BackgroundColor);
    EXPECT_EQ(BackPixel(630, 300), BackgroundColor);
    Drawing::UnloadGraph();
}

TEST_F(DrawTest, BodiesAtTheirWindowPlaces)
{
    objects[0] = Ball(300, 200, 25);             // black hole: 50 x 50 from (787, 159)
    objects[1] = Ball(-200, -100, 12, 1);        // flying rocket: 24 x 24 from (300, 472)
    objects[2] = Ball(0, 0, 10, 0, 0);           // planet without field: 20 x 20 from (502, 374)
    objects[3] = Deadly(Box(100, 0, 50, 30));    // deadly wall: 50 x 30 from (612, 354)
    objects[4] = Box(-300, 100, 20, 10);         // blue block: from (212, 274)
    objects[5] = Ball(-100, 250, 12.25f, 0, 5);  // attracting: 24 x 24 from (400, 122)
    objects[6] = Ball(-100, -250, 10, 0, -5);    // repelling
    objects[7] = Ball(200, -250, 10, 3, 0);      // asteroid
    n = 7;
    Drawing::LoadGraph(objects, n);
    Frame();

    EXPECT_EQ(BackPixel(5, 100), BackgroundColor);
    EXPECT_EQ(BackPixel(787, 159), BlackHoleColor);
    EXPECT_EQ(BackPixel(836, 208), BlackHoleColor);
    EXPECT_EQ(BackPixel(837, 208), BackgroundColor);
    EXPECT_EQ(BackPixel(300, 472), RocketColor);
    EXPECT_EQ(BackPixel(323, 495), RocketColor);
    EXPECT_EQ(BackPixel(324, 495), BackgroundColor);
    EXPECT_EQ(BackPixel(299, 472), BackgroundColor);
    // The planets' mask hides the picture's top-left quarter.
    EXPECT_EQ(BackPixel(502, 374), BackgroundColor);
    EXPECT_EQ(BackPixel(521, 393), NoFieldColor);
    EXPECT_EQ(BackPixel(522, 393), BackgroundColor);
    EXPECT_EQ(BackPixel(612, 354), RedBoxColor);
    EXPECT_EQ(BackPixel(661, 383), RedBoxColor);
    EXPECT_EQ(BackPixel(662, 383), BackgroundColor);
    EXPECT_EQ(BackPixel(612, 353), BackgroundColor);
    EXPECT_EQ(BackPixel(212, 274), BlueBoxColor);
    EXPECT_EQ(BackPixel(231, 283), BlueBoxColor);
    EXPECT_EQ(BackPixel(423, 145), AttractColor);
    EXPECT_EQ(BackPixel(424, 145), BackgroundColor);  // 24 wide, not 25
    EXPECT_EQ(BackPixel(421, 633), RepelColor);
    EXPECT_EQ(BackPixel(721, 633), AsteroidColor);
    // No arrow for a rocket on the screen, and no aiming arrow for a flying one.
    EXPECT_FALSE(AnyPixelNear(330, 470, 400, 500, White, 0));
    Drawing::UnloadGraph();
}

TEST_F(DrawTest, HeadUpDisplayShowsRoundedValuesAtItsPlaces)
{
    using namespace Drawing::detail;
    Drawing::LoadGraph(objects, n);
    // 0.0125 rad is 1 degree, pi is 180; 7.5 shows 8 and 2.5 shows 2.
    Frame(0.0125f, 7.5f, 3.141592f, 2.5f, 12, 340);
    EXPECT_EQ(BackPixel(0, 700), MenuColor);
    EXPECT_EQ(BackPixel(299, 767), MenuColor);
    EXPECT_EQ(BackPixel(300, 700), BackgroundColor);
    EXPECT_EQ(BackPixel(0, 699), BackgroundColor);

    using Wimdows::Text;
    using Wimdows::TextInt;
    for (auto [x, y] : {HudCurrentAngle, HudPreviousAngle, HudCurrentSpeed, HudPreviousSpeed}) {
        EXPECT_TRUE(AnyPixelNear(x, y, x + 25, y + 16, Black)) << "no number at " << x << ", " << y;
    }
    // The same bar written by hand from the layout table, with the values it should show.
    Wimdows::DrawBitmap(CurrentHandles().menu, MenuPlace.x, MenuPlace.y);
    Wimdows::SetFont(0, Black);
    Text(CurrentAngleText, HudCurrentAngleLabel.x, HudCurrentAngleLabel.y);
    TextInt(1, HudCurrentAngle.x, HudCurrentAngle.y);
    Text(PreviousAngleText, HudPreviousAngleLabel.x, HudPreviousAngleLabel.y);
    TextInt(180, HudPreviousAngle.x, HudPreviousAngle.y);
    Text(CurrentSpeedText, HudCurrentSpeedLabel.x, HudCurrentSpeedLabel.y);
    TextInt(8, HudCurrentSpeed.x, HudCurrentSpeed.y);
    Text(PreviousSpeedText, HudPreviousSpeedLabel.x, HudPreviousSpeedLabel.y);
    TextInt(2, HudPreviousSpeed.x, HudPreviousSpeed.y);
    const auto bar = Snapshot(0, 700, 300, 768);
    // Level and score, white over the background.
    Wimdows::DrawBitmap(CurrentHandles().Background, 0, 0);
    Wimdows::SetFont(0, White);
    Text("Level", LevelLabel.x, LevelLabel.y);
    TextInt(12, LevelNumber.x, LevelNumber.y);
    Text("Score", ScoreLabel.x, ScoreLabel.y);
    TextInt(340, ScoreNumber.x, ScoreNumber.y);
    const auto top = Snapshot(0, 0, 1024, 30);

    Frame(0.0125f, 7.5f, 3.141592f, 2.5f, 12, 340);
    EXPECT_EQ(Snapshot(0, 700, 300, 768), bar);
    EXPECT_EQ(Snapshot(0, 0, 1024, 30), top);
    EXPECT_TRUE(AnyPixelNear(LevelNumber.x, LevelNumber.y, 1024, 26, White));
    EXPECT_TRUE(AnyPixelNear(ScoreNumber.x, ScoreNumber.y, ScoreNumber.x + 30, 26, White));
    // Another value shows differently: the comparison can fail.
    Frame(0.0125f, 10.0f, 3.141592f, 2.5f, 12, 340);
    EXPECT_NE(Snapshot(0, 700, 300, 768), bar);
    Drawing::UnloadGraph();
}

TEST_F(DrawTest, OffScreenArrowWithItsDistance)
{
    Drawing::LoadGraph(objects, n);
    const std::uint32_t background = CurrentHandles().Background;

    objects[1].Position = {-700, 0};  // window (-188, 384): left arrow at (0, 372)
    Frame();
    EXPECT_EQ(BackPixel(0, 372), ArrowColors[1]);
    EXPECT_EQ(BackPixel(49, 396), ArrowColors[1]);
    EXPECT_EQ(BackPixel(0, 371), BackgroundColor);
    EXPECT_EQ(BackPixel(0, 397), BackgroundColor);
    ExpectText("188", 50, 384, White, background, 0, 0);

    // Far beyond the 32-bit squares: still the right arrow and distance.
    objects[1].Position = {100000 + 512, 100};  // window (101024, 284): right arrow at (974, 284)
    Frame();
    EXPECT_EQ(BackPixel(974, 284), ArrowColors[6]);
    EXPECT_EQ(BackPixel(1023, 308), ArrowColors[6]);
    ExpectText("100000", 974, 284, White, CurrentHandles().arrow[6], 974, 284, 50);

    objects[1].Position = {0, -(100000 + 384)};  // below: down arrow at (500, 718), text there too
    Frame();
    EXPECT_EQ(BackPixel(500, 767), ArrowColors[4]);
    EXPECT_TRUE(AnyPixelNear(500, 718, 550, 734, White));

    objects[1].Position = {600, 400};  // up-right corner, text at (994, 30)
    Frame();
    EXPECT_EQ(BackPixel(1023, 0), ArrowColors[5]);
    EXPECT_TRUE(AnyPixelNear(994, 30, 1024, 46, White));

    objects[1].Position = {600, -400};  // down-right corner, text 30 above the arrow
    Frame();
    EXPECT_EQ(BackPixel(1023, 767), ArrowColors[7]);
    EXPECT_TRUE(AnyPixelNear(994, 708, 1024, 724, White));

    objects[1].Position = {-512, 0};  // exactly on the line x = 0: nothing
    Frame();
    EXPECT_EQ(BackPixel(0, 372), RocketColor);
    EXPECT_EQ(BackPixel(11, 395), RocketColor);
    EXPECT_FALSE(AnyPixelNear(12, 360, 80, 400, White, 0));
    Drawing::UnloadGraph();
}

TEST_F(DrawTest, AimingArrowOnlyWhileTheRocketIsHeld)
{
    objects[1] = Ball(0, -200, 12, 0);  // held: window centre (512, 584)
    Drawing::LoadGraph(objects, n);
    Frame(0.0f, 250.0f);
    EXPECT_EQ(BackPixel(512, 584), White);  // the shaft starts over the rocket
    EXPECT_EQ(BackPixel(540, 584), White);
    EXPECT_EQ(BackPixel(562, 584), White);
    EXPECT_EQ(BackPixel(563, 584), BackgroundColor);
    EXPECT_EQ(BackPixel(552, 579), White);
    EXPECT_EQ(BackPixel(552, 589), White);

    Frame(1.5707963f, 500.0f);  // straight up, 100 long
    EXPECT_EQ(BackPixel(512, 484), White);
    EXPECT_EQ(BackPixel(512, 483), BackgroundColor);
    EXPECT_EQ(BackPixel(540, 584), BackgroundColor);

    objects[1].Mass = 1;  // launched
    Frame(1.5707963f, 500.0f);
    EXPECT_EQ(BackPixel(512, 484), BackgroundColor);
    EXPECT_EQ(BackPixel(512, 584), RocketColor);
    Drawing::UnloadGraph();
}

TEST_F(DrawTest, DottedFlightPathWhileRecordingAndAfter)
{
    objects[1] = Ball(-300, 200, 5, 1);
    Drawing::LoadGraph(objects, n);
    auto blackOnRow = [](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        int black = 0;
        for (std::int32_t x = x0; x < x1; ++x) black += BackPixel(x, y) == Black;
        return black;
    };

    Drawing::RestartRecordingPath();
    EXPECT_TRUE(CurrentHandles().recordingPath);
    Frame();
    EXPECT_FALSE(Path::Exists());  // one point draws nothing
    for (float x = -250; x <= -100; x += 50) {
        objects[1].Position.x = x;
        Frame();
    }
    // Row 184, from window x 212 to 412: dotted, so some pixels black and some not.
    const int black = blackOnRow(184, 220, 400);
    EXPECT_GT(black, 40);
    EXPECT_LT(black, 140);

    Drawing::StopRecordingPath();
    objects[1].Position = {300, -300};
    Frame();
    EXPECT_EQ(blackOnRow(184, 220, 400), black);  // still drawn, no point added
    EXPECT_EQ(blackOnRow(684, 0, 1024), 0);

    Drawing::RestartRecordingPath();  // a new launch throws the old path away
    Frame();
    EXPECT_EQ(blackOnRow(184, 220, 400), 0);
    Drawing::ClearPath();
    Drawing::UnloadGraph();
}

TEST_F(DrawTest, EndScreenPictureAndScores)
{
    const std::array<std::int32_t, 5> table{300, 200, 200, 100, 0};
    Drawing::SchermLevelGedaan(false, true, 200, table);
    EXPECT_EQ(BackPixel(500, 300), WonColor);
    EXPECT_TRUE(AnyPixelNear(20, 600, 90, 615, White));    // "Highscores"
    EXPECT_TRUE(AnyPixelNear(20, 570, 90, 585, White));    // "Your score"
    EXPECT_TRUE(AnyPixelNear(100, 570, 140, 585, White));  // 200
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(AnyPixelNear(100, 600 + 15 * i, 140, 612 + 15 * i, White)) << "entry " << i;
    }
    EXPECT_FALSE(AnyPixelNear(100, 677, 140, 700, White, 64));  // no sixth line

    // The rows are 15 pixels apart: entry 1 (200) and entry 2 (200) look the same.
    EXPECT_EQ(Snapshot(100, 615, 140, 628), Snapshot(100, 630, 140, 643));
    EXPECT_NE(Snapshot(100, 600, 140, 613), Snapshot(100, 615, 140, 628));

    Drawing::SchermLevelGedaan(true, true, 0, table);
    EXPECT_EQ(BackPixel(500, 300), QuitColor);
    Drawing::SchermLevelGedaan(false, false, 0, table);
    EXPECT_EQ(BackPixel(500, 300), LostColor);
    // The end picture is released again at once.
    const std::uint32_t next = Wimdows::LoadBitmap(".\\graphics\\menu.bmp", 4, 4);
    EXPECT_EQ(next, 1u);
    Wimdows::DestroyBitmap(next);
}

TEST_F(DrawTest, MissingPicturesDrawNothingAndDoNotFail)
{
    using namespace Drawing::detail;
    std::filesystem::remove_all(dir.dir / "graphics");
    objects[2] = Ball(0, 0, 10, 0, 1);
    n = 2;
    Drawing::LoadGraph(objects, n);
    EXPECT_EQ(CurrentHandles().body[2].image, 0u);
    EXPECT_EQ(CurrentHandles().Background, 0u);
    Frame();
    EXPECT_EQ(BackPixel(512, 384), Black);                                   // only the cleared screen
    EXPECT_TRUE(AnyPixelNear(LevelLabel.x, LevelLabel.y, 1024, 26, White));  // texts still written
    Drawing::UnloadGraph();
}

}  // namespace
