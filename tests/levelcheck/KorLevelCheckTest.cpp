#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <regex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "LevelPictures.hpp"
#include "Png.hpp"
#include "RunTool.hpp"
#include "TempDir.hpp"
#include "TestGraphics.hpp"

namespace {

const std::string Tool = KOR_LEVELCHECK;

const char* const OpenLevel =
    "* black hole straight ahead\n"
    "[Ball]\nPosition_X = 100\nPosition_Y = 0\nRadius = 25\n"
    "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 10\nMass = 1\n";

// The rocket shut in by four red walls.
const char* const Boxed =
    "[Ball]\nPosition_X = 200\nRadius = 25\n"
    "[Ball]\nRadius = 10\nMass = 1\n"
    "[Rectangle]\nPosition_X = -50\nPosition_Y = 40\nDimension_X = 100\nDimension_Y = 10\nGameOverOnCollision = 1\n"
    "[Rectangle]\nPosition_X = -50\nPosition_Y = -50\nDimension_X = 100\nDimension_Y = 10\nGameOverOnCollision = 1\n"
    "[Rectangle]\nPosition_X = -50\nPosition_Y = -40\nDimension_X = 10\nDimension_Y = 80\nGameOverOnCollision = 1\n"
    "[Rectangle]\nPosition_X = 40\nPosition_Y = -40\nDimension_X = 10\nDimension_Y = 80\nGameOverOnCollision = 1\n";

std::string Sections(int count)
{
    std::string text = OpenLevel;
    for (int i = 2; i < count; ++i) {
        text += "[Ball]\nPosition_X = 300\nPosition_Y = 300\nRadius = 5\n";
    }
    return text;
}

struct KorLevelCheckTest : ::testing::Test {
    ScopedWorkDir work;
    ToolRun Check(const std::string& args) { return RunTool(Tool + " --jobs 2 " + args); }
};

}  // namespace

TEST_F(KorLevelCheckTest, WinnableLevelPassesWithAnExampleOnThePlayersGrid)
{
    WriteFile("open.txt", OpenLevel);
    const ToolRun run = Check("open.txt");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // The disc of radius 26.25 seen from 100 away spans +-0.266 rad: 11 angles on each
    // side of 0 (0 to 0.25, and 6.025 to 6.275) for each of the 100 nonzero speeds.
    const std::regex row(R"(\nopen\.txt +(\d+) +(\d+) +(\d+)  speed (\d+)\.(\d), angle (\d+\.\d{4}) rad = )"
                         R"((\d+\.\d\d) deg \(([^)]*)\)\n)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m, row)) << run.out;
    EXPECT_EQ(m[1], "2200");
    EXPECT_EQ(m[2], "2200");
    EXPECT_EQ(m[3], "2200");
    const double speed = std::stod(m[4].str() + "." + m[5].str());
    EXPECT_EQ(std::fmod(speed, 2.5), 0.0);
    // A straight shot: the widest part of the winning band, at the start speed 150.
    EXPECT_EQ(speed, 150.0);
    EXPECT_EQ(m[6], "0.0000");
    EXPECT_EQ(m[8], "no presses");
    EXPECT_NE(run.out.find("\nevery level is winnable in "), std::string::npos);
}

TEST_F(KorLevelCheckTest, UnwinnableAndOverfullLevelsFail)
{
    WriteFile("open.txt", OpenLevel);
    WriteFile("boxed.txt", Boxed);
    WriteFile("full.txt", Sections(102));
    WriteFile("single.txt", "[Ball]\nRadius = 25\n");
    const ToolRun run = Check("open.txt boxed.txt full.txt single.txt");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("\nopen.txt "), std::string::npos) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(\nboxed\.txt +0 +0 +0  FAIL: no shot wins under both)")))
        << run.out;
    EXPECT_NE(run.out.find("\nfull.txt                              -          -          -  FAIL: the level has "
                           "more bodies than the table holds (101)\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nsingle.txt                            -          -          -  FAIL: the level needs "
                           "at least a black hole and a rocket\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nFAILED in "), std::string::npos);
}

TEST_F(KorLevelCheckTest, WaitingWhileAimingLetsMovingBodiesCloseTheWay)
{
    // A red block drifting left at 35 a second covers the black hole from about 1 s on.
    WriteFile("closing.txt", std::string(OpenLevel) +
                                 "[Rectangle]\nPosition_X = 150\nPosition_Y = -100\nDimension_X = 350\n"
                                 "Dimension_Y = 200\nSpeed_X = -35\nGameOverOnCollision = 1\n");
    EXPECT_EQ(Check("closing.txt").status, 0);
    const ToolRun late = Check("--wait 2.4 closing.txt");
    EXPECT_EQ(late.status, 1) << late.out;
    EXPECT_NE(late.out.find("launched after 2.40 s of aiming"), std::string::npos) << late.out;
}

TEST_F(KorLevelCheckTest, BadArgumentsGetTheUsage)
{
    WriteFile("open.txt", OpenLevel);
    for (const char* args : {"", "--jobs 0 open.txt", "--jobs x open.txt", "--jobs", "--wait 0.01 open.txt",
                             "--wait -1 open.txt", "--frobnicate open.txt", "missing.txt", "open.txt .",
                             "--map m.png open.txt open.txt", "--data . open.txt", "--map open.txt"}) {
        const ToolRun run = RunTool(Tool + " " + args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_NE(run.err.find("usage: kor-levelcheck"), std::string::npos) << args << run.err;
    }
}

// The search runs on threads of the one process: killed, nothing of it goes on running.
TEST_F(KorLevelCheckTest, KilledItLeavesNoProcessBehind)
{
    WriteFile("busy.txt", Sections(63));
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);  // its own process group, which anything it starts would join
        ::execl(Tool.c_str(), Tool.c_str(), "--jobs", "2", "--exhaustive", "--quiet", "busy.txt", nullptr);
        _exit(127);
    }
    ::setpgid(child, child);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the search ended before it could be killed";
    ASSERT_EQ(::kill(child, SIGTERM), 0);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    // No process is left in its group (kill(-group, 0) would find one).
    EXPECT_EQ(::kill(-child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(KorLevelCheckTest, HelpVersionAndProgress)
{
    const ToolRun help = RunTool(Tool + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: kor-levelcheck", 0), 0u) << help.out;
    EXPECT_EQ(RunTool(Tool + " -h").out, help.out);
    EXPECT_EQ(RunTool(Tool + " --version").out, std::string("kor-levelcheck ") + KOR_VERSION + "\n");

    // Not on a terminal: one line per level on stderr; --quiet: none.
    WriteFile("open.txt", OpenLevel);
    const ToolRun run = Check("open.txt");
    EXPECT_NE(run.err.find("kor-levelcheck: open.txt searched ("), std::string::npos) << run.err;
    EXPECT_EQ(Check("--quiet open.txt").err, "");
    // On a terminal (script(1) gives it one): a bar, wiped before the table.
    const ToolRun tty = RunTool("script -qec '" + Tool + " --jobs 2 open.txt' /dev/null");
    EXPECT_NE(tty.out.find("] 100%"), std::string::npos) << tty.out;
    EXPECT_EQ(tty.out.find("searched ("), std::string::npos);
}

TEST_F(KorLevelCheckTest, ExampleAimedDownWhenThatIsTheShorterWay)
{
    // The black hole below straight ahead: the winning shots lie under angle 0.
    WriteFile("low.txt",
              "[Ball]\nPosition_X = 100\nPosition_Y = -60\nRadius = 25\n"
              "[Ball]\nRadius = 10\nMass = 1\n");
    const ToolRun run = Check("low.txt");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(run.out, m, std::regex(R"(angle (\d+\.\d{4}) rad = [0-9.]+ deg \(Shift\+Down x(\d+)\))")))
        << run.out;
    const std::uint32_t down = static_cast<std::uint32_t>(std::stoul(m[2]));
    EXPECT_LT(down, 40u);
    char angle[16];
    std::snprintf(angle, sizeof angle, "%.4f", Search::AngleAfterDownPresses(down));
    EXPECT_EQ(m[1], angle);
}

TEST_F(KorLevelCheckTest, JsonMapAndPathsAgreeWithTheText)
{
    TestGraphics::WriteAll(work.dir);
    WriteFile("open.txt", OpenLevel);
    const ToolRun text = Check("--stats open.txt");
    const ToolRun run = Check("--json --map map.png --paths paths.png --data . open.txt");
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json out = nlohmann::json::parse(run.out);
    const nlohmann::json& level = out["levels"][0];
    const std::size_t both = level["wins"]["both"];
    const std::size_t fine = level["wins"]["0.01"];
    const std::size_t coarse = level["wins"]["0.02"];
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text.out, m, std::regex(R"(\nopen\.txt +(\d+) +(\d+) +(\d+)  )"))) << text.out;
    EXPECT_EQ(std::stoul(m[1]), fine);
    EXPECT_EQ(std::stoul(m[2]), coarse);
    EXPECT_EQ(std::stoul(m[3]), both);
    EXPECT_NE(text.out.find("(" + level["example"]["presses"].get<std::string>() + ")"), std::string::npos);
    EXPECT_NE(text.out.find("won " + std::to_string(level["outcomes"]["0.02"]["won"].get<std::size_t>()) + ", lost " +
                            std::to_string(level["outcomes"]["0.02"]["lost"].get<std::size_t>())),
              std::string::npos);
    EXPECT_TRUE(out["all_winnable"].get<bool>());

    // Each cell of the map in its outcome's colour: as many winning cells as the counts say.
    Png::Image map;
    std::string error;
    ASSERT_TRUE(Png::Read("map.png", 3, map, error)) << error;
    const int left = out["map"]["left"];
    const int top = out["map"]["top"];
    const int cw = out["map"]["cell_width"];
    const int ch = out["map"]["cell_height"];
    const Search::Grid grid;
    auto colour = [&](int x, int y) {
        const std::uint8_t* p = &map.pixels[(static_cast<std::size_t>(y) * map.width + x) * 3];
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    };
    std::size_t green = 0;
    std::size_t yellow = 0;
    for (std::uint32_t s = 0; s < grid.Speeds(); ++s) {
        for (std::uint32_t a = 0; a < grid.Angles(); ++a) {
            // The corner away from the example's cross.
            const std::uint32_t c =
                colour(left + static_cast<int>(s) * cw, top + static_cast<int>(grid.Angles() - 1 - a) * ch);
            green += c == LevelPictures::WonBoth;
            yellow += c == LevelPictures::WonOne;
        }
    }
    EXPECT_EQ(green, both);
    EXPECT_EQ(yellow, fine + coarse - 2 * both);
    // Straight ahead at speed 150 wins; straight back does not.
    EXPECT_EQ(colour(left + 30 * cw, top + (static_cast<int>(grid.Angles()) - 1) * ch), LevelPictures::WonBoth);
    EXPECT_NE(colour(left + 30 * cw, top + 126 * ch), LevelPictures::WonBoth);

    Png::Image paths;
    ASSERT_TRUE(Png::Read("paths.png", 3, paths, error)) << error;
    EXPECT_EQ(paths.width, 1024);
    EXPECT_EQ(paths.height, 768);
}
