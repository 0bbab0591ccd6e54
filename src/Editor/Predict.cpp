// The flight the editor draws: the rocket launched as kor-sim launches it, stepped at the
// game's 10 ms.
#include <algorithm>
#include <mutex>

#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Physics/Physics.hpp"

namespace Editor {

namespace {

// The simulation reads its time from this clock while a prediction runs.
std::uint32_t gNow = 0;
std::uint32_t PredictionClock() { return gNow; }

// The simulation is one module-wide state: one shot at a time.
std::mutex simulationLock;

}  // namespace

Prediction Predict(const Level& level, float speed, float angle)
{
    Prediction p;
    const std::uint32_t n = static_cast<std::uint32_t>(std::min(level.bodies.size(), MaxBodies)) - 1;
    Physics::ObjectTable table{};
    for (std::uint32_t i = 0; i <= n; ++i) table[i] = level.bodies[i].object;
    p.path.reserve(PredictSteps);
    std::lock_guard guard(simulationLock);
    Physics::SetClock(&PredictionClock);
    Physics::Reset();
    Physics::HoldShip(table);
    Physics::UnFreeze();
    Physics::ShootShip(table, speed, angle);
    for (std::uint32_t k = 0; k < PredictSteps; ++k) {
        gNow += PredictStepMs;
        Physics::Simulate(table, n);
        p.path.push_back(table[1].Position);
        // A step that ends both lost and won counts as won, as in the game.
        if (Physics::IsGameWon()) {
            p.ending = Ending::Won;
            break;
        }
        if (Physics::IsGameOver()) {
            p.ending = Ending::Crashed;
            break;
        }
    }
    Physics::Freeze();
    Physics::SetClock(nullptr);
    return p;
}

LevelCheck::Outcome RunOneShot(const Physics::ObjectTable& table, std::uint32_t n, std::uint32_t stepMs, float speed,
                               float angle)
{
    std::lock_guard guard(simulationLock);
    const LevelCheck::Outcome o = LevelCheck::RunShot(table, n, stepMs, speed, angle).outcome;
    Physics::Freeze();
    Physics::SetClock(nullptr);
    return o;
}

}  // namespace Editor
