// Runs a command line and collects its exit status and output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "TempDir.hpp"

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline ToolRun RunTool(const std::string& commandLine)
{
    const std::string errFile =
        (std::filesystem::temp_directory_path() / ("kor-levelcheck-stderr-" + std::to_string(::getpid()) + ".txt"))
            .string();
    ToolRun run;
    std::FILE* pipe = ::popen((commandLine + " 2>" + errFile).c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(errFile);
    std::remove(errFile.c_str());
    return run;
}
