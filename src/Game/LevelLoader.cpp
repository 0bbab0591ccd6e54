#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Game/Game.hpp"
#include "GameInternal.hpp"

namespace Game {

Physics::ObjectTable Objects{};
std::uint32_t N = 0;

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

void ReportUninterpreted(const std::string& line, LevelReport& report)
{
    std::fputs("[ERROR] (ReadLevelFileLine) Couldn't interpret this: ", stdout);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputs("\n", stdout);
    ++report.badLines;
}

bool OnlySpaces(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

// State that one load shares between LoadLevel and its line interpreter.
struct LoadState {
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
void MakeSafeTable()
{
    Objects[0] = Physics::NewObj();
    Objects[1] = Physics::NewObj();
    N = 1;
}

LevelReport Load(const std::string& name)
{
    N = 0;
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) {
        std::printf("[ERROR] (LoadLevel) This file doesn't exist: %s", name.c_str());
        return LevelReport{};
    }
    std::FILE* file = std::filesystem::is_regular_file(name, ec) ? std::fopen(name.c_str(), "rb") : nullptr;
    if (file == nullptr) {
        std::printf("[ERROR] (LoadLevel) Couldn't open this file: %s\n", name.c_str());
        MakeSafeTable();
        LevelReport report;
        report.tooFewSections = true;
        return report;
    }

    LoadState s;
    s.report.opened = true;
    std::string line;
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
            line.push_back(static_cast<char>(c));
        }
        if (line.size() > MaxLineLength) {
            ReportUninterpreted(line, s.report);  // never cut into pieces
        } else if (line.empty() || line[0] != '*') {
            ReadLevelFileLine(line, s);
        }
    }
    if (std::ferror(file)) {
        std::printf("[ERROR] (LoadLevel) Couldn't read all of this file: %s\n", name.c_str());
    }
    std::fclose(file);

    if (N < 2) {
        std::printf("[ERROR] (LoadLevel) A level needs at least two bodies, a black hole and a rocket: %s\n",
                    name.c_str());
        s.report.tooFewSections = true;
        MakeSafeTable();
    } else {
        --N;
    }
    return s.report;
}

}  // namespace

void LoadLevel(std::uint32_t LevelNumber) { Load(detail::LevelFileName(LevelNumber)); }

bool LevelExists(std::uint32_t LevelNumber)
{
    std::error_code ec;
    return std::filesystem::exists(detail::LevelFileName(LevelNumber), ec);
}

LevelReport LoadLevelFile(const char* path) { return Load(path != nullptr ? path : ""); }

}  // namespace Game
