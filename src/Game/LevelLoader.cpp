#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "Console/Console.hpp"
#include "Files/Files.hpp"
#include "Game/Game.hpp"
#include "GameInternal.hpp"

namespace Game {

namespace detail {

std::string LevelFileName(std::uint32_t LevelNumber)
{
    std::string name = "data/level-";
    if (LevelNumber < 10) {
        name += '0';
    }
    name += std::to_string(LevelNumber);
    name += ".txt";
    return name;
}

bool ReadLevelNumber(std::string_view text, float& value)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    const auto isDigit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    while (i < n && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const std::size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    if (!isDigit(i)) {
        return false;  // also rejects ".5"
    }
    while (isDigit(i)) {
        ++i;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (isDigit(i)) {
            ++i;
        }
    }
    if (i < n && text[i] == 'E') {  // a lower-case e is no exponent
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (!isDigit(i)) {
            return false;
        }
        while (isDigit(i)) {
            ++i;
        }
    }
    if (i != n) {
        return false;  // nothing may follow the number, not even a space
    }
    // The text is now plain decimal, which strtof rounds correctly to float.
    const std::string number(text.substr(start));
    float v = std::strtof(number.c_str(), nullptr);
    if (std::isinf(v)) {
        v = std::copysign(FLT_MAX, v);
    } else if (std::fabs(v) < FLT_MIN) {
        v = 0.0f;  // below the normal range counts as too small
    }
    value = v;
    return true;
}

}  // namespace detail

namespace {

using detail::MaxLineLength;

// The line as read, made safe for a terminal and cut to a console line's length.
void ReportUninterpreted(const std::string& line, LevelReport& report)
{
    std::printf("[ERROR] (ReadLevelFileLine) Couldn't interpret this: %s\n", Console::Printable(line).c_str());
    ++report.badLines;
}

bool OnlySpaces(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

// The largest radius and rectangle side: a body's picture is then at most 2048 by 2048
// pixels (16 MiB), twice the window's width; the shipped levels stay far below.
constexpr float MaxRadius = 1024.0f;
constexpr float MaxSide = 2048.0f;

// State that one load shares between LoadLevel and its line interpreter.
struct LoadState {
    Physics::ObjectTable& Objects;
    std::uint32_t& N;
    bool sizeCut = false;  // a size was cut to its bound, and said so
    bool mayDefineProperties = false;
    // Set after a section head found the table full: that body and its properties
    // are dropped, as are all bodies after it.
    bool ignoringSection = false;
    LevelReport report;
};

float* NumberField(Physics::OBJECT& o, const std::string& key)
{
    if (key == "Position_X") return &o.Position.x;
    if (key == "Position_Y") return &o.Position.y;
    if (key == "Dimension_X" || key == "Radius") return &o.Dimension.x;
    if (key == "Dimension_Y") return &o.Dimension.y;
    if (key == "Speed_X") return &o.Speed.x;
    if (key == "Speed_Y") return &o.Speed.y;
    if (key == "Mass") return &o.Mass;
    if (key == "Field") return &o.Field;
    return nullptr;
}

void ReadLevelFileLine(const std::string& str, LoadState& s)
{
    auto& Objects = s.Objects;
    auto& N = s.N;
    const bool ball = str == "[Ball]";
    if (ball || str == "[Rectangle]") {
        ++s.report.sections;
        if (N >= Physics::TableLength) {
            if (!s.report.tooManySections) {
                std::printf("[ERROR] (ReadLevelFileLine) Too many bodies: only the first %zu are used.\n",
                            Physics::TableLength);
                s.report.tooManySections = true;
            }
            s.ignoringSection = true;
            return;
        }
        Objects[N] = Physics::NewObj();
        ++N;
        Objects[N - 1].Type = ball ? Physics::SHAPE::Ball : Physics::SHAPE::Rectangle;
        s.mayDefineProperties = true;
        return;
    }

    const std::size_t separator = str.find(" = ");
    if (s.mayDefineProperties && separator != std::string::npos && N > 0) {
        const std::string key = str.substr(0, separator);
        const std::string_view value = std::string_view(str).substr(separator + 3);
        Physics::OBJECT scratch{};  // takes the values of a dropped section
        Physics::OBJECT& body = s.ignoringSection ? scratch : Objects[N - 1];
        if (float* field = NumberField(body, key)) {
            detail::ReadLevelNumber(value, *field);
            const bool size = field == &body.Dimension.x || field == &body.Dimension.y;
            const float most = body.Type == Physics::SHAPE::Ball ? MaxRadius : MaxSide;
            if (size && *field > most) {
                *field = most;
                if (!s.sizeCut) {
                    s.sizeCut = true;
                    std::printf("[ERROR] (ReadLevelFileLine) Too large, read as %.0f: %s\n", static_cast<double>(most),
                                Console::Printable(str).c_str());
                }
            }
            return;
        }
        if (key == "GameOverOnCollision") {
            float number = 0.0f;
            if (detail::ReadLevelNumber(value, number) && number == 1.0f) {
                body.GameOverOnCollision = true;
            }
            return;
        }
    }

    if (!OnlySpaces(str)) {
        ReportUninterpreted(str, s.report);
    }
}

// Entries 0 and 1 are read as black hole and rocket by everything else: a level with
// fewer bodies gets two blank ones, so nothing of an earlier level is taken for them.
void MakeSafeTable(Physics::ObjectTable& Objects, std::uint32_t& N)
{
    Objects[0] = Physics::NewObj();
    Objects[1] = Physics::NewObj();
    N = 1;
}

LevelReport Load(const std::string& name, Physics::Level& level)
{
    auto& Objects = level.Objects;
    auto& N = level.N;
    N = 0;
    const std::string shownName = Console::Printable(name);
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) {
        std::printf("[ERROR] (LoadLevel) This file doesn't exist: %s", shownName.c_str());
        return LevelReport{};
    }
    std::string problem;
    std::FILE* file = Files::OpenRegularFile(name, problem);
    if (file == nullptr) {
        std::printf("[ERROR] (LoadLevel) Couldn't open this file: %s\n", shownName.c_str());
        MakeSafeTable(Objects, N);
        LevelReport report;
        report.tooFewSections = true;
        return report;
    }

    LoadState s{Objects, N, false, false, false, LevelReport{}};
    s.report.opened = true;
    // A byte order mark, as some editors write, would spoil the first line (the black hole).
    char mark[3] = {};
    if (std::fread(mark, 1, sizeof mark, file) == sizeof mark && mark[0] == '\xEF' && mark[1] == '\xBB' &&
        mark[2] == '\xBF') {
        std::printf("[ERROR] (LoadLevel) This file begins with a byte order mark, which is skipped: %s\n",
                    shownName.c_str());
    } else {
        std::rewind(file);
    }
    // A line is kept only as far as the test for its length needs: one of any length
    // costs no more memory than a short one.
    std::string line;
    line.reserve(MaxLineLength + 1);
    bool endOfFile = false;
    while (!endOfFile) {
        line.clear();
        for (;;) {
            const int c = std::fgetc(file);
            if (c == EOF) {
                endOfFile = true;
                break;
            }
            if (c == '\n' || c == 0x1A) {
                break;
            }
            if (c == '\r') {
                const int next = std::fgetc(file);
                if (next != '\n' && next != EOF) {
                    std::ungetc(next, file);  // a lone CR ends the line by itself
                }
                break;
            }
            if (line.size() <= MaxLineLength) {
                line.push_back(static_cast<char>(c));
            }
        }
        if (line.size() > MaxLineLength) {
            ReportUninterpreted(line, s.report);  // skipped whole, never cut into pieces
        } else if (line.empty() || line[0] != '*') {
            ReadLevelFileLine(line, s);
        }
    }
    if (std::ferror(file)) {
        std::printf("[ERROR] (LoadLevel) Couldn't read all of this file: %s\n", shownName.c_str());
    }
    std::fclose(file);

    if (N < 2) {
        std::printf("[ERROR] (LoadLevel) A level needs at least two bodies, a black hole and a rocket: %s\n",
                    shownName.c_str());
        s.report.tooFewSections = true;
        MakeSafeTable(Objects, N);
    } else {
        --N;
    }
    return s.report;
}

}  // namespace

Physics::Level LoadLevel(std::uint32_t LevelNumber)
{
    Physics::Level level;
    Load(detail::LevelFileName(LevelNumber), level);
    return level;
}

bool LevelExists(std::uint32_t LevelNumber)
{
    std::error_code ec;
    return std::filesystem::exists(detail::LevelFileName(LevelNumber), ec);
}

LevelReport LoadLevelFile(const char* path, Physics::Level& level) { return Load(path != nullptr ? path : "", level); }

}  // namespace Game
