#include <cmath>

#include "PhysicsTestSupport.hpp"

using namespace physics_test;
using namespace Physics::detail;
using Physics::VECTOR;
using StandardSound::BOUNCE;
using StandardSound::CRASH;

namespace {

const char* const BallRectangleMessage = "[ERROR] (RewindAndFindCollisionVector) There shouldn't be a collision!\n";
const char* const RectangleRectangleMessage = "[ERROR] (RewindAndFindCollisionVector) There shouldn't be a collision!";

}  // namespace

TEST(ImpulseExchange, SpeedTransfer)
{
    // Equal masses head-on.
    EXPECT_NEAR(SpeedTransfer(10, 1, -10, 1), -8.0f, 1e-5f);
    EXPECT_NEAR(SpeedTransfer(-10, 1, 10, 1), 8.0f, 1e-5f);
    // Masses 1 and 3: momentum 4 before and after.
    EXPECT_NEAR(SpeedTransfer(4, 1, 0, 3), -1.4f, 1e-5f);
    EXPECT_NEAR(SpeedTransfer(0, 3, 4, 1), 1.8f, 1e-5f);
    // Off a body of mass 0 the normal speed is reflected in full.
    EXPECT_EQ(SpeedTransfer(5, 2, 123, 0), -5.0f);
}

TEST_F(PhysicsTest, CollideExchangesOnlyTheNormalSpeeds)
{
    Physics::OBJECT a = Ball(0, 0, 1, 1);
    Physics::OBJECT b = Ball(0, 0, 1, 1);
    a.Speed = {10, 3};
    b.Speed = {-10, -7};
    Collide(a, b, VectorNew(1, 0));
    EXPECT_NEAR(a.Speed.x, -8.0f, 1e-5f);
    EXPECT_NEAR(b.Speed.x, 8.0f, 1e-5f);
    EXPECT_NEAR(a.Speed.y, 3.0f, 1e-5f);
    EXPECT_NEAR(b.Speed.y, -7.0f, 1e-5f);

    // The orientation of the collision vector does not matter.
    Physics::OBJECT c = Ball(0, 0, 1, 1);
    Physics::OBJECT d = Ball(0, 0, 1, 3);
    c.Speed = {4, 0};
    Collide(c, d, VectorNew(-1, 0));
    EXPECT_NEAR(c.Speed.x, -1.4f, 1e-5f);
    EXPECT_NEAR(d.Speed.x, 1.8f, 1e-5f);

    // A body of mass 0 keeps its speed.
    Physics::OBJECT e = Ball(0, 0, 1, 2);
    Physics::OBJECT wall = Ball(0, 0, 1, 0);
    e.Speed = {5, 0};
    wall.Speed = {1, 1};
    Collide(e, wall, VectorNew(1, 0));
    EXPECT_NEAR(e.Speed.x, -5.0f, 1e-5f);
    EXPECT_EQ(wall.Speed.x, 1.0f);
    EXPECT_EQ(wall.Speed.y, 1.0f);
}

TEST_F(PhysicsTest, TwoZeroMassBodiesAreNeverTested)
{
    Physics::OBJECT a = Ball(0, 0, 10);
    Physics::OBJECT b = Ball(5, 0, 10);
    a.GameOverOnCollision = true;
    HandleCollision(a, b);
    EXPECT_EQ(a.Position.x, 0.0f);
    EXPECT_EQ(b.Position.x, 5.0f);
    EXPECT_FALSE(Physics::IsGameOver());
    EXPECT_TRUE(gEvents.empty());
}

TEST_F(PhysicsTest, BallBallContactAndPushOut)
{
    // Overlap by 5: A moves straight away from B, the speeds are exchanged along the
    // line of centres taken before the separation.
    Physics::OBJECT a = Ball(15, 0, 10, 1);
    Physics::OBJECT b = Ball(0, 0, 10, 1);
    a.Speed = {-10, 2};
    b.Speed = {10, 0};
    HandleCollision(a, b);
    EXPECT_EQ(a.Position.x, 20.0f);
    EXPECT_EQ(b.Position.x, 0.0f);
    EXPECT_NEAR(a.Speed.x, 8.0f, 1e-5f);
    EXPECT_NEAR(a.Speed.y, 2.0f, 1e-5f);
    EXPECT_NEAR(b.Speed.x, -8.0f, 1e-5f);
    EXPECT_EQ(Count(BOUNCE), 1);

    // Exactly touching: no push-out, but an exchange and a sound.
    a = Ball(20, 0, 10, 1);
    b = Ball(0, 0, 10, 1);
    a.Speed = {-10, 0};
    HandleCollision(a, b);
    EXPECT_EQ(a.Position.x, 20.0f);
    EXPECT_NEAR(a.Speed.x, -1.0f, 1e-5f);
    EXPECT_NEAR(b.Speed.x, -9.0f, 1e-5f);
    EXPECT_EQ(Count(BOUNCE), 2);

    // Apart: nothing at all.
    a = Ball(20.5f, 0, 10, 1);
    a.Speed = {-10, 0};
    HandleCollision(a, b);
    EXPECT_EQ(a.Position.x, 20.5f);
    EXPECT_EQ(a.Speed.x, -10.0f);
    EXPECT_EQ(Count(BOUNCE), 2);

    // A planet of mass 0 as A: the massive B is moved out and reflected without loss.
    Physics::OBJECT planet = Ball(0, 0, 40, 0);
    Physics::OBJECT rocket = Ball(0, 49, 12, 1);
    rocket.Speed = {3, -50};
    HandleCollision(planet, rocket);
    EXPECT_EQ(planet.Position.y, 0.0f);
    EXPECT_NEAR(rocket.Position.y, 52.0f, 1e-5f);
    EXPECT_NEAR(rocket.Speed.y, 50.0f, 1e-5f);
    EXPECT_NEAR(rocket.Speed.x, 3.0f, 1e-5f);
    EXPECT_EQ(planet.Speed.y, 0.0f);
}

TEST_F(PhysicsTest, CoincidentBallCentresSeparateAlongPlusX)
{
    Physics::OBJECT a = Ball(5, 5, 10, 1);
    Physics::OBJECT b = Ball(5, 5, 6, 1);
    a.Speed = {-4, 1};
    HandleCollision(a, b);
    EXPECT_EQ(a.Position.x, 21.0f);  // moved by the sum of the radii
    EXPECT_EQ(a.Position.y, 5.0f);
    EXPECT_EQ(b.Position.x, 5.0f);
    EXPECT_NEAR(a.Speed.x, -0.4f, 1e-5f);
    EXPECT_NEAR(b.Speed.x, -3.6f, 1e-5f);
    EXPECT_EQ(a.Speed.y, 1.0f);
    EXPECT_EQ(Count(BOUNCE), 1);

    // When A has no mass, B is the one moved, to A's -x side.
    Physics::OBJECT planet = Ball(0, 0, 30, 0);
    Physics::OBJECT rock = Ball(0, 0, 10, 1);
    HandleCollision(planet, rock);
    EXPECT_EQ(rock.Position.x, -40.0f);
    EXPECT_EQ(planet.Position.x, 0.0f);

    // Nearly coincident: the direction cannot be scaled to unit length either.
    Physics::OBJECT c = Ball(1e-30f, 0, 1, 1);
    Physics::OBJECT d = Ball(0, 0, 1, 1);
    c.Speed = {1, 1};
    HandleCollision(c, d);
    for (const auto& o : {c, d}) {
        EXPECT_TRUE(std::isfinite(o.Position.x) && std::isfinite(o.Position.y));
        EXPECT_TRUE(std::isfinite(o.Speed.x) && std::isfinite(o.Speed.y));
    }
    EXPECT_NEAR(c.Position.x, 2.0f, 1e-5f);
}

TEST_F(PhysicsTest, BallRectangleTopSide)
{
    DeltaTime = 0.02f;
    Physics::OBJECT wall = Box(-50, 0, 100, 20);
    Physics::OBJECT ball = Ball(0, 29, 10, 1);
    ball.Speed = {0, -100};
    EXPECT_TRUE(DoesBallRectangleCollide(ball, wall));
    HandleCollision(ball, wall);
    EXPECT_NEAR(ball.Position.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ball.Position.y, 30.0f, 1e-5f);
    EXPECT_NEAR(ball.Speed.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ball.Speed.y, 100.0f, 1e-4f);
    EXPECT_EQ(wall.Position.y, 0.0f);
    EXPECT_EQ(Count(BOUNCE), 1);
}

TEST_F(PhysicsTest, BallRectangleCorner)
{
    DeltaTime = 0.02f;
    Physics::OBJECT box = Box(0, 0, 10, 10);
    Physics::OBJECT ball = Ball(13, 13, 5, 1);
    ball.Speed = {-100, -100};
    EXPECT_TRUE(DoesBallRectangleCollide(ball, box));
    Physics::OBJECT b2 = ball;
    Physics::OBJECT box2 = box;
    const VECTOR v = BallRectangle::RewindAndFindCollisionVector(b2, box2);
    EXPECT_NEAR(v.x, 0.70710678f, 1e-5f);
    EXPECT_NEAR(v.y, 0.70710678f, 1e-5f);
    EXPECT_NEAR(b2.Position.x, 15.0f, 1e-5f);
    EXPECT_NEAR(b2.Position.y, 15.0f, 1e-5f);

    // The rectangle comes first in the table order: the ball is still the first argument.
    HandleCollision(box, ball);
    EXPECT_NEAR(ball.Position.x, 15.0f, 1e-5f);
    EXPECT_NEAR(ball.Speed.x, 100.0f, 1e-3f);
    EXPECT_NEAR(ball.Speed.y, 100.0f, 1e-3f);

    // Contact tests: corner distance 4.24 within r = 5, but not within r = 4.
    EXPECT_FALSE(DoesBallRectangleCollide(Ball(13, 13, 4), box));
    EXPECT_TRUE(DoesBallRectangleCollide(Ball(15, 5, 5), box));  // touching a side
    EXPECT_FALSE(DoesBallRectangleCollide(Ball(15.01f, 5, 5), box));
}

TEST_F(PhysicsTest, BallRectangleWithoutRelativeSpeed)
{
    DeltaTime = 0.01f;
    Physics::OBJECT box = Box(0, 0, 10, 10, 0);
    Physics::OBJECT ball = Ball(12, 5, 5, 1);
    ball.Speed = {3, 4};
    box.Speed = {3, 4};
    testing::internal::CaptureStdout();
    HandleCollision(ball, box);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), BallRectangleMessage);
    EXPECT_EQ(ball.Position.x, 12.0f);        // not separated
    EXPECT_NEAR(ball.Speed.x, -3.0f, 1e-5f);  // bounced along (1, 0)
    EXPECT_NEAR(ball.Speed.y, 4.0f, 1e-5f);
    EXPECT_EQ(Count(BOUNCE), 1);
}

TEST_F(PhysicsTest, BallInsideTheXRangeGetsASideNormal)
{
    DeltaTime = 0.02f;
    Physics::OBJECT box = Box(0, 0, 10, 10);
    Physics::OBJECT ball = Ball(9, 13, 5, 1);
    ball.Speed = {-50, -100};
    const VECTOR v = BallRectangle::RewindAndFindCollisionVector(ball, box);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, 1.0f);
}

TEST_F(PhysicsTest, DeadlyBodyEndsTheLevelAfterTheBounce)
{
    DeltaTime = 0.02f;
    Physics::OBJECT wall = Box(-50, 0, 100, 20);
    wall.GameOverOnCollision = true;
    Physics::OBJECT rocket = Ball(0, 29, 10, 1);
    rocket.Speed = {0, -100};
    HandleCollision(rocket, wall);
    EXPECT_TRUE(Physics::IsGameOver());
    EXPECT_NEAR(rocket.Speed.y, 100.0f, 1e-4f);
    EXPECT_EQ(Count(CRASH), 1);
    EXPECT_EQ(Count(BOUNCE), 0);
}

TEST_F(PhysicsTest, RectangleRectangle)
{
    DeltaTime = 0.02f;
    Physics::OBJECT a = Box(3, 0, 10, 10, 1);
    Physics::OBJECT b = Box(12, 0, 10, 10, 0);
    a.Speed = {100, 0};
    HandleCollision(a, b);
    EXPECT_NEAR(a.Position.x, 2.0f, 1e-5f);
    EXPECT_NEAR(a.Speed.x, -100.0f, 1e-4f);
    EXPECT_EQ(b.Position.x, 12.0f);
    EXPECT_EQ(Count(BOUNCE), 1);

    a = Box(3, 0, 10, 10, 1);
    b = Box(12, 0, 10, 10, 1);
    a.Speed = {100, 0};
    HandleCollision(a, b);
    EXPECT_NEAR(a.Speed.x, 10.0f, 1e-4f);
    EXPECT_NEAR(b.Speed.x, 90.0f, 1e-4f);

    // Sharing a side is contact; crossing bars with no corner inside are not.
    EXPECT_TRUE(DoRectanglesOverlap(Box(0, 0, 10, 10), Box(10, 0, 10, 10)));
    EXPECT_FALSE(DoRectanglesOverlap(Box(0, 4, 20, 2), Box(9, 0, 2, 10)));
    EXPECT_TRUE(DoRectanglesOverlap(Box(0, 0, 2, 2), Box(-5, -5, 20, 20)));  // A inside B
    EXPECT_TRUE(DoRectanglesOverlap(Box(-5, -5, 20, 20), Box(0, 0, 2, 2)));
}

TEST_F(PhysicsTest, RectanglesAtRestInContact)
{
    DeltaTime = 0.01f;
    Physics::OBJECT a = Box(10, 0, 10, 10, 1);
    Physics::OBJECT b = Box(0, 0, 10, 10, 0);
    testing::internal::CaptureStdout();
    HandleCollision(a, b);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), RectangleRectangleMessage);  // no line end
    EXPECT_EQ(a.Position.x, 10.0f);
    EXPECT_EQ(Count(BOUNCE), 1);
}
