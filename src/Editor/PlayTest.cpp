// The play-test: the level in the game's own loop, from the editor's aim.
#include <algorithm>

#include "EditorInternal.hpp"
#include "Game/Game.hpp"

namespace Editor {

void PlayTest(const Level& level, std::uint32_t number, float angle, float speed)
{
    Game::TestLevel test;
    test.n = static_cast<std::uint32_t>(std::min(level.bodies.size(), MaxBodies)) - 1;
    for (std::uint32_t i = 0; i <= test.n; ++i) test.objects[i] = level.bodies[i].object;
    test.number = number;
    test.angle = angle;
    test.speed = speed;
    Game::PlayTestLevel(test);
}

}  // namespace Editor
