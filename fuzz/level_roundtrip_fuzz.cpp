// Fuzzes the level's reader and writer together: any bytes are read as a level file, written,
// and read and written again. Besides the sanitizers' own checks, after every input:
// - the second reading takes every line: nothing not understood, no bad number, no size cut,
//   no byte order mark, no body left out (a comment longer than a line may be is still said);
// - it gives the same bodies, bit for bit (a comment that stood before a value the writer
//   leaves out, being 0, may be read the second time as one before the next head: the text
//   is the same);
// - the second writing gives the same text as the first;
// - every comment line of the input is in the text, whatever its length.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "Level/File.hpp"

namespace {

// The comment lines of a text, split as the reader splits lines (after a byte order mark).
std::vector<std::string> CommentsOf(std::string_view text)
{
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> comments;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != '\n' && text[i] != '\r' && text[i] != '\x1A') {
            continue;
        }
        const std::string_view line = text.substr(start, i - start);
        if (!line.empty() && line[0] == '*') comments.emplace_back(line);
        if (end) break;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    std::sort(comments.begin(), comments.end());
    return comments;
}

bool SameBits(const Level::OBJECT& a, const Level::OBJECT& b)
{
    const auto same = [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return a.Type == b.Type && a.GameOverOnCollision == b.GameOverOnCollision && same(a.Position.x, b.Position.x) &&
           same(a.Position.y, b.Position.y) && same(a.Dimension.x, b.Dimension.x) &&
           same(a.Dimension.y, b.Dimension.y) && same(a.Speed.x, b.Speed.x) && same(a.Speed.y, b.Speed.y) &&
           same(a.Mass, b.Mass) && same(a.Field, b.Field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Level::File first;
    const Level::Report read = Level::ReadText(input, "input", first);
    if (!read.opened) {
        fuzz::Fail("the input was not read (%zu bytes)", size);
    }
    const std::string text = Level::Text(first);

    Level::File second;
    const Level::Report again = Level::ReadText(text, "written", second);
    for (const Level::Note& note : again.notes) {
        const bool longComment = note.why == Level::Why::LineTooLong && !note.text.empty() && note.text[0] == '*';
        if (!longComment && note.why != Level::Why::TooFewBodies) {
            fuzz::Fail("the written text gave a note of kind %d on line %u", static_cast<int>(note.why), note.line);
        }
    }
    if (second.sections.size() != first.sections.size()) {
        fuzz::Fail("written and read again: %zu sections (was %zu)", second.sections.size(), first.sections.size());
    }
    for (std::size_t i = 0; i < first.sections.size(); ++i) {
        if (!SameBits(Level::Storable(first.sections[i].body), second.sections[i].body)) {
            fuzz::Fail("body %zu changed when written and read again", i);
        }
    }
    if (Level::Text(second) != text) {
        fuzz::Fail("written again, the text changed");
    }
    if (CommentsOf(input) != CommentsOf(text)) {
        fuzz::Fail("a comment line was lost or changed");
    }
    return 0;
}
