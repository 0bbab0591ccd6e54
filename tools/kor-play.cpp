// kor-play: one game in the game window from level 1, the way the front end will start it.
// Runs in the build tree, which holds data/, graphics/ and sounds/.
#include <cstdio>

#include "Game/Game.hpp"
#include "Wimdows/Wimdows.hpp"

int main()
{
    std::printf("The KOR Dudurad: Up/Down aim, Left/Right speed, Space fires, End restarts, Escape quits.\n");
    std::fflush(stdout);
    Game::Init();
    Game::PlayGame();
    if (Game::WindowClosed()) {
        std::printf("The game window was closed.\n");
    }
    Wimdows::KillWindow();
    return 0;
}
