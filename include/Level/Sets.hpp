// Level sets: folders of level files named as the game names them. The player's own sets
// live in the player's folder, apart from the installation, so an upgrade never touches them.
#pragma once

#include <string>

namespace Level {

// Where the player's own level sets live, one folder each: beside the player's other files,
// so a set is kept and found whatever folder the game is started from. Empty when the
// player's folder is unknown.
std::string PlayerSetsFolder();

// The player's own set ("My levels"): where the editor puts a new level, so it is played
// without any copying by hand. Empty when the player's folder is unknown.
std::string MyLevelsFolder();

}  // namespace Level
