#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "Game/Game.hpp"

namespace Game {

namespace {

constexpr const char* ScoresFile = "data/highscores.dat";
// Written first and then renamed over the table, so a failed save keeps the old one.
constexpr const char* ScoresTempFile = "data/highscores.dat.tmp";

bool IsScoreSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A; }

// The next whitespace-delimited word of the file as a decimal integer. Returns false at
// the end of the file or when the word is no decimal 32-bit integer; endOfFile tells
// whether the file ended right after the word.
bool ReadScore(std::FILE* file, std::int32_t& value, bool& endOfFile)
{
    int c = std::fgetc(file);
    while (c != EOF && IsScoreSpace(c)) {
        c = std::fgetc(file);
    }
    if (c == EOF) {
        endOfFile = true;
        return false;
    }
    // The word is judged as it is read, so that one of any length is judged whole: leading
    // zeros do not make a number too long, and many digits cannot wrap around.
    constexpr long long Beyond = static_cast<long long>(INT_MAX) + 2;
    bool negative = false;
    bool digits = false;
    bool wellFormed = true;
    long long magnitude = 0;
    for (std::size_t length = 0; c != EOF && !IsScoreSpace(c); ++length) {
        if (length == 0 && (c == '-' || c == '+')) {
            negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            digits = true;
            magnitude = std::min(magnitude * 10 + (c - '0'), Beyond);
        } else {
            wellFormed = false;
        }
        c = std::fgetc(file);
    }
    endOfFile = c == EOF;
    const long long number = negative ? -magnitude : magnitude;
    if (!wellFormed || !digits || number > INT_MAX || number < INT_MIN) {
        return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

void ReportSaveFailure(const std::string& reason)
{
    std::printf("[ERROR] (SaveScores) %s\n", reason.c_str());
}

// The file the table lives in. A player may keep it elsewhere through a symbolic link
// (a synchronised folder, a shared disk): the new table must go to the link's target,
// since a rename onto the link would replace the link and leave the target behind.
std::string ScoresTarget()
{
    namespace fs = std::filesystem;
    fs::path path = ScoresFile;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(path, ec); ++hops) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.string();
}

}  // namespace

// Entries the file does not fill come back as 0, so the table is always complete and
// in order; reading stops at the first word that is no decimal integer, since nothing
// after it can be trusted.
void LoadScores(std::span<std::int32_t> HighScores)
{
    std::error_code ec;
    if (!std::filesystem::exists(ScoresFile, ec)) {
        std::fputs("[ERROR] (LoadScores) There are no high scores to load.", stdout);
        std::fill(HighScores.begin(), HighScores.end(), 0);
        return;
    }
    std::FILE* file = std::fopen(ScoresFile, "rb");
    std::size_t filled = 0;
    if (file != nullptr) {
        bool endOfFile = false;
        while (filled < HighScores.size() && !endOfFile) {
            if (!ReadScore(file, HighScores[filled], endOfFile)) {
                break;
            }
            ++filled;
        }
        std::fclose(file);
    }
    std::fill(HighScores.begin() + static_cast<std::ptrdiff_t>(filled), HighScores.end(), 0);
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

void SaveScores(std::span<const std::int32_t> HighScores)
{
    const std::string target = ScoresTarget();
    const std::string temp = target == ScoresFile ? std::string(ScoresTempFile) : target + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) {
        ReportSaveFailure("Couldn't create " + temp + ": " + std::strerror(errno));
        return;
    }
    bool ok = true;
    int error = 0;
    for (const std::int32_t score : HighScores) {
        if (std::fprintf(file, "%d\r\n", static_cast<int>(score)) < 0) {
            ok = false;
            error = errno;
            break;
        }
    }
    // The data must be on disk before the rename makes it the table.
    if (ok && (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0)) {
        ok = false;
        error = errno;
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ReportSaveFailure("Couldn't write " + temp + ": " + std::strerror(error));
        std::remove(temp.c_str());
        return;
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        ReportSaveFailure("Couldn't replace " + target + ": " + std::strerror(errno));
        std::remove(temp.c_str());
    }
}

}  // namespace Game
