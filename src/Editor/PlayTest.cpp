// The play-test: the level in the game's own loop, from the editor's aim.
#include <algorithm>

#include "EditorInternal.hpp"
#include "Game/Game.hpp"

namespace Editor {

void PlayTest(const Level& level, std::uint32_t number, float angle, float speed)
{
    Game::TestLevel test;
    test.level = Table(level);
    test.number = number;
    test.angle = angle;
    test.speed = speed;
    Game::PlayTestLevel(test);
}

}  // namespace Editor
