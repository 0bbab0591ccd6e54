// What both fuzz targets need: a private directory to work in, the input as a file in it,
// and a way to stop on a broken rule that libFuzzer treats as a crash.
#pragma once

#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The loaders read paths relative to the working directory, so the process moves once
// into a fresh directory under $TMPDIR (scripts/fuzz.sh points that at memory, which
// keeps the high-score save's fsync cheap) and removes it when it ends normally.
// libFuzzer reads its arguments after this, so the paths among them are made absolute
// first: inputs, corpus folders, the dictionary and where crashes go.
inline void EnterPrivateDir(const char* name, int* argc, char*** argv)
{
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        std::size_t pathAt = std::string::npos;
        if (i > 0 && !arg.empty() && arg[0] != '-') {
            pathAt = 0;
        }
        for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path=", "-dict="}) {
            if (arg.rfind(flag, 0) == 0 && arg.size() > std::strlen(flag)) {
                pathAt = std::strlen(flag);
            }
        }
        if (pathAt != std::string::npos) {
            arg = arg.substr(0, pathAt) + std::filesystem::absolute(arg.substr(pathAt)).string();
        }
        arguments.push_back(arg);
    }
    for (std::string& arg : arguments) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    *argv = pointers.data();

    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    static std::filesystem::path dir;
    dir = pattern;
    std::filesystem::current_path(dir);
    std::filesystem::create_directory("data");
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    });
    // The loaders' console messages would only slow the fuzzer down and bury its report.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("/dev/null");
    }
}

inline void WriteInput(const char* path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path);
        std::abort();
    }
}

inline std::string ReadBack(const char* path)
{
    std::string text;
    if (std::FILE* file = std::fopen(path, "rb")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    return text;
}

// A plain reading of a text's lines, a last one without its line end included.
inline std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    }
    return lines;
}

// A broken rule: say which, then abort so that libFuzzer keeps the input.
[[noreturn]] __attribute__((format(printf, 1, 2))) inline void Fail(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::fputs("==== broken rule: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputs("\n", stderr);
    va_end(args);
    std::abort();
}

}  // namespace fuzz
