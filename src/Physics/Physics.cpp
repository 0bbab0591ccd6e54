#include <algorithm>
#include <chrono>
#include <cmath>

#include "PhysicsInternal.hpp"
#include "StandardSound/StandardSound.hpp"

namespace Physics {

namespace {

ClockFunction gClock = &SystemClock;
bool gInitialised = false;

}  // namespace

namespace detail {

std::uint32_t LastTime = 0;
float DeltaTime = 0.0f;
bool GameWon = false;
bool GameOver = false;
bool Active = false;
float ShipMass = 0.0f;

VECTOR NewVect() { return VECTOR{0.0f, 0.0f}; }
VECTOR VectorNew(float x, float y) { return VECTOR{x, y}; }
VECTOR VectorSum(VECTOR a, VECTOR b) { return VECTOR{a.x + b.x, a.y + b.y}; }
VECTOR VectorDifference(VECTOR a, VECTOR b) { return VECTOR{a.x - b.x, a.y - b.y}; }
VECTOR VectorScale(float b, VECTOR a) { return VECTOR{a.x * b, a.y * b}; }
// Clearing the sign bit turns -0 into +0 as well.
VECTOR VectorAbs(VECTOR a) { return VECTOR{std::fabs(a.x), std::fabs(a.y)}; }
float VectorNorm(VECTOR a) { return std::sqrt(a.x * a.x + a.y * a.y); }

void RecalculateTime()
{
    // Unsigned difference: correct across the 32-bit wrap of a clock that never goes back.
    const std::uint32_t elapsed = gClock() - LastTime;
    DeltaTime = static_cast<float>(elapsed) * 0.001f;
    LastTime = gClock();
}

void Movement(OBJECT& A) { A.Position = VectorSum(A.Position, VectorScale(DeltaTime, A.Speed)); }

// Coincident positions (or positions so close that the cube of their distance
// underflows) would divide by zero here. Such a pair exerts no field in that step:
// A's speed is left as it was whenever the field step would not give a finite speed.
void ApplyField(OBJECT& A, OBJECT B)
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
    const VECTOR speed = VectorSum(A.Speed, VectorScale(DeltaTime * B.Field / cube, FieldVector));
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

}  // namespace detail

using namespace detail;

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

std::uint32_t Now() { return gClock(); }

void Simulate(ObjectTable& Objects, std::uint32_t N)
{
    RecalculateTime();
    if (!Active || DeltaTime == 0.0f) {
        return;
    }
    // The table ends at index 100; a larger N must not walk past it.
    N = std::min<std::uint32_t>(N, TableLength - 1);

    for (std::uint32_t i = 1; i <= N; ++i) {
        Movement(Objects[i]);
        for (std::uint32_t j = i + 1; j <= N; ++j) {
            HandleCollision(Objects[j], Objects[i]);
        }
    }
    for (std::uint32_t i = 1; i <= N; ++i) {
        for (std::uint32_t j = i + 1; j <= N; ++j) {
            ApplyField(Objects[i], Objects[j]);
            ApplyField(Objects[j], Objects[i]);
        }
    }
    GameWon = CheckWin(Objects[0], Objects[1]);
    if (GameWon) {
        StandardSound::PlaySoundEvent(StandardSound::WIN);
    }
}

void Freeze() { Active = false; }

void UnFreeze()
{
    Active = true;
    RecalculateTime();
}

void Reset()
{
    GameOver = false;
    GameWon = false;
}

bool IsGameOver() { return GameOver; }
bool IsGameWon() { return GameWon; }

void HoldShip(ObjectTable& Objects)
{
    ShipMass = Objects[1].Mass;
    Objects[1].Mass = 0.0f;
    Objects[1].Speed = NewVect();
}

void ShootShip(ObjectTable& Objects, float Speed, float Angle)
{
    Objects[1].Speed.x = Speed * std::cos(Angle);
    Objects[1].Speed.y = Speed * std::sin(Angle);
    Objects[1].Mass = ShipMass;
    StandardSound::PlaySoundEvent(StandardSound::SHOOT);
}

void Init()
{
    if (gInitialised) {
        return;
    }
    gInitialised = true;
    StandardSound::Init();  // plays the start-up sound first
    Freeze();
    Reset();
}

}  // namespace Physics
