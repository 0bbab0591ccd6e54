// The play-test: the level in the game's own loop, from the editor's aim.
#include "EditorInternal.hpp"
#include "Game/Game.hpp"

namespace Editor {

void PlayTest(const Level& level, std::uint32_t number, float angle, float speed)
{
    (void)level;
    (void)number;
    (void)angle;
    (void)speed;
}

}  // namespace Editor
