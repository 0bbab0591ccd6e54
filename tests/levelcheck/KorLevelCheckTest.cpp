#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "RunTool.hpp"
#include "TempDir.hpp"

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
                         R"((\d+\.\d\d) deg \(Up x(\d+)\)\n)");
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
    EXPECT_EQ(m[8], "0");
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
                             "--wait -1 open.txt", "--frobnicate open.txt", "missing.txt", "open.txt ."}) {
        const ToolRun run = RunTool(Tool + " " + args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_NE(run.err.find("usage: kor-levelcheck"), std::string::npos) << args << run.err;
    }
}
