// The flight the editor draws: the rocket launched as kor-sim launches it, stepped at the
// game's 10 ms in a world of its own.
#include "Editor/Editor.hpp"
#include "Physics/World.hpp"

namespace Editor {

Prediction Predict(const Level::File& level, float speed, float angle)
{
    Prediction p;
    if (level.sections.size() < 2) return p;  // no black hole or no rocket: nothing flies
    Physics::World world;
    world.level = Level::TableOf(level);
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

}  // namespace Editor
