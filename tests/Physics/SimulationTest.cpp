#include <cfloat>
#include <cmath>
#include <numbers>

#include "PhysicsTestSupport.hpp"

using namespace physics_test;
using namespace Physics::detail;
using Physics::VECTOR;
using StandardSound::SHOOT;
using StandardSound::WIN;

TEST(Vectors, ArithmeticAndNewObj)
{
    EXPECT_EQ(VectorNorm(VectorNew(3, 4)), 5.0f);
    EXPECT_EQ(VectorNorm(NewVect()), 0.0f);
    const VECTOR a = VectorAbs(VectorNew(-2.0f, -0.0f));
    EXPECT_EQ(a.x, 2.0f);
    EXPECT_FALSE(std::signbit(a.y));
    const VECTOR s = VectorScale(0.5f, VectorNew(4, -6));
    EXPECT_EQ(s.x, 2.0f);
    EXPECT_EQ(s.y, -3.0f);
    const VECTOR d = VectorDifference(VectorNew(1, 2), VectorNew(4, 6));
    EXPECT_EQ(d.x, -3.0f);
    EXPECT_EQ(d.y, -4.0f);

    const Physics::OBJECT o = Physics::NewObj();
    EXPECT_EQ(o.Type, Physics::SHAPE::Ball);
    EXPECT_EQ(o.Position.x, 0.0f);
    EXPECT_EQ(o.Dimension.x, 0.0f);
    EXPECT_EQ(o.Speed.y, 0.0f);
    EXPECT_EQ(o.Mass, 0.0f);
    EXPECT_EQ(o.Field, 0.0f);
    EXPECT_FALSE(o.GameOverOnCollision);
}

TEST(Clock, SystemClockIsMonotonicInTenMillisecondSteps)
{
    std::uint32_t last = Physics::SystemClock();
    for (int i = 0; i < 50; ++i) {
        const std::uint32_t now = Physics::SystemClock();
        EXPECT_EQ(now % 10, 0u);
        EXPECT_GE(now, last);
        last = now;
    }
}

TEST_F(PhysicsTest, DeltaTimeComesFromTheClockInMilliseconds)
{
    Physics::UnFreeze();
    Step(0, 20);
    EXPECT_EQ(DeltaTime, 20.0f * 0.001f);
    // A clock that wrapped round 2^32 still gives the forward difference.
    gNow = 0xFFFFFFF6u;
    LastTime = gNow;
    gNow += 30;
    RecalculateTime();
    EXPECT_EQ(DeltaTime, 30.0f * 0.001f);
}

TEST_F(PhysicsTest, StepsThatDoNotMoveAnything)
{
    Objects[1] = Ball(0, 0, 5, 1);
    Objects[1].Speed = {100, 0};
    Objects[0] = Ball(0, 0, 10);  // rocket inside the win distance

    // Frozen: the clock is read, nothing else changes, not even the win flag.
    Step(1);
    EXPECT_EQ(Objects[1].Position.x, 0.0f);
    EXPECT_FALSE(Physics::IsGameWon());
    EXPECT_EQ(LastTime, gNow);

    // Two steps within the same 10 ms: the second is a zero step.
    Physics::UnFreeze();
    Step(1, 10);
    EXPECT_TRUE(Physics::IsGameWon());
    const float x = Objects[1].Position.x;
    Objects[0].Position = {500, 0};
    Step(1, 0);
    EXPECT_EQ(Objects[1].Position.x, x);
    EXPECT_TRUE(Physics::IsGameWon());
}

TEST_F(PhysicsTest, UnFreezeSkipsTheTimeSpentFrozen)
{
    Objects[1] = Ball(0, 0, 5, 1);
    Physics::HoldShip(Objects);
    Physics::UnFreeze();
    Physics::ShootShip(Objects, 100, 0);
    Physics::Freeze();
    gNow += 5000;
    Physics::UnFreeze();
    Step(1, 10);
    EXPECT_NEAR(Objects[1].Position.x, 1.0f, 1e-5f);
}

TEST_F(PhysicsTest, SmallTables)
{
    Physics::UnFreeze();
    // N = 0: nothing moves, the win test still runs on entries 0 and 1.
    Objects[0] = Ball(0, 0, 25);
    Objects[1] = Ball(10, 0, 12, 1);
    Objects[1].Speed = {100, 0};
    Step(0);
    EXPECT_EQ(Objects[1].Position.x, 10.0f);
    EXPECT_TRUE(Physics::IsGameWon());
    EXPECT_EQ(Count(WIN), 1);

    // N = 1: only the rocket moves; a planet beyond N neither collides nor pulls.
    Objects[0].Position = {1000, 0};
    Objects[2] = Ball(11, 0, 40);
    Objects[2].Field = 1e6f;
    Step(1);
    EXPECT_NEAR(Objects[1].Position.x, 11.0f, 1e-5f);
    EXPECT_EQ(Objects[1].Speed.x, 100.0f);
    EXPECT_EQ(Objects[1].Speed.y, 0.0f);
    EXPECT_FALSE(Physics::IsGameWon());

    // An N beyond the table is cut to its last entry.
    Step(1000);
}

TEST_F(PhysicsTest, WinDistanceIsStrict)
{
    const Physics::OBJECT hole = Ball(0, 0, 25);
    EXPECT_FALSE(CheckWin(hole, Ball(27.75f, 0, 12)));
    EXPECT_TRUE(CheckWin(hole, Ball(27.74f, 0, 12)));
    EXPECT_TRUE(CheckWin(hole, Ball(0, -27.7f, 12)));
}

TEST_F(PhysicsTest, FieldLaw)
{
    DeltaTime = 0.05f;
    Physics::OBJECT b = Ball(10, 0, 1);
    b.Field = 400;

    Physics::OBJECT a = Ball(0, 0, 1, 1);
    ApplyField(a, b);
    EXPECT_NEAR(a.Speed.x, 0.2f, 1e-6f);
    EXPECT_EQ(a.Speed.y, 0.0f);

    b.Mass = 1000;  // the source's mass plays no part
    a = Ball(0, 0, 1, 1);
    ApplyField(a, b);
    EXPECT_NEAR(a.Speed.x, 0.2f, 1e-6f);

    b.Field = -400;
    a = Ball(0, 0, 1, 1);
    ApplyField(a, b);
    EXPECT_NEAR(a.Speed.x, -0.2f, 1e-6f);

    a = Ball(0, 0, 1, 0);  // no mass: no field felt
    ApplyField(a, b);
    EXPECT_EQ(a.Speed.x, 0.0f);

    // A rectangle pulls towards its lower-left corner, not its centre.
    Physics::OBJECT wall = Box(0, 10, 100, 100);
    wall.Field = 400;
    a = Ball(0, 0, 1, 1);
    ApplyField(a, wall);
    EXPECT_EQ(a.Speed.x, 0.0f);
    EXPECT_NEAR(a.Speed.y, 0.2f, 1e-6f);
}

TEST_F(PhysicsTest, CoincidentPositionsExertNoField)
{
    DeltaTime = 0.01f;
    Physics::OBJECT b = Ball(5, 5, 1);
    b.Field = 1e6f;
    Physics::OBJECT a = Ball(5, 5, 1, 1);
    a.Speed = {3, 4};
    ApplyField(a, b);
    EXPECT_EQ(a.Speed.x, 3.0f);
    EXPECT_EQ(a.Speed.y, 4.0f);

    // So close that the cube of the distance underflows.
    a.Position = {5 + 1e-20f, 5};
    ApplyField(a, b);
    EXPECT_EQ(a.Speed.x, 3.0f);

    // Two massive balls with fields dropped on the same spot stay finite.
    Objects[1] = Ball(0, 0, 10, 1);
    Objects[1].Field = 500;
    Objects[2] = Ball(0, 0, 10, 1);
    Objects[2].Field = 500;
    Objects[3] = Ball(0, 0, 10, 1);
    Physics::UnFreeze();
    for (int i = 0; i < 20; ++i) {
        Step(3);
    }
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(std::isfinite(Objects[i].Position.x) && std::isfinite(Objects[i].Position.y)) << i;
        EXPECT_TRUE(std::isfinite(Objects[i].Speed.x) && std::isfinite(Objects[i].Speed.y)) << i;
    }
}

TEST_F(PhysicsTest, HoldAndShoot)
{
    Objects[1] = Ball(-100, 50, 12, 2);
    Objects[1].Speed = {7, 7};
    Physics::HoldShip(Objects);
    EXPECT_EQ(Objects[1].Mass, 0.0f);
    EXPECT_EQ(Objects[1].Speed.x, 0.0f);
    EXPECT_EQ(Objects[1].Position.x, -100.0f);

    Physics::ShootShip(Objects, 250, 0);
    EXPECT_EQ(Objects[1].Speed.x, 250.0f);
    EXPECT_EQ(Objects[1].Speed.y, 0.0f);
    EXPECT_EQ(Objects[1].Mass, 2.0f);
    EXPECT_EQ(Count(SHOOT), 1);

    Physics::ShootShip(Objects, 250, std::numbers::pi_v<float> / 2);
    EXPECT_NEAR(Objects[1].Speed.x, 0.0f, 1e-4f);
    EXPECT_EQ(Objects[1].Speed.y, 250.0f);

    // Holding twice without a shot keeps a mass of 0 for the next launch.
    Physics::HoldShip(Objects);
    Physics::HoldShip(Objects);
    Physics::ShootShip(Objects, 10, 0);
    EXPECT_EQ(Objects[1].Mass, 0.0f);
}

TEST_F(PhysicsTest, ResetClearsBothFlags)
{
    GameOver = true;
    GameWon = true;
    Physics::Reset();
    EXPECT_FALSE(Physics::IsGameOver());
    EXPECT_FALSE(Physics::IsGameWon());
}

TEST_F(PhysicsTest, MotionAndFieldsInOneStep)
{
    Objects[0] = Ball(1000, 1000, 1);
    // A zero-mass body on a fixed course crosses an attracting planet's field unbent.
    Objects[1] = Ball(-100, 0, 5, 0);
    Objects[1].Speed = {100, 0};
    Objects[2] = Ball(0, 100, 10);
    Objects[2].Field = 1e5f;
    // A massive body feels the field, from the positions after the motion.
    Objects[3] = Ball(0, 50, 5, 1);
    Physics::UnFreeze();
    Step(3);
    EXPECT_NEAR(Objects[1].Position.x, -99.0f, 1e-4f);
    EXPECT_EQ(Objects[1].Speed.y, 0.0f);
    // 0.01 s * 1e5 / 50^2 = 0.4 towards the planet (+y).
    EXPECT_NEAR(Objects[3].Speed.y, 0.4f, 1e-5f);
    EXPECT_EQ(Objects[3].Position.y, 50.0f);
    for (int i = 0; i < 100; ++i) {
        Step(3);
    }
    EXPECT_EQ(Objects[1].Speed.x, 100.0f);
    EXPECT_EQ(Objects[1].Position.y, 0.0f);
}

TEST_F(PhysicsTest, HigherIndexIsTheBodyPushedOut)
{
    Objects[0] = Ball(1000, 1000, 1);
    Objects[1] = Ball(0, 0, 10, 1);   // the rocket
    Objects[2] = Ball(15, 0, 10, 1);  // an asteroid overlapping it
    Physics::UnFreeze();
    Step(2);
    EXPECT_EQ(Objects[1].Position.x, 0.0f);
    EXPECT_EQ(Objects[2].Position.x, 20.0f);
    EXPECT_EQ(Count(StandardSound::BOUNCE), 1);
}
