// Inside of the Game module's file handling, open to the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Game/Game.hpp"

namespace Game::detail {

// A level file's number: [spaces/tabs] [+|-] digits [. digits] [E [+|-] digits], and
// nothing after it. False (value untouched) when the text is not such a number.
bool ReadLevelNumber(std::string_view text, float& value);

// Longest line a level file may hold.
constexpr std::size_t MaxLineLength = 256;

}  // namespace Game::detail
