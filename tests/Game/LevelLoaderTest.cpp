#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Console/Console.hpp"
#include "Game/Game.hpp"
#include "Level/File.hpp"
#include "TempDir.hpp"

namespace {

using Level::SHAPE;

const char* const ExampleLevel =
    "* planet between start and goal\n"
    "[Ball]\n"
    "Position_X = 400\n"
    "Position_Y = 0\n"
    "Radius = 25\n"
    "[Ball]\n"
    "Position_X = -450\n"
    "Position_Y = -100\n"
    "Radius = 12\n"
    "Mass = 1\n"
    "[Ball]\n"
    "Position_X = 0\n"
    "Position_Y = 0\n"
    "Radius = 40\n"
    "Field = 500\n"
    "[Rectangle]\n"
    "Position_X = -100\n"
    "Position_Y = 150\n"
    "Dimension_X = 200\n"
    "Dimension_Y = 30\n"
    "GameOverOnCollision = 1\n";

const std::string Uninterpreted = "[ERROR] (ReadLevelFileLine) Couldn't interpret this: ";

std::string Sections(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "[Ball]\nPosition_X = " + std::to_string(i) + "\n";
    }
    return text;
}

struct LevelLoaderTest : ::testing::Test {
    ScopedWorkDir work;

    Level::Table level;
    Level::ObjectTable& Objects = level.Objects;
    std::uint32_t& N = level.N;

    void SetUp() override
    {
        for (auto& o : Objects) {
            o = Level::NewObj();
        }
    }

    // Loads text as level 1 and returns what the loader wrote to the console.
    std::string Load(const std::string& text)
    {
        WriteFile("data/level-01.txt", text);
        testing::internal::CaptureStdout();
        level = Game::LoadLevel(1);
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST_F(LevelLoaderTest, ExampleLevel)
{
    EXPECT_EQ(Load(ExampleLevel), "");
    ASSERT_EQ(N, 3u);
    const auto& o = Objects;
    EXPECT_EQ(o[0].Type, SHAPE::Ball);
    EXPECT_EQ(o[0].Position.x, 400.0f);
    EXPECT_EQ(o[0].Dimension.x, 25.0f);
    EXPECT_EQ(o[1].Position.x, -450.0f);
    EXPECT_EQ(o[1].Position.y, -100.0f);
    EXPECT_EQ(o[1].Mass, 1.0f);
    EXPECT_EQ(o[2].Field, 500.0f);
    EXPECT_EQ(o[2].Mass, 0.0f);
    EXPECT_EQ(o[3].Type, SHAPE::Rectangle);
    EXPECT_EQ(o[3].Dimension.x, 200.0f);
    EXPECT_EQ(o[3].Dimension.y, 30.0f);
    EXPECT_TRUE(o[3].GameOverOnCollision);
    EXPECT_FALSE(o[2].GameOverOnCollision);
}

TEST_F(LevelLoaderTest, LineEnds)
{
    std::string crlf;
    std::string cr;
    std::string ctrlZ;
    for (const char c : std::string(ExampleLevel)) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
        ctrlZ += c == '\n' ? '\x1A' : c;
    }
    const auto expectExample = [this](const std::string& what) {
        ASSERT_EQ(N, 3u) << what;
        EXPECT_EQ(Objects[1].Position.x, -450.0f) << what;
        EXPECT_EQ(Objects[2].Position.x, 0.0f) << what;
        EXPECT_TRUE(Objects[3].GameOverOnCollision) << what;
    };
    EXPECT_EQ(Load(crlf), "");
    expectExample("CR LF");
    EXPECT_EQ(Load(cr), "");
    expectExample("CR");
    EXPECT_EQ(Load(ctrlZ), "");
    expectExample("Ctrl-Z");
    // A byte order mark would spoil the first line, the black hole's section head.
    EXPECT_EQ(Load("\xEF\xBB\xBF" + crlf),
              "[ERROR] (LoadLevel) This file begins with a byte order mark, which is skipped: data/level-01.txt\n");
    expectExample("byte order mark");

    // A last line without a line end is read; so is one after a blank CR LF line.
    EXPECT_EQ(Load("[Ball]\r\n\r\n[Rectangle]\r\nMass = 7"), "");
    EXPECT_EQ(N, 1u);
    EXPECT_EQ(Objects[1].Mass, 7.0f);
}

TEST_F(LevelLoaderTest, PropertyLines)
{
    const std::string out = Load(
        "[Ball]\n"
        "Mass = 5 \n"   // trailing space: not a number, no message
        "Field =  5\n"  // leading spaces are part of the number
        "[Rectangle]\n"
        "Radius = 30\n"  // a rectangle's width
        "Dimension_Y = 8\n"
        "GameOverOnCollision = 1\n"
        "GameOverOnCollision = 0\n"  // once deadly, stays deadly
        "Position_X = 1\n"
        "Position_X = 2\n"  // the last well-formed value wins
        "Position_X = x\n"
        "Speed_X = 1.5E1\n"
        "Speed_Y = -3\n"
        "[Ball]\n"
        "GameOverOnCollision = 1E0\n"
        "[Ball]\n"
        "GameOverOnCollision = 2\n"
        "Mass = 1e3\n");
    EXPECT_EQ(out, "");
    ASSERT_EQ(N, 3u);
    const auto& o = Objects;
    EXPECT_EQ(o[0].Mass, 0.0f);
    EXPECT_EQ(o[0].Field, 5.0f);
    EXPECT_EQ(o[1].Dimension.x, 30.0f);
    EXPECT_EQ(o[1].Dimension.y, 8.0f);
    EXPECT_TRUE(o[1].GameOverOnCollision);
    EXPECT_EQ(o[1].Position.x, 2.0f);
    EXPECT_EQ(o[1].Speed.x, 15.0f);
    EXPECT_EQ(o[1].Speed.y, -3.0f);
    EXPECT_TRUE(o[2].GameOverOnCollision);
    EXPECT_FALSE(o[3].GameOverOnCollision);
    EXPECT_EQ(o[3].Mass, 0.0f);
}

TEST_F(LevelLoaderTest, LinesThatAreNotUnderstood)
{
    const std::string out = Load(
        "Mass = 3\n"  // before any section head
        "[Ball]\n"
        " * not a comment\n"
        "mass = 4\n"  // keys are case-sensitive
        "Mass=4\n"    // the separator needs its spaces
        "Colour = red\n"
        "\t\n"                   // tabs are not spaces
        "\x1B[2J\x9B\xC3\xA9\n"  // terminal controls are escaped, UTF-8 kept
        "    \n"
        "\n"
        "*[Ball]\n"  // a comment, however it goes on
        "[ball]\n"   // no new body: the next line still sets body 0
        " [Ball]\n"
        "Radius = 9\n"
        "[Ball]\n");
    EXPECT_EQ(out, Uninterpreted + "Mass = 3\n" + Uninterpreted + " * not a comment\n" + Uninterpreted + "mass = 4\n" +
                       Uninterpreted + "Mass=4\n" + Uninterpreted + "Colour = red\n" + Uninterpreted + "\\x09\n" +
                       Uninterpreted + "\\x1B[2J\\x9B\xC3\xA9\n" + Uninterpreted + "[ball]\n" + Uninterpreted +
                       " [Ball]\n");
    ASSERT_EQ(N, 1u);
    EXPECT_EQ(Objects[0].Dimension.x, 9.0f);
    EXPECT_EQ(Objects[0].Mass, 0.0f);
}

TEST_F(LevelLoaderTest, MissingFileAndLevelExists)
{
    EXPECT_EQ(Load(ExampleLevel), "");
    EXPECT_TRUE(Game::LevelExists(1));
    EXPECT_FALSE(Game::LevelExists(2));
    EXPECT_FALSE(Game::LevelExists(0));
    WriteFile("data/level-100.txt", "");
    EXPECT_TRUE(Game::LevelExists(100));

    testing::internal::CaptureStdout();
    EXPECT_FALSE(Game::LoadLevelFile("data/level-02.txt", level).opened);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[ERROR] (LoadLevel) This file doesn't exist: data/level-02.txt");  // no line end
    EXPECT_EQ(N, 0u);
    EXPECT_EQ(Objects[1].Position.x, -450.0f);  // the table is left as it was
    testing::internal::CaptureStdout();
    EXPECT_EQ(Game::LoadLevel(2).N, 0u);
    testing::internal::GetCapturedStdout();
}

TEST_F(LevelLoaderTest, TableLimits)
{
    EXPECT_EQ(Load(Sections(2)), "");
    EXPECT_EQ(N, 1u);
    EXPECT_EQ(Load(Sections(101)), "");
    EXPECT_EQ(N, 100u);
    EXPECT_EQ(Objects[100].Position.x, 100.0f);

    // A 102nd body must not be written past the table: reported once, then it and
    // everything it sets are dropped.
    WriteFile("data/level-01.txt", Sections(103) + "Mass = 9\n" + "Bogus = 1\n");
    testing::internal::CaptureStdout();
    const Game::LevelReport report = Game::LoadLevelFile("data/level-01.txt", level);
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        "[ERROR] (ReadLevelFileLine) Too many bodies: only the first 101 are used.\n" + Uninterpreted + "Bogus = 1\n");
    EXPECT_EQ(N, 100u);
    EXPECT_EQ(Objects[100].Position.x, 100.0f);
    EXPECT_EQ(Objects[100].Mass, 0.0f);
    EXPECT_TRUE(report.tooManySections);
    EXPECT_EQ(report.sections, 103u);
    EXPECT_EQ(report.badLines, 1u);

    // Sizes whose pictures would take gigabytes are cut to the largest (said once); the rest
    // of the table, and sizes within the bounds, are untouched.
    EXPECT_EQ(Load("[Ball]\nRadius = 4095\n[Ball]\nRadius = 1024\nDimension_Y = 9E9\n[Rectangle]\nDimension_X = "
                   "1E30\nDimension_Y = 2048\n"),
              "[ERROR] (ReadLevelFileLine) Too large, read as 1024: Radius = 4095\n");
    EXPECT_EQ(Objects[0].Dimension.x, 1024.0f);
    EXPECT_EQ(Objects[1].Dimension.x, 1024.0f);
    EXPECT_EQ(Objects[2].Dimension.x, 2048.0f);
    EXPECT_EQ(Objects[2].Dimension.y, 2048.0f);
}

TEST_F(LevelLoaderTest, LongLinesAreSkippedWholeAndReportedCut)
{
    // 256 characters are fine.
    const std::string fits = "Position_X = " + std::string(256 - 14, ' ') + "7";
    ASSERT_EQ(fits.size(), 256u);
    EXPECT_EQ(Load("[Ball]\n[Ball]\n" + fits + "\n"), "");
    EXPECT_EQ(Objects[1].Position.x, 7.0f);

    // 257 are reported (the message cut to a console line) and skipped, never cut into a
    // second line.
    const std::string tooLong = "Position_X = " + std::string(256 - 13, ' ') + "8";
    ASSERT_EQ(tooLong.size(), 257u);
    const std::string comment = "*" + std::string(300, '=') + "[Ball]";
    EXPECT_EQ(Load("[Ball]\n[Ball]\n" + tooLong + "\r\n" + comment + "\nMass = 2\n"),
              Uninterpreted + tooLong.substr(0, 117) + "...\n" + Uninterpreted + comment.substr(0, 117) + "...\n");
    EXPECT_EQ(N, 1u);
    EXPECT_EQ(Objects[1].Position.x, 0.0f);
    EXPECT_EQ(Objects[1].Mass, 2.0f);

    // A line as long as a level file may be costs no more memory than a short one (measured
    // in a child process, whose peak is its own).
    {
        std::ofstream file("data/level-01.txt", std::ios::binary);
        file << "[Ball]\n[Ball]\nPosition_X = ";
        file << std::string(Level::MaxFileBytes - 100, '\x1B');
        file << "\nMass = 3\n";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (std::freopen("console.txt", "w", stdout) == nullptr) _exit(3);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        level = Game::LoadLevel(1);
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        std::fflush(stdout);
        _exit(after.ru_maxrss - before.ru_maxrss < 4096 && Objects[1].Mass == 3.0f ? 0 : 1);  // KiB
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string expected = "Position_X = ";
    while (expected.size() < 117) expected += "\\x1B";
    EXPECT_EQ(ReadFile("console.txt"), Uninterpreted + expected.substr(0, 117) + "...\n");
}

// Console text: whole UTF-8 characters stay, everything a terminal might obey is escaped,
// and a cut never splits a character.
TEST(ConsoleText, Printable)
{
    EXPECT_EQ(Console::Printable("plain \\ text"), "plain \\ text");
    EXPECT_EQ(Console::Printable("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x80"),
              "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x80");
    EXPECT_EQ(Console::Printable(std::string("\0\r\x7F\xC2\x9B\xB0\xC0\xAF\xED\xA0\x80", 11)),
              "\\x00\\x0D\\x7F\\xC2\\x9B\\xB0\\xC0\\xAF\\xED\\xA0\\x80");
    EXPECT_EQ(Console::Printable("abcdefgh", 8), "abcdefgh");
    EXPECT_EQ(Console::Printable("abcdefghi", 8), "abcde...");
    EXPECT_EQ(Console::Printable("abcd\xC3\xA9"
                                 "fgh",
                                 8),
              "abcd...");
    EXPECT_EQ(Console::Printable("ab\x01fghij", 8), "ab...");
    // Marks that reorder or hide text: U+200E, U+202E, U+2066, U+2029, U+FEFF.
    EXPECT_EQ(Console::Printable("a\xE2\x80\x8E\xE2\x80\xAE\xE2\x81\xA6\xE2\x80\xA9\xEF\xBB\xBF\xE2\x80\x8Dz"),
              "a\\xE2\\x80\\x8E\\xE2\\x80\\xAE\\xE2\\x81\\xA6\\xE2\\x80\\xA9\\xEF\\xBB\\xBF\xE2\x80\x8Dz");
}

TEST_F(LevelLoaderTest, TooFewSectionsLeaveASafeTable)
{
    EXPECT_EQ(Load(ExampleLevel), "");
    for (int sections = 0; sections < 2; ++sections) {
        const std::string out = Load("* almost empty\n" + Sections(sections) + (sections > 0 ? "Radius = 30\n" : ""));
        EXPECT_EQ(out,
                  "[ERROR] (LoadLevel) A level needs at least two bodies, a black hole and a rocket: "
                  "data/level-01.txt\n")
            << sections;
        EXPECT_EQ(N, 1u);
        // Nothing of the earlier level stands in as black hole or rocket.
        EXPECT_EQ(Objects[0].Position.x, 0.0f);
        EXPECT_EQ(Objects[0].Dimension.x, 0.0f);
        EXPECT_EQ(Objects[1].Position.x, 0.0f);
        EXPECT_EQ(Objects[1].Mass, 0.0f);
    }
}

TEST_F(LevelLoaderTest, FileThatCannotBeRead)
{
    EXPECT_EQ(Load(ExampleLevel), "");
    std::filesystem::remove("data/level-01.txt");
    std::filesystem::create_directory("data/level-01.txt");
    EXPECT_TRUE(Game::LevelExists(1));
    testing::internal::CaptureStdout();
    level = Game::LoadLevel(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[ERROR] (LoadLevel) Couldn't open this file: data/level-01.txt\n");
    EXPECT_EQ(N, 1u);
    EXPECT_EQ(Objects[1].Position.x, 0.0f);

    // A file larger than any level (here 8 GB, sparse) is refused at once, unread, as one that
    // cannot be read.
    std::filesystem::remove("data/level-01.txt");
    {
        std::ofstream file("data/level-01.txt");
    }
    ASSERT_EQ(::truncate("data/level-01.txt", 8LL << 30), 0);
    testing::internal::CaptureStdout();
    const Game::LevelReport big = Game::LoadLevelFile("data/level-01.txt", level);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[ERROR] (LoadLevel) This file is larger than a level can be (1 MiB): data/level-01.txt\n");
    EXPECT_FALSE(big.opened);
    EXPECT_EQ(N, 1u);
    EXPECT_EQ(Objects[1].Position.x, 0.0f);

    // A FIFO in its place is not waited on.
    alarm(20);
    std::filesystem::remove("data/level-01.txt");
    ASSERT_EQ(::mkfifo("data/level-01.txt", 0666), 0);
    testing::internal::CaptureStdout();
    level = Game::LoadLevel(1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[ERROR] (LoadLevel) Couldn't open this file: data/level-01.txt\n");
    alarm(0);
}
