// The numbers behind a frame, without a window: mapping, pictures, arrows, display values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "Bodies.hpp"
#include "Drawing/Geometry.hpp"

using namespace Drawing;
using namespace Drawing::detail;
using Level::OBJECT;
using Level::SHAPE;

TEST(Mapping, WorldToWindowRoundsHalvesToEven)
{
    EXPECT_EQ(GetX(0), 512);
    EXPECT_EQ(GetY(0), 384);
    EXPECT_EQ(GetX(-512), 0);
    EXPECT_EQ(GetY(384), 0);
    EXPECT_EQ(GetX(100.5f), 612);
    EXPECT_EQ(GetX(101.5f), 614);
    EXPECT_EQ(GetX(-0.5f), 512);
    EXPECT_EQ(GetY(2.5f), 382);
    EXPECT_EQ(GetY(-2.5f), 386);
    EXPECT_EQ(RealToInt(2.5f), 2);
    EXPECT_EQ(RealToInt(3.5f), 4);
    EXPECT_EQ(RealToInt(-0.5f), 0);
    EXPECT_EQ(RealToInt(-1.5f), -2);
}

TEST(Mapping, FarPointsSaturateInsteadOfWrapping)
{
    constexpr auto most = std::numeric_limits<std::int32_t>::max();
    constexpr auto least = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(GetX(3.0e9f), most);
    EXPECT_EQ(GetX(-3.0e9f), least);
    EXPECT_EQ(GetY(3.0e9f), least);
    EXPECT_EQ(GetY(-3.0e9f), most);
    EXPECT_EQ(GetX(std::numeric_limits<float>::infinity()), most);
    EXPECT_EQ(GetX(std::numeric_limits<float>::max()), most);
    EXPECT_EQ(GetY(-std::numeric_limits<float>::max()), most);
    // Just inside the 32-bit range the +512 must not wrap.
    EXPECT_EQ(GetX(2147483392.0f), most);  // 2^31 - 256
    EXPECT_EQ(GetX64(100000.0f), 100512);
    EXPECT_EQ(GetY64(-100000.0f), 100384);
    EXPECT_EQ(RealToInt(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(Pictures, ChosenByRoleShapeAndProperties)
{
    auto image = [](std::uint32_t index, const OBJECT& o) { return std::string(ChoosePicture(index, o).image); };
    auto mask = [](std::uint32_t index, const OBJECT& o) { return std::string(ChoosePicture(index, o).mask); };

    // Index 0 and 1 by role alone, whatever their shape and properties.
    EXPECT_EQ(image(0, Deadly(Box(0, 0, 10, 20))), ".\\graphics\\zwartgat.bmp");
    EXPECT_EQ(mask(0, Ball(0, 0, 25)), ".\\graphics\\zwartgat-mask.bmp");
    EXPECT_EQ(image(1, Deadly(Box(0, 0, 10, 20))), ".\\graphics\\raket.bmp");
    EXPECT_EQ(mask(1, Ball(0, 0, 12, 5, -3)), ".\\graphics\\raket-mask.bmp");
    // The rocket made a rectangle still gets 2r x 2r.
    EXPECT_EQ(ChoosePicture(1, Box(0, 0, 10, 20)).width, 20);
    EXPECT_EQ(ChoosePicture(1, Box(0, 0, 10, 20)).height, 20);

    EXPECT_EQ(image(2, Deadly(Box(0, 0, 10, 20))), ".\\graphics\\roderechthoek.bmp");
    EXPECT_EQ(image(2, Box(0, 0, 10, 20)), ".\\graphics\\blauwerechthoek.bmp");
    EXPECT_EQ(mask(7, Box(0, 0, 10, 20)), ".\\graphics\\rechthoek-mask.bmp");
    EXPECT_EQ(image(3, Ball(0, 0, 40, 0, 500)), ".\\graphics\\aantrekking.bmp");
    EXPECT_EQ(image(3, Ball(0, 0, 40, 0, -500)), ".\\graphics\\afstoting.bmp");
    EXPECT_EQ(image(3, Ball(0, 0, 40, 0, 0)), ".\\graphics\\geenveld.bmp");
    EXPECT_EQ(image(3, Ball(0, 0, 40, -0.0f, -0.0f)), ".\\graphics\\geenveld.bmp");
    EXPECT_EQ(image(3, Ball(0, 0, 40, 2, 500)), ".\\graphics\\astero.bmp");
    EXPECT_EQ(image(3, Ball(0, 0, 40, -2, 0)), ".\\graphics\\astero.bmp");
    EXPECT_EQ(mask(3, Ball(0, 0, 40, 2, 0)), ".\\graphics\\planeet-mask.bmp");
    // A deadly ball is drawn like any other ball.
    OBJECT deadlyPlanet = Ball(0, 0, 40, 0, 10);
    deadlyPlanet.GameOverOnCollision = true;
    EXPECT_EQ(image(4, deadlyPlanet), ".\\graphics\\aantrekking.bmp");
}

TEST(Pictures, SizesRoundedAfterDoublingAndNegativeOnesGetNone)
{
    EXPECT_EQ(ChoosePicture(2, Ball(0, 0, 12.25f)).width, 24);
    EXPECT_EQ(ChoosePicture(2, Ball(0, 0, 12.75f)).width, 26);
    EXPECT_EQ(ChoosePicture(0, Ball(0, 0, 12.75f)).height, 26);
    const PictureChoice box = ChoosePicture(5, Deadly(Box(0, 0, 200.5f, 30.5f)));
    EXPECT_EQ(box.width, 200);
    EXPECT_EQ(box.height, 30);
    EXPECT_TRUE(box.Loadable());
    EXPECT_TRUE(ChoosePicture(2, Ball(0, 0, 0)).Loadable());

    EXPECT_FALSE(ChoosePicture(0, Ball(0, 0, -25)).Loadable());
    EXPECT_FALSE(ChoosePicture(1, Ball(0, 0, -0.75f)).Loadable());
    EXPECT_FALSE(ChoosePicture(4, Box(0, 0, -10, 30)).Loadable());
    EXPECT_FALSE(ChoosePicture(4, Box(0, 0, 10, -30)).Loadable());
    EXPECT_FALSE(ChoosePicture(4, Ball(0, 0, std::numeric_limits<float>::quiet_NaN())).Loadable());
    EXPECT_FALSE(ChoosePicture(4, Ball(0, 0, 2.0e9f)).Loadable());
    // -0.25 doubles to -0.5, which rounds to 0: an empty picture, not a negative one.
    EXPECT_TRUE(ChoosePicture(4, Ball(0, 0, -0.25f)).Loadable());
}

TEST(OffScreenArrow, EachRowWithItsOwnPlacement)
{
    struct Row {
        std::int64_t X, Y;
        Arrow arrow;
        std::int32_t ax, ay, d, tx, ty;
    };
    const Row rows[] = {
        {-30, -40, ArrowLinksBoven, 0, 0, 50, 30, 30},    {-100, 300, ArrowLinks, 0, 288, 100, 50, 300},
        {-30, 808, ArrowLinksOnder, 0, 738, 50, 30, 738}, {500, -7, ArrowBoven, 488, 0, 7, 500, 50},
        {500, 800, ArrowOnder, 488, 718, 32, 500, 718},   {1054, -40, ArrowRechtsBoven, 994, 0, 50, 994, 30},
        {1100, 300, ArrowRechts, 974, 300, 76, 974, 300}, {1054, 808, ArrowRechtsOnder, 994, 738, 50, 994, 708},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("rocket at window " + std::to_string(r.X) + ", " + std::to_string(r.Y));
        const OffScreenArrow a = ArrowForWindowPoint(r.X, r.Y);
        EXPECT_EQ(a.arrow, r.arrow);
        EXPECT_EQ(a.ax, r.ax);
        EXPECT_EQ(a.ay, r.ay);
        EXPECT_EQ(a.distance, r.d);
        EXPECT_EQ(a.tx, r.tx);
        EXPECT_EQ(a.ty, r.ty);
    }
    // The distance is rounded to the nearest whole pixel.
    EXPECT_EQ(ArrowForWindowPoint(-1, -1).distance, 1);
    EXPECT_EQ(ArrowForWindowPoint(-2, -2).distance, 3);
}

TEST(OffScreenArrow, NothingInsideTheWindowOrOnItsBorderLines)
{
    for (auto [X, Y] : {std::pair<std::int64_t, std::int64_t>{0, 0},
                        {512, 384},
                        {1023, 767},
                        {0, -20},
                        {-20, 0},
                        {1024, 300},
                        {500, 768},
                        {-20, 768},
                        {1024, -5},
                        {1100, 0},
                        {1024, 768}}) {
        EXPECT_EQ(ArrowForWindowPoint(X, Y).arrow, ArrowNone) << X << ", " << Y;
    }
    // y = 768 is a border line even for a rocket far to the left.
    EXPECT_EQ(ArrowForWindowPoint(-5000, 768).arrow, ArrowNone);
}

TEST(OffScreenArrow, StaysRightForRocketsFarAway)
{
    // 100,000 pixels out: the squares no longer fit in 32 bits.
    OffScreenArrow a = ArrowForRocket({-100000.0f - 512.0f, 0.0f});
    EXPECT_EQ(a.arrow, ArrowLinks);
    EXPECT_EQ(a.distance, 100000);
    EXPECT_EQ(a.ay, 384 - 12);

    a = ArrowForRocket({100000.0f + 512.0f, 100000.0f + 384.0f});
    EXPECT_EQ(a.arrow, ArrowRechtsBoven);
    EXPECT_EQ(a.distance, 141421);  // 100000 * sqrt(2) = 141421.36

    a = ArrowForRocket({0.0f, -(100000.0f + 384.0f)});
    EXPECT_EQ(a.arrow, ArrowOnder);
    EXPECT_EQ(a.distance, 100000);
    EXPECT_EQ(a.ax, 500);

    // Beyond every integer range: the arrow still points the right way, the distance saturates.
    a = ArrowForRocket({-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()});
    EXPECT_EQ(a.arrow, ArrowLinksOnder);
    EXPECT_EQ(a.distance, std::numeric_limits<std::int32_t>::max());
    a = ArrowForRocket({std::numeric_limits<float>::infinity(), 10.0f});
    EXPECT_EQ(a.arrow, ArrowRechts);
    EXPECT_EQ(a.ay, 374);
    EXPECT_EQ(a.distance, std::numeric_limits<std::int32_t>::max());
}

TEST(AimingArrow, ShaftAndHeadForEverySpeed)
{
    AimingArrow a = AimArrow({0, 0}, 0.0f, 250.0f);
    EXPECT_EQ(a.centre.x, 512);
    EXPECT_EQ(a.centre.y, 384);
    EXPECT_EQ(a.tip.x, 562);
    EXPECT_EQ(a.tip.y, 384);
    EXPECT_EQ(a.head1.x, 552);
    EXPECT_EQ(a.head1.y, 379);  // world y up is window y down
    EXPECT_EQ(a.head2.x, 552);
    EXPECT_EQ(a.head2.y, 389);

    a = AimArrow({0, 0}, 0.0f, 500.0f);
    EXPECT_EQ(a.tip.x - a.centre.x, 100);

    // At 50 the head points run back to the centre (L2 = 0, half-angle pi/2).
    a = AimArrow({10, 20}, 0.0f, 50.0f);
    EXPECT_EQ(a.tip.x, 532);
    EXPECT_EQ(a.head1.x, 522);
    EXPECT_EQ(a.head1.y, 364);
    EXPECT_EQ(a.head2.x, 522);
    EXPECT_EQ(a.head2.y, 364);

    // Below 50 L2 is negative: the head opens the other way, beyond the centre.
    a = AimArrow({0, 0}, 0.0f, 25.0f);  // L = 5, L2 = -5, half-angle -pi/4
    EXPECT_EQ(a.tip.x, 517);
    EXPECT_EQ(a.head1.x, 508);  // -5 cos(-pi/4) = -3.54
    EXPECT_EQ(a.head1.y, 380);  // -5 sin(-pi/4) = +3.54 up
    EXPECT_EQ(a.head2.x, 508);
    EXPECT_EQ(a.head2.y, 388);

    // Speed 0: the shaft is a point and the head lies behind the rocket.
    a = AimArrow({0, 0}, 0.0f, 0.0f);  // L2 = -10, half-angle atan(-0.5)
    EXPECT_EQ(a.tip.x, 512);
    EXPECT_EQ(a.head1.x, 503);
    EXPECT_EQ(a.head1.y, 380);
    EXPECT_EQ(a.head2.x, 503);
    EXPECT_EQ(a.head2.y, 388);

    // Straight up.
    a = AimArrow({0, 0}, 1.5707963f, 250.0f);
    EXPECT_EQ(a.tip.x, 512);
    EXPECT_EQ(a.tip.y, 334);
    EXPECT_EQ(a.head1.x, 507);
    EXPECT_EQ(a.head1.y, 344);
    EXPECT_EQ(a.head2.x, 517);
}

TEST(HeadUpDisplay, WholeDegrees)
{
    EXPECT_EQ(Degrees(3.141592f), 180);
    EXPECT_EQ(Degrees(0.0125f), 1);
    EXPECT_EQ(Degrees(0.0f), 0);
    EXPECT_EQ(Degrees(6.270684f), 359);
    // The labels carry the code page's degree sign.
    EXPECT_EQ(static_cast<unsigned char>(CurrentAngleText[14]), 0xB0u);
    EXPECT_EQ(static_cast<unsigned char>(PreviousAngleText[13]), 0xB0u);
}
