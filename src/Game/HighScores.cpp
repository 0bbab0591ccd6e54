#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "Console/Console.hpp"
#include "Game/Game.hpp"
#include "GameInternal.hpp"

namespace Game {

namespace {

constexpr const char* ScoresFile = "data/highscores.dat";
// Five numbers never need more: a longer file is damaged, and only its start is read, so
// that no file can stall the end of a game.
constexpr long MaxScoreFileBytes = 64 * 1024;

// Reads at most MaxScoreFileBytes of file; past them it reports the end of the file.
struct BoundedFile {
    std::FILE* file;
    long left = MaxScoreFileBytes;
    bool cut = false;
    int Get()
    {
        if (left == 0) {
            cut = cut || std::fgetc(file) != EOF;
            return EOF;
        }
        --left;
        return std::fgetc(file);
    }
};

bool IsScoreSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A; }

enum class Word { None, Number, Clamped, NotNumber };

// The next whitespace-delimited word of the file. A decimal integer beyond the 32-bit range
// is clamped to it, so that it still ranks where it belongs. The first bytes of the word
// are kept in text for a message; endOfFile tells whether the file ended right after it.
Word ReadScore(BoundedFile& file, std::int32_t& value, std::string& text, bool& endOfFile)
{
    text.clear();
    int c = file.Get();
    while (c != EOF && IsScoreSpace(c)) {
        c = file.Get();
    }
    if (c == EOF) {
        endOfFile = true;
        return Word::None;
    }
    // The word is judged as it is read, so that one of any length is judged whole: leading
    // zeros do not make a number too long, and many digits cannot wrap around.
    constexpr long long Beyond = static_cast<long long>(INT_MAX) + 2;
    bool negative = false;
    bool digits = false;
    bool wellFormed = true;
    long long magnitude = 0;
    for (std::size_t length = 0; c != EOF && !IsScoreSpace(c); ++length) {
        if (text.size() <= Console::TextLimit) {
            text.push_back(static_cast<char>(c));
        }
        if (length == 0 && (c == '-' || c == '+')) {
            negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            digits = true;
            magnitude = std::min(magnitude * 10 + (c - '0'), Beyond);
        } else {
            wellFormed = false;
        }
        c = file.Get();
    }
    endOfFile = c == EOF;
    if (!wellFormed || !digits) {
        return Word::NotNumber;
    }
    const long long number = negative ? -magnitude : magnitude;
    value = static_cast<std::int32_t>(std::clamp<long long>(number, INT_MIN, INT_MAX));
    return number == value ? Word::Number : Word::Clamped;
}

// Where a save must go: the table's own name, or where a symbolic link there leads (a
// synchronised folder, a shared disk), since a rename onto the link would replace the link
// and leave the target behind. Empty, with why in problem, when the name cannot take a new
// table: anything there must be a regular file that can be read, or nothing at all. A
// FIFO, device or folder, or a file the load could not read, is left exactly as it is.
std::string SaveTarget(std::string& problem)
{
    namespace fs = std::filesystem;
    fs::path path = ScoresFile;
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(path, ec); ++hops) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec || hops == 40) {
            problem = "its symbolic links can't be followed";
            return {};
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    if (!fs::exists(fs::symlink_status(path, ec))) {
        return path.string();  // made anew
    }
    std::FILE* existing = detail::OpenRegularFile(path.string(), problem);
    if (existing == nullptr) {
        return {};
    }
    std::fclose(existing);
    return path.string();
}

// Removes what saves killed half-way (kill -9, a crash, a power cut) left beside target:
// "NAME.tmp-PID-N" files of processes that no longer run. A game saving right now keeps its
// file.
void RemoveStaleTemps(const std::string& target)
{
    namespace fs = std::filesystem;
    const fs::path path(target);
    const std::string prefix = path.filename().string() + ".tmp-";
    const std::string folder = path.parent_path().empty() ? "." : path.parent_path().string();
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string rest = name.substr(prefix.size());
        // Exactly PID-N, both decimal: no other name is taken for a save's.
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 9 || dash + 1 == rest.size() ||
            rest.find_first_not_of("0123456789", dash + 1) != std::string::npos ||
            rest.find_first_not_of("0123456789") != dash) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
        struct stat info {};
        const std::string file = folder + "/" + name;
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH && ::lstat(file.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlink(file.c_str());
        }
    }
    ::closedir(dir);
}

// A new file beside target with a name no other save uses, so that two games saving at
// once never write into the same file; made with the usual permissions.
int CreateUnique(const std::string& target, std::string& name)
{
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string((seed + attempt) % 1000000);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReportSaveFailure(const std::string& reason)
{
    std::printf("[ERROR] (SaveScores) %s\n", reason.c_str());
    return false;
}

// A table with other hard links is written in its place, since a rename would part it from
// them. One short write from the start, then the old rest cut off: a reader in between
// finds the new five numbers first, and the loader reads no further.
bool SaveInPlace(const std::string& target, const std::string& bytes)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return ReportSaveFailure("Couldn't write " + Console::Printable(target) + ": " + std::strerror(errno));
    }
    struct stat info {};
    bool written = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (written) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), 0);
        written = n == static_cast<ssize_t>(bytes.size()) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
                  ::fsync(fd) == 0;
    }
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        return ReportSaveFailure("Couldn't write " + Console::Printable(target) + ": " +
                                 std::strerror(written ? errno : error));
    }
    return true;
}

}  // namespace

// Entries the file does not fill come back as 0. A word that is no decimal integer is
// reported and skipped, so one damaged word costs none of the scores after it, and the
// table comes back in descending order whatever the file's order, as AddHighScore needs.
void LoadScores(std::span<std::int32_t> HighScores)
{
    std::fill(HighScores.begin(), HighScores.end(), 0);
    std::error_code ec;
    if (!std::filesystem::exists(ScoresFile, ec)) {
        std::fputs("[ERROR] (LoadScores) There are no high scores to load.", stdout);
        return;
    }
    std::string problem;
    std::FILE* file = detail::OpenRegularFile(ScoresFile, problem);
    if (file == nullptr) {
        std::printf(
            "[ERROR] (LoadScores) Couldn't read %s (%s): it is left as it is, and this game's "
            "scores are not saved.\n",
            ScoresFile, problem.c_str());
        return;
    }
    std::size_t filled = 0;
    bool reported = false;
    std::string text;
    bool endOfFile = false;
    BoundedFile bounded{file};
    for (std::size_t word = 1; filled < HighScores.size() && !endOfFile; ++word) {
        const Word kind = ReadScore(bounded, HighScores[filled], text, endOfFile);
        if (kind == Word::None) {
            break;
        }
        if (kind != Word::NotNumber) {
            ++filled;
        }
        if (kind != Word::Number && !reported) {
            reported = true;
            std::printf("[ERROR] (LoadScores) Word %zu of %s %s: %s\n", word, ScoresFile,
                        kind == Word::Clamped ? "is beyond the range of a score and is read as its end"
                                              : "is not a whole number and is skipped",
                        Console::Printable(text).c_str());
        }
    }
    if (bounded.cut) {
        std::printf(
            "[ERROR] (LoadScores) %s is longer than a table of scores can be: only its first %ld KiB are "
            "read.\n",
            ScoresFile, MaxScoreFileBytes / 1024);
    }
    std::fclose(file);
    std::sort(HighScores.begin(), HighScores.end(), std::greater<>());
}

void AddHighScore(std::span<std::int32_t> HighScores, std::int32_t NewScore)
{
    std::size_t s = 0;
    while (s < HighScores.size() && !(HighScores[s] < NewScore)) {
        ++s;
    }
    if (s == HighScores.size()) {
        return;
    }
    for (std::size_t i = HighScores.size() - 1; i > s; --i) {
        HighScores[i] = HighScores[i - 1];
    }
    HighScores[s] = NewScore;
}

// The new table is written whole to a file of its own, put on disk, and then renamed over
// the old one, so that any reader, and the next game after a crash, finds either the old
// table or the new one, never a part. Of two games saving at once the later one wins. The
// old file's permissions go to the new one.
bool SaveScores(std::span<const std::int32_t> HighScores)
{
    std::string problem;
    const std::string target = SaveTarget(problem);
    if (target.empty()) {
        return ReportSaveFailure(std::string("Not saved: ") + ScoresFile + " is left as it is (" + problem + ").");
    }
    std::string bytes;
    for (const std::int32_t score : HighScores) {
        bytes += std::to_string(score) + "\r\n";
    }
    RemoveStaleTemps(target);
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && old.st_nlink > 1) {
        return SaveInPlace(target, bytes);
    }
    std::string temp;
    const int fd = CreateUnique(target, temp);
    if (fd < 0) {
        return ReportSaveFailure("Couldn't create a new file beside " + Console::Printable(target) + ": " +
                                 std::strerror(errno));
    }
    const bool written =
        (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        ReportSaveFailure("Couldn't write " + Console::Printable(temp) + ": " + std::strerror(written ? errno : error));
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temp.c_str());
        return ReportSaveFailure("Couldn't replace " + Console::Printable(target) + ": " + std::strerror(renameError));
    }
    // The rename itself must reach the disk too, or a crash could bring the old table back.
    const std::string folder = std::filesystem::path(target).parent_path().string();
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace Game
