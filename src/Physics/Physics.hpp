// Bodies of a level, their motion under fields, collisions, the win and loss rules
// and the simulation clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Physics {

struct VECTOR {
    float x;
    float y;
};

enum class SHAPE : std::uint8_t { Ball = 0, Rectangle = 1 };

struct OBJECT {
    SHAPE Type;
    VECTOR Dimension;  // ball: x is the radius; rectangle: width and height
    VECTOR Position;   // ball: centre; rectangle: lower-left corner
    VECTOR Speed;      // world units per second
    float Mass;        // 0: fields and collisions do not move the body
    float Field;       // > 0 attracts, < 0 repels
    bool GameOverOnCollision;
    std::uint32_t Image;  // bitmap handles, set by the drawing module
    std::uint32_t Mask;
};

// The object table: index 0 is the black hole, 1 the rocket, the rest follow.
constexpr std::size_t TableLength = 101;
using ObjectTable = std::array<OBJECT, TableLength>;

OBJECT NewObj();

// One simulation step over bodies 1..N (N at most 100).
void Simulate(ObjectTable& Objects, std::uint32_t N);
void Freeze();
void UnFreeze();
void Reset();
bool IsGameOver();
bool IsGameWon();
void HoldShip(ObjectTable& Objects);
void ShootShip(ObjectTable& Objects, float Speed, float Angle);

// The millisecond clock behind DeltaTime. The default is monotonic and advances in
// 10 ms steps; tests and tools install their own to set DeltaTime exactly.
using ClockFunction = std::uint32_t (*)();
std::uint32_t SystemClock();
void SetClock(ClockFunction clock);  // nullptr restores SystemClock
// The installed clock's time: the game's timing beyond the simulation goes by it as well.
std::uint32_t Now();

// Module initialiser: runs once (later calls do nothing).
void Init();

}  // namespace Physics
