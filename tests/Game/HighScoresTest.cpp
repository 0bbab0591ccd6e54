#include <gtest/gtest.h>

#include <array>
#include <string>

#include "Game/Game.hpp"
#include "TempDir.hpp"

namespace {

using Table = std::array<std::int32_t, 5>;

Table Added(Table table, std::int32_t score)
{
    Game::AddHighScore(table, score);
    return table;
}

struct HighScoresTest : ::testing::Test {
    ScopedWorkDir work;
    void SetUp() override { std::filesystem::create_directory("data"); }

    Table Loaded(std::string& console, Table table = {7, 7, 7, 7, 7})
    {
        testing::internal::CaptureStdout();
        Game::LoadScores(table);
        console = testing::internal::GetCapturedStdout();
        return table;
    }
    Table Loaded()
    {
        std::string console;
        return Loaded(console);
    }
    std::string Saved(const Table& table)
    {
        testing::internal::CaptureStdout();
        Game::SaveScores(table);
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST(AddHighScore, Insertions)
{
    const Table base{500, 300, 300, 100, 0};
    EXPECT_EQ(Added(base, 300), (Table{500, 300, 300, 300, 100}));  // ties go below
    EXPECT_EQ(Added(base, 0), base);
    EXPECT_EQ(Added(base, 600), (Table{600, 500, 300, 300, 100}));
    EXPECT_EQ(Added((Table{500, 300, 300, 100, 80}), 90), (Table{500, 300, 300, 100, 90}));
    EXPECT_EQ(Added((Table{0, 0, 0, 0, 0}), 20), (Table{20, 0, 0, 0, 0}));
}

TEST_F(HighScoresTest, SaveWritesCrLfLinesAndLoadsBack)
{
    const Table table{600, 500, 300, 300, 100};
    EXPECT_EQ(Saved(table), "");
    EXPECT_EQ(ReadFile("data/highscores.dat"), "600\r\n500\r\n300\r\n300\r\n100\r\n");
    EXPECT_EQ(ReadFile("data/highscores.dat").size(), 25u);
    EXPECT_FALSE(std::filesystem::exists("data/highscores.dat.tmp"));
    EXPECT_EQ(Loaded(), table);

    const Table odd{2147483647, 0, -20, -5, -2147483647 - 1};
    EXPECT_EQ(Saved(odd), "");
    EXPECT_EQ(ReadFile("data/highscores.dat"), "2147483647\r\n0\r\n-20\r\n-5\r\n-2147483648\r\n");
    EXPECT_EQ(Loaded(), odd);
}

TEST_F(HighScoresTest, LoadAcceptsAnyWhitespace)
{
    WriteFile("data/highscores.dat", "600 500 300 300 100");
    EXPECT_EQ(Loaded(), (Table{600, 500, 300, 300, 100}));
    WriteFile("data/highscores.dat", "\r\n 600\t\t500\x1A\n\n300 \r300\r\n+100\r\n999\r\n");
    EXPECT_EQ(Loaded(), (Table{600, 500, 300, 300, 100}));
}

TEST_F(HighScoresTest, MissingOrShortFileLeavesZeros)
{
    std::string console;
    EXPECT_EQ(Loaded(console), (Table{0, 0, 0, 0, 0}));
    EXPECT_EQ(console, "[ERROR] (LoadScores) There are no high scores to load.");  // no line end

    WriteFile("data/highscores.dat", "");
    EXPECT_EQ(Loaded(console), (Table{0, 0, 0, 0, 0}));
    EXPECT_EQ(console, "");
    WriteFile("data/highscores.dat", "400\r\n200\r\n");
    EXPECT_EQ(Loaded(), (Table{400, 200, 0, 0, 0}));
}

TEST_F(HighScoresTest, ReadingStopsAtTheFirstWordThatIsNoInteger)
{
    const struct {
        const char* text;
        Table expected;
    } cases[] = {
        {"600 abc 300 200 100", {600, 0, 0, 0, 0}},
        {"600 500 12abc 200 100", {600, 500, 0, 0, 0}},
        {"600 1.5 300", {600, 0, 0, 0, 0}},
        {"600 2147483648 300", {600, 0, 0, 0, 0}},
        {"600 -2147483649 300", {600, 0, 0, 0, 0}},
        {"600 99999999999999999999999 1", {600, 0, 0, 0, 0}},
        {"- 5", {0, 0, 0, 0, 0}},
        {"5 -", {5, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        WriteFile("data/highscores.dat", c.text);
        EXPECT_EQ(Loaded(), c.expected) << c.text;
    }
}

TEST_F(HighScoresTest, LeadingZerosOfAnyLengthAreRead)
{
    // A long run of zeros is still a well-formed integer: it must not end the reading.
    const std::string zeros(26, '0');
    WriteFile("data/highscores.dat", "5\r\n" + zeros + " -" + zeros + "300 +" + zeros + "40\x1A" + zeros + "2147483647");
    EXPECT_EQ(Loaded(), (Table{5, 0, -300, 40, 2147483647}));
    WriteFile("data/highscores.dat", "7 -" + zeros + "2147483648 " + zeros + "2147483648 1");
    EXPECT_EQ(Loaded(), (Table{7, -2147483647 - 1, 0, 0, 0}));
}

TEST_F(HighScoresTest, FailedSaveKeepsTheOldTable)
{
    const Table old{600, 500, 300, 300, 100};
    EXPECT_EQ(Saved(old), "");

    // The new file cannot be created beside the old one.
    std::filesystem::create_directory("data/highscores.dat.tmp");
    std::string out = Saved(Table{900, 800, 700, 600, 500});
    EXPECT_EQ(out.rfind("[ERROR] (SaveScores) ", 0), 0u) << out;
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(Loaded(), old);
    std::filesystem::remove("data/highscores.dat.tmp");

    // The new file cannot replace the old name.
    std::filesystem::remove("data/highscores.dat");
    std::filesystem::create_directories("data/highscores.dat/keep");
    out = Saved(old);
    EXPECT_EQ(out.rfind("[ERROR] (SaveScores) ", 0), 0u) << out;
    EXPECT_FALSE(std::filesystem::exists("data/highscores.dat.tmp"));
    EXPECT_TRUE(std::filesystem::is_directory("data/highscores.dat/keep"));

    // No data directory at all.
    std::filesystem::remove_all("data");
    out = Saved(old);
    EXPECT_EQ(out.rfind("[ERROR] (SaveScores) ", 0), 0u) << out;
}

// A table kept elsewhere through a symbolic link stays there: the save goes to the link's
// target, relative links and chains included, and the link itself is left alone.
TEST_F(HighScoresTest, SaveThroughASymbolicLinkWritesItsTarget)
{
    namespace fs = std::filesystem;
    fs::create_directories("elsewhere/deeper");
    WriteFile("elsewhere/deeper/scores", "300\n200\n");
    fs::create_symlink("deeper/scores", "elsewhere/link");     // relative to its own folder
    fs::create_symlink(fs::absolute("elsewhere/link"), "data/highscores.dat");
    EXPECT_EQ(Loaded(), (Table{300, 200, 0, 0, 0}));

    EXPECT_EQ(Saved(Table{400, 300, 200, 0, 0}), "");
    EXPECT_TRUE(fs::is_symlink("data/highscores.dat"));
    EXPECT_TRUE(fs::is_symlink("elsewhere/link"));
    EXPECT_EQ(Loaded(), (Table{400, 300, 200, 0, 0}));
    EXPECT_FALSE(fs::exists("elsewhere/deeper/scores.tmp"));
    EXPECT_FALSE(fs::exists("data/highscores.dat.tmp"));

    // A link whose target is not there yet: the table is made there.
    fs::remove("data/highscores.dat");
    fs::create_symlink("../elsewhere/new-scores", "data/highscores.dat");
    EXPECT_EQ(Saved(Table{50, 0, 0, 0, 0}), "");
    EXPECT_TRUE(fs::is_symlink("data/highscores.dat"));
    EXPECT_TRUE(fs::is_regular_file("elsewhere/new-scores"));
    EXPECT_EQ(Loaded(), (Table{50, 0, 0, 0, 0}));

    // A target folder that is gone: reported, and the link is kept.
    fs::remove("data/highscores.dat");
    fs::create_symlink("../nowhere/scores", "data/highscores.dat");
    const std::string out = Saved(Table{60, 0, 0, 0, 0});
    EXPECT_EQ(out.rfind("[ERROR] (SaveScores) ", 0), 0u) << out;
    EXPECT_TRUE(fs::is_symlink("data/highscores.dat"));
}
