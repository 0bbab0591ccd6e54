// The level file format: its number grammar, the reader (the game's rules, with notes on what
// it did not take) and the writer.
#include "Level/File.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "Console/Console.hpp"
#include "Files/Files.hpp"

namespace Level {

std::string FileName(std::uint32_t number) { return FileName("data", number); }

std::string FileName(std::string_view folder, std::uint32_t number)
{
    std::string name(folder);
    name += "/level-";
    if (number < 10) {
        name += '0';
    }
    name += std::to_string(number);
    name += ".txt";
    return name;
}

bool ReadNumber(std::string_view text, float& value)
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

namespace {

// -0, numbers below the normal range and infinities cannot come back from the reader as they
// are: keep only values a file can hold.
float Storable(float v)
{
    if (std::isnan(v)) return 0.0f;
    if (std::isinf(v)) return std::copysign(std::numeric_limits<float>::max(), v);
    if (std::fabs(v) < std::numeric_limits<float>::min()) return 0.0f;
    return v;
}

// The keys a section accepts, whatever its shape (Radius and Dimension_X both set the width).
struct KeyName {
    const char* key;
    Property property;
};
constexpr KeyName Keys[] = {
    {"Position_X", Property::PositionX}, {"Position_Y", Property::PositionY},
    {"Dimension_X", Property::Width},    {"Radius", Property::Width},
    {"Dimension_Y", Property::Height},   {"Speed_X", Property::SpeedX},
    {"Speed_Y", Property::SpeedY},       {"Mass", Property::Mass},
    {"Field", Property::Field},          {"GameOverOnCollision", Property::Deadly},
};
constexpr int PropertyCount = static_cast<int>(Property::Deadly) + 1;

// The largest size a body of the shape is read with.
float LargestSize(SHAPE shape)
{
    switch (shape) {
        case SHAPE::Ball:
            return MaxRadius;
        case SHAPE::Rectangle:
            return MaxSide;
    }
    return MaxRadius;
}

// Whether the writer writes the property of this (storable) body: the place and the size
// always, the rest when not 0.
bool Written(const OBJECT& o, Property p)
{
    switch (p) {
        case Property::PositionX:
        case Property::PositionY:
        case Property::Width:
            return true;
        case Property::Height:
            switch (o.Type) {
                case SHAPE::Ball:
                    return o.Dimension.y != 0.0f;  // not used by a ball, but kept
                case SHAPE::Rectangle:
                    return true;
            }
            return true;
        case Property::SpeedX:
            return o.Speed.x != 0.0f;
        case Property::SpeedY:
            return o.Speed.y != 0.0f;
        case Property::Mass:
            return o.Mass != 0.0f;
        case Property::Field:
            return o.Field != 0.0f;
        case Property::Deadly:
            return o.GameOverOnCollision;
    }
    return false;
}

bool OnlySpaces(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

template <class... Args>
std::string Format(const char* format, Args... args)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

// One reading of one file: the game's line interpreter, the sections and comments it keeps,
// and the notes it makes on the way.
class Reader {
public:
    Reader(const std::string& name, File& file, const NoteSink& sink)
        : shownName_(Console::Printable(name)), file_(file), sink_(sink)
    {
    }

    Report report;

    void Say(Why why, std::uint32_t line, const std::string& text, std::string console)
    {
        Note note{line, why, text.substr(0, MaxLineLength + 1), std::move(console)};
        if (sink_) sink_(note);
        if (report.notes.size() < MaxNotes) {
            report.notes.push_back(std::move(note));
        } else {
            ++report.notesLeftOut;
        }
    }
    void SayAboutFile(Why why, const char* format) { Say(why, 0, "", Format(format, shownName_.c_str())); }

    void Fail(Why why, const char* format)
    {
        file_ = File{};
        report.opened = false;
        report.failure = why;
        SayAboutFile(why, format);
    }

    void Line(const std::string& line)
    {
        ++lineNumber_;
        if (line.size() > MaxLineLength) {
            NotUnderstood(Why::LineTooLong, line);  // skipped whole, never cut into pieces
            if (line[0] == '*') pending_.push_back(line);
            return;
        }
        if (!line.empty() && line[0] == '*') {
            pending_.push_back(line);
            return;
        }
        Interpret(line);
    }

    void Finish(bool readError)
    {
        for (std::string& c : pending_) file_.tail.push_back(std::move(c));
        pending_.clear();
        if (readError) {
            SayAboutFile(Why::ReadError, "[ERROR] (LoadLevel) Couldn't read all of this file: %s\n");
        }
        if (file_.sections.size() < 2) {
            report.tooFewSections = true;
            SayAboutFile(Why::TooFewBodies,
                         "[ERROR] (LoadLevel) A level needs at least two bodies, a black hole and a rocket: %s\n");
        }
    }

private:
    void NotUnderstood(Why why, const std::string& line)
    {
        // The line as read, made safe for a terminal and cut to a console line's length.
        Say(why, lineNumber_, line,
            Format("[ERROR] (ReadLevelFileLine) Couldn't interpret this: %s\n", Console::Printable(line).c_str()));
        ++report.badLines;
    }

    // The comments read since the last line that placed them now stand before `property`.
    void PlaceComments(Property property)
    {
        if (ignoringSection_) return;  // they stay for the tail
        for (std::string& c : pending_) file_.sections.back().inner.push_back({property, std::move(c)});
        pending_.clear();
    }

    void Interpret(const std::string& str)
    {
        for (std::uint8_t v = 0; IsShape(v); ++v) {
            const SHAPE shape = static_cast<SHAPE>(v);
            if (str != HeadOf(shape)) continue;
            ++report.sections;
            if (file_.sections.size() >= TableLength) {
                if (!report.tooManySections) {
                    report.tooManySections = true;
                    Say(Why::TooManyBodies, lineNumber_, str,
                        Format("[ERROR] (ReadLevelFileLine) Too many bodies: only the first %zu are used.\n",
                               TableLength));
                }
                ignoringSection_ = true;
                return;
            }
            Section section;
            section.body.Type = shape;
            section.comments = std::move(pending_);
            pending_.clear();
            file_.sections.push_back(std::move(section));
            mayDefineProperties_ = true;
            return;
        }

        const std::size_t separator = str.find(" = ");
        if (mayDefineProperties_ && separator != std::string::npos) {
            const std::string_view key = std::string_view(str).substr(0, separator);
            const std::string_view value = std::string_view(str).substr(separator + 3);
            OBJECT scratch{};  // takes the values of a dropped section
            OBJECT& body = ignoringSection_ ? scratch : file_.sections.back().body;
            for (const KeyName& k : Keys) {
                if (key != k.key) continue;
                PlaceComments(k.property);
                if (float* field = FieldOf(body, k.property)) {
                    if (!ReadNumber(value, *field)) {
                        BadNumber(str);
                        return;
                    }
                    const bool size = k.property == Property::Width || k.property == Property::Height;
                    const float most = LargestSize(body.Type);
                    if (size && *field > most) {
                        *field = most;
                        std::string console;
                        if (!sizeCut_) {
                            sizeCut_ = true;
                            console = Format("[ERROR] (ReadLevelFileLine) Too large, read as %.0f: %s\n",
                                             static_cast<double>(most), Console::Printable(str).c_str());
                        }
                        Say(Why::SizeCut, lineNumber_, str, console);
                    }
                    return;
                }
                // The flag: set by the number 1 exactly, any other number leaves it.
                float number = 0.0f;
                if (!ReadNumber(value, number)) {
                    BadNumber(str);
                } else if (number == 1.0f) {
                    body.GameOverOnCollision = true;
                }
                return;
            }
        }

        if (!OnlySpaces(str)) {
            NotUnderstood(Why::NotUnderstood, str);
        }
    }

    void BadNumber(const std::string& line)
    {
        ++report.badNumbers;
        Say(Why::BadNumber, lineNumber_, line, "");  // the game says nothing
    }

    std::string shownName_;
    File& file_;
    const NoteSink& sink_;
    std::uint32_t lineNumber_ = 0;
    std::vector<std::string> pending_;  // comment lines not yet placed
    bool mayDefineProperties_ = false;
    // Set after a section head found the table full: that body and its properties are
    // dropped, as are all bodies after it.
    bool ignoringSection_ = false;
    bool sizeCut_ = false;  // a size was cut to its bound, and said so
};

constexpr int EndOfText = -1;

// Splits the bytes into lines as the game does: a line ends at LF, CR (an LF right after it
// belongs to it), Ctrl-Z or the end; the last line is read even without a line end. A line
// is kept only as far as the test for its length needs, unless it is a comment: one of any
// length costs no more memory than a short one. False when more than MaxFileBytes came.
template <class Next>
bool SplitLines(Next next, Reader& reader)
{
    std::size_t bytes = 0;
    bool tooLarge = false;
    const auto get = [&]() -> int {
        if (tooLarge) return EndOfText;
        const int c = next();
        if (c != EndOfText && ++bytes > MaxFileBytes) {
            tooLarge = true;
            return EndOfText;
        }
        return c;
    };
    std::string line;
    line.reserve(MaxLineLength + 1);
    int held = EndOfText - 1;  // a byte read after a lone CR, for the next line
    bool end = false;
    while (!end) {
        line.clear();
        bool comment = false;
        for (;;) {
            int c = held;
            held = EndOfText - 1;
            if (c == EndOfText - 1) c = get();
            if (c == EndOfText) {
                end = true;
                break;
            }
            if (c == '\n' || c == 0x1A) break;
            if (c == '\r') {
                const int after = get();
                if (after != '\n' && after != EndOfText) held = after;  // a lone CR ends the line by itself
                break;
            }
            if (line.empty()) comment = c == '*';
            if (comment || line.size() <= MaxLineLength) line.push_back(static_cast<char>(c));
        }
        if (tooLarge) return false;
        reader.Line(line);
    }
    return true;
}

bool IsByteOrderMark(const char* b) { return b[0] == '\xEF' && b[1] == '\xBB' && b[2] == '\xBF'; }

constexpr const char* TooLargeFormat = "[ERROR] (LoadLevel) This file is larger than a level can be (1 MiB): %s\n";

}  // namespace

std::string NumberText(float value)
{
    // Fixed notation in the fewest digits that read back to the same float: the reader takes
    // no lower-case exponent, and plain digits are what a level maker writes by hand.
    char buffer[128];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, Storable(value), std::chars_format::fixed);
    if (ec != std::errc{}) return "0";
    return std::string(buffer, end);
}

OBJECT Storable(const OBJECT& o)
{
    OBJECT s = o;
    for (float* v :
         {&s.Position.x, &s.Position.y, &s.Dimension.x, &s.Dimension.y, &s.Speed.x, &s.Speed.y, &s.Mass, &s.Field}) {
        *v = Storable(*v);
    }
    return s;
}

float* FieldOf(OBJECT& o, Property p)
{
    switch (p) {
        case Property::PositionX:
            return &o.Position.x;
        case Property::PositionY:
            return &o.Position.y;
        case Property::Width:
            return &o.Dimension.x;
        case Property::Height:
            return &o.Dimension.y;
        case Property::SpeedX:
            return &o.Speed.x;
        case Property::SpeedY:
            return &o.Speed.y;
        case Property::Mass:
            return &o.Mass;
        case Property::Field:
            return &o.Field;
        case Property::Deadly:
            return nullptr;
    }
    return nullptr;
}

const char* KeyOf(Property property, SHAPE shape)
{
    switch (property) {
        case Property::PositionX:
            return "Position_X";
        case Property::PositionY:
            return "Position_Y";
        case Property::Width:
            switch (shape) {
                case SHAPE::Ball:
                    return "Radius";
                case SHAPE::Rectangle:
                    return "Dimension_X";
            }
            return "Dimension_X";
        case Property::Height:
            return "Dimension_Y";
        case Property::SpeedX:
            return "Speed_X";
        case Property::SpeedY:
            return "Speed_Y";
        case Property::Mass:
            return "Mass";
        case Property::Field:
            return "Field";
        case Property::Deadly:
            return "GameOverOnCollision";
    }
    return "";
}

const char* HeadOf(SHAPE shape)
{
    switch (shape) {
        case SHAPE::Ball:
            return "[Ball]";
        case SHAPE::Rectangle:
            return "[Rectangle]";
    }
    return "";
}

std::string Describe(const Note& note)
{
    const char* why = "";
    switch (note.why) {
        case Why::FileMissing:
            why = Console::Tr("bestand bestaat niet");
            break;
        case Why::FileUnreadable:
            why = Console::Tr("geen gewoon bestand, of niet te openen");
            break;
        case Why::FileTooLarge:
            why = Console::Tr("bestand groter dan een level kan zijn (1 MiB)");
            break;
        case Why::ByteOrderMark:
            why = Console::Tr("byte-order-mark aan het begin overgeslagen");
            break;
        case Why::NotUnderstood:
            why = Console::Tr("niet begrepen");
            break;
        case Why::LineTooLong:
            why = Console::Tr("langer dan 256 tekens");
            break;
        case Why::BadNumber:
            why = Console::Tr("geen getal, waarde niet gezet");
            break;
        case Why::SizeCut:
            why = Console::Tr("te groot, gelezen als de grootste maat");
            break;
        case Why::TooManyBodies:
            why = Console::Tr("lichamen na het 101ste weggelaten");
            break;
        case Why::TooFewBodies:
            why = Console::Tr("minder dan twee lichamen: zwart gat of raket ontbreekt");
            break;
        case Why::ReadError:
            why = Console::Tr("niet helemaal te lezen");
            break;
    }
    if (note.line == 0) return why;
    return std::string(Console::Tr("regel")) + " " + std::to_string(note.line) + ": " + why + ": " +
           Console::Printable(note.text, 60);
}

void PrintNotes(const Note& note)
{
    if (!note.console.empty()) std::fputs(note.console.c_str(), stdout);
}

Report Read(const std::string& path, File& file, const NoteSink& sink)
{
    file = File{};
    Reader reader(path, file, sink);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        reader.Fail(Why::FileMissing, "[ERROR] (LoadLevel) This file doesn't exist: %s");  // no line end
        return reader.report;
    }
    reader.report.tooFewSections = true;  // until the file has been read
    std::string problem;
    std::FILE* stream = Files::OpenRegularFile(path, problem);
    if (stream == nullptr) {
        reader.Fail(Why::FileUnreadable, "[ERROR] (LoadLevel) Couldn't open this file: %s\n");
        return reader.report;
    }
    struct stat info {};
    if (::fstat(::fileno(stream), &info) != 0 || static_cast<std::uintmax_t>(info.st_size) > MaxFileBytes) {
        std::fclose(stream);
        reader.Fail(Why::FileTooLarge, TooLargeFormat);
        return reader.report;
    }
    reader.report.tooFewSections = false;
    reader.report.opened = true;
    // A byte order mark, as some editors write, would spoil the first line (the black hole).
    char mark[3] = {};
    if (std::fread(mark, 1, sizeof mark, stream) == sizeof mark && IsByteOrderMark(mark)) {
        reader.SayAboutFile(Why::ByteOrderMark,
                            "[ERROR] (LoadLevel) This file begins with a byte order mark, which is skipped: %s\n");
    } else {
        std::rewind(stream);
    }
    const bool whole = SplitLines([stream] { return std::fgetc(stream); }, reader);
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    if (!whole) {
        reader.report.tooFewSections = true;
        reader.Fail(Why::FileTooLarge, TooLargeFormat);  // it grew while it was read
        return reader.report;
    }
    reader.Finish(failed);
    return reader.report;
}

Report ReadText(std::string_view text, const std::string& name, File& file, const NoteSink& sink)
{
    file = File{};
    Reader reader(name, file, sink);
    reader.report.opened = true;
    if (text.size() >= 3 && IsByteOrderMark(text.data())) {
        reader.SayAboutFile(Why::ByteOrderMark,
                            "[ERROR] (LoadLevel) This file begins with a byte order mark, which is skipped: %s\n");
        text.remove_prefix(3);
    }
    std::size_t at = 0;
    const bool whole = SplitLines(
        [&]() -> int { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EndOfText; }, reader);
    if (!whole) {
        reader.report.tooFewSections = true;
        reader.Fail(Why::FileTooLarge, TooLargeFormat);
        return reader.report;
    }
    reader.Finish(false);
    return reader.report;
}

std::string Text(const File& file)
{
    std::string text;
    for (const Section& section : file.sections) {
        for (const std::string& c : section.comments) text += c + "\n";
        OBJECT o = Storable(section.body);
        text += HeadOf(o.Type);
        text += '\n';
        std::vector<bool> placed(section.inner.size(), false);
        const auto commentsBefore = [&](int p) {
            for (std::size_t k = 0; k < section.inner.size(); ++k) {
                if (!placed[k] && static_cast<int>(section.inner[k].before) <= p) {
                    text += section.inner[k].text + "\n";
                    placed[k] = true;
                }
            }
        };
        for (int p = 0; p < PropertyCount; ++p) {
            const Property property = static_cast<Property>(p);
            if (!Written(o, property)) continue;
            commentsBefore(p);
            text += KeyOf(property, o.Type);
            text += " = ";
            const float* value = FieldOf(o, property);
            text += value != nullptr ? NumberText(*value) : "1";
            text += '\n';
        }
        commentsBefore(PropertyCount);
    }
    for (const std::string& c : file.tail) text += c + "\n";
    return text;
}

void ToTable(const File& file, Table& table)
{
    if (file.sections.size() < 2) {
        // Entries 0 and 1 are read as black hole and rocket by everything else.
        table.Objects[0] = NewObj();
        table.Objects[1] = NewObj();
        table.N = 1;
        return;
    }
    const std::size_t n = std::min(file.sections.size(), TableLength);
    for (std::size_t i = 0; i < n; ++i) table.Objects[i] = file.sections[i].body;
    table.N = static_cast<std::uint32_t>(n - 1);
}

Table TableOf(const File& file)
{
    Table table;
    ToTable(file, table);
    return table;
}

}  // namespace Level
