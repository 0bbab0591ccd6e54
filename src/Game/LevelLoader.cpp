// The game's own level files: data/level-NN.txt, read by the level's one reader with the
// game's console lines.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Game/Game.hpp"
#include "Level/File.hpp"

namespace Game {

Level::Table LoadLevel(std::uint32_t LevelNumber)
{
    Level::Table level;
    LoadLevelFile(Level::FileName(LevelNumber).c_str(), level);
    return level;
}

bool LevelExists(std::uint32_t LevelNumber)
{
    std::error_code ec;
    return std::filesystem::exists(Level::FileName(LevelNumber), ec);
}

LevelReport LoadLevelFile(const char* path, Level::Table& level)
{
    Level::File file;
    const LevelReport report = Level::Read(path != nullptr ? path : "", file, &Level::PrintNotes);
    if (!report.opened && report.failure == Level::Why::FileMissing) {
        level.N = 0;  // the bodies are left as they were
        return report;
    }
    Level::ToTable(file, level);  // fewer than two bodies (or none read): a blank black hole and rocket
    return report;
}

}  // namespace Game
