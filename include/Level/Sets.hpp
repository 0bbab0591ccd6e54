// Level sets: folders of level files named as the game names them (level-NN.txt), with an
// optional small set.txt that names the set. The shipped levels are one set (the
// installation's data/); the player's own sets live in the player's folder, apart from the
// installation, so an upgrade never touches them. Also a level's name and hint, read from
// its comments, and which levels of a set the player has won. No SDL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Level/File.hpp"

namespace Level {

// Where the player's own level sets live, one folder each: beside the player's other files,
// so a set is kept and found whatever folder the game is started from. Empty when the
// player's folder is unknown.
std::string PlayerSetsFolder();

// The player's own set ("My levels"): where the editor puts a new level, so it is played
// without any copying by hand. Empty when the player's folder is unknown.
std::string MyLevelsFolder();

// ---- The files a set folder holds besides its levels (the one list of them) ----
// The set's name, author and one line about it: "Name: ...", "Author: ...", "About: ...".
inline constexpr const char* SetInfoFile = "set.txt";
// The set's high-score table, in the format of data/highscores.dat (the player's own).
inline constexpr const char* SetScoresFile = "scores.dat";
// The numbers of the levels the player has won, one a line (the player's own).
inline constexpr const char* SetProgressFile = "progress.txt";
// The player's files in a set folder: what a set given to someone else leaves out.
inline constexpr const char* PlayerFilesOfASet[] = {SetScoresFile, SetProgressFile};

constexpr std::size_t MaxSetInfoBytes = 4096;
constexpr std::size_t MaxProgressBytes = 64 * 1024;
// The most levels a set lists, and the most sets listed.
constexpr std::size_t MaxSetLevels = 999;
constexpr std::size_t MaxSets = 200;
// Names, authors and lines are cut to this many bytes (at a character's start).
constexpr std::size_t MaxInfoText = 120;

struct SetInfo {
    std::string name;
    std::string author;
    std::string about;
};
// set.txt of a set folder; empty fields where it has none (a missing, unreadable or
// oversized file is one console line, except missing, and an empty info).
SetInfo ReadSetInfo(const std::string& folder);
SetInfo ParseSetInfo(std::string_view text);

struct Set {
    enum class Kind : std::uint8_t { Shipped, MyLevels, Player };
    Kind kind = Kind::Player;
    std::string folder;  // where its level files are
    SetInfo info;
    std::vector<std::uint32_t> levels;  // numbers of its level files, ascending
};
// The level numbers of the files level-NN.txt in a folder (regular files or links to them),
// ascending, at most MaxSetLevels.
std::vector<std::uint32_t> LevelsIn(const std::string& folder);
// The sets to choose from: the shipped one (`shipped`, e.g. "data"), My levels (even
// while it is empty), then the player's other sets by folder name.
std::vector<Set> ListSets(const std::string& shipped);

// ---- A level's name and hint, from its comments ----
// Comment lines anywhere in the file: "* Name: The long way round" and "* Hint: go left
// first". The first of each counts.
struct LevelInfo {
    std::string name;
    std::string hint;
};
LevelInfo InfoOf(const File& file);

// ---- Progress: the levels of a set that the player has won ----
// The file that records it: in the set's folder, and for the shipped set (whose folder is
// the installation's) in the player's folder, "shipped-progress.txt". Empty when unknown.
std::string ProgressFile(const Set& set);
// The level numbers it holds; a missing or damaged file is read as far as it goes.
std::vector<std::uint32_t> ReadProgress(const std::string& file);
// Adds level `number` to the file (under its folder's save lock, written whole with
// Files::Save, other lines kept). False after one console line when it could not be saved.
bool MarkWon(const std::string& file, std::uint32_t number);

}  // namespace Level
