// The level files in the source tree, data/level-01.txt onwards up to the first gap.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::filesystem::path> ShippedLevelFiles()
{
    std::vector<std::filesystem::path> files;
    for (unsigned n = 1;; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "level-%02u.txt", n);
        const std::filesystem::path file = std::filesystem::path(KOR_DATA_DIR) / name;
        if (!std::filesystem::exists(file)) {
            return files;
        }
        files.push_back(file);
    }
}
