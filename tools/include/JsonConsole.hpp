// Tools that print JSON keep stdout for it alone: the game's loader and simulation speak
// on stdout, so their remarks are sent to stderr while the JSON goes to a copy of stdout.
#pragma once

#include <unistd.h>

#include <cstdio>

// The stream the tool's own results go to: stdout, or with json a copy of it while stdout
// itself goes to stderr. Null (after a message naming the tool) when no copy can be made.
inline std::FILE* ResultConsole(bool json, const char* tool)
{
    if (!json) return stdout;
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    std::FILE* console = saved >= 0 ? fdopen(saved, "w") : nullptr;
    if (console == nullptr) {
        std::perror(tool);
        return nullptr;
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return console;
}
