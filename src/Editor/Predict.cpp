// The flight the editor draws: the rocket launched as kor-sim launches it, stepped at the
// game's 10 ms in a world of its own.
#include <algorithm>

#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "Physics/World.hpp"

namespace Editor {

Physics::Level Table(const Level& level)
{
    Physics::Level table;
    table.N = static_cast<std::uint32_t>(std::min(level.bodies.size(), MaxBodies)) - 1;
    for (std::uint32_t i = 0; i <= table.N; ++i) table.Objects[i] = level.bodies[i].object;
    return table;
}

Prediction Predict(const Level& level, float speed, float angle)
{
    Prediction p;
    Physics::World world;
    world.level = Table(level);
    Physics::Hold(world);
    Physics::Release(world);
    Physics::Shoot(world, speed, angle);
    p.path.reserve(PredictSteps);
    for (std::uint32_t k = 0; k < PredictSteps; ++k) {
        Physics::Step(world, PredictStepMs);
        p.path.push_back(world.level.Objects[1].Position);
        // A step that ends both lost and won counts as won, as in the game.
        if (world.GameWon) {
            p.ending = Ending::Won;
            break;
        }
        if (world.GameOver) {
            p.ending = Ending::Crashed;
            break;
        }
    }
    return p;
}

LevelCheck::Outcome RunOneShot(const Physics::Level& level, std::uint32_t stepMs, float speed, float angle,
                               const std::atomic<bool>* cancel)
{
    return LevelCheck::RunShot(level.Objects, level.N, stepMs, speed, angle, true, nullptr, cancel).outcome;
}

}  // namespace Editor
