// Collision detection and response for every pair of shapes.
#include <cmath>
#include <cstdio>

#include "PhysicsInternal.hpp"

namespace Physics::detail {

namespace {

// Loss test and event, the last part of every shape-pair handler.
void CollisionOutcome(World& w, const OBJECT& A, const OBJECT& B)
{
    if (A.GameOverOnCollision || B.GameOverOnCollision) {
        w.GameOver = true;
        w.events.push_back(Event::Crash);
    } else {
        w.events.push_back(Event::Bounce);
    }
}

// A unit vector along a, or nothing usable when a is too short to be scaled to unit
// length (zero, or so small that 1 / length is infinite).
bool UnitVector(VECTOR a, float length, VECTOR& unit)
{
    if (!(length > 0.0f)) {
        return false;
    }
    const float inverse = 1.0f / length;
    if (!std::isfinite(inverse)) {
        return false;
    }
    unit = VectorScale(inverse, a);
    return true;
}

}  // namespace

float ScalarProduct(VECTOR a, VECTOR b) { return a.x * b.x + a.y * b.y; }

VECTOR Project(VECTOR Vector, VECTOR Axis1, VECTOR Axis2)
{
    return VectorNew(ScalarProduct(Vector, Axis1), ScalarProduct(Vector, Axis2));
}

VECTOR Assemble(VECTOR Projection, VECTOR Axis1, VECTOR Axis2)
{
    return VectorSum(VectorScale(Projection.x, Axis1), VectorScale(Projection.y, Axis2));
}

// One-dimensional exchange with restitution 0.8; a body of mass 0 reflects in full.
float SpeedTransfer(float speed1, float mass1, float speed2, float mass2)
{
    if (mass2 == 0.0f) {
        return -speed1;
    }
    return (speed1 * (mass1 - 0.8f * mass2) + 1.8f * mass2 * speed2) / (mass1 + mass2);
}

void Collide(OBJECT& A, OBJECT& B, VECTOR CollisionVector)
{
    const VECTOR Tangent = VectorNew(CollisionVector.y, -CollisionVector.x);
    VECTOR ProjectionA = Project(A.Speed, CollisionVector, Tangent);
    VECTOR ProjectionB = Project(B.Speed, CollisionVector, Tangent);
    const float Temp = ProjectionA.x;
    ProjectionA.x = SpeedTransfer(Temp, A.Mass, ProjectionB.x, B.Mass);
    ProjectionB.x = SpeedTransfer(ProjectionB.x, B.Mass, Temp, A.Mass);
    if (A.Mass != 0.0f) {
        A.Speed = Assemble(ProjectionA, CollisionVector, Tangent);
    }
    if (B.Mass != 0.0f) {
        B.Speed = Assemble(ProjectionB, CollisionVector, Tangent);
    }
}

void HandleCollision(World& w, OBJECT& A, OBJECT& B)
{
    if (A.Mass == 0.0f && B.Mass == 0.0f) {
        return;
    }
    // Every pair of shapes has its handler; a ball and a rectangle go to theirs in that order.
    switch (A.Type) {
        case SHAPE::Ball:
            switch (B.Type) {
                case SHAPE::Ball:
                    HandleBallBallCollision(w, A, B);
                    return;
                case SHAPE::Rectangle:
                    HandleBallRectangleCollision(w, A, B);
                    return;
            }
            return;
        case SHAPE::Rectangle:
            switch (B.Type) {
                case SHAPE::Ball:
                    HandleBallRectangleCollision(w, B, A);
                    return;
                case SHAPE::Rectangle:
                    HandleRectangleRectangleCollision(w, A, B);
                    return;
            }
            return;
    }
}

// ---- ball and ball ----
//
// Coincident centres give no line of centres. Such a pair (or one whose centres are so
// close that the direction cannot be scaled to unit length) is separated and bounced
// along +x: the collision vector is (1, 0), and the push-out leaves A on the +x side
// of B, so no NaN or infinity ever reaches a position or a speed.

void HandleBallBallCollision(World& w, OBJECT& A, OBJECT& B)
{
    VECTOR CollisionVector = VectorDifference(A.Position, B.Position);
    const float Distance = VectorNorm(CollisionVector);
    if (A.Dimension.x + B.Dimension.x < Distance) {
        return;
    }
    if (!UnitVector(CollisionVector, Distance, CollisionVector)) {
        CollisionVector = VectorNew(1.0f, 0.0f);
    }
    RewindBallBall(A, B);
    Collide(A, B, CollisionVector);
    CollisionOutcome(w, A, B);
}

void RewindBallBall(OBJECT& A, OBJECT& B)
{
    VECTOR AB = VectorDifference(B.Position, A.Position);
    float Distance = VectorNorm(AB);
    if (A.Dimension.x + B.Dimension.x <= Distance) {
        return;
    }
    if (!UnitVector(AB, Distance, AB)) {
        AB = VectorNew(-1.0f, 0.0f);  // coincident: B lies on A's -x side
    }
    Distance = (B.Dimension.x + A.Dimension.x) - Distance;
    if (A.Mass != 0.0f) {
        A.Position = VectorDifference(A.Position, VectorScale(Distance, AB));
    } else if (B.Mass != 0.0f) {
        B.Position = VectorSum(B.Position, VectorScale(Distance, AB));
    }
}

// ---- ball and rectangle ----

bool DoesBallRectangleCollide(OBJECT Ball, OBJECT Rectangle)
{
    const float r = Ball.Dimension.x;
    const VECTOR half = VectorScale(0.5f, Rectangle.Dimension);
    const VECTOR BallDistance = VectorAbs(VectorDifference(VectorDifference(Ball.Position, Rectangle.Position), half));
    if (BallDistance.x > r + half.x) {
        return false;
    }
    if (BallDistance.y > r + half.y) {
        return false;
    }
    if (BallDistance.x <= half.x) {
        return true;
    }
    if (BallDistance.y <= half.y) {
        return true;
    }
    return VectorNorm(VectorDifference(BallDistance, half)) <= r;
}

namespace BallRectangle {

VECTOR RewindAndFindCollisionVector(const World& w, OBJECT& Ball, OBJECT& Rectangle)
{
    const float r = Ball.Dimension.x;
    const VECTOR TotalSpeed = VectorDifference(Ball.Speed, Rectangle.Speed);
    VECTOR TimeSinceCollision = VectorNew(w.DeltaTime, w.DeltaTime);
    {
        const float bx = Ball.Position.x;
        const float left = Rectangle.Position.x;
        const float right = left + Rectangle.Dimension.x;
        if (TotalSpeed.x > 0.0f) {
            TimeSinceCollision.x = (r + bx - left) / TotalSpeed.x;
        } else if (TotalSpeed.x < 0.0f) {
            TimeSinceCollision.x = ((bx - r) - right) / TotalSpeed.x;
        }
        const float by = Ball.Position.y;
        const float low = Rectangle.Position.y;
        const float high = low + Rectangle.Dimension.y;
        if (TotalSpeed.y > 0.0f) {
            TimeSinceCollision.y = (r + by - low) / TotalSpeed.y;
        } else if (TotalSpeed.y < 0.0f) {
            TimeSinceCollision.y = ((by - r) - high) / TotalSpeed.y;
        }
    }
    if (!((TotalSpeed.x != 0.0f && TimeSinceCollision.x >= 0.0f) ||
          (TotalSpeed.y != 0.0f && TimeSinceCollision.y >= 0.0f))) {
        std::fputs("[ERROR] (RewindAndFindCollisionVector) There shouldn't be a collision!\n", stdout);
        return VectorNew(1.0f, 0.0f);
    }

    float t;
    VECTOR Axis;
    if (TimeSinceCollision.y > TimeSinceCollision.x) {
        t = TimeSinceCollision.x;
        Axis = VectorNew(1.0f, 0.0f);
    } else {
        t = TimeSinceCollision.y;
        Axis = VectorNew(0.0f, 1.0f);
    }
    Ball.Position = VectorDifference(Ball.Position, VectorScale(t, Ball.Speed));
    Rectangle.Position = VectorDifference(Rectangle.Position, VectorScale(t, Rectangle.Speed));

    const float bx = Ball.Position.x;
    const float by = Ball.Position.y;
    const float left = Rectangle.Position.x;
    const float right = left + Rectangle.Dimension.x;
    const float low = Rectangle.Position.y;
    const float high = low + Rectangle.Dimension.y;
    VECTOR CollisionVector = Axis;
    if (left > bx && high < by) {
        CollisionVector = VectorNew(bx - left, by - high);
    }
    if (right < bx && low > by) {
        CollisionVector = VectorNew(bx - right, by - low);
    }
    if (right < bx && high < by) {
        CollisionVector = VectorNew(bx - right, by - high);
    }
    if (bx < left && low > by) {
        CollisionVector = VectorNew(bx - left, by - low);
    }
    VECTOR unit;
    if (!UnitVector(CollisionVector, VectorNorm(CollisionVector), unit)) {
        return Axis;  // a corner vector too short to scale: the side's normal serves
    }
    return unit;
}

}  // namespace BallRectangle

void HandleBallRectangleCollision(World& w, OBJECT& Ball, OBJECT& Rectangle)
{
    if (!DoesBallRectangleCollide(Ball, Rectangle)) {
        return;
    }
    const VECTOR CollisionVector = BallRectangle::RewindAndFindCollisionVector(w, Ball, Rectangle);
    Collide(Ball, Rectangle, CollisionVector);
    CollisionOutcome(w, Ball, Rectangle);
}

// ---- rectangle and rectangle ----

bool IsPointInsideRectangle(VECTOR Point, OBJECT Rectangle)
{
    return Rectangle.Position.x <= Point.x && Point.x <= Rectangle.Position.x + Rectangle.Dimension.x &&
           Rectangle.Position.y <= Point.y && Point.y <= Rectangle.Position.y + Rectangle.Dimension.y;
}

bool DoesRectangleHaveEdgesInsideRectangle(OBJECT A, OBJECT B)
{
    const float x = A.Position.x;
    const float y = A.Position.y;
    const float w = A.Dimension.x;
    const float h = A.Dimension.y;
    return IsPointInsideRectangle(VectorNew(x, y), B) || IsPointInsideRectangle(VectorNew(x + w, y), B) ||
           IsPointInsideRectangle(VectorNew(x + w, y + h), B) || IsPointInsideRectangle(VectorNew(x, y + h), B);
}

bool DoRectanglesOverlap(OBJECT A, OBJECT B)
{
    return DoesRectangleHaveEdgesInsideRectangle(A, B) || DoesRectangleHaveEdgesInsideRectangle(B, A);
}

namespace RectangleRectangle {

VECTOR RewindAndFindCollisionVector(const World& w, OBJECT& A, OBJECT& B)
{
    const VECTOR TotalSpeed = VectorDifference(A.Speed, B.Speed);
    VECTOR TimeSinceCollision = VectorNew(w.DeltaTime, w.DeltaTime);
    if (TotalSpeed.x > 0.0f) {
        TimeSinceCollision.x = (A.Dimension.x + A.Position.x - B.Position.x) / TotalSpeed.x;
    } else if (TotalSpeed.x < 0.0f) {
        TimeSinceCollision.x = (A.Position.x - (B.Dimension.x + B.Position.x)) / TotalSpeed.x;
    }
    if (TotalSpeed.y > 0.0f) {
        TimeSinceCollision.y = (A.Dimension.y + A.Position.y - B.Position.y) / TotalSpeed.y;
    } else if (TotalSpeed.y < 0.0f) {
        TimeSinceCollision.y = (A.Position.y - (B.Dimension.y + B.Position.y)) / TotalSpeed.y;
    }
    if (!((TotalSpeed.x != 0.0f && TimeSinceCollision.x >= 0.0f) ||
          (TotalSpeed.y != 0.0f && TimeSinceCollision.y >= 0.0f))) {
        // Without a line end: the next console output continues on the same line.
        std::fputs("[ERROR] (RewindAndFindCollisionVector) There shouldn't be a collision!", stdout);
        return VectorNew(1.0f, 0.0f);
    }
    float t;
    VECTOR result;
    if (TimeSinceCollision.y > TimeSinceCollision.x) {
        t = TimeSinceCollision.x;
        result = VectorNew(1.0f, 0.0f);
    } else {
        t = TimeSinceCollision.y;
        result = VectorNew(0.0f, 1.0f);
    }
    A.Position = VectorDifference(A.Position, VectorScale(t, A.Speed));
    B.Position = VectorDifference(B.Position, VectorScale(t, B.Speed));
    return result;
}

}  // namespace RectangleRectangle

void HandleRectangleRectangleCollision(World& w, OBJECT& A, OBJECT& B)
{
    if (!DoRectanglesOverlap(A, B)) {
        return;
    }
    const VECTOR CollisionVector = RectangleRectangle::RewindAndFindCollisionVector(w, A, B);
    Collide(A, B, CollisionVector);
    CollisionOutcome(w, A, B);
}

}  // namespace Physics::detail
