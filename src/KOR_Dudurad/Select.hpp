// The level select and the other roads into a game besides "Start spel": a level file (an
// argument, --level FILE, or dropped on the window) and a level set given as one file.
#pragma once

#include <string>

#include "Game/Game.hpp"
#include "Level/Sets.hpp"

namespace KOR_Dudurad {

// The shipped set: the installation's level folder, which the game runs beside.
inline constexpr const char* ShippedSet = "data";

// A game from level `number` of a set that goes on through the set. The shipped set from
// its level 1 is exactly the menu's game (the game's table); another set from its first
// level enters the set's own table; any other start enters none and says so. Won levels
// are recorded in the set's progress.
Game::Setup SetGame(const Level::Set& set, std::uint32_t number);
// One level file, shown with the number its name carries (level-NN.txt) or 1; never in a table.
Game::Setup FileGame(const std::string& path);
// Whether a level file can be played: a regular file within the level's bound. False with why.
bool PlayableFile(const std::string& path, std::string& problem);

// Adds the set archive at `path` as a new set of the player's; its folder in `folder`.
// False after one console line when it is refused. (The archive's reader fills this in.)
bool ImportSetArchive(const std::string& path, std::string& folder);

// The level select in the open menu window, the set in `folder` chosen first (empty: the
// shipped one). True with the game in `setup` when a level (or a dropped level file) was
// chosen; false when the player went back to the menu or the window went away.
bool LevelSelect(Game::Setup& setup, const std::string& folder = {});

// A file dropped on the menu or the select: a level file to play (true, the game in
// `setup`), or a set archive to add (false, its new folder in `imported`). Refusals are one
// console line.
bool TakeDrop(Game::Setup& setup, std::string& imported);

}  // namespace KOR_Dudurad
