#include "Files/Files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "Console/Console.hpp"

namespace Files {

namespace {

const char* NotRegular(mode_t mode)
{
    if (S_ISFIFO(mode)) return "a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
    if (S_ISDIR(mode)) return "a folder, not a regular file";
    return "not a regular file";
}

constexpr const char* TempMark = ".tmp-";

// "PID-N", both decimal, the PID of at most nine digits.
bool IsPidAndNumber(std::string_view rest, pid_t& pid)
{
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9 || dash + 1 == rest.size() ||
        rest.find_first_not_of("0123456789", dash + 1) != std::string_view::npos ||
        rest.find_first_not_of("0123456789") != dash) {
        return false;
    }
    pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
    return pid > 0;
}

// Removes what saves killed half-way (kill -9, a crash, a power cut) left beside target:
// "NAME.tmp-PID-N" files of processes that no longer run. A program saving right now keeps
// its file.
void RemoveStaleTemps(const std::string& target)
{
    const std::filesystem::path path(target);
    const std::string prefix = path.filename().string() + TempMark;
    const std::string folder = path.parent_path().empty() ? "." : path.parent_path().string();
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        pid_t pid = 0;
        if (name.rfind(prefix, 0) != 0 || !IsPidAndNumber(std::string_view(name).substr(prefix.size()), pid)) {
            continue;
        }
        struct stat info {};
        const std::string file = folder + "/" + name;
        if (::kill(pid, 0) != 0 && errno == ESRCH && ::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            ::unlink(file.c_str());
        }
    }
    ::closedir(dir);
}

// A new file beside target with a name no other save uses, so that two programs saving at
// once never write into the same file; made with the usual permissions, never through a link.
int CreateUnique(const std::string& target, std::string& name)
{
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        name = target + TempMark + std::to_string(::getpid()) + "-" + std::to_string((seed + attempt) % 1000000);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool Fail(SaveFailure& failure, SaveFailure::Step step, const std::string& file, int error)
{
    failure = SaveFailure{step, file, std::strerror(error)};
    return false;
}

// A file with other hard links is written in its place, since a rename would part it from
// them. One write from the start, then the old rest cut off.
bool SaveInPlace(const std::string& target, std::string_view bytes, SaveFailure& failure)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(failure, SaveFailure::Step::Write, target, errno);
    struct stat info {};
    bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (written) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), 0);
        if (n >= 0 && static_cast<std::size_t>(n) != bytes.size()) errno = ENOSPC;
        written = n == static_cast<ssize_t>(bytes.size()) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
                  ::fsync(fd) == 0;
    } else if (errno == 0) {
        errno = EINVAL;
    }
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        return Fail(failure, SaveFailure::Step::Write, target, written ? errno : error);
    }
    return true;
}

}  // namespace

int OpenRegular(const std::string& path, std::string& problem)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        problem = std::strerror(errno);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = NotRegular(info.st_mode);  // not even opened: a device may act on an open
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        problem = std::strerror(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = NotRegular(info.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}

std::FILE* OpenRegularFile(const std::string& path, std::string& problem)
{
    const int fd = OpenRegular(path, problem);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        problem = std::strerror(errno);
        ::close(fd);
    }
    return file;
}

ReadResult ReadBounded(const std::string& path, std::size_t maxBytes, std::string& text)
{
    text.clear();
    ReadResult result;
    struct stat info {};
    // A link to nothing counts as nothing there.
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT) {
        result.status = Read::Missing;
        result.problem = std::strerror(ENOENT);
        return result;
    }
    const int fd = OpenRegular(path, result.problem);
    if (fd < 0) {
        result.status = ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) ? Read::NotRegular : Read::Failed;
        return result;
    }
    result.status = Read::Done;
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        text.reserve(static_cast<std::size_t>(info.st_size) < maxBytes ? static_cast<std::size_t>(info.st_size)
                                                                       : maxBytes);
    }
    char buffer[16384];
    for (;;) {
        const std::size_t room = maxBytes + 1 - text.size();
        const ssize_t n = ::read(fd, buffer, room < sizeof buffer ? room : sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.status = Read::Failed;
            result.problem = std::strerror(errno);
            break;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > maxBytes) {
            text.resize(maxBytes);
            result.status = Read::TooLarge;
            result.problem = "longer than " + std::to_string(maxBytes) + " bytes";
            break;
        }
    }
    ::close(fd);
    return result;
}

std::string SaveTarget(const std::string& path, std::string& problem)
{
    namespace fs = std::filesystem;
    fs::path target = path;
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(target, ec); ++hops) {
        const fs::path next = fs::read_symlink(target, ec);
        if (ec || hops == 40) {
            problem = "its symbolic links can't be followed";
            return {};
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    if (!fs::exists(fs::symlink_status(target, ec))) {
        return target.string();  // made anew
    }
    // What is there must be a regular file the program can read: a FIFO, device or folder,
    // or a file it could not read, is left exactly as it is.
    const int fd = OpenRegular(target.string(), problem);
    if (fd < 0) return {};
    ::close(fd);
    return target.string();
}

std::string Describe(const SaveFailure& failure)
{
    const std::string file = Console::Printable(failure.file);
    switch (failure.step) {
        case SaveFailure::Step::Target:
            return file + " is left as it is (" + failure.reason + ").";
        case SaveFailure::Step::Create:
            return "Couldn't create a new file beside " + file + ": " + failure.reason;
        case SaveFailure::Step::Write:
            return "Couldn't write " + file + ": " + failure.reason;
        case SaveFailure::Step::Replace:
            return "Couldn't replace " + file + ": " + failure.reason;
    }
    return file + ": " + failure.reason;
}

bool Save(const std::string& path, std::string_view bytes, SaveFailure& failure)
{
    std::string problem;
    const std::string target = SaveTarget(path, problem);
    if (target.empty()) {
        failure = SaveFailure{SaveFailure::Step::Target, path, problem};
        return false;
    }
    RemoveStaleTemps(target);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && old.st_nlink > 1) {
        return SaveInPlace(target, bytes, failure);
    }
    std::string temp;
    const int fd = CreateUnique(target, temp);
    if (fd < 0) return Fail(failure, SaveFailure::Step::Create, target, errno);
    const bool written =
        (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        const int why = written ? errno : error;
        ::unlink(temp.c_str());
        return Fail(failure, SaveFailure::Step::Write, temp, why);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int why = errno;
        ::unlink(temp.c_str());
        return Fail(failure, SaveFailure::Step::Replace, target, why);
    }
    // The rename itself must reach the disk too, or a crash could bring the old file back.
    const std::string folder = std::filesystem::path(target).parent_path().string();
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

FolderLock::FolderLock(const std::string& path, std::chrono::milliseconds wait)
{
    std::string problemOfTarget;
    std::string target = SaveTarget(path, problemOfTarget);
    if (target.empty()) target = path;
    std::string folder = std::filesystem::path(target).parent_path().string();
    if (folder.empty()) folder = ".";
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // the save that follows says what is wrong with the folder
    // Polled, not blocking: a blocking flock could only be cut short by a signal, and the
    // stop signals are taken by a thread of their own.
    const auto end = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            state = State::Held;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;  // no flock here: nothing to wait for
        if (std::chrono::steady_clock::now() >= end) {
            state = State::Busy;
            const long long ms = wait.count();
            problem = "another program has been saving in " + Console::Printable(folder) + " for " +
                      (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd);
    fd = -1;
}

FolderLock::~FolderLock()
{
    if (fd >= 0) ::close(fd);  // closing the folder lets the lock go
}

bool IsSaveTemporary(std::string_view name)
{
    const std::size_t mark = name.rfind(TempMark);
    pid_t pid = 0;
    return mark != std::string_view::npos && mark > 0 && IsPidAndNumber(name.substr(mark + std::strlen(TempMark)), pid);
}

std::string PlayerFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/kor-dudurad";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/kor-dudurad";
    return {};
}

// The folders the player's own folder lies in ($XDG_DATA_HOME, ~/.local/share) are private,
// as the XDG rules ask; the game's own as the umask gives, as the launcher makes them.
bool MakeFolders(const std::string& folder, std::string& error)
{
    const std::string player = PlayerFolder();
    const std::filesystem::path privateTo =
        player.empty() ? std::filesystem::path() : std::filesystem::path(player).parent_path();
    std::filesystem::path at;
    for (const std::filesystem::path& part : std::filesystem::path(folder)) {
        at /= part;
        if (part.empty() || part == "/" || part == "." || part == "..") continue;
        const std::string here = at.string();
        const std::string mine = privateTo.string();
        const bool above = !mine.empty() && (mine == here || mine.starts_with(here + "/"));
        if (::mkdir(here.c_str(), above ? 0700 : 0777) != 0 && errno != EEXIST) {
            error = Console::Printable(here) + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = Console::Printable(folder) + ": " + Console::Tr("geen map");
        return false;
    }
    return true;
}

}  // namespace Files
