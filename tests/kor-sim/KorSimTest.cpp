#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "Png.hpp"
#include "TempDir.hpp"
#include "TestGraphics.hpp"

namespace {

struct SimRun {
    int status;
    std::string out;
    std::string err;
};

struct KorSimTest : ::testing::Test {
    ScopedWorkDir work;

    SimRun Sim(const std::string& args) { return Run(std::string(KOR_SIM) + " " + args); }
    SimRun Run(const std::string& commandLine)
    {
        const std::string command = commandLine + " 2>stderr.txt";
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
    EXPECT_EQ(run.out,
              "body 0 ball 100 0 25 0 0 0 0 0 0\n"
              "body 1 ball " +
                  RocketX(30, 10) +
                  " 0 10 0 250 0 1 0 0\n"
                  "result: won steps=30\n");

    run = Sim("level.txt --dt 0.02 --speed 250 --angle 0");
    EXPECT_EQ(run.out,
              "body 0 ball 100 0 25 0 0 0 0 0 0\n"
              "body 1 ball " +
                  RocketX(15, 20) +
                  " 0 10 0 250 0 1 0 0\n"
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
    EXPECT_EQ(run.out,
              "body 0 ball 100 0 25 0 0 0 0 0 0\n"
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
    for (const char* args :
         {"", "level.txt --speed", "level.txt --speed fast", "level.txt --angle 1x", "level.txt --dt 0.0005",
          "level.txt --dt 0", "level.txt --dt -0.01", "level.txt --steps -1", "level.txt --steps 1.5",
          "level.txt --frobnicate", "level.txt level.txt", "missing.txt", ".", "level.txt --png", "level.txt --fit",
          "level.txt --png a.png --data nowhere"}) {
        const SimRun run = Sim(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_NE(run.err.find("usage: kor-sim LEVELFILE"), std::string::npos) << args;
    }
}

// Both tools: a level argument is named as what it is, an output that is an input or
// another output (by any name) is a usage error that writes nothing, and results that cannot
// be written (a full disc, a reader that has gone) give one line and status 3, never a silent 0.
TEST_F(KorSimTest, LevelArgumentsAndOutputsThatFailSayWhat)
{
    WriteFile("level.txt", StraightShot);
    ASSERT_EQ(::mkfifo("fifo.txt", 0600), 0);
    ASSERT_EQ(::symlink("level.txt", "link.txt"), 0);
    ASSERT_EQ(::link("level.txt", "hard.txt"), 0);
    ASSERT_EQ(::symlink("out.png", "to-out.png"), 0);  // out.png is not there yet
    for (const auto& [args, said] :
         {std::pair{KOR_SIM " level.txt --png level.txt",
                    "kor-sim: --png is the same file as the level file: level.txt"},
          {KOR_SIM " level.txt --png ./link.txt", "kor-sim: --png is the same file as the level file: ./link.txt"},
          {KOR_LEVELCHECK " level.txt --paths hard.txt",
           "kor-levelcheck: --paths is the same file as the level file: hard.txt"},
          {KOR_LEVELCHECK " level.txt --map out.png --paths to-out.png",
           "kor-levelcheck: --paths is the same file as --map: to-out.png"}}) {
        const SimRun run = Run(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find(said), std::string::npos) << args << ": " << run.err;
        EXPECT_EQ(ReadFile("level.txt"), StraightShot) << args;
        EXPECT_FALSE(std::filesystem::exists("out.png")) << args;
    }
    for (const std::string tool : {KOR_SIM, KOR_LEVELCHECK " --quiet --jobs 1"}) {
        for (const auto& [arg, said] : {std::pair{"fifo.txt", "fifo.txt is a FIFO"},
                                        {".", ". is a folder"},
                                        {"/dev/null", "/dev/null is a device"},
                                        {"missing.txt", "no such level file"}}) {
            const SimRun run = Run(tool + " " + arg);
            EXPECT_EQ(run.status, 2) << tool << " " << arg;
            EXPECT_NE(run.err.find(said), std::string::npos) << tool << " " << arg << ": " << run.err;
        }
        for (const char* how : {"", " --json", " --help"}) {
            const std::string command = tool + how + " level.txt";
            // stdout is a full device, then a pipe whose reader has closed it already.
            const SimRun full = Run(command + " >/dev/full");
            EXPECT_EQ(full.status, 3) << command;
            EXPECT_NE(full.err.find("the results could not be written: No space left on device"), std::string::npos)
                << command << ": " << full.err;
            int ends[2];
            ASSERT_EQ(::pipe(ends), 0);
            ::close(ends[0]);
            const pid_t child = ::fork();
            if (child == 0) {
                ::dup2(ends[1], STDOUT_FILENO);
                ::execl("/bin/sh", "sh", "-c", (command + " 2>pipe-stderr.txt").c_str(), nullptr);
                _exit(127);
            }
            ::close(ends[1]);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << command << ": status " << status;
            EXPECT_NE(ReadFile("pipe-stderr.txt").find("could not be written: Broken pipe"), std::string::npos)
                << command;
        }
    }
}

TEST_F(KorSimTest, HelpAndVersionGoToStdout)
{
    for (const char* args : {"--help", "-h", "level.txt --frobnicate --help"}) {
        const SimRun run = Sim(args);
        EXPECT_EQ(run.status, args[0] == 'l' ? 2 : 0) << args;
    }
    const SimRun help = Sim("-h");
    EXPECT_EQ(help.out.rfind("usage: kor-sim LEVELFILE", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    const SimRun version = Sim("--version");
    EXPECT_EQ(version.out, std::string("kor-sim ") + KOR_VERSION + "\n");
}

// A known winning shot over solid test pictures, so that a pixel tells which picture lies there.
struct KorSimPictureTest : KorSimTest {
    void SetUp() override
    {
        TestGraphics::WriteAll(work.dir);
        // Black hole at (300, 0), rocket at the origin, a planet with a weak field up left.
        WriteFile("level.txt",
                  "[Ball]\nPosition_X = 300\nRadius = 25\n"
                  "[Ball]\nRadius = 10\nMass = 1\n"
                  "[Ball]\nPosition_X = -200\nPosition_Y = 200\nRadius = 20\nField = 1\n");
    }

    Png::Image Picture(const std::string& file)
    {
        Png::Image image;
        std::string error;
        EXPECT_TRUE(Png::Read(file, 3, image, error)) << error;
        return image;
    }
};

// 0x00BBGGRR, as the test pictures are given.
std::uint32_t At(const Png::Image& image, int x, int y)
{
    const std::uint8_t* p = &image.pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

TEST_F(KorSimPictureTest, TheLevelAsTheGameDrawsItWithTheShotsPath)
{
    const SimRun run = Sim("level.txt --png shot.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("result: won"), std::string::npos);
    const Png::Image image = Picture("shot.png");
    ASSERT_EQ(image.width, 1024);
    ASSERT_EQ(image.height, 768);
    // Pictures at the game's places: the black hole's box from (787, 359), the rocket's from
    // (502, 374), the planet's from (292, 164) with the top left quarter of its mask black.
    EXPECT_EQ(At(image, 812, 370), TestGraphics::BlackHoleColor);
    EXPECT_EQ(At(image, 505, 377), TestGraphics::RocketColor);
    EXPECT_EQ(At(image, 322, 194), TestGraphics::AttractColor);
    EXPECT_EQ(At(image, 297, 169), TestGraphics::BackgroundColor);
    EXPECT_EQ(At(image, 10, 300), TestGraphics::BackgroundColor);
    EXPECT_EQ(At(image, 10, 740), TestGraphics::MenuColor);
    // The path: black dots along row 384 from the rocket to the black hole, nowhere else.
    int dots = 0;
    for (int x = 600; x < 760; ++x) {
        dots += At(image, x, 384) == TestGraphics::Black;
        EXPECT_EQ(At(image, x, 380), TestGraphics::BackgroundColor) << x;
    }
    EXPECT_GE(dots, 70);
    // The outcome written in the lower right corner.
    int bright = 0;
    for (int y = 720; y < 768; ++y) {
        for (int x = 800; x < 1024; ++x) {
            bright += (At(image, x, y) & 0xFF) > 200;
        }
    }
    EXPECT_GT(bright, 50);

    // Held, the path is left out; --fit changes nothing while the flight stays in the window.
    ASSERT_EQ(Sim("level.txt --no-shot --png held.png").status, 0);
    const Png::Image held = Picture("held.png");
    EXPECT_EQ(At(held, 700, 384), TestGraphics::BackgroundColor);
    ASSERT_EQ(Sim("level.txt --png fit.png --fit").status, 0);
    EXPECT_EQ(Picture("fit.png").pixels, image.pixels);
}

TEST_F(KorSimPictureTest, FitZoomsOutToAFlightThatLeavesTheWindow)
{
    const SimRun run = Sim("level.txt --speed 400 --angle 1.2 --steps 3000 --png far.png --fit");
    ASSERT_EQ(run.status, 0) << run.err;
    const Png::Image image = Picture("far.png");
    ASSERT_EQ(image.width, 1024);
    EXPECT_EQ(At(image, 0, 0), 0u);
    std::size_t background = 0;
    std::size_t frame = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            background += At(image, x, y) == TestGraphics::BackgroundColor;
            frame += At(image, x, y) == 0x808080;
        }
    }
    EXPECT_GT(background, 100u);
    EXPECT_LT(background, 1024u * 768u / 8u);
    EXPECT_GT(frame, 40u);
}

TEST_F(KorSimTest, JsonSaysWhatTheTextSays)
{
    WriteFile("level.txt", StraightShot);
    const SimRun text = Sim("level.txt --angle 0.3 --steps 50");
    const SimRun json = Sim("level.txt --angle 0.3 --steps 50 --json");
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json out = nlohmann::json::parse(json.out);
    EXPECT_EQ(out["result"], "running");
    EXPECT_EQ(out["steps"], 50);
    ASSERT_EQ(out["bodies"].size(), 2u);
    std::istringstream lines(text.out);
    for (const nlohmann::json& body : out["bodies"]) {
        std::string word, type;
        int index = 0;
        float px = 0, py = 0, dx = 0, dy = 0, vx = 0, vy = 0, mass = 0, field = 0;
        int deadly = 0;
        lines >> word >> index >> type >> px >> py >> dx >> dy >> vx >> vy >> mass >> field >> deadly;
        EXPECT_EQ(body["type"], type);
        EXPECT_EQ(body["position"][0].get<float>(), px);
        EXPECT_EQ(body["position"][1].get<float>(), py);
        EXPECT_EQ(body["speed"][1].get<float>(), vy);
        EXPECT_EQ(body["mass"].get<float>(), mass);
        EXPECT_EQ(body["deadly"].get<bool>(), deadly != 0);
    }
    EXPECT_NE(text.out.find("result: running steps=50"), std::string::npos);
}
