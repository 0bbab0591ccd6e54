// Inside of the Game module's file handling, open to the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "Game/Game.hpp"

namespace Game::detail {

// A level file's number: [spaces/tabs] [+|-] digits [. digits] [E [+|-] digits], and
// nothing after it. False (value untouched) when the text is not such a number.
bool ReadLevelNumber(std::string_view text, float& value);

// Longest line a level file may hold.
constexpr std::size_t MaxLineLength = 256;

// Opens path (links followed) for reading when it is a regular file. A FIFO, device or
// folder is never opened for reading, so nothing can block or stream without end; the
// check is made again on the open file in case the name changed in between. Null, with
// why in problem ("a FIFO, not a regular file", "Permission denied"), otherwise.
std::FILE* OpenRegularFile(const std::string& path, std::string& problem);

}  // namespace Game::detail
