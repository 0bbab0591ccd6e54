// kor-levelcheck: proves level files winnable. For each file it loads the level with the
// game's loader, tries every shot of a grid of launch speeds and angles with the game's
// simulation, once with steps of 0.01 s and once with steps of 0.02 s, and prints how many
// shots win under each and under both, with one shot that wins under both.
//
// The simulation keeps its state in the module, so the shots are shared out among worker
// processes (one per core by default); they take rows of shots from a counter in shared
// memory and write each shot's outcome into a shared table.
#include <sys/mman.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "Game/Game.hpp"
#include "LevelCheck.hpp"
#include "Physics/Physics.hpp"

namespace {

using LevelCheck::Outcome;

const char* const Usage =
    "usage: kor-levelcheck [--jobs N] [--fine] [--wait SECONDS] [--stats] [--exhaustive] LEVELFILE...\n"
    "  Tries every launch speed from 0 to 500 and every angle below a full turn, with\n"
    "  steps of 0.01 s and of 0.02 s, for up to 30 s of game time each.\n"
    "  --jobs N   worker processes (default: one per core)\n"
    "  --fine     the player's own grid, 2.5 in speed and 0.0125 rad in angle\n"
    "             (default: 5 in speed and 0.025 rad in angle)\n"
    "  --wait S   hold the rocket S seconds (a multiple of 0.02) before each shot, as a\n"
    "             player does while aiming; bodies on a course move on meanwhile\n"
    "  --stats    also print how the shots ended and how many steps they took\n"
    "  --exhaustive  never stop a shot early (slow; checks the early-stop rules)\n"
    "exit status: 0 every level is winnable under both step sizes, 1 a level is not or\n"
    "  has too many or too few bodies, 2 bad arguments, 3 a worker failed\n";

constexpr std::uint32_t StepMs[2] = {10, 20};

int BadArguments(const std::string& why)
{
    std::fprintf(stderr, "kor-levelcheck: %s\n%s", why.c_str(), Usage);
    return 2;
}

struct Level {
    std::string path;
    Game::LevelReport report;
    Physics::ObjectTable table{};
    Physics::ObjectTable held[2]{};  // after the wait, per step size
    std::uint32_t N = 0;
    bool tableOk = false;
};

// One row of work: all angles of one speed of one level under one step size.
struct Row {
    std::uint32_t level;
    std::uint32_t step;  // index into StepMs
    std::uint32_t speed;
};

// What the workers share with the parent, in one anonymous shared mapping.
struct Shared {
    std::atomic<std::uint32_t>* nextRow;  // the next row to take
    std::uint8_t* outcome;                // [level][step][speed][angle]
    std::uint64_t* steps;                 // [worker][level], steps simulated
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "shared between processes");

// Level 1 is begun with speed 250, every later level with 150.
float StartSpeed(const std::string& path)
{
    static const std::regex one(R"((^|/)level-0*1\.txt$)");
    return std::regex_search(path, one) ? 250.0f : 150.0f;
}

void Work(const Shared& shared, const std::vector<Level>& levels, const std::vector<Row>& rows,
          const LevelCheck::Grid& grid, bool earlyStops, std::uint64_t* steps)
{
    const std::size_t angles = grid.Angles();
    const std::size_t perStep = static_cast<std::size_t>(grid.Speeds()) * angles;
    for (;;) {
        const std::uint32_t r = shared.nextRow->fetch_add(1, std::memory_order_relaxed);
        if (r >= rows.size()) {
            return;
        }
        const Row& row = rows[r];
        const Level& level = levels[row.level];
        std::uint8_t* out = shared.outcome + (static_cast<std::size_t>(row.level) * 2 + row.step) * perStep +
                            static_cast<std::size_t>(row.speed) * angles;
        for (std::uint32_t a = 0; a < angles; ++a) {
            const LevelCheck::ShotResult shot =
                LevelCheck::RunShot(level.held[row.step], level.N, StepMs[row.step], grid.Speed(row.speed), grid.Angle(a),
                                   earlyStops);
            out[a] = static_cast<std::uint8_t>(shot.outcome);
            steps[row.level] += shot.steps;
        }
    }
}

void QuietStdout()
{
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
        dup2(devnull, STDOUT_FILENO);
        close(devnull);
    }
}

std::string ExampleText(const LevelCheck::Grid& grid, const LevelCheck::Example& e)
{
    const std::uint32_t up = grid.UpPresses(e.angle);
    const double radians = 0.0125 * up;
    char text[160];
    std::snprintf(text, sizeof text, "speed %.1f, angle %.4f rad = %.2f deg (Up x%u)", grid.Speed(e.speed), radians,
                  radians * 180.0 / 3.14159265358979, up);
    return text;
}

}  // namespace

int main(int argc, char** argv)
{
    LevelCheck::Grid grid;
    long jobs = sysconf(_SC_NPROCESSORS_ONLN);
    bool stats = false;
    std::uint32_t waitMs = 0;
    bool earlyStops = true;
    std::vector<Level> levels;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fine") {
            grid.speedPresses = 1;
            grid.anglePresses = 1;
        } else if (arg == "--exhaustive") {
            earlyStops = false;
        } else if (arg == "--stats") {
            stats = true;
        } else if (arg == "--jobs") {
            if (i + 1 >= argc) {
                return BadArguments("--jobs needs a value");
            }
            const char* value = argv[++i];
            char* end = nullptr;
            const long n = std::strtol(value, &end, 10);
            if (*value < '0' || *value > '9' || *end != '\0' || n < 1 || n > 64) {
                return BadArguments(std::string("bad value for --jobs: ") + value);
            }
            jobs = n;
        } else if (arg == "--wait") {
            if (i + 1 >= argc) {
                return BadArguments("--wait needs a value");
            }
            const char* value = argv[++i];
            char* end = nullptr;
            errno = 0;
            const double wait = std::strtod(value, &end);
            const double ms = std::round(wait * 1000.0);
            if (end == value || *end != '\0' || errno != 0 || !(wait >= 0.0) || wait > 3600.0 ||
                std::fabs(ms - wait * 1000.0) > 1e-6 || std::fmod(ms, 20.0) != 0.0) {
                return BadArguments(std::string("bad value for --wait: ") + value);
            }
            waitMs = static_cast<std::uint32_t>(ms);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return BadArguments("unknown option " + arg);
        } else {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(arg, ec)) {
                return BadArguments("no such level file: " + arg);
            }
            levels.push_back(Level{});
            levels.back().path = arg;
        }
    }
    if (levels.empty()) {
        return BadArguments("no level file given");
    }
    jobs = std::max(1L, jobs);

    // The loader speaks on the console; its messages come before the table.
    for (Level& level : levels) {
        level.report = Game::LoadLevelFile(level.path.c_str());
        level.table = Game::Objects;
        level.N = Game::N;
        level.tableOk = level.report.opened && !level.report.tooManySections && !level.report.tooFewSections;
    }
    // The simulation's messages while the rocket is held are not wanted either.
    std::fflush(stdout);
    const int console = dup(STDOUT_FILENO);
    QuietStdout();
    for (Level& level : levels) {
        for (int step = 0; step < 2; ++step) {
            level.held[step] = LevelCheck::HoldFor(level.table, level.N, StepMs[step], waitMs);
        }
    }
    std::fflush(stdout);
    if (console >= 0) {
        dup2(console, STDOUT_FILENO);
        close(console);
    }
    std::fflush(stdout);

    const auto started = std::chrono::steady_clock::now();
    std::vector<Row> rows;
    for (std::uint32_t l = 0; l < levels.size(); ++l) {
        if (!levels[l].tableOk) {
            continue;
        }
        for (std::uint32_t step = 0; step < 2; ++step) {
            for (std::uint32_t s = 0; s < grid.Speeds(); ++s) {
                rows.push_back(Row{l, step, s});
            }
        }
    }
    const std::size_t perStep = static_cast<std::size_t>(grid.Shots());
    const std::size_t outcomes = levels.size() * 2 * perStep;
    const std::size_t stepsOffset = (64 + outcomes + 63) / 64 * 64;
    const std::size_t bytes = stepsOffset + levels.size() * static_cast<std::size_t>(jobs) * sizeof(std::uint64_t);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        std::perror("kor-levelcheck: mmap");
        return 3;
    }
    char* base = static_cast<char*>(memory);  // zero-filled by the system
    const Shared shared{new (base) std::atomic<std::uint32_t>(0), reinterpret_cast<std::uint8_t*>(base + 64),
                        reinterpret_cast<std::uint64_t*>(base + stepsOffset)};

    std::vector<pid_t> workers;
    bool failed = false;
    for (long w = 0; w < jobs && !rows.empty(); ++w) {
        const pid_t pid = fork();
        if (pid < 0) {
            std::perror("kor-levelcheck: fork");
            failed = true;
            break;
        }
        if (pid == 0) {
            // The simulation's own messages about odd contacts would bury the table.
            QuietStdout();
            Work(shared, levels, rows, grid, earlyStops, shared.steps + static_cast<std::size_t>(w) * levels.size());
            std::fflush(nullptr);
            _exit(0);
        }
        workers.push_back(pid);
    }
    for (pid_t pid : workers) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "kor-levelcheck: worker %d failed (status %d)\n", static_cast<int>(pid), status);
            failed = true;
        }
    }
    if (failed || shared.nextRow->load() < rows.size()) {
        std::fprintf(stderr, "kor-levelcheck: the search did not finish\n");
        return 3;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("%zu level(s); %u speeds x %u angles = %u shots each, steps of 0.01 s and 0.02 s, "
                "up to %u s; %ld worker(s)",
                levels.size(), grid.Speeds(), grid.Angles(), grid.Shots(), LevelCheck::FlightMs / 1000, jobs);
    if (waitMs > 0) {
        std::printf("; launched after %.2f s of aiming", waitMs * 0.001);
    }
    std::printf("\n");
    std::printf("%-28s %10s %10s %10s  %s\n", "level", "win 0.01 s", "win 0.02 s", "win both",
                "example shot (wins under both)");
    bool allGood = true;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const Level& level = levels[l];
        if (!level.tableOk) {
            const char* why = !level.report.opened    ? "cannot be read"
                              : level.report.tooManySections ? "has more bodies than the table holds (101)"
                                                             : "needs at least a black hole and a rocket";
            std::printf("%-28s %10s %10s %10s  FAIL: the level %s\n", level.path.c_str(), "-", "-", "-", why);
            allGood = false;
            continue;
        }
        const std::uint8_t* fine = shared.outcome + (l * 2 + 0) * perStep;
        const std::uint8_t* coarse = shared.outcome + (l * 2 + 1) * perStep;
        std::vector<std::uint8_t> both(perStep, 0);
        std::size_t wins[3] = {0, 0, 0};
        for (std::size_t i = 0; i < perStep; ++i) {
            const bool a = fine[i] == static_cast<std::uint8_t>(Outcome::Won);
            const bool b = coarse[i] == static_cast<std::uint8_t>(Outcome::Won);
            wins[0] += a;
            wins[1] += b;
            both[i] = a && b;
            wins[2] += both[i];
        }
        LevelCheck::Example example;
        std::string exampleText;
        if (LevelCheck::ChooseExample(both, grid, StartSpeed(level.path), example)) {
            exampleText = ExampleText(grid, example);
        } else {
            exampleText = "FAIL: no shot wins under both step sizes";
            allGood = false;
        }
        std::printf("%-28s %10zu %10zu %10zu  %s\n", level.path.c_str(), wins[0], wins[1], wins[2],
                    exampleText.c_str());
        if (stats) {
            for (int step = 0; step < 2; ++step) {
                const std::uint8_t* o = step == 0 ? fine : coarse;
                std::size_t count[5] = {0, 0, 0, 0, 0};
                for (std::size_t i = 0; i < perStep; ++i) {
                    ++count[std::min<std::uint8_t>(o[i], 4)];
                }
                std::printf("    %.2f s: won %zu, lost %zu, gone %zu, still %zu, flying at the end %zu\n",
                            StepMs[step] * 0.001, count[1], count[2], count[3], count[4], count[0]);
            }
            std::uint64_t total = 0;
            for (long w = 0; w < jobs; ++w) {
                total += shared.steps[static_cast<std::size_t>(w) * levels.size() + l];
            }
            std::printf("    steps simulated: %llu\n", static_cast<unsigned long long>(total));
        }
    }
    std::printf("%s in %.1f s\n", allGood ? "every level is winnable" : "FAILED", seconds);
    return allGood ? 0 : 1;
}
