// Bodies of a level, their motion under fields, collisions, the win and loss rules
// and the simulation clock.
//
// The functions below are the game's older face over one World (World.hpp) that works on a
// table the caller keeps; they behave as they always have, the clock read at each step. New
// code steps a World of its own.
#pragma once

#include <cstdint>

#include "Physics/World.hpp"

namespace Physics {

// One simulation step over bodies 1..N (N at most 100), as long as the clock moved since
// the last one.
void Simulate(ObjectTable& Objects, std::uint32_t N);
void Freeze();
void UnFreeze();
void Reset();
bool IsGameOver();
bool IsGameWon();
void HoldShip(ObjectTable& Objects);
void ShootShip(ObjectTable& Objects, float Speed, float Angle);

// The face's events (those of Simulate and ShootShip) go to this function as they happen;
// the game installs one that plays them. nullptr: nobody hears them.
using EventSink = void (*)(Event e);
void SetEventSink(EventSink sink);

// The millisecond clock behind the face's DeltaTime. The default, SystemClock, is monotonic
// and advances in 10 ms steps (the game's own frame clock reads it too); tests and tools
// install their own to set DeltaTime exactly.
using ClockFunction = std::uint32_t (*)();
std::uint32_t SystemClock();
void SetClock(ClockFunction clock);  // nullptr restores SystemClock

// Module initialiser: runs once (later calls do nothing).
void Init();

}  // namespace Physics
