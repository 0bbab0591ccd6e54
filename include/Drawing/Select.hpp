// The level select's picture in the menu's 800 x 550 window: the sets in a column on the
// left, the chosen set's levels as small pictures of their start (drawn with the game's own
// pictures) with names and won marks, and the chosen level's name and hint below. What it
// shows comes in a plain struct; the front end owns the choosing. Its places are here too,
// so that a click is found where the picture put things.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Level/Body.hpp"

namespace Drawing {

struct SelectLevel {
    std::uint32_t number = 0;
    std::string name;  // from the level's comments; may be empty
    std::string hint;
    bool won = false;
    bool readable = true;
    Level::Table table{};  // its bodies at the start
};

struct SelectPage {
    std::vector<std::string> sets;           // the sets' names, in the player's language where they are the game's
    std::uint32_t set = 0;                   // the chosen set
    std::uint32_t firstSet = 0;              // the first set row shown
    std::string about;                       // a line about the chosen set (its author, its own line)
    std::vector<const SelectLevel*> levels;  // the levels shown, row by row from firstRow
    std::uint32_t levelCount = 0;            // how many the set has
    std::uint32_t firstLevel = 0;            // index of levels[0] in the set
    std::uint32_t focus = 0;                 // index of the focused level in the set
    bool onSets = false;                     // the focus is in the set column
    std::string empty;                       // said where the levels would be when there are none
};

// The page, drawn into the back buffer and shown.
void DrawSelect(const SelectPage& page);
// The small pictures' bitmaps stay loaded between pages; this releases them.
void ReleaseSelectPictures();

// ---- Places ----
constexpr std::uint32_t SelectColumns = 4;
constexpr std::uint32_t SelectRows = 3;
constexpr std::uint32_t SelectSetRows = 16;
// The set row (firstSet-relative) or level cell (page-relative) under a point; -1 for none.
std::int32_t SelectSetRowAt(std::int32_t x, std::int32_t y);
std::int32_t SelectCellAt(std::int32_t x, std::int32_t y);

}  // namespace Drawing
