// kor-levelcheck's pictures: the searched grid coloured by outcome, and the level with a
// few winning paths drawn over it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Physics/Physics.hpp"
#include "Search/Search.hpp"

namespace LevelPictures {

// Where the grid lies in the map: the cell of speed s and angle a covers columns
// left + s * cellWidth onwards and rows top + (angles - 1 - a) * cellHeight onwards.
struct MapLayout {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t cellWidth = 0;
    std::int32_t cellHeight = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
MapLayout Layout(const Search::Grid& grid);

// Cell colours, 0x00RRGGBB.
constexpr std::uint32_t WonBoth = 0x2FC040;
constexpr std::uint32_t WonOne = 0xE8C818;
constexpr std::uint32_t LostColour = 0xC82828;
constexpr std::uint32_t FlyingColour = 0x343C5C;

// One cell's colour from its outcomes under steps of 0.01 s and 0.02 s.
std::uint32_t CellColour(std::uint8_t fine, std::uint8_t coarse);

struct MapInput {
    std::string title;
    Search::Grid grid;
    const std::uint8_t* fine = nullptr;  // outcomes per shot, speed-major
    const std::uint8_t* coarse = nullptr;
    bool hasExample = false;
    Search::Example example;
};
bool WriteMap(const std::string& file, const MapInput& in, std::string& error);

// Up to `count` winning shots far apart: the example first, then the best-connected shot of
// each further winning band, the widest bands first.
std::vector<Search::Example> PickPaths(const std::vector<std::uint8_t>& both, const Search::Grid& grid,
                                       const Search::Example& example, std::size_t count);

struct PathsInput {
    Level::ObjectTable table{};  // the level as it is launched from
    std::uint32_t N = 0;
    std::uint32_t level = 1;
    Search::Grid grid;
    std::vector<Search::Example> shots;
};
// Needs the working directory to hold graphics/.
bool WritePaths(const std::string& file, const PathsInput& in, std::string& error);

}  // namespace LevelPictures
