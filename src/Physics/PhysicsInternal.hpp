// Inside of the Physics module, shared by its source files and open to the tests.
#pragma once

#include <cmath>

#include "Physics/Physics.hpp"

namespace Physics::detail {

// The world behind the older face in Physics.hpp (its level is unused: the face steps the
// caller's table) and the clock reading of its last step.
World& Face();
std::uint32_t& FaceLastTime();
// The face's clock read into the face world's DeltaTime.
void RecalculateTime();

// Vector arithmetic the whole simulation is written in; here, so that the collisions' file
// gets them inlined as well (the searches step millions of times).
inline VECTOR NewVect() { return VECTOR{0.0f, 0.0f}; }
inline VECTOR VectorNew(float x, float y) { return VECTOR{x, y}; }
inline VECTOR VectorSum(VECTOR a, VECTOR b) { return VECTOR{a.x + b.x, a.y + b.y}; }
inline VECTOR VectorDifference(VECTOR a, VECTOR b) { return VECTOR{a.x - b.x, a.y - b.y}; }
inline VECTOR VectorScale(float b, VECTOR a) { return VECTOR{a.x * b, a.y * b}; }
// Clearing the sign bit turns -0 into +0 as well.
inline VECTOR VectorAbs(VECTOR a) { return VECTOR{std::fabs(a.x), std::fabs(a.y)}; }
inline float VectorNorm(VECTOR a) { return std::sqrt(a.x * a.x + a.y * a.y); }

// One step of `w` over a table (w.level's or the face's caller's).
void StepTable(World& w, ObjectTable& Objects, std::uint32_t N, std::uint32_t ms);

// Step parts: they read w.DeltaTime and write w.GameOver and w.events.
void Movement(const World& w, OBJECT& A);
void ApplyField(const World& w, OBJECT& A, const OBJECT& B);  // A feels the field of B
bool CheckWin(OBJECT BlackHole, OBJECT Ball);

// Collisions.
void HandleCollision(World& w, OBJECT& A, OBJECT& B);
void Collide(OBJECT& A, OBJECT& B, VECTOR CollisionVector);
VECTOR Project(VECTOR Vector, VECTOR Axis1, VECTOR Axis2);
float ScalarProduct(VECTOR a, VECTOR b);
VECTOR Assemble(VECTOR Projection, VECTOR Axis1, VECTOR Axis2);
float SpeedTransfer(float speed1, float mass1, float speed2, float mass2);

void HandleBallBallCollision(World& w, OBJECT& A, OBJECT& B);
void RewindBallBall(OBJECT& A, OBJECT& B);

void HandleBallRectangleCollision(World& w, OBJECT& Ball, OBJECT& Rectangle);
bool DoesBallRectangleCollide(OBJECT Ball, OBJECT Rectangle);

void HandleRectangleRectangleCollision(World& w, OBJECT& A, OBJECT& B);
bool DoRectanglesOverlap(OBJECT A, OBJECT B);
bool DoesRectangleHaveEdgesInsideRectangle(OBJECT A, OBJECT B);
bool IsPointInsideRectangle(VECTOR Point, OBJECT Rectangle);

// Both shape pairs have a rewind step of this name, each with its own rule.
namespace BallRectangle {
VECTOR RewindAndFindCollisionVector(const World& w, OBJECT& Ball, OBJECT& Rectangle);
}
namespace RectangleRectangle {
VECTOR RewindAndFindCollisionVector(const World& w, OBJECT& A, OBJECT& B);
}

}  // namespace Physics::detail
