// kor-sim: loads a level file with the game's loader, launches the rocket and steps the
// simulation with a fixed time step, then prints every body and the outcome; on request
// it draws the level with the flight path as the game would show it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Console/Console.hpp"
#include "Game/Game.hpp"
#include "JsonConsole.hpp"
#include "Physics/World.hpp"
#include "Scene.hpp"
#include "ToolFiles.hpp"

namespace {

const char* const Usage =
    "usage: kor-sim LEVELFILE [--speed S] [--angle A] [--dt SECONDS] [--steps K] [--no-shot]\n"
    "               [--png OUT.png [--fit] [--data DIR]] [--json]\n"
    "  --speed S      launch speed in units per second (default 250)\n"
    "  --angle A      launch angle in radians, 0 along +x, counter-clockwise (default 0)\n"
    "  --dt SECONDS   time of every step, a whole number of milliseconds, at least 0.001\n"
    "                 (default 0.01)\n"
    "  --steps K      most steps to run; stops after the step that wins or loses (default 1000)\n"
    "  --no-shot      leave the rocket held\n"
    "  --png OUT.png  also draw the level at the start with the flight path, 1024 x 768\n"
    "  --fit          zoom out so that the whole flight fits when it leaves the window\n"
    "  --data DIR     the folder that holds graphics/ (default: found next to the level)\n"
    "  --json         print the result as JSON\n"
    "  --help, -h     this text;  --version  the version\n"
    "exit status: 0 done, 2 bad arguments or level file, 3 the picture or the results could\n"
    "  not be written\n";

// Console text from arguments and files: escaped and bounded.
std::string Shown(const std::string& text) { return Console::Printable(text, 200); }

int BadArguments(const std::string& why)
{
    std::fprintf(stderr, "kor-sim: %s\n%s", Shown(why).c_str(), Usage);
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

// The simulation steps whole milliseconds, so the step must be one; a step of 0 would
// move nothing however many are run.
bool ParseStep(const char* text, std::uint32_t& milliseconds)
{
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(seconds >= 0.0) || seconds > 4294967.0) {
        return false;
    }
    const double ms = std::round(seconds * 1000.0);
    if (ms < 1.0 || std::fabs(ms - seconds * 1000.0) > 1e-6 * std::fmax(1.0, ms)) {
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

}  // namespace

int main(int argc, char** argv)
{
    WriteErrorsNotSignals();
    const char* levelFile = nullptr;
    float speed = 250.0f;
    float angle = 0.0f;
    std::uint32_t stepMs = 10;
    unsigned long long steps = 1000;
    bool shoot = true;
    std::string png;
    std::string dataDir;
    bool fit = false;
    bool json = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return EndOutput(stdout, "kor-sim", 0);
        } else if (arg == "--version") {
            std::printf("kor-sim %s\n", KOR_VERSION);
            return EndOutput(stdout, "kor-sim", 0);
        } else if (arg == "--no-shot") {
            shoot = false;
        } else if (arg == "--fit") {
            fit = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--png" || arg == "--data") {
            if (!hasValue || argv[i + 1][0] == '\0') {
                return BadArguments(arg + " needs a value");
            }
            (arg == "--png" ? png : dataDir) = argv[++i];
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
    if (const std::string problem = LevelFileProblem(levelFile); !problem.empty()) {
        return BadArguments(problem);
    }

    if ((fit || !dataDir.empty()) && png.empty()) {
        return BadArguments("--fit and --data go with --png");
    }
    if (!png.empty()) {
        if (const std::string problem = SameFileProblem({{"the level file", levelFile}}, {{"--png", png}});
            !problem.empty()) {
            return BadArguments(problem);
        }
    }
    std::string pictures;
    if (!png.empty()) {
        pictures = Scene::FindDataDir(levelFile, dataDir);
        if (pictures.empty()) {
            return BadArguments(dataDir.empty() ? "cannot find the game's pictures (graphics/); give --data DIR"
                                                : "no graphics/ in " + dataDir);
        }
        png = std::filesystem::absolute(png, ec).string();
    }

    std::FILE* console = ResultConsole(json, "kor-sim");
    if (console == nullptr) return 3;
    Physics::World world;
    const Game::LevelReport report = Game::LoadLevelFile(levelFile, world.level);
    if (!report.opened) {
        return BadArguments(std::string("cannot read the level file: ") + levelFile);
    }

    auto& Objects = world.level.Objects;
    const std::uint32_t N = world.level.N;
    Physics::Hold(world);
    Physics::Release(world);
    Scene::Frame frame;
    frame.table = Objects;
    frame.N = N;
    frame.level = std::max<std::uint32_t>(1, Scene::LevelNumber(levelFile));
    frame.angle = angle;
    frame.speed = speed;
    frame.trails.emplace_back();
    std::vector<Level::VECTOR>& trail = frame.trails.back().points;
    if (shoot) {
        Physics::Shoot(world, speed, angle);
    }
    unsigned long long run = 0;
    while (run < steps) {
        Physics::Step(world, stepMs);
        ++run;
        if (shoot && !png.empty()) {
            trail.push_back(Objects[1].Position);
        }
        if (world.GameOver || world.GameWon) {
            break;
        }
    }

    // A step that ends both lost and won counts as won, as in the game.
    const char* result = world.GameWon ? "won" : world.GameOver ? "lost" : "running";

    int status = 0;
    if (!png.empty()) {
        char line[160];
        if (!shoot) {
            std::snprintf(line, sizeof line, "no shot");
        } else {
            std::snprintf(line, sizeof line, "%s after %llu steps of %.3f s", result, run, stepMs * 0.001);
        }
        frame.caption.push_back(line);
        std::snprintf(line, sizeof line, "speed %.1f, angle %.4f rad", speed, angle);
        frame.caption.push_back(line);
        Png::Image picture;
        std::string error;
        if (chdir(pictures.c_str()) != 0 || !Scene::Draw(frame, fit, picture, error) ||
            !Png::Write(png, picture, error)) {
            std::fprintf(stderr, "kor-sim: no picture: %s\n", Shown(error.empty() ? pictures : error).c_str());
            status = 3;
        }
    }

    if (json) {
        nlohmann::json out;
        out["level"] = levelFile;
        out["speed"] = speed;
        out["angle"] = angle;
        out["dt"] = stepMs * 0.001;
        out["shot"] = shoot;
        out["result"] = result;
        out["steps"] = run;
        nlohmann::json bodies = nlohmann::json::array();
        for (std::uint32_t i = 0; i <= std::min<std::uint32_t>(N, Level::TableLength - 1); ++i) {
            const Level::OBJECT& o = Objects[i];
            bodies.push_back({{"type", Level::ShapeName(o.Type)},
                              {"position", {o.Position.x, o.Position.y}},
                              {"dimension", {o.Dimension.x, o.Dimension.y}},
                              {"speed", {o.Speed.x, o.Speed.y}},
                              {"mass", o.Mass},
                              {"field", o.Field},
                              {"deadly", o.GameOverOnCollision}});
        }
        out["bodies"] = bodies;
        if (!png.empty()) {
            out["picture"] = status == 0 ? nlohmann::json(png) : nlohmann::json();
        }
        const std::string text = out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        std::fwrite(text.data(), 1, text.size(), console);
        return EndOutput(console, "kor-sim", status);
    }
    for (std::uint32_t i = 0; i <= N; ++i) {
        const Level::OBJECT& o = Objects[i];
        std::printf("body %u %s %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %d\n", static_cast<unsigned>(i),
                    Level::ShapeName(o.Type), o.Position.x, o.Position.y, o.Dimension.x, o.Dimension.y, o.Speed.x,
                    o.Speed.y, o.Mass, o.Field, o.GameOverOnCollision ? 1 : 0);
    }
    std::printf("result: %s steps=%llu\n", result, run);
    return EndOutput(stdout, "kor-sim", status);
}
