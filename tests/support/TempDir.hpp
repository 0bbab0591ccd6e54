// A fresh directory to work in for one test: the game reads and writes relative to the
// working directory, so the test moves there and back.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

struct ScopedWorkDir {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path dir;

    ScopedWorkDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kor-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        dir = pattern;
        std::filesystem::current_path(dir);
    }
    ~ScopedWorkDir()
    {
        std::filesystem::current_path(previous);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
