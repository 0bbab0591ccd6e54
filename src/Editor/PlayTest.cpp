// The play-test: the level in memory played in the game's own loop, from the editor's aim.
// Its end screen says whether the test was won, and Space goes back to the editor.
#include <algorithm>

#include "EditorInternal.hpp"
#include "Game/Game.hpp"

namespace Editor {

Game::Setup PlayTestSetup(const Level::File& level, std::uint32_t number, float angle, float speed)
{
    Game::Setup setup;
    setup.levels.from = Game::Levels::From::Memory;
    setup.levels.table = Level::TableOf(level);
    setup.levels.first = std::max<std::uint32_t>(number, 1);  // the game counts levels from 1
    setup.angle = angle;
    setup.speed = speed;
    setup.table = Game::ScoreTable::NoTable;
    setup.remark = Game::EndRemark::PlayTest;
    return setup;
}

}  // namespace Editor
