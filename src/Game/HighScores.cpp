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
    std::string word;
    bool tooLong = false;  // longer words are no 32-bit integer anyway
    while (c != EOF && !IsScoreSpace(c)) {
        if (word.size() < 16) {
            word.push_back(static_cast<char>(c));
        } else {
            tooLong = true;
        }
        c = std::fgetc(file);
    }
    endOfFile = c == EOF;
    if (tooLong) {
        return false;
    }

    std::size_t i = 0;
    const bool negative = word[0] == '-';
    if (word[0] == '-' || word[0] == '+') {
        i = 1;
    }
    if (i == word.size()) {
        return false;
    }
    long long number = 0;
    for (; i < word.size(); ++i) {
        if (word[i] < '0' || word[i] > '9') {
            return false;
        }
        number = number * 10 + (word[i] - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) {
            return false;
        }
    }
    number = negative ? -number : number;
    if (number > INT_MAX || number < INT_MIN) {
        return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

void ReportSaveFailure(const std::string& reason)
{
    std::printf("[ERROR] (SaveScores) %s\n", reason.c_str());
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
    std::FILE* file = std::fopen(ScoresTempFile, "wb");
    if (file == nullptr) {
        ReportSaveFailure(std::string("Couldn't create ") + ScoresTempFile + ": " + std::strerror(errno));
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
        ReportSaveFailure(std::string("Couldn't write ") + ScoresTempFile + ": " + std::strerror(error));
        std::remove(ScoresTempFile);
        return;
    }
    if (std::rename(ScoresTempFile, ScoresFile) != 0) {
        ReportSaveFailure(std::string("Couldn't replace ") + ScoresFile + ": " + std::strerror(errno));
        std::remove(ScoresTempFile);
    }
}

}  // namespace Game
