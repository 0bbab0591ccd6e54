// Fuzzes the high-score file: any bytes as "data/highscores.dat", through the real
// loader. Besides the sanitizers' own checks, after every input:
// - the load writes exactly the table it is given (guards on both sides stay), fills
//   every entry whatever the table held before, and finds what a plain reading of the
//   file finds: its decimal integers (beyond the 32-bit range: its ends), words that are
//   none skipped, then 0, all in descending order;
// - tables of other lengths are filled the same way, within their bounds;
// - offering a score to a table in descending order keeps it in order and keeps the best
//   five of the old entries and the new score;
// - saving the table and loading it again gives the same table, in the game's format,
//   and nothing else is left in the folder.
#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <functional>
#include <iterator>
#include <span>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "Game/Game.hpp"

namespace {

constexpr std::size_t Entries = 5;
constexpr std::size_t GuardLength = 4;
constexpr std::int32_t Guard = 0x5EC0DE5;

bool IsScoreSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1A'; }

// A whole word as a decimal integer (an optional sign, then digits only), clamped to the
// 32-bit range.
bool AsInteger(std::string_view word, std::int32_t& value)
{
    bool negative = false;
    if (!word.empty() && (word[0] == '+' || word[0] == '-')) {
        negative = word[0] == '-';
        word.remove_prefix(1);
    }
    if (word.empty()) {
        return false;
    }
    long long magnitude = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') {
            return false;
        }
        magnitude = std::min(magnitude * 10 + (c - '0'), 1LL << 40);  // far past any 32-bit value
    }
    const long long number = negative ? -magnitude : magnitude;
    value = static_cast<std::int32_t>(std::clamp<long long>(number, INT_MIN, INT_MAX));
    return true;
}

std::vector<std::int32_t> PlainReading(std::string_view text, std::size_t entries)
{
    text = text.substr(0, 64 * 1024);  // the loader reads no more of a file
    std::vector<std::int32_t> table(entries, 0);
    std::size_t filled = 0;
    std::size_t i = 0;
    while (filled < entries) {
        while (i < text.size() && IsScoreSpace(text[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && !IsScoreSpace(text[i])) {
            ++i;
        }
        if (start == i) {
            break;
        }
        if (AsInteger(text.substr(start, i - start), table[filled])) {
            ++filled;
        }
    }
    std::sort(table.begin(), table.end(), std::greater<>());
    return table;
}

// A table of the given length with guards on both sides.
struct Guarded {
    std::vector<std::int32_t> cells;
    std::size_t length;

    Guarded(std::size_t entries, std::int32_t fill) : cells(entries + 2 * GuardLength, Guard), length(entries)
    {
        std::fill(table().begin(), table().end(), fill);
    }
    std::span<std::int32_t> table() { return std::span(cells).subspan(GuardLength, length); }
    void CheckGuards(const char* what) const
    {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if ((i < GuardLength || i >= GuardLength + length) && cells[i] != Guard) {
                fuzz::Fail("%s wrote outside a table of %zu entries", what, length);
            }
        }
    }
};

void CheckLoad(std::size_t entries, const std::vector<std::int32_t>& expected, std::int32_t before)
{
    Guarded g(entries, before);
    Game::LoadScores(g.table());
    g.CheckGuards("LoadScores");
    for (std::size_t i = 0; i < entries; ++i) {
        if (g.table()[i] != expected[i]) {
            fuzz::Fail("table of %zu (held %d before): entry %zu loaded as %d, the file says %d", entries, before, i,
                       g.table()[i], expected[i]);
        }
    }
}

void CheckAddHighScore(const std::array<std::int32_t, Entries>& descending, std::int32_t score)
{
    Guarded g(Entries, 0);
    std::copy(descending.begin(), descending.end(), g.table().begin());
    Game::AddHighScore(g.table(), score);
    g.CheckGuards("AddHighScore");

    std::vector<std::int32_t> best(descending.begin(), descending.end());
    best.push_back(score);
    std::sort(best.begin(), best.end(), std::greater<>());
    best.resize(Entries);
    if (!std::equal(best.begin(), best.end(), g.table().begin())) {
        fuzz::Fail("AddHighScore(%d) on %d %d %d %d %d gave %d %d %d %d %d", score, descending[0], descending[1],
                   descending[2], descending[3], descending[4], g.table()[0], g.table()[1], g.table()[2], g.table()[3],
                   g.table()[4]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterPrivateDir("kor-fuzz-scores", argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::WriteInput("data/highscores.dat", data, size);

    // The game's table, then one of another length picked by the input.
    const std::vector<std::int32_t> expected = PlainReading(text, Entries);
    CheckLoad(Entries, expected, 0x11111111);
    CheckLoad(Entries, expected, -0x22222222);
    const std::size_t otherLength = size % 9;
    CheckLoad(otherLength, PlainReading(text, otherLength), 0x33333333);

    // The table as loaded (in order), offered scores at, around and beyond each entry.
    std::array<std::int32_t, Entries> table{};
    std::copy(expected.begin(), expected.end(), table.begin());
    const std::array<std::int32_t, Entries> descending = table;
    for (const std::int32_t v : descending) {
        CheckAddHighScore(descending, v);
        CheckAddHighScore(descending, v == INT_MAX ? v : v + 1);
        CheckAddHighScore(descending, v == INT_MIN ? v : v - 1);
    }
    CheckAddHighScore(descending, INT_MIN);
    CheckAddHighScore(descending, INT_MAX);
    // A table out of order (a caller's own): still no write outside it.
    Guarded unordered(Entries, 0);
    std::reverse_copy(table.begin(), table.end(), unordered.table().begin());
    Game::AddHighScore(unordered.table(), descending[2]);
    unordered.CheckGuards("AddHighScore on an unordered table");

    // Save and load again: the same table, one decimal line with CR LF per entry.
    Game::SaveScores(table);
    std::string written;
    for (const std::int32_t v : table) {
        written += std::to_string(v) + "\r\n";
    }
    if (fuzz::ReadBack("data/highscores.dat") != written) {
        fuzz::Fail("SaveScores wrote something else than five CR LF lines");
    }
    if (std::distance(std::filesystem::directory_iterator("data"), {}) != 1) {
        fuzz::Fail("SaveScores left a file besides the table");
    }
    CheckLoad(Entries, expected, 0x44444444);
    return 0;
}
