// What kor-sim and kor-levelcheck share about their files: a level argument named as what it
// is, outputs that never write over an input or each other, and results that must have
// reached their reader before the tool says it succeeded.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

// A file named on the command line: what it is for ("the level file", "--png") and its name.
struct NamedFile {
    std::string role;
    std::string path;
};

namespace ToolFilesDetail {
// One file however it is named: an existing one by its device and inode (links followed,
// hard links alike), one not there yet by where a write would make it.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::filesystem::path where;
};

inline FileIdentity IdentityOf(const std::string& path)
{
    namespace fs = std::filesystem;
    FileIdentity id;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        id.exists = true;
        id.device = info.st_dev;
        id.inode = info.st_ino;
        return id;
    }
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {  // a link to a file not there yet
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    id.where = fs::weakly_canonical(p, ec);
    return id;
}

inline bool SameFile(const FileIdentity& a, const FileIdentity& b)
{
    if (a.exists != b.exists) return false;
    return a.exists ? a.device == b.device && a.inode == b.inode : a.where == b.where;
}
}  // namespace ToolFilesDetail

// Empty when every output is a file of its own; otherwise which output would write over an
// input or an earlier output ("--png is the same file as the level file: NAME"), for a
// usage error: the tool must not destroy what it reads, nor write two results into one file.
inline std::string SameFileProblem(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs)
{
    std::vector<std::pair<const NamedFile*, ToolFilesDetail::FileIdentity>> seen;
    for (const NamedFile& input : inputs) seen.emplace_back(&input, ToolFilesDetail::IdentityOf(input.path));
    for (const NamedFile& output : outputs) {
        const ToolFilesDetail::FileIdentity id = ToolFilesDetail::IdentityOf(output.path);
        for (const auto& [other, otherId] : seen) {
            if (ToolFilesDetail::SameFile(id, otherId)) {
                return output.role + " is the same file as " + other->role + ": " + output.path;
            }
        }
        seen.emplace_back(&output, id);
    }
    return {};
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
