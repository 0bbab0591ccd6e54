// The editor's recent files: where they are kept, read back bounded (at most MostRecent
// paths, only absolute ones of printable text) and saved atomically, a list another editor
// saved meanwhile merged in and the player's comment lines kept.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Editor {

constexpr std::size_t MostRecent = 10;
constexpr std::size_t MostPath = 4096;  // PATH_MAX: a longer name is no file
constexpr std::size_t RecentBytes =
    MostRecent * (MostPath + 1) + 4096;  // and room for comments: a longer list is not read

// No control characters: a line the status line, the list and a save can hold.
bool PrintableLine(const std::string& line);

// $XDG_DATA_HOME/kor-dudurad/editor-recent.txt; empty where there is no player folder.
std::string RecentFile();
std::vector<std::string> ReadRecent(const std::string& file);
// Puts newest first in list and saves it (false, list still changed, when it is not kept).
bool SaveRecent(const std::string& file, const std::string& newest, std::vector<std::string>& list);

}  // namespace Editor
