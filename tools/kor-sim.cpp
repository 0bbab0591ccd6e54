// kor-sim: loads a level file with the game's loader, launches the rocket and steps the
// simulation with a fixed time step, then prints every body and the outcome.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "Game/Game.hpp"
#include "Physics/Physics.hpp"

namespace {

const char* const Usage =
    "usage: kor-sim LEVELFILE [--speed S] [--angle A] [--dt SECONDS] [--steps K] [--no-shot]\n"
    "  --speed S      launch speed in units per second (default 250)\n"
    "  --angle A      launch angle in radians, 0 along +x, counter-clockwise (default 0)\n"
    "  --dt SECONDS   time of every step, a whole number of milliseconds (default 0.01)\n"
    "  --steps K      most steps to run; stops after the step that wins or loses (default 1000)\n"
    "  --no-shot      leave the rocket held\n";

int BadArguments(const std::string& why)
{
    std::fprintf(stderr, "kor-sim: %s\n%s", why.c_str(), Usage);
    return 2;
}

bool ParseFloat(const char* text, float& value)
{
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

// The simulation reads time in whole milliseconds, so the step must be one.
bool ParseStep(const char* text, std::uint32_t& milliseconds)
{
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(seconds >= 0.0) || seconds > 4294967.0) {
        return false;
    }
    const double ms = std::round(seconds * 1000.0);
    if (std::fabs(ms - seconds * 1000.0) > 1e-6 * std::fmax(1.0, ms)) {
        return false;
    }
    milliseconds = static_cast<std::uint32_t>(ms);
    return true;
}

bool ParseCount(const char* text, unsigned long long& count)
{
    if (*text < '0' || *text > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (*end != '\0' || errno != 0) {
        return false;
    }
    count = v;
    return true;
}

// The clock that the simulation reads: it moves only when a step is due.
std::uint32_t gNow = 0;
std::uint32_t SimulatedClock() { return gNow; }

}  // namespace

int main(int argc, char** argv)
{
    const char* levelFile = nullptr;
    float speed = 250.0f;
    float angle = 0.0f;
    std::uint32_t stepMs = 10;
    unsigned long long steps = 1000;
    bool shoot = true;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--no-shot") {
            shoot = false;
        } else if (arg == "--speed" || arg == "--angle" || arg == "--dt" || arg == "--steps") {
            if (!hasValue) {
                return BadArguments(arg + " needs a value");
            }
            const char* value = argv[++i];
            bool ok = false;
            if (arg == "--speed") {
                ok = ParseFloat(value, speed);
            } else if (arg == "--angle") {
                ok = ParseFloat(value, angle);
            } else if (arg == "--dt") {
                ok = ParseStep(value, stepMs);
            } else {
                ok = ParseCount(value, steps);
            }
            if (!ok) {
                return BadArguments("bad value for " + arg + ": " + value);
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return BadArguments("unknown option " + arg);
        } else if (levelFile == nullptr) {
            levelFile = argv[i];
        } else {
            return BadArguments("only one level file, please");
        }
    }
    if (levelFile == nullptr) {
        return BadArguments("no level file given");
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(levelFile, ec)) {
        return BadArguments(std::string("no such level file: ") + levelFile);
    }

    Physics::SetClock(&SimulatedClock);
    const Game::LevelReport report = Game::LoadLevelFile(levelFile);
    if (!report.opened) {
        return BadArguments(std::string("cannot read the level file: ") + levelFile);
    }

    auto& Objects = Game::Objects;
    Physics::Reset();
    Physics::HoldShip(Objects);
    Physics::UnFreeze();
    if (shoot) {
        Physics::ShootShip(Objects, speed, angle);
    }
    unsigned long long run = 0;
    while (run < steps) {
        gNow += stepMs;
        Physics::Simulate(Objects, Game::N);
        ++run;
        if (Physics::IsGameOver() || Physics::IsGameWon()) {
            break;
        }
    }

    for (std::uint32_t i = 0; i <= Game::N; ++i) {
        const Physics::OBJECT& o = Objects[i];
        std::printf("body %u %s %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %d\n", static_cast<unsigned>(i),
                    o.Type == Physics::SHAPE::Ball ? "ball" : "rectangle", o.Position.x, o.Position.y,
                    o.Dimension.x, o.Dimension.y, o.Speed.x, o.Speed.y, o.Mass, o.Field,
                    o.GameOverOnCollision ? 1 : 0);
    }
    // A step that ends both lost and won counts as won, as in the game.
    const char* result = Physics::IsGameWon() ? "won" : Physics::IsGameOver() ? "lost" : "running";
    std::printf("result: %s steps=%llu\n", result, run);
    return 0;
}
