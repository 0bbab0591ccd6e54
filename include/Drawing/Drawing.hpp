// Scene rendering: the pictures of a level, one frame with its head-up display, the
// off-screen arrow, the aiming arrow and the end screen.
#pragma once

#include <cstdint>
#include <span>

#include "Level/Body.hpp"

namespace Drawing {

void LoadWindow();
// The pictures of a level: the background, the display and arrows, and each body's picture in
// the drawing's own table (one per body, loaded in table order). UnloadGraph releases them all.
void LoadGraph(const Level::ObjectTable& Objects, std::uint32_t N);
void UnloadGraph();
// For a level that changes while it is shown (the editor): every body gets the picture its
// role, kind and size call for, a picture already loaded for any body is used again, and the
// others are loaded. Between LoadGraph and UnloadGraph.
void RefreshPictures(const Level::ObjectTable& Objects, std::uint32_t N);

void Draw(const Level::ObjectTable& Objects, std::uint32_t N, std::uint32_t Level, std::uint32_t Score, float Angle,
          float Speed, float PreviousAngle, float PreviousSpeed);
void RestartRecordingPath();
void StopRecordingPath();
void ClearPath();

void SchermLevelGedaan(bool quit, bool win, std::int32_t YourScore, std::span<const std::int32_t> HighScores);
// The same for a game started at FirstLevel that does not enter the table (one chosen with
// --level): the screen says so. 0 is a whole game, as above.
void SchermLevelGedaan(bool quit, bool win, std::int32_t YourScore, std::span<const std::int32_t> HighScores,
                       std::uint32_t FirstLevel);
// Says on the end screen, below the table, that the score could not be saved.
void ScoreNotSaved();
// Writes a remark of the player's language on the end screen, below the table.
void EndScreenRemark(const char* text);
// The editor's play-test ends: a box over the end screen says how, and that Space goes back.
enum class TestResult : std::uint8_t { Won, Lost, Stopped };
void PlayTestEnd(TestResult result);

// Puts "Pauze" over the frame on the screen and shows it.
void DrawPaused();
// A short note at the top of the next `frames` frames that Draw makes (nullptr: none).
void ShowNote(const char* text, std::uint32_t frames);

// Called by Draw once the frame is drawn, before it is shown, so that the level editor can
// draw over it in the same frame. nullptr (as in the game): nothing.
using Overlay = void (*)();
void SetOverlay(Overlay overlay);

// Module initialiser: runs once.
void Init();

}  // namespace Drawing
