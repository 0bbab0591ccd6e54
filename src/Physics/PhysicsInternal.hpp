// Inside of the Physics module, shared by its source files and open to the tests.
#pragma once

#include "Physics/Physics.hpp"

namespace Physics::detail {

// Module state (zero at start-up).
extern std::uint32_t LastTime;
extern float DeltaTime;  // seconds of the current step
extern bool GameWon;
extern bool GameOver;
extern bool Active;
extern float ShipMass;

// Vector arithmetic the whole simulation is written in.
VECTOR NewVect();
VECTOR VectorNew(float x, float y);
VECTOR VectorSum(VECTOR a, VECTOR b);
VECTOR VectorDifference(VECTOR a, VECTOR b);
VECTOR VectorScale(float b, VECTOR a);
VECTOR VectorAbs(VECTOR a);
float VectorNorm(VECTOR a);

// Step parts.
void RecalculateTime();
void Movement(OBJECT& A);
void ApplyField(OBJECT& A, OBJECT B);  // A feels the field of B
bool CheckWin(OBJECT BlackHole, OBJECT Ball);

// Collisions.
void HandleCollision(OBJECT& A, OBJECT& B);
void Collide(OBJECT& A, OBJECT& B, VECTOR CollisionVector);
VECTOR Project(VECTOR Vector, VECTOR Axis1, VECTOR Axis2);
float ScalarProduct(VECTOR a, VECTOR b);
VECTOR Assemble(VECTOR Projection, VECTOR Axis1, VECTOR Axis2);
float SpeedTransfer(float speed1, float mass1, float speed2, float mass2);

void HandleBallBallCollision(OBJECT& A, OBJECT& B);
void RewindBallBall(OBJECT& A, OBJECT& B);

void HandleBallRectangleCollision(OBJECT& Ball, OBJECT& Rectangle);
bool DoesBallRectangleCollide(OBJECT Ball, OBJECT Rectangle);

void HandleRectangleRectangleCollision(OBJECT& A, OBJECT& B);
bool DoRectanglesOverlap(OBJECT A, OBJECT B);
bool DoesRectangleHaveEdgesInsideRectangle(OBJECT A, OBJECT B);
bool IsPointInsideRectangle(VECTOR Point, OBJECT Rectangle);

// Both shape pairs have a rewind step of this name, each with its own rule.
namespace BallRectangle {
VECTOR RewindAndFindCollisionVector(OBJECT& Ball, OBJECT& Rectangle);
}
namespace RectangleRectangle {
VECTOR RewindAndFindCollisionVector(OBJECT& A, OBJECT& B);
}

}  // namespace Physics::detail
