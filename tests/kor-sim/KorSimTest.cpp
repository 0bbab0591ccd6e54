#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "TempDir.hpp"

namespace {

struct SimRun {
    int status;
    std::string out;
    std::string err;
};

struct KorSimTest : ::testing::Test {
    ScopedWorkDir work;

    SimRun Sim(const std::string& args)
    {
        const std::string command = std::string(KOR_SIM) + " " + args + " 2>stderr.txt";
        SimRun run{-1, {}, {}};
        std::FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return run;
        }
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            run.out.append(buffer, n);
        }
        const int status = ::pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.err = ReadFile("stderr.txt");
        return run;
    }
};

const char* const StraightShot =
    "[Ball]\nPosition_X = 100\nPosition_Y = 0\nRadius = 25\n"
    "[Ball]\nPosition_X = 0\nPosition_Y = 0\nRadius = 10\nMass = 1\n";

// Where the rocket of StraightShot is after k steps, computed as the simulation does.
std::string RocketX(int steps, std::uint32_t ms)
{
    const float dt = static_cast<float>(ms) * 0.001f;
    const float speed = 250.0f * std::cos(0.0f);
    float x = 0.0f;
    for (int i = 0; i < steps; ++i) {
        x = x + speed * dt;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", x);
    return text;
}

}  // namespace

TEST_F(KorSimTest, StraightShotIntoTheBlackHole)
{
    WriteFile("level.txt", StraightShot);
    SimRun run = Sim("level.txt");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    // The win distance is 0.75 * 35 = 26.25: reached after 30 steps of 2.5 units.
    EXPECT_EQ(run.out, "body 0 ball 100 0 25 0 0 0 0 0 0\n"
                       "body 1 ball " + RocketX(30, 10) + " 0 10 0 250 0 1 0 0\n"
                       "result: won steps=30\n");

    run = Sim("level.txt --dt 0.02 --speed 250 --angle 0");
    EXPECT_EQ(run.out, "body 0 ball 100 0 25 0 0 0 0 0 0\n"
                       "body 1 ball " + RocketX(15, 20) + " 0 10 0 250 0 1 0 0\n"
                       "result: won steps=15\n");

    // Straight up the rocket misses and runs out of steps.
    run = Sim("level.txt --angle 1.5707964 --steps 40");
    EXPECT_NE(run.out.find("\nresult: running steps=40\n"), std::string::npos) << run.out;
}

TEST_F(KorSimTest, HeldRocketAndZeroSteps)
{
    WriteFile("level.txt", StraightShot);
    SimRun run = Sim("level.txt --no-shot --steps 5");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "body 0 ball 100 0 25 0 0 0 0 0 0\n"
                       "body 1 ball 0 0 10 0 0 0 0 0 0\n"  // held: mass 0
                       "result: running steps=5\n");
    run = Sim("level.txt --steps 0");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("body 1 ball 0 0 10 0 250 0 1 0 0\nresult: running steps=0\n"), std::string::npos)
        << run.out;
}

TEST_F(KorSimTest, CrashIntoADeadlyWallWithLoaderMessages)
{
    WriteFile("level.txt", std::string(StraightShot) +
                               "[Rectangle]\nPosition_X = 40\nPosition_Y = -50\nDimension_X = 10\n"
                               "Dimension_Y = 100\nGameOverOnCollision = 1\nColour = red\n");
    const SimRun run = Sim("level.txt --dt 0.01");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("[ERROR] (ReadLevelFileLine) Couldn't interpret this: Colour = red\nbody 0 ", 0), 0u)
        << run.out;
    // The rocket's edge reaches x = 40 after 12 steps: it is put back to touch the wall
    // (x = 30 up to rounding) and bounces off it without loss.
    EXPECT_NE(run.out.find("\nbody 1 ball 30.0000019 0 10 0 -250 -0 1 0 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nbody 2 rectangle 40 -50 10 100 0 0 0 0 1\nresult: lost steps=12\n"), std::string::npos)
        << run.out;
}

TEST_F(KorSimTest, LostAndWonInOneStepCountsAsWon)
{
    // The wall at x = 14 is hit in the same step in which the rocket comes within reach.
    WriteFile("level.txt",
              "[Ball]\nPosition_X = 30\nRadius = 25\n"
              "[Ball]\nRadius = 10\nMass = 1\n"
              "[Rectangle]\nPosition_X = 14\nPosition_Y = -5\nDimension_X = 10\nDimension_Y = 10\n"
              "GameOverOnCollision = 1\n");
    const SimRun run = Sim("level.txt");
    EXPECT_NE(run.out.find("\nresult: won steps=2\n"), std::string::npos) << run.out;
}

TEST_F(KorSimTest, BadArgumentsAndMissingFiles)
{
    WriteFile("level.txt", StraightShot);
    for (const char* args : {"", "level.txt --speed", "level.txt --speed fast", "level.txt --angle 1x",
                             "level.txt --dt 0.0005", "level.txt --dt -0.01", "level.txt --steps -1",
                             "level.txt --steps 1.5", "level.txt --frobnicate", "level.txt level.txt",
                             "missing.txt", "."}) {
        const SimRun run = Sim(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_NE(run.err.find("usage: kor-sim LEVELFILE"), std::string::npos) << args;
    }
}
