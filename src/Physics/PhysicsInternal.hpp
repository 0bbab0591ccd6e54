// Inside of the Physics module, shared by its source files and open to the tests.
#pragma once

#include "Physics/Physics.hpp"

namespace Physics::detail {

// The world behind the older face in Physics.hpp (its level is unused: the face steps the
// caller's table) and the clock reading of its last step.
World& Face();
std::uint32_t& FaceLastTime();
// The face's clock read into the face world's DeltaTime.
void RecalculateTime();

// Vector arithmetic the whole simulation is written in.
VECTOR NewVect();
VECTOR VectorNew(float x, float y);
VECTOR VectorSum(VECTOR a, VECTOR b);
VECTOR VectorDifference(VECTOR a, VECTOR b);
VECTOR VectorScale(float b, VECTOR a);
VECTOR VectorAbs(VECTOR a);
float VectorNorm(VECTOR a);

// One step of `w` over a table (w.level's or the face's caller's).
void StepTable(World& w, ObjectTable& Objects, std::uint32_t N, std::uint32_t ms);

// Step parts: they read w.DeltaTime and write w.GameOver and w.events.
void Movement(const World& w, OBJECT& A);
void ApplyField(const World& w, OBJECT& A, OBJECT B);  // A feels the field of B
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
