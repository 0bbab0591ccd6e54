// Level files read, written and read again: one table of texts, each of which must come back
// as the same bodies and, once written, as the same text; what the reader did not take is
// named line by line.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "Bodies.hpp"
#include "Level/File.hpp"
#include "TempDir.hpp"

namespace {

using Level::Why;

std::size_t CommentLines(std::string text)
{
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a byte order mark
    std::size_t n = 0;
    std::string line;
    for (const char c : text + "\n") {
        if (c == '\n' || c == '\r' || c == '\x1A') {
            n += !line.empty() && line[0] == '*';
            line.clear();
        } else {
            line += c;
        }
    }
    return n;
}

struct Case {
    const char* name;
    std::string text;
    std::size_t sections;
    std::vector<std::pair<std::uint32_t, Why>> notes;  // line and why, in order
    std::string written;                               // Text() of what was read; empty: not checked
};

const std::string LongComment = "* " + std::string(300, '=');
const std::string HugeComment = "*" + std::string(2000, 'x');

std::vector<Case> Cases()
{
    return {
        {"every kind, comments before heads, inside sections and after the last",
         "* Level 99: every kind\n* The black hole\n[Ball]\nPosition_X = 300\nPosition_Y = -30\nRadius = 55\n"
         "[Ball]\n* the rocket's place\nPosition_X = -360\nPosition_Y = -110\n* and its size\nRadius = 12\nMass = 1\n"
         "[Ball]\nRadius = 40\nField = 300000\n"
         "[Ball]\nRadius = 30\nField = -250000.5\n"
         "[Ball]\nRadius = 20\n"
         "* a moving asteroid\n[Ball]\nPosition_X = 10\nRadius = 15\nSpeed_X = 25\nSpeed_Y = -7.25\nMass = 2\n"
         "[Rectangle]\nPosition_X = -100\nPosition_Y = 150\nDimension_X = 200\nDimension_Y = 30\n"
         "[Rectangle]\nDimension_Y = 20\nRadius = 40\nField = 1E5\nGameOverOnCollision = 1\n* the end\n",
         8,
         {},
         "* Level 99: every kind\n* The black hole\n[Ball]\nPosition_X = 300\nPosition_Y = -30\nRadius = 55\n"
         "[Ball]\n* the rocket's place\nPosition_X = -360\nPosition_Y = -110\n* and its size\nRadius = 12\nMass = 1\n"
         "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 40\nField = 300000\n"
         "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 30\nField = -250000.5\n"
         "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 20\n"
         "* a moving asteroid\n[Ball]\nPosition_X = 10\nPosition_Y = 0\nRadius = 15\nSpeed_X = 25\nSpeed_Y = -7.25\n"
         "Mass = 2\n"
         "[Rectangle]\nPosition_X = -100\nPosition_Y = 150\nDimension_X = 200\nDimension_Y = 30\n"
         "[Rectangle]\nPosition_X = 0\nPosition_Y = 0\nDimension_X = 40\nDimension_Y = 20\nField = 100000\n"
         "GameOverOnCollision = 1\n* the end\n"},
        {"comments of any length, CR LF, lone CR and Ctrl-Z line ends",
         LongComment + "\r\n[Ball]\r" + HugeComment + "\x1A" + "Radius = 5\r\n[Ball]\nMass = 1\n" + LongComment,
         2,
         {{1, Why::LineTooLong}, {3, Why::LineTooLong}, {7, Why::LineTooLong}},
         LongComment + "\n[Ball]\nPosition_X = 0\nPosition_Y = 0\n" + HugeComment +
             "\nRadius = 5\n[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 0\nMass = 1\n" + LongComment + "\n"},
        {"a byte order mark before the first comment",
         "\xEF\xBB\xBF* Level 7\n[Ball]\nRadius = 9\n[Ball]\nMass = 1\n",
         2,
         {{0, Why::ByteOrderMark}},
         "* Level 7\n[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 9\n[Ball]\nPosition_X = 0\nPosition_Y = 0\n"
         "Radius = 0\nMass = 1\n"},
        {"one body: kept as it was, nothing added",
         "* only the hole\n[Ball]\nRadius = 50\n",
         1,
         {{0, Why::TooFewBodies}},
         "* only the hole\n[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 50\n"},
        {"no body at all", "* nothing yet\n\n", 0, {{0, Why::TooFewBodies}}, "* nothing yet\n"},
        {"a comment before a value that is 0, which the writer leaves out: it stays at the body's end",
         "[Ball]\n[Ball]\n* about its mass\nMass = 0\n",
         2,
         {},
         "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 0\n[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 0\n"
         "* about its mass\n"},
        {"numbers of no form the format has: the field keeps its value",
         "[Ball]\nRadius = 5\nRadius = .5\nMass = 1e3\nField = NaN\nPosition_X = 5 \nSpeed_Y = \n"
         "GameOverOnCollision = yes\n[Rectangle]\nnonsense\nDimension_X = 1E3\nDimension_Y = 9999\n",
         2,
         {{3, Why::BadNumber},
          {4, Why::BadNumber},
          {5, Why::BadNumber},
          {6, Why::BadNumber},
          {7, Why::BadNumber},
          {8, Why::BadNumber},
          {10, Why::NotUnderstood},
          {12, Why::SizeCut}},
         "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 5\n[Rectangle]\nPosition_X = 0\nPosition_Y = 0\n"
         "Dimension_X = 1000\nDimension_Y = 2048\n"},
        {"a 102nd body and its comments: the body left out, the comments kept at the end",
         [] {
             std::string t;
             for (int i = 0; i < 102; ++i) t += "* body " + std::to_string(i) + "\n[Ball]\nRadius = 1\n";
             return t + "Bogus = 1\n";
         }(),
         101,
         {{305, Why::TooManyBodies}, {307, Why::NotUnderstood}},
         ""},
    };
}

}  // namespace

TEST(LevelFile, ReadWriteAndReadAgainGiveTheSameBodiesAndText)
{
    ScopedWorkDir dir;
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        Level::File file;
        const Level::Report report = Level::ReadText(c.text, "case.txt", file);
        ASSERT_TRUE(report.opened);
        EXPECT_EQ(file.sections.size(), c.sections);
        std::vector<std::pair<std::uint32_t, Why>> notes;
        for (const Level::Note& n : report.notes) notes.emplace_back(n.line, n.why);
        EXPECT_EQ(notes, c.notes);
        const std::string written = Level::Text(file);
        if (!c.written.empty()) {
            EXPECT_EQ(written, c.written);
        }
        EXPECT_EQ(CommentLines(written), CommentLines(c.text)) << "every comment line is kept";

        // The same through a file on disk.
        WriteFile("case.txt", c.text);
        Level::File fromDisk;
        const Level::Report diskReport = Level::Read("case.txt", fromDisk);
        EXPECT_EQ(Level::Text(fromDisk), written);
        EXPECT_EQ(diskReport.notes.size(), report.notes.size());

        // Read again: the same bodies, nothing left out, and written the same.
        Level::File again;
        const Level::Report second = Level::ReadText(written, "again.txt", again);
        EXPECT_EQ(second.badNumbers, 0u);
        EXPECT_FALSE(second.tooManySections);
        EXPECT_EQ(Level::Text(again), written);
        ASSERT_EQ(again.sections.size(), file.sections.size());
        for (std::size_t i = 0; i < file.sections.size(); ++i) {
            EXPECT_EQ(Level::Text(FileOf({again.sections[i].body})), Level::Text(FileOf({file.sections[i].body})));
        }
    }
}

TEST(LevelFile, NumbersComeBackAsTheSameFloats)
{
    // Awkward values: thirds, the range's ends, a number below the normal range and -0
    // (both read as 0, so they are written as 0).
    const float values[] = {1.0f / 3.0f, 0.1f,        -123.456f, FLT_MAX, -FLT_MAX, FLT_MIN,
                            1e-30f,      16777217.0f, 3e-45f,    -0.0f,   6.02e23f, 299792.458f};
    Level::File file = FileOf({Ball(0, 0, 5), Ball(1, 1, 1, 1)});
    for (const float v : values) {
        Level::OBJECT o = Ball(v, -v, 1.0f, std::fabs(v), v);
        o.Speed = {v, v};
        file.sections.push_back(SectionOf(o));
    }
    Level::File again;
    Level::ReadText(Level::Text(file), "n.txt", again);
    ASSERT_EQ(again.sections.size(), file.sections.size());
    for (std::size_t i = 0; i < file.sections.size(); ++i) {
        const Level::OBJECT want = Level::Storable(file.sections[i].body);
        const Level::OBJECT& got = again.sections[i].body;
        for (const auto& [a, b] : {std::pair{want.Position.x, got.Position.x},
                                   {want.Position.y, got.Position.y},
                                   {want.Speed.x, got.Speed.x},
                                   {want.Mass, got.Mass},
                                   {want.Field, got.Field}}) {
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "body " << i << ": " << a << " came back as " << b;
        }
    }
    EXPECT_EQ(Level::NumberText(-0.0f), "0");
    EXPECT_EQ(Level::NumberText(300000.0f), "300000");  // never "3e+05": the reader takes no lower-case e
    EXPECT_EQ(Level::NumberText(0.1f), "0.1");
}
