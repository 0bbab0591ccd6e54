#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
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
    std::string Saved(Table table)
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

    const Table odd{2147483647, 0, -5, -20, -2147483647 - 1};
    EXPECT_EQ(Saved(odd), "");
    EXPECT_EQ(ReadFile("data/highscores.dat"), "2147483647\r\n0\r\n-5\r\n-20\r\n-2147483648\r\n");
    EXPECT_EQ(Loaded(), odd);
    // Nothing but the table is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), {}), 1);
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

// A damaged word costs no score after it; it is reported once, with where it stands.
// Numbers beyond the 32-bit range rank at its ends, and the table comes back in order.
TEST_F(HighScoresTest, DamagedWordsAreSkippedAndTheTableStaysInOrder)
{
    const struct {
        const char* text;
        Table expected;
        const char* message;
    } cases[] = {
        {"600 abc 300 200 100",
         {600, 300, 200, 100, 0},
         "Word 2 of data/highscores.dat is not a whole number and is skipped: abc"},
        {"600 500 12abc 200 100 50",
         {600, 500, 200, 100, 50},
         "Word 3 of data/highscores.dat is not a whole number and is skipped: 12abc"},
        {"600 1.5 x\x1B[2J 300",
         {600, 300, 0, 0, 0},
         "Word 2 of data/highscores.dat is not a whole number and is skipped: 1.5"},
        {"600 2147483648 300",
         {2147483647, 600, 300, 0, 0},
         "Word 2 of data/highscores.dat is beyond the range of a score and is read as its end: 2147483648"},
        {"600 -99999999999999999999 300",
         {600, 300, 0, 0, -2147483647 - 1},
         "Word 2 of data/highscores.dat is beyond the range of a score and is read as its end: -99999999999999999999"},
        {"- 5", {5, 0, 0, 0, 0}, "Word 1 of data/highscores.dat is not a whole number and is skipped: -"},
        {"\x1B]0;x\x07 5",
         {5, 0, 0, 0, 0},
         "Word 1 of data/highscores.dat is not a whole number and is skipped: \\x1B]0;x\\x07"},
        {"100 300 -20 200", {300, 200, 100, 0, -20}, nullptr},  // edited by hand: put in order
    };
    for (const auto& c : cases) {
        WriteFile("data/highscores.dat", c.text);
        std::string console;
        EXPECT_EQ(Loaded(console), c.expected) << c.text;
        EXPECT_EQ(console, c.message ? std::string("[ERROR] (LoadScores) ") + c.message + "\n" : "") << c.text;
    }
}

// A 2 GB damaged table (a sparse file: all zero bytes) is read only at its start, with one
// line, so that the end of a game never waits for it.
TEST_F(HighScoresTest, HugeFileIsReadOnlyAtItsStart)
{
    WriteFile("data/highscores.dat", "700 " + std::string(70000, '1'));
    ASSERT_EQ(::truncate("data/highscores.dat", 2LL << 30), 0);
    const auto start = std::chrono::steady_clock::now();
    std::string console;
    EXPECT_EQ(Loaded(console), (Table{2147483647, 700, 0, 0, 0}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(console.substr(console.find('\n') + 1),
              "[ERROR] (LoadScores) data/highscores.dat is longer than a table of scores can be: only its first 64 KiB "
              "are read.\n");
}

TEST_F(HighScoresTest, LeadingZerosOfAnyLengthAreRead)
{
    // A long run of zeros is still a well-formed integer: it must not end the reading.
    const std::string zeros(26, '0');
    WriteFile("data/highscores.dat",
              "5\r\n" + zeros + " -" + zeros + "300 +" + zeros + "40\x1A" + zeros + "2147483647");
    EXPECT_EQ(Loaded(), (Table{2147483647, 40, 5, 0, -300}));
    WriteFile("data/highscores.dat", "7 -" + zeros + "2147483648 " + zeros + "2147483648 1");
    EXPECT_EQ(Loaded(), (Table{2147483647, 7, 1, 0, -2147483647 - 1}));
}

TEST_F(HighScoresTest, FailedSaveKeepsTheOldTable)
{
    Table old{600, 500, 300, 300, 100};
    EXPECT_EQ(Saved(old), "");

    // A folder in the table's place is left as it is.
    std::filesystem::remove("data/highscores.dat");
    std::filesystem::create_directories("data/highscores.dat/keep");
    std::string out = Saved(old);
    EXPECT_EQ(out,
              "[ERROR] (SaveScores) Not saved: data/highscores.dat is left as it is (a folder, not a regular file).\n");
    EXPECT_TRUE(std::filesystem::is_directory("data/highscores.dat/keep"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), {}), 1);

    // No data directory at all.
    std::filesystem::remove_all("data");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Game::SaveScores(old));
    out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("[ERROR] (SaveScores) ", 0), 0u) << out;
}

// The player's file stays the player's: its permissions and hard links are kept, and what
// a killed save left beside it goes at the next save, but not the file of a save still running.
TEST_F(HighScoresTest, SaveKeepsModeAndLinksAndRemovesLeftovers)
{
    WriteFile("data/highscores.dat", "5\r\n");
    ASSERT_EQ(::chmod("data/highscores.dat", 0600), 0);
    const pid_t gone = ::fork();
    if (gone == 0) _exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string left = "data/highscores.dat.tmp-" + std::to_string(gone) + "-17";
    const std::string running = "data/highscores.dat.tmp-" + std::to_string(::getpid()) + "-18";
    WriteFile(left, "1\r\n");
    WriteFile(running, "2\r\n");
    // Names no save makes.
    for (const char* mine :
         {"data/highscores.dat.tmp-x-1", "data/highscores.dat.tmp-1-", "data/highscores.dat.tmp-1-2-3"}) {
        WriteFile(mine, "mine");
    }

    EXPECT_EQ(Saved(Table{90, 5, 0, 0, 0}), "");
    struct stat info {};
    ASSERT_EQ(::stat("data/highscores.dat", &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), {}), 5);

    ASSERT_EQ(::link("data/highscores.dat", "backup"), 0);
    EXPECT_EQ(Saved(Table{300, 90, 5, 0, 0}), "");
    EXPECT_EQ(ReadFile("backup"), "300\r\n90\r\n5\r\n0\r\n0\r\n");
    EXPECT_EQ(Saved(Table{3, 0, 0, 0, 0}), "");  // shorter: the old rest is cut off
    EXPECT_EQ(ReadFile("backup"), "3\r\n0\r\n0\r\n0\r\n0\r\n");
    ASSERT_EQ(::stat("data/highscores.dat", &info), 0);
    EXPECT_EQ(info.st_nlink, 2u);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// A table kept elsewhere through a symbolic link stays there: the save goes to the link's
// target, relative links and chains included, and the link itself is left alone.
TEST_F(HighScoresTest, SaveThroughASymbolicLinkWritesItsTarget)
{
    namespace fs = std::filesystem;
    fs::create_directories("elsewhere/deeper");
    WriteFile("elsewhere/deeper/scores", "300\n200\n");
    fs::create_symlink("deeper/scores", "elsewhere/link");  // relative to its own folder
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

// Whatever stands in the table's place and is no regular file (directly or through a link)
// is reported in one line, neither read nor replaced, and the game's table starts at zeros.
TEST_F(HighScoresTest, NoRegularFileIsReadOrReplaced)
{
    namespace fs = std::filesystem;
    alarm(20);  // a load that blocks or never ends must fail the test, not hang it
    ASSERT_EQ(::mkfifo("fifo", 0666), 0);
    // A device made here (like /dev/zero: read, it never ends), never one of the system's:
    // a fault would replace only this one.
    const bool device = ::mknod("device", S_IFCHR | 0666, ::makedev(1, 5)) == 0;
    fs::create_directory("folder");
    const struct {
        const char* name;
        const char* kind;
        fs::file_type type;
    } others[] = {{"fifo", "a FIFO", fs::file_type::fifo},
                  {"device", "a device", fs::file_type::character},
                  {"folder", "a folder", fs::file_type::directory}};
    for (const auto& other : others) {
        if (other.type == fs::file_type::character && !device) {
            continue;  // mknod needs root
        }
        for (const bool link : {false, true}) {
            if (link) {
                fs::create_symlink(fs::absolute(other.name), "data/highscores.dat");
            } else {
                fs::rename(other.name, "data/highscores.dat");
            }
            const std::string why = std::string(other.kind) + ", not a regular file";
            std::string console;
            EXPECT_EQ(Loaded(console), (Table{0, 0, 0, 0, 0})) << other.name;
            EXPECT_EQ(console, "[ERROR] (LoadScores) Couldn't read data/highscores.dat (" + why +
                                   "): it is left as it is, and this game's scores are not saved.\n");
            EXPECT_EQ(Saved(Table{100, 0, 0, 0, 0}),
                      "[ERROR] (SaveScores) Not saved: data/highscores.dat is left as it is (" + why + ").\n");
            EXPECT_EQ(fs::symlink_status("data/highscores.dat").type(), link ? fs::file_type::symlink : other.type);
            if (link) {
                EXPECT_EQ(fs::symlink_status(other.name).type(), other.type);
                fs::remove("data/highscores.dat");
            } else {
                fs::rename("data/highscores.dat", other.name);
            }
        }
    }
    alarm(0);
    if (!device) {
        GTEST_SKIP() << "no device node could be made (needs root)";
    }
}

// A table the player cannot read is kept as it is, not replaced by this game's.
TEST_F(HighScoresTest, UnreadableFileIsKept)
{
    WriteFile("data/highscores.dat", "500\r\n");
    ASSERT_EQ(::chmod("data/highscores.dat", 0), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // Root reads any file: the player is played by "nobody" (a fork, so no thread of the
        // test runs as anyone else).
        if (std::freopen("console.txt", "w", stdout) == nullptr) _exit(3);
        if (::geteuid() == 0 &&
            (::chmod(".", 0777) != 0 || ::chmod("data", 0777) != 0 || ::setgroups(0, nullptr) != 0 ||
             ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)) {
            _exit(2);
        }
        std::array<std::int32_t, 5> table{7, 7, 7, 7, 7};
        Game::LoadScores(table);
        Game::AddHighScore(table, 100);
        Game::SaveScores(table);
        std::fflush(stdout);
        _exit(table == Table{100, 0, 0, 0, 0} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "could not become another user";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(
        ReadFile("console.txt"),
        "[ERROR] (LoadScores) Couldn't read data/highscores.dat (Permission denied): it is left as it is, and this "
        "game's scores are not saved.\n"
        "[ERROR] (SaveScores) Not saved: data/highscores.dat is left as it is (Permission denied).\n");
    ::chmod("data/highscores.dat", 0644);
    EXPECT_EQ(ReadFile("data/highscores.dat"), "500\r\n");
}

// A game that ends while another program saved since it read the table enters its score
// into the table on disk as it is now, and shows that table: nobody's score is lost, also
// when both scored the same.
TEST_F(HighScoresTest, ScoresSavedByAnotherProgramMeanwhileAreKept)
{
    const struct {
        const char* before;  // the table this game read
        const char* behind;  // what another program saved meanwhile (null: removed)
        std::int32_t score;
        Table after;
    } cases[] = {
        {"500\r\n", "500\r\n100\r\n", 100, {500, 100, 100, 0, 0}},
        {"500\r\n", "900\r\n500\r\n", 600, {900, 600, 500, 0, 0}},
        {"50 40 30 20 10", "60 50 40 30 20", 45, {60, 50, 45, 40, 30}},
        {"50 40 30 20 10", "60 50 40 30 20", 5, {60, 50, 40, 30, 20}},
        {"500\r\n", nullptr, 100, {100, 0, 0, 0, 0}},  // the player removed the table
    };
    for (const auto& c : cases) {
        WriteFile("data/highscores.dat", c.before);
        Table table = Loaded();
        if (c.behind != nullptr) {
            WriteFile("data/highscores.dat", c.behind);
        } else {
            std::filesystem::remove("data/highscores.dat");
        }
        Game::AddHighScore(table, c.score);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(Game::SaveScores(table)) << c.before;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << c.before;
        EXPECT_EQ(table, c.after) << c.before;
        EXPECT_EQ(Loaded(), c.after) << c.before;
    }
}

// Two games saving at the same moment, again and again: every reading finds one whole
// table, every score either entered is in the last table, and nothing else is left behind.
TEST_F(HighScoresTest, TwoGamesSavingAtOnce)
{
    constexpr int Saves = 40;
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        if (children[i] == 0) {
            if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(3);
            bool saved = true;
            for (int k = 0; k < Saves; ++k) {  // one game enters the even scores, the other the odd
                Table table{};
                Game::LoadScores(table);
                Game::AddHighScore(table, 2 * k + i);
                saved = Game::SaveScores(table) && saved;
            }
            _exit(saved ? 0 : 4);
        }
    }
    int reads = 0;
    int torn = 0;
    int status[2] = {-1, -1};
    while (status[0] < 0 || status[1] < 0) {
        const std::string text = ReadFile("data/highscores.dat");
        ++reads;
        int lines = 0;
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
        if (!text.empty() && lines != 5) ++torn;
        for (int i = 0; i < 2; ++i) {
            int s = 0;
            if (status[i] < 0 && ::waitpid(children[i], &s, WNOHANG) == children[i]) status[i] = s;
        }
    }
    EXPECT_TRUE(WIFEXITED(status[0]) && WEXITSTATUS(status[0]) == 0 && WIFEXITED(status[1]) &&
                WEXITSTATUS(status[1]) == 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " readings";
    EXPECT_EQ(Loaded(), (Table{2 * Saves - 1, 2 * Saves - 2, 2 * Saves - 3, 2 * Saves - 4, 2 * Saves - 5}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), {}), 1);
}
