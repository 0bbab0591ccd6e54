#include <algorithm>
#include <chrono>
#include <cmath>

#include "PhysicsInternal.hpp"

namespace Physics {

namespace {

// The older face's world, clock and listener (Physics.hpp).
World gFace;
std::uint32_t gLastTime = 0;
ClockFunction gClock = &SystemClock;
EventSink gSink = nullptr;
bool gInitialised = false;

void Tell(Event e)
{
    if (gSink != nullptr) {
        gSink(e);
    }
}

}  // namespace

namespace detail {

World& Face() { return gFace; }
std::uint32_t& FaceLastTime() { return gLastTime; }

namespace {

// Milliseconds since the face's last reading.
std::uint32_t ReadClock()
{
    // Unsigned difference: correct across the 32-bit wrap of a clock that never goes back.
    const std::uint32_t elapsed = gClock() - gLastTime;
    gLastTime = gClock();
    return elapsed;
}

}  // namespace

void RecalculateTime() { gFace.DeltaTime = static_cast<float>(ReadClock()) * 0.001f; }

void Movement(const World& w, OBJECT& A) { A.Position = VectorSum(A.Position, VectorScale(w.DeltaTime, A.Speed)); }

// Coincident positions (or positions so close that the cube of their distance
// underflows) would divide by zero here. Such a pair exerts no field in that step:
// A's speed is left as it was whenever the field step would not give a finite speed.
void ApplyField(const World& w, OBJECT& A, const OBJECT& B)
{
    if (A.Mass == 0.0f || B.Field == 0.0f) {
        return;
    }
    const VECTOR FieldVector = VectorDifference(B.Position, A.Position);
    const float Distance = VectorNorm(FieldVector);
    const float cube = Distance * Distance * Distance;
    if (!(cube > 0.0f)) {
        return;
    }
    const VECTOR speed = VectorSum(A.Speed, VectorScale(w.DeltaTime * B.Field / cube, FieldVector));
    if (!std::isfinite(speed.x) || !std::isfinite(speed.y)) {
        return;
    }
    A.Speed = speed;
}

bool CheckWin(OBJECT BlackHole, OBJECT Ball)
{
    const float distance = VectorNorm(VectorDifference(BlackHole.Position, Ball.Position));
    return distance < 0.75f * (Ball.Dimension.x + BlackHole.Dimension.x);
}

void StepTable(World& w, ObjectTable& Objects, std::uint32_t N, std::uint32_t ms)
{
    w.events.clear();
    w.DeltaTime = static_cast<float>(ms) * 0.001f;
    if (!w.Active || w.DeltaTime == 0.0f) {
        return;
    }
    // The table ends at index 100; a larger N must not walk past it.
    N = std::min<std::uint32_t>(N, TableLength - 1);

    for (std::uint32_t i = 1; i <= N; ++i) {
        Movement(w, Objects[i]);
        for (std::uint32_t j = i + 1; j <= N; ++j) {
            HandleCollision(w, Objects[j], Objects[i]);
        }
    }
    for (std::uint32_t i = 1; i <= N; ++i) {
        for (std::uint32_t j = i + 1; j <= N; ++j) {
            ApplyField(w, Objects[i], Objects[j]);
            ApplyField(w, Objects[j], Objects[i]);
        }
    }
    w.GameWon = CheckWin(Objects[0], Objects[1]);
    if (w.GameWon) {
        w.events.push_back(Event::Win);
    }
}

}  // namespace detail

using namespace detail;

// ---- the world as a value ----

const std::vector<Event>& Step(World& world, std::uint32_t ms)
{
    StepTable(world, world.level.Objects, world.level.N, ms);
    return world.events;
}

void Freeze(World& world) { world.Active = false; }
void Release(World& world) { world.Active = true; }

void Reset(World& world)
{
    world.GameOver = false;
    world.GameWon = false;
}

namespace {

void HoldTable(World& w, ObjectTable& Objects)
{
    w.ShipMass = Objects[1].Mass;
    Objects[1].Mass = 0.0f;
    Objects[1].Speed = NewVect();
}

void ShootTable(const World& w, ObjectTable& Objects, float Speed, float Angle)
{
    Objects[1].Speed.x = Speed * std::cos(Angle);
    Objects[1].Speed.y = Speed * std::sin(Angle);
    Objects[1].Mass = w.ShipMass;
}

}  // namespace

void Hold(World& world) { HoldTable(world, world.level.Objects); }
void Shoot(World& world, float speed, float angle) { ShootTable(world, world.level.Objects, speed, angle); }

// ---- the older face over one world ----

std::uint32_t SystemClock()
{
    // Monotonic, so it never jumps back (at midnight or when the wall clock is set);
    // cut to whole 10 ms so that a step is a multiple of 0.01 s as the game expects.
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    const auto ms = duration_cast<milliseconds>(steady_clock::now() - start).count();
    return static_cast<std::uint32_t>(ms / 10 * 10);
}

void SetClock(ClockFunction clock) { gClock = clock != nullptr ? clock : &SystemClock; }

void SetEventSink(EventSink sink) { gSink = sink; }

void Simulate(ObjectTable& Objects, std::uint32_t N)
{
    StepTable(gFace, Objects, N, ReadClock());
    for (const Event e : gFace.events) {
        Tell(e);
    }
}

void Freeze() { Freeze(gFace); }

void UnFreeze()
{
    Release(gFace);
    RecalculateTime();
}

void Reset() { Reset(gFace); }

bool IsGameOver() { return gFace.GameOver; }
bool IsGameWon() { return gFace.GameWon; }

void HoldShip(ObjectTable& Objects) { HoldTable(gFace, Objects); }

void ShootShip(ObjectTable& Objects, float Speed, float Angle)
{
    ShootTable(gFace, Objects, Speed, Angle);
    Tell(Event::Shoot);
}

void Init()
{
    if (gInitialised) {
        return;
    }
    gInitialised = true;
    Freeze();
    Reset();
}

}  // namespace Physics
