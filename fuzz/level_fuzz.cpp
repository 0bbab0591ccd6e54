// Fuzzes the level loader: any bytes as a level file, through the real file path.
// Besides the sanitizers' own checks, after every input:
// - N is within the table and the section heads it counted match a plain reading of the
//   lines, body by body;
// - entries past N keep the pattern they had before the load, byte for byte;
// - every loaded body is fully set: a known shape, finite numbers (the number grammar
//   gives only finite values or the largest finite real);
// - writing the loaded table back out with the level's writer and loading that gives the
//   same table.
#include <cmath>
#include <cstring>
#include <string_view>
#include <vector>

#include "FuzzSupport.hpp"
#include "Game/Game.hpp"
#include "Level/File.hpp"

namespace {

using Level::OBJECT;
using Level::SHAPE;
using Level::TableLength;

constexpr unsigned char Canary = 0xFF;  // in a float: a NaN; in a shape or flag: no valid value

Level::Table Loaded;  // what the loader fills, painted before each load

void PaintTable()
{
    std::memset(static_cast<void*>(Loaded.Objects.data()), Canary, sizeof(Loaded.Objects));
    Loaded.N = 0xC0FFEEu;
}

bool Painted(const OBJECT& o)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&o);
    for (std::size_t i = 0; i < sizeof o; ++i) {
        if (bytes[i] != Canary) {
            return false;
        }
    }
    return true;
}

// The shapes of the section heads, as a plain reading of the text finds them: a line ends
// at LF, CR (taking an LF right after it along) or Ctrl-Z, and a head is a whole line.
std::vector<SHAPE> Heads(std::string_view text)
{
    std::vector<SHAPE> heads;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != '\n' && text[i] != '\r' && text[i] != '\x1A') {
            continue;
        }
        const std::string_view line = text.substr(start, i - start);
        for (std::uint8_t v = 0; Level::IsShape(v); ++v) {
            if (line == Level::HeadOf(static_cast<SHAPE>(v))) {
                heads.push_back(static_cast<SHAPE>(v));
            }
        }
        if (end) {
            break;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    return heads;
}

void CheckNumber(float value, std::uint32_t index, const char* field)
{
    if (!std::isfinite(value)) {
        fuzz::Fail("body %u: %s is %g", index, field, static_cast<double>(value));
    }
}

// Checks bodies 0..N and the untouched rest; returns nothing, fails on a broken rule.
void CheckTable(const char* what)
{
    const std::uint32_t n = Loaded.N;
    if (n < 1 || n >= TableLength) {
        fuzz::Fail("%s: N is %u", what, n);
    }
    for (std::uint32_t i = 0; i <= n; ++i) {
        const OBJECT& o = Loaded.Objects[i];
        // Shape and flag read as raw bytes: a bad value must be reported, not loaded.
        unsigned char type = 0;
        unsigned char flag = 0;
        std::memcpy(&type, &o.Type, 1);
        std::memcpy(&flag, &o.GameOverOnCollision, 1);
        if (!Level::IsShape(type) || flag > 1) {
            fuzz::Fail("%s: body %u has shape byte %u and flag byte %u", what, i, type, flag);
        }
        CheckNumber(o.Position.x, i, "Position.x");
        CheckNumber(o.Position.y, i, "Position.y");
        CheckNumber(o.Dimension.x, i, "Dimension.x");
        CheckNumber(o.Dimension.y, i, "Dimension.y");
        CheckNumber(o.Speed.x, i, "Speed.x");
        CheckNumber(o.Speed.y, i, "Speed.y");
        CheckNumber(o.Mass, i, "Mass");
        CheckNumber(o.Field, i, "Field");
    }
    for (std::size_t i = n + 1; i < TableLength; ++i) {
        if (!Painted(Loaded.Objects[i])) {
            fuzz::Fail("%s: body %zu past N = %u was written", what, i, n);
        }
    }
}

void CheckAgainstHeads(const Game::LevelReport& report, const std::vector<SHAPE>& heads)
{
    if (!report.opened) {
        fuzz::Fail("the level file was not read");
    }
    if (report.sections != heads.size() || report.tooManySections != (heads.size() > TableLength) ||
        report.tooFewSections != (heads.size() < 2)) {
        fuzz::Fail("report: %u sections (too many %d, too few %d), the text has %zu heads", report.sections,
                   report.tooManySections, report.tooFewSections, heads.size());
    }
    if (heads.size() < 2) {
        // Two blank bodies stand in for black hole and rocket.
        for (int i = 0; i < 2; ++i) {
            const OBJECT& o = Loaded.Objects[i];
            if (Loaded.N != 1 || o.Type != SHAPE::Ball || o.Position.x != 0 || o.Position.y != 0 ||
                o.Dimension.x != 0 || o.Dimension.y != 0 || o.Speed.x != 0 || o.Speed.y != 0 || o.Mass != 0 ||
                o.Field != 0 || o.GameOverOnCollision) {
                fuzz::Fail("a level of %zu heads did not leave two blank bodies (N = %u)", heads.size(), Loaded.N);
            }
        }
        return;
    }
    const std::size_t bodies = heads.size() < TableLength ? heads.size() : TableLength;
    if (Loaded.N != bodies - 1) {
        fuzz::Fail("N is %u for %zu heads", Loaded.N, heads.size());
    }
    for (std::size_t i = 0; i < bodies; ++i) {
        if (Loaded.Objects[i].Type != heads[i]) {
            fuzz::Fail("body %zu has the wrong shape", i);
        }
    }
}

// The table as a level file, by the level's one writer.
std::string AsLevelText()
{
    Level::File file;
    for (std::uint32_t i = 0; i <= Loaded.N; ++i) {
        file.sections.push_back(Level::Section{Loaded.Objects[i], {}, {}});
    }
    file.sections.front().comments.push_back("* written back by the fuzzer");
    return Level::Text(file);
}

bool SameBody(const OBJECT& a, const OBJECT& b)
{
    const auto same = [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return a.Type == b.Type && a.GameOverOnCollision == b.GameOverOnCollision && same(a.Position.x, b.Position.x) &&
           same(a.Position.y, b.Position.y) && same(a.Dimension.x, b.Dimension.x) &&
           same(a.Dimension.y, b.Dimension.y) && same(a.Speed.x, b.Speed.x) && same(a.Speed.y, b.Speed.y) &&
           same(a.Mass, b.Mass) && same(a.Field, b.Field);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    fuzz::EnterPrivateDir("kor-fuzz-level", argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteInput("level.txt", data, size);
    PaintTable();
    const Game::LevelReport report = Game::LoadLevelFile("level.txt", Loaded);
    CheckTable("load");
    CheckAgainstHeads(report, Heads(std::string_view(reinterpret_cast<const char*>(data), size)));

    const Level::ObjectTable loaded = Loaded.Objects;
    const std::uint32_t n = Loaded.N;
    const std::string text = AsLevelText();
    fuzz::WriteInput("again.txt", reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    PaintTable();
    const Game::LevelReport again = Game::LoadLevelFile("again.txt", Loaded);
    CheckTable("reload");
    if (Loaded.N != n || again.badLines != 0) {
        fuzz::Fail("the table written back loads as N = %u (was %u) with %u bad lines", Loaded.N, n, again.badLines);
    }
    for (std::uint32_t i = 0; i <= n; ++i) {
        if (!SameBody(Loaded.Objects[i], loaded[i])) {
            fuzz::Fail("body %u changed when written back and loaded again", i);
        }
    }
    return 0;
}
