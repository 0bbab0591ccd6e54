// Level files: the one reader and the one writer of the format, which the game, the editor,
// the tools and the fuzzers all use.
//
// The reader keeps the game's rules exactly (sections "[Ball]" and "[Rectangle]", property
// lines "Key = value", comments starting with '*', the number grammar, 101 bodies at most)
// and says on the way what it did not take and why, as notes: the game prints each note's
// console line (a bad number has none: the game says nothing about it), the editor and
// kor-levelcheck name them all. It keeps every comment line, whatever its length, in its
// place, so that the writer gives back the player's text:
//     Level::File file;
//     Level::Report report = Level::Read("data/level-05.txt", file, Level::PrintNotes);
//     ... edit file.sections[k].body ...
//     std::string text = Level::Text(file);   // reads back to the same bodies and text
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Level/Body.hpp"

namespace Level {

// The largest level file read: 1 MiB. A level of 101 bodies that sets all ten keys in lines
// of the longest length (256 characters) takes 101 x 11 x 257 = 285,527 bytes; the rest is
// room for comments. A larger file is unreadable, so a huge or sparse file costs nothing.
constexpr std::size_t MaxFileBytes = 1 << 20;
// The longest line the game reads; a longer one is skipped whole (a comment is kept).
constexpr std::size_t MaxLineLength = 256;
// The largest radius and rectangle side: a body's picture is then at most 2048 by 2048
// pixels (16 MiB), twice the window's width. Larger sizes are read as these.
constexpr float MaxRadius = 1024.0f;
constexpr float MaxSide = 2048.0f;

// "data/level-NN.txt": the number with at least two digits.
std::string FileName(std::uint32_t number);
// The same in another folder: "FOLDER/level-NN.txt".
std::string FileName(std::string_view folder, std::uint32_t number);

// A number of the format: [spaces/tabs] [+|-] digits [. digits] [E [+|-] digits], nothing
// after it; beyond the float range the largest float, below the normal range 0. False (value
// untouched) when the text is no such number: ".5", "1e3", "NaN" and "5 " are not.
bool ReadNumber(std::string_view text, float& value);
// The fewest plain digits that read back to the same float ("300000", "0.1"; never an
// exponent). -0, numbers below the normal range and NaN are written as 0, infinities as the
// largest float.
std::string NumberText(float value);
// The body as a file can hold it: every number as NumberText writes it.
OBJECT Storable(const OBJECT& body);

// The values a section can set, in the order the writer writes them.
enum class Property : std::uint8_t { PositionX, PositionY, Width, Height, SpeedX, SpeedY, Mass, Field, Deadly };
// The key the writer uses for it on a body of that shape ("Radius" for a ball's width).
const char* KeyOf(Property property, SHAPE shape);
// The body's number for it; null for Deadly, which is a flag.
float* FieldOf(OBJECT& body, Property property);
// The section head that opens a body of that shape: "[Ball]", "[Rectangle]".
const char* HeadOf(SHAPE shape);

// ---- A level file in memory ----
// A comment inside a section, kept before the property line it came before.
struct InnerComment {
    Property before;
    std::string text;
};
struct Section {
    OBJECT body = NewObj();
    std::vector<std::string> comments;  // the comment lines before its head
    std::vector<InnerComment> inner;    // those after its head
};
struct File {
    std::vector<Section> sections;  // in file order, at most TableLength
    std::vector<std::string> tail;  // comments after the last section's lines (or of a file without one)
};

// ---- What a read found ----
enum class Why : std::uint8_t {
    FileMissing,     // nothing by that name
    FileUnreadable,  // not a regular file, or it cannot be opened
    FileTooLarge,    // more than MaxFileBytes
    ByteOrderMark,   // skipped
    NotUnderstood,   // no comment, head or property line, and not blank: skipped
    LineTooLong,     // over MaxLineLength: skipped whole (a comment is still kept)
    BadNumber,       // the value is no number of the format: the field keeps its value
    SizeCut,         // a size above MaxRadius or MaxSide: read as that
    TooManyBodies,   // a section after the 101st: it and its lines are left out
    TooFewBodies,    // fewer than two sections: no black hole or no rocket
    ReadError,       // the file could not be read to its end
};
struct Note {
    std::uint32_t line = 0;  // 1 for the first line; 0 for the file as a whole
    Why why = Why::NotUnderstood;
    std::string text;     // the line, cut to MaxLineLength + 1 characters (not escaped)
    std::string console;  // the game's console line for it; empty where the game says nothing
};
// The note in a few words of the player's language, with the line: "regel 7: geen getal: Mass = 5 ".
std::string Describe(const Note& note);

struct Report {
    bool opened = false;           // the file existed, was a regular file within the bound, and was read
    Why failure = Why::ReadError;  // why not, when not opened (FileMissing, FileUnreadable, FileTooLarge)
    std::uint32_t sections = 0;    // section heads seen, counting any beyond the table
    bool tooManySections = false;
    bool tooFewSections = false;  // also set when the file could not be opened
    std::uint32_t badLines = 0;   // lines reported as not understood (too long ones too)
    std::uint32_t badNumbers = 0;
    std::vector<Note> notes;         // the first MaxNotes notes
    std::uint32_t notesLeftOut = 0;  // after those
};
constexpr std::size_t MaxNotes = 64;

// Each note as it arises, in file order (for console lines that keep their order).
using NoteSink = std::function<void(const Note&)>;
// Prints each note's console line on stdout, as the game does.
void PrintNotes(const Note& note);

// Reads a level file into `file`. A missing or unreadable file leaves `file` empty. Reads only
// regular files and at most MaxFileBytes; memory stays in proportion to what is kept.
Report Read(const std::string& path, File& file, const NoteSink& sink = {});
// The same from text in memory; `name` stands for the file in the notes.
Report ReadText(std::string_view text, const std::string& name, File& file, const NoteSink& sink = {});

// The file's text: each section's comments, its head, its properties in Property order (those
// that are 0 left out, the position and size always written) with its inner comments before
// the line they came before, then the tail. Reads back to the same bodies and text.
std::string Text(const File& file);

// The table the game plays: the first 101 bodies, N the last one's index. With fewer than two
// bodies the black hole and the rocket are blank ones, so nothing of an earlier level stands in
// for them; entries past N are left as they were.
void ToTable(const File& file, Table& table);
Table TableOf(const File& file);

}  // namespace Level
