// Level files as the game reads them, high scores and the game loop.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "Level/Body.hpp"
#include "Level/File.hpp"

namespace Game {

// What a load found (the game itself only prints the console lines).
using LevelReport = Level::Report;

// The level in "data/level-NN.txt".
Level::Table LoadLevel(std::uint32_t LevelNumber);
bool LevelExists(std::uint32_t LevelNumber);
// The same on any path (tools, tests), into `level`, with the game's console lines on stdout.
// A file that does not exist sets level.N to 0 and leaves the bodies as they were; one that
// cannot be read gives a blank black hole and rocket.
LevelReport LoadLevelFile(const char* path, Level::Table& level);

// The five best scores, "data/highscores.dat".
void LoadScores(std::span<std::int32_t> HighScores);
// The same in another file of that format (a level set's own table).
void LoadScores(std::span<std::int32_t> HighScores, const std::string& file);
void AddHighScore(std::span<std::int32_t> HighScores, std::int32_t NewScore);
// Saves the table and makes HighScores the table saved. When another program saved since
// this one's last LoadScores, the scores added to the table since that load are entered
// into the table on disk as it is now (read afresh under the folder's lock), so neither
// program's scores are lost; otherwise the table is written as it is. False, after one
// console line, when the table could not be saved (the file on disk is then as it was),
// also when another program's save held the folder for Files::LockWait.
bool SaveScores(std::span<std::int32_t> HighScores);
bool SaveScores(std::span<std::int32_t> HighScores, const std::string& file);

// ---- One game, as whoever starts it wants it played ----
// The menu, --level and the level editor's play-test each make a Setup and hand it to
// PlayGame, which plays it without knowing who asked. Each choice below is an enum that the
// loop handles in a switch without a default, so a new way of playing is a new value and a
// compile error at each place that must handle it.

// Where the levels come from.
struct Levels {
    enum class From : std::uint8_t {
        Folder,  // folder/level-NN.txt from `first` on, until a number has no file
        Memory,  // `table` alone, shown as level `first`
        File,    // the level file `file` alone, shown as level `first`
    };
    From from = From::Folder;
    std::string folder = "data";
    std::string file;
    std::uint32_t first = 1;
    Level::Table table{};
};

// The high-score table a finished game enters.
enum class ScoreTable : std::uint8_t {
    NoTable,  // none: the end screen shows the game's table as it is on disk
    Game,     // the game's own, data/highscores.dat
    Set,      // a level set's own, Setup::scoreFile
};

// What the end screen says besides the score and the table.
enum class EndRemark : std::uint8_t {
    NoRemark,
    NotInTable,  // "Vanaf level K: niet in de highscores", K the first level played
    LevelFile,   // one level file played: not in the high scores
    PlayTest,    // the editor's test: won or lost, and Space goes back to the editor
};

struct Setup {
    Levels levels;
    // The aim the first level starts with; every level after a won one starts at 0 and 150.
    float angle = 0.0f;
    float speed = 250.0f;
    ScoreTable table = ScoreTable::Game;
    EndRemark remark = EndRemark::NoRemark;
    // The table the end screen shows and a ScoreTable::Set game enters; empty: the game's own.
    std::string scoreFile;
    // Where each won level's number is recorded (Level::MarkWon); empty: nowhere.
    std::string progress;
};

// Plays one whole game as set up, until the end screen is left.
void PlayGame(const Setup& setup);
// A new game from level 1 that enters the table.
void PlayGame();
// The same from level FirstLevel on; a game not begun at level 1 does not enter the
// high-score table, and its end screen says so.
void PlayGame(std::uint32_t FirstLevel);
// The same, entering the table only when EntersTable: a game chosen with --level never
// does, not even from level 1.
void PlayGame(std::uint32_t FirstLevel, bool EntersTable);

// Called on the game's thread after M has switched the sound (muted: now off), so that
// the choice can be kept. nullptr removes it.
using SoundSwitched = void (*)(bool muted);
void SetSoundSwitchedHandler(SoundSwitched handler);
// PlayGame returns with its window still open, unless the player closed it with its close
// box (the game then ended as with Escape, score saved) or it could not be opened:
// Wimdows::WindowEnded() tells which, and the program should end then.

// Module initialiser: runs once.
void Init();

namespace detail {
// The level of the game under way, null between games: for the game's own thread (the
// frame hook of PlayGameTesting.hpp), not for tools.
const Level::Table* PlayedLevel();
}  // namespace detail

}  // namespace Game
