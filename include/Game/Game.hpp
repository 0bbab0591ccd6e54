// Level files, high scores and the game loop.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "Physics/Object.hpp"

namespace Game {

// What a load found, for tools (the game itself only reads the console messages).
struct LevelReport {
    bool opened = false;         // the file existed and could be read
    std::uint32_t sections = 0;  // section heads seen, counting any beyond the table
    bool tooManySections = false;
    bool tooFewSections = false;
    std::uint32_t badLines = 0;  // lines reported as not understood
};

// The level in "data/level-NN.txt".
Physics::Level LoadLevel(std::uint32_t LevelNumber);
bool LevelExists(std::uint32_t LevelNumber);
// The same loader on any path (tools, tests), into `level`. A file that does not exist
// sets level.N to 0 and leaves the bodies as they were.
LevelReport LoadLevelFile(const char* path, Physics::Level& level);

// The five best scores, "data/highscores.dat".
void LoadScores(std::span<std::int32_t> HighScores);
void AddHighScore(std::span<std::int32_t> HighScores, std::int32_t NewScore);
// Saves the table and makes HighScores the table saved. When another program saved since
// this one's last LoadScores, the scores added to the table since that load are entered
// into the table on disk as it is now (read afresh under the folder's lock), so neither
// program's scores are lost; otherwise the table is written as it is. False, after one
// console line, when the table could not be saved (the file on disk is then as it was),
// also when another program's save held the folder for Files::LockWait.
bool SaveScores(std::span<std::int32_t> HighScores);

// Plays one whole game from level 1 until the end screen is left.
void PlayGame();
// The same from level FirstLevel on; a game not begun at level 1 does not enter the
// high-score table, and its end screen says so.
void PlayGame(std::uint32_t FirstLevel);
// The same, entering the table only when EntersTable: a game chosen with --level never
// does, not even from level 1.
void PlayGame(std::uint32_t FirstLevel, bool EntersTable);
// The level editor's play-test: PlayGame on one level held in memory, shown as level
// `number`, from the aim given; the game never enters the high-score table.
struct TestLevel {
    Physics::Level level;
    std::uint32_t number = 1;
    float angle = 0.0f;
    float speed = 250.0f;
};
void PlayTestLevel(const TestLevel& level);
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
// "data/level-NN.txt": at least two digits (the front end names the file in its messages).
std::string LevelFileName(std::uint32_t LevelNumber);
// The level of the game under way, null between games: for the game's own thread (the
// frame hook of PlayGameTesting.hpp), not for tools.
const Physics::Level* PlayedLevel();
}  // namespace detail

}  // namespace Game
