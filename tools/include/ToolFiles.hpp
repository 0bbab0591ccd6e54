// What kor-sim and kor-levelcheck share about their files: a level argument named as what it
// is, and results that must have reached their reader before the tool says it succeeded.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

// Empty when `path` is a regular file (links followed); otherwise why it is no level file.
inline std::string LevelFileProblem(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR
                   ? "no such level file: " + path
                   : "cannot read the level file: " + path + ": " + std::strerror(errno);
    }
    if (S_ISREG(info.st_mode)) return {};
    const char* what = S_ISFIFO(info.st_mode)                           ? "a FIFO"
                       : S_ISDIR(info.st_mode)                          ? "a folder"
                       : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) ? "a device"
                       : S_ISSOCK(info.st_mode)                         ? "a socket"
                                                                        : "not a regular file";
    return "not a level file: " + path + " is " + what;
}

// A closed pipe on the output is a write error like any other, seen by EndOutput, rather
// than a signal that ends the tool before it can say so.
inline void WriteErrorsNotSignals() { std::signal(SIGPIPE, SIG_IGN); }

// The results written out: `status` when `out` (and stdout) took everything, else 3 after
// one line on stderr.
inline int EndOutput(std::FILE* out, const char* tool, int status)
{
    bool ok = true;
    int error = 0;
    for (std::FILE* f : {out, stdout}) {
        errno = 0;
        if (f != nullptr && (std::fflush(f) != 0 || std::ferror(f) != 0)) {
            ok = false;
            error = error != 0 ? error : errno;
        }
    }
    if (ok) return status;
    std::fprintf(stderr, "%s: the results could not be written: %s\n", tool,
                 error != 0 ? std::strerror(error) : "write error");
    return 3;
}
