#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Console/Console.hpp"
#include "Files/Files.hpp"
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

bool ReportSaveFailure(const std::string& reason)
{
    std::printf("[ERROR] (SaveScores) %s\n", reason.c_str());
    return false;
}

enum class Table { Read, Missing, Unreadable };

// The table in the file, as LoadScores describes; the console lines only when report.
Table ReadTable(std::span<std::int32_t> HighScores, bool report, const char* ScoresFile)
{
    std::fill(HighScores.begin(), HighScores.end(), 0);
    std::error_code ec;
    if (!std::filesystem::exists(ScoresFile, ec)) {
        if (report) std::fputs("[ERROR] (LoadScores) There are no high scores to load.", stdout);
        return Table::Missing;
    }
    std::string problem;
    std::FILE* file = Files::OpenRegularFile(ScoresFile, problem);
    if (file == nullptr) {
        if (report) {
            std::printf(
                "[ERROR] (LoadScores) Couldn't read %s (%s): it is left as it is, and this game's "
                "scores are not saved.\n",
                ScoresFile, problem.c_str());
        }
        return Table::Unreadable;
    }
    std::size_t filled = 0;
    bool reported = !report;
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
    if (bounded.cut && report) {
        std::printf(
            "[ERROR] (LoadScores) %s is longer than a table of scores can be: only its first %ld KiB are "
            "read.\n",
            ScoresFile, MaxScoreFileBytes / 1024);
    }
    std::fclose(file);
    std::sort(HighScores.begin(), HighScores.end(), std::greater<>());
    return Table::Read;
}

// The table as this program last found it on disk, and where: what a save in the same
// place has added to it since is what it enters into the table on disk as it is at the
// save. Main thread only.
std::vector<std::int32_t> lastRead;
std::filesystem::path lastReadAt;

std::filesystem::path ScoresPath(const char* ScoresFile)
{
    std::error_code ec;
    return std::filesystem::absolute(ScoresFile, ec);
}

// The scores `now` holds beyond `before`, counted as a multiset: a score entered twice is
// there twice.
std::vector<std::int32_t> Entered(std::span<const std::int32_t> now, std::vector<std::int32_t> before)
{
    std::vector<std::int32_t> entered;
    for (const std::int32_t score : now) {
        const auto found = std::find(before.begin(), before.end(), score);
        if (found == before.end()) {
            entered.push_back(score);
        } else {
            before.erase(found);
        }
    }
    return entered;
}

}  // namespace

// Entries the file does not fill come back as 0. A word that is no decimal integer is
// reported and skipped, so one damaged word costs none of the scores after it, and the
// table comes back in descending order whatever the file's order, as AddHighScore needs.
void LoadScores(std::span<std::int32_t> HighScores) { LoadScores(HighScores, ScoresFile); }

void LoadScores(std::span<std::int32_t> HighScores, const std::string& file)
{
    ReadTable(HighScores, true, file.c_str());
    lastRead.assign(HighScores.begin(), HighScores.end());
    lastReadAt = ScoresPath(file.c_str());
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

// The table is saved whole or not at all (Files::Save), so any reader, and the next game
// after a crash, finds either the old table or the new one, never a part. Under the
// folder's lock the table on disk is read afresh: when another program saved since this
// one read it, the scores entered here go into that table, so two games ending at once
// both count.
bool SaveScores(std::span<std::int32_t> HighScores) { return SaveScores(HighScores, ScoresFile); }

bool SaveScores(std::span<std::int32_t> HighScores, const std::string& file)
{
    const char* const ScoresFile = file.c_str();
    const Files::FolderLock lock(ScoresFile);
    if (lock.state == Files::FolderLock::State::Busy) {
        return ReportSaveFailure("Not saved: " + lock.problem + ".");
    }
    std::vector<std::int32_t> table(HighScores.begin(), HighScores.end());
    std::vector<std::int32_t> onDisk(table.size());
    if (lastRead.size() == table.size() && lastReadAt == ScoresPath(ScoresFile) &&
        ReadTable(onDisk, false, ScoresFile) != Table::Unreadable && onDisk != lastRead) {
        for (const std::int32_t score : Entered(table, lastRead)) AddHighScore(onDisk, score);
        table = onDisk;
    }
    std::string bytes;
    for (const std::int32_t score : table) {
        bytes += std::to_string(score) + "\r\n";
    }
    Files::SaveFailure failure;
    if (Files::Save(ScoresFile, bytes, failure)) {
        std::copy(table.begin(), table.end(), HighScores.begin());
        lastRead = table;
        lastReadAt = ScoresPath(ScoresFile);
        return true;
    }
    if (failure.step == Files::SaveFailure::Step::Target) {
        return ReportSaveFailure(std::string("Not saved: ") + ScoresFile + " is left as it is (" + failure.reason +
                                 ").");
    }
    return ReportSaveFailure(Files::Describe(failure));
}

}  // namespace Game
