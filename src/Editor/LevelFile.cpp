// Level files for the editor: read through the game's loader (comments from a second pass),
// written back in the loader's own format through a temporary file and a rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "Console/Console.hpp"
#include "Editor/Editor.hpp"
#include "Files/Files.hpp"
#include "Game/Game.hpp"

namespace Editor {

namespace {

// The loader's longest line; longer ones are skipped whole, comments too.
constexpr std::size_t MaxLine = 256;

bool IsHead(const std::string& line) { return line == "[Ball]" || line == "[Rectangle]"; }

// The lines of a regular file split as the loader splits them (LF, CR LF, lone CR, ^Z).
std::vector<std::string> Lines(const std::string& path)
{
    std::vector<std::string> lines;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return lines;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return lines;  // never read a FIFO or device: it could block or never end
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return lines;
    }
    std::string line;
    bool end = false;
    while (!end) {
        line.clear();
        for (;;) {
            const int c = std::fgetc(file);
            if (c == EOF) {
                end = true;
                break;
            }
            if (c == '\n' || c == 0x1A) break;
            if (c == '\r') {
                const int next = std::fgetc(file);
                if (next != '\n' && next != EOF) std::ungetc(next, file);
                break;
            }
            if (line.size() <= MaxLine) line.push_back(static_cast<char>(c));
        }
        if (!end || !line.empty()) lines.push_back(line);
    }
    std::fclose(file);
    return lines;
}

void Field(std::string& text, const char* key, float value)
{
    text += key;
    text += " = ";
    text += NumberText(value);
    text += '\n';
}

// -0, numbers below the normal range and infinities cannot come back from the loader as
// they are: keep only values a file can hold.
float Storable(float v)
{
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) return std::copysign(std::numeric_limits<float>::max(), v);
    if (std::fabs(v) < std::numeric_limits<float>::min()) return 0.0f;
    return v;
}

}  // namespace

Physics::OBJECT StorableObject(const Physics::OBJECT& o)
{
    Physics::OBJECT s = o;
    for (float* v :
         {&s.Position.x, &s.Position.y, &s.Dimension.x, &s.Dimension.y, &s.Speed.x, &s.Speed.y, &s.Mass, &s.Field}) {
        *v = Storable(*v);
    }
    s.Image = 0;
    s.Mask = 0;
    return s;
}

std::string OpenReport::Summary() const
{
    if (!opened) return Console::Tr("Bestand niet gelezen: een nieuw level");
    std::string text;
    if (badLines > 0) {
        text += std::to_string(badLines) + " " + Console::Tr("regel(s) niet begrepen en overgeslagen");
    }
    if (tooManySections) {
        if (!text.empty()) text += "; ";
        text += Console::Tr("lichamen na het 101ste overgeslagen");
    }
    if (tooFewSections) {
        if (!text.empty()) text += "; ";
        text += Console::Tr("minder dan twee lichamen: zwart gat en raket leeg aangevuld");
    }
    return text;
}

OpenReport ReadLevel(const std::string& path, Level& level)
{
    Physics::Level table;
    const Game::LevelReport loaded = Game::LoadLevelFile(path.c_str(), table);
    std::fflush(stdout);
    OpenReport report;
    report.opened = loaded.opened;
    report.badLines = loaded.badLines;
    report.tooManySections = loaded.tooManySections;
    report.tooFewSections = loaded.tooFewSections;
    if (!loaded.opened) {
        level = NewLevel();
        return report;
    }
    level = Level{};
    const std::uint32_t last = std::min<std::uint32_t>(table.N, MaxBodies - 1);
    for (std::uint32_t i = 0; i <= last; ++i) {
        Body b;
        b.object = StorableObject(table.Objects[i]);
        level.bodies.push_back(b);
    }
    // Comments before the k-th head belong to body k; those after the last head end the file.
    std::size_t heads = 0;
    for (const std::string& line : Lines(path)) {
        if (line.size() > MaxLine) continue;
        if (IsHead(line)) {
            ++heads;
            continue;
        }
        if (line.empty() || line[0] != '*') continue;
        const std::size_t owner = heads;  // the body whose head comes next
        if (owner < level.bodies.size() && !report.tooFewSections)
            level.bodies[owner].comments.push_back(line);
        else
            level.tailComments.push_back(line);
    }
    return report;
}

std::string NumberText(float value)
{
    // Fixed notation in the fewest digits that read back to the same float: the loader takes
    // no lower-case exponent, and plain digits are what a level maker writes by hand.
    char buffer[128];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, Storable(value), std::chars_format::fixed);
    if (ec != std::errc{}) return "0";
    return std::string(buffer, end);
}

std::string LevelText(const Level& level)
{
    std::string text;
    for (const Body& body : level.bodies) {
        for (const std::string& c : body.comments) text += c + "\n";
        const Physics::OBJECT o = StorableObject(body.object);
        const bool ball = o.Type == Physics::SHAPE::Ball;
        text += ball ? "[Ball]\n" : "[Rectangle]\n";
        Field(text, "Position_X", o.Position.x);
        Field(text, "Position_Y", o.Position.y);
        Field(text, ball ? "Radius" : "Dimension_X", o.Dimension.x);
        if (!ball || o.Dimension.y != 0.0f) Field(text, "Dimension_Y", o.Dimension.y);
        if (o.Speed.x != 0.0f) Field(text, "Speed_X", o.Speed.x);
        if (o.Speed.y != 0.0f) Field(text, "Speed_Y", o.Speed.y);
        if (o.Mass != 0.0f) Field(text, "Mass", o.Mass);
        if (o.Field != 0.0f) Field(text, "Field", o.Field);
        if (o.GameOverOnCollision) text += "GameOverOnCollision = 1\n";
    }
    for (const std::string& c : level.tailComments) text += c + "\n";
    return text;
}

bool WriteLevel(const std::string& path, const Level& level, std::string& error)
{
    Files::SaveFailure failure;
    if (Files::Save(path, LevelText(level), failure)) return true;
    const bool notAFile = failure.step == Files::SaveFailure::Step::Target &&
                          failure.reason.find("not a regular file") != std::string::npos;
    error = notAFile ? Console::Tr("geen gewoon bestand") : failure.reason;
    return false;
}

std::string NextFreeLevelFile()
{
    for (std::uint32_t n = 1;; ++n) {
        if (!Game::LevelExists(n)) return Game::detail::LevelFileName(n);
    }
}

Level NewLevel()
{
    Level level;
    Body hole;
    hole.object.Position = {350.0f, 0.0f};
    hole.object.Dimension = {50.0f, 0.0f};
    hole.comments = {"* The black hole"};
    Body rocket;
    rocket.object.Position = {-380.0f, 0.0f};
    rocket.object.Dimension = {12.0f, 0.0f};
    rocket.object.Mass = 1.0f;
    rocket.comments = {"* The rocket"};
    level.bodies = {hole, rocket};
    return level;
}

}  // namespace Editor
