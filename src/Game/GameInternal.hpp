// Inside of the Game module's file handling, open to the tests. The level file's rules (its
// number grammar, its longest line) are the level's own: Level/File.hpp.
#pragma once

#include "Game/Game.hpp"
