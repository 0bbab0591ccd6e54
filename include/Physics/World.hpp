// The simulation as a value: a World holds one level's bodies and everything a step needs,
// so any number of worlds can be stepped side by side, on any threads, one thread per world.
// A step reads no clock and plays no sound: it takes the time to cover and returns what
// happened, and the caller decides what to do with it.
//
// How to use it:
//     Physics::World world;
//     world.level = table;                 // a Level::Table, e.g. from Game::LoadLevelFile
//     Physics::Hold(world);                // the rocket waits on its pad, as while aiming
//     Physics::Release(world);             // steps move the bodies from now on
//     Physics::Shoot(world, 250.0f, 0.3f); // launch: speed and angle (radians)
//     for (;;) {
//         for (Physics::Event e : Physics::Step(world, 10)) { ... }   // 10 ms of game time
//         if (world.GameWon || world.GameOver) break;                 // won counts first
//     }
// Copying a World copies the whole state: a copy steps on exactly as the original would.
// Physics.hpp keeps the game's older face (Simulate, HoldShip, ...) over one such world.
#pragma once

#include <cstdint>
#include <vector>

#include "Level/Body.hpp"

namespace Physics {

// The simulation works on the level's bodies under the names it always gave them.
using Level::NewObj;
using Level::OBJECT;
using Level::ObjectTable;
using Level::SHAPE;
using Level::TableLength;
using Level::VECTOR;

// What happened in a step, in the order it happened. The values are those of the
// matching sound events (StandardSound::SHOOT ...), so a caller can play them as they are.
enum class Event : std::uint8_t { Shoot = 0, Bounce = 1, Crash = 2, Win = 3 };

struct World {
    Level::Table level;
    float DeltaTime = 0.0f;     // seconds of the last step
    bool GameWon = false;       // the last step that moved ended inside the black hole's pull
    bool GameOver = false;      // a deadly body was touched; stays until Reset
    bool Active = false;        // frozen while false: steps move nothing
    float ShipMass = 0.0f;      // the held rocket's mass, given back by the launch
    std::vector<Event> events;  // of the last step
};

// Moves the bodies by `ms` milliseconds: motion and collisions, then the fields, then the
// win test. A frozen world or a step of 0 ms changes nothing but DeltaTime. Returns the
// step's events (also in world.events), valid until the world's next step.
const std::vector<Event>& Step(World& world, std::uint32_t ms);

void Freeze(World& world);
void Release(World& world);  // unfrozen: the next step moves the bodies
void Reset(World& world);    // clears the won and lost flags
// The rocket (body 1) waits: speed 0 and mass 0 (no field or knock moves it), its mass kept.
void Hold(World& world);
// Launches the held rocket with its mass given back. Adds no event: the caller that shoots
// knows it did (the game plays Event::Shoot at once).
void Shoot(World& world, float speed, float angle);

}  // namespace Physics
