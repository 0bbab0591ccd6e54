// kor-levelcheck: proves level files winnable. For each file it loads the level with the
// game's loader, tries every shot of a grid of launch speeds and angles with the game's
// simulation, once with steps of 0.01 s and once with steps of 0.02 s, and prints how many
// shots win under each and under both, with one shot that wins under both.
//
// Each shot steps a world of its own, so the shots are shared out among threads (one per
// core by default) that take rows of shots from a counter; killing the program ends them all.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "Console/Console.hpp"
#include "JsonConsole.hpp"
#include "Level/File.hpp"
#include "LevelPictures.hpp"
#include "Physics/Physics.hpp"
#include "Scene.hpp"
#include "Search/Search.hpp"
#include "ToolFiles.hpp"

namespace {

using Search::Outcome;

const char* const Usage =
    "usage: kor-levelcheck [--jobs N] [--fine] [--wait SECONDS] [--stats] [--exhaustive] [--json]\n"
    "                      [--quiet] LEVELFILE...\n"
    "       kor-levelcheck [options] LEVELFILE [--map OUT.png] [--paths OUT.png] [--data DIR]\n"
    "  Tries every launch speed from 0 to 500 and every angle below a full turn, with\n"
    "  steps of 0.01 s and of 0.02 s, for up to 30 s of game time each.\n"
    "  --jobs N   worker threads (default: one per core)\n"
    "  --fine     the player's own grid, 2.5 in speed and 0.0125 rad in angle\n"
    "             (default: 5 in speed and 0.025 rad in angle)\n"
    "  --wait S   hold the rocket S seconds (a multiple of 0.02) before each shot, as a\n"
    "             player does while aiming; bodies on a course move on meanwhile\n"
    "  --stats    also print how the shots ended and how many steps they took\n"
    "  --exhaustive  never stop a shot early (slow; checks the early-stop rules)\n"
    "  --json     print the results as JSON\n"
    "  --quiet    no progress on stderr\n"
    "  --map OUT.png    the searched grid, each shot coloured by how it ended\n"
    "  --paths OUT.png  the level with a few winning paths\n"
    "  --data DIR       the folder that holds graphics/ (default: found next to the level)\n"
    "  --help, -h  this text;  --version  the version\n"
    "exit status: 0 every level is winnable under both step sizes, 1 a level is not or\n"
    "  has too many or too few bodies, 2 bad arguments, 3 the search or its output failed\n";

using Search::StepMs;

// Console text from arguments and files: escaped and bounded.
std::string Shown(const std::string& text) { return Console::Printable(text, 200); }

int BadArguments(const std::string& why)
{
    std::fprintf(stderr, "kor-levelcheck: %s\n%s", Shown(why).c_str(), Usage);
    return 2;
}

// One level file to check.
struct Checked {
    std::string path;
    Level::Report report;
    Level::ObjectTable table{};
    Level::ObjectTable held[2]{};  // after the wait, per step size
    std::uint32_t N = 0;
    bool tableOk = false;
};

// Level 1 is begun with speed 250, every later level with 150 when play reaches it. A new
// game begins with 250 whatever its level (the first, or --level N).
constexpr float NewGameSpeed = 250.0f;
float StartSpeed(const std::string& path) { return Scene::LevelNumber(path) == 1 ? NewGameSpeed : 150.0f; }

void QuietStdout()
{
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
        dup2(devnull, STDOUT_FILENO);
        close(devnull);
    }
}

// Runs `work` with stdout sent to /dev/null: the simulation's remarks about odd contacts
// would bury the table.
template <typename Work>
void Quietly(Work work)
{
    std::fflush(stdout);
    const int console = dup(STDOUT_FILENO);
    QuietStdout();
    work();
    std::fflush(stdout);
    if (console >= 0) {
        dup2(console, STDOUT_FILENO);
        close(console);
    }
}

std::string Duration(double seconds)
{
    char text[48];
    if (seconds < 60.0) {
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    } else if (seconds < 3600.0) {
        std::snprintf(text, sizeof text, "%d min %02d s", static_cast<int>(seconds) / 60,
                      static_cast<int>(seconds) % 60);
    } else {
        std::snprintf(text, sizeof text, "%d h %02d min", static_cast<int>(seconds) / 3600,
                      static_cast<int>(seconds) / 60 % 60);
    }
    return text;
}

// Progress on stderr while the workers run: a bar with the time left on a terminal, else a
// line as each level is done.
struct Progress {
    bool show = true;
    bool terminal = false;
    std::chrono::steady_clock::time_point started;
    std::vector<std::uint32_t> rowsOf;  // rows per level and step size
    std::vector<bool> told;
    bool drawn = false;

    void Update(const Search::Control& shared, const std::vector<Checked>& levels)
    {
        if (!show) {
            return;
        }
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        // A row of steps of 0.01 s costs about twice one of 0.02 s.
        std::uint64_t done = 0;
        std::uint64_t total = 0;
        for (std::size_t l = 0; l < levels.size(); ++l) {
            const std::uint32_t fine = shared.doneRows[l * 2].load(std::memory_order_relaxed);
            const std::uint32_t coarse = shared.doneRows[l * 2 + 1].load(std::memory_order_relaxed);
            done += 2 * fine + coarse;
            total += 3 * rowsOf[l];
            if (!terminal && !told[l] && rowsOf[l] > 0 && fine + coarse >= 2 * rowsOf[l]) {
                told[l] = true;
                std::fprintf(stderr, "kor-levelcheck: %s searched (%s since the start)\n",
                             Shown(levels[l].path).c_str(), Duration(elapsed).c_str());
            }
        }
        if (!terminal || total == 0) {
            return;
        }
        const double share = static_cast<double>(done) / static_cast<double>(total);
        constexpr int Width = 30;
        const int filled = static_cast<int>(share * Width);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(Width - filled), '.');
        const std::string left =
            done == 0 ? "estimating" : "about " + Duration(elapsed * (1.0 - share) / share) + " left";
        std::fprintf(stderr, "\r[%s] %3d%%  %s   ", bar.c_str(), static_cast<int>(share * 100.0), left.c_str());
        std::fflush(stderr);
        drawn = true;
    }

    void Finish()
    {
        if (drawn) {
            std::fprintf(stderr, "\r%*s\r", 70, "");
            std::fflush(stderr);
        }
    }
};

struct Result {
    bool ok = false;
    std::string failure;
    std::size_t wins[3] = {0, 0, 0};  // under 0.01 s, 0.02 s, both
    std::vector<std::uint8_t> both;
    bool hasExample = false;
    Search::Example example;
    float speed = 0.0f;  // the example's aim, as the presses give it
    float angle = 0.0f;
    Search::Presses presses;
    Search::Presses newGame;       // the same aim from a new game's (speed 250, angle 0)
    std::size_t count[2][5] = {};  // outcomes per step size
    std::uint64_t steps = 0;
};

// The fine presses that give the example from the level's start aim (Search::BestShot), and
// the same aim from a new game's.
void ChoosePresses(const Checked& level, const Search::Grid& grid, Result& r)
{
    Search::Best best;
    Quietly([&] { r.hasExample = Search::BestShot(r.both, grid, StartSpeed(level.path), level.held, level.N, best); });
    r.example = best.example;
    r.speed = best.speed;
    r.angle = best.angle;
    r.presses = best.presses;
    r.newGame = r.presses;
    r.newGame.speed = static_cast<std::int32_t>(std::lround((r.speed - NewGameSpeed) / 2.5f));
}

// Why the reader did not take a line, as the tool's output says it.
const char* WhyText(Level::Why why)
{
    switch (why) {
        case Level::Why::FileMissing:
            return "no such file";
        case Level::Why::FileUnreadable:
            return "not a regular file, or it cannot be opened";
        case Level::Why::FileTooLarge:
            return "larger than a level can be (1 MiB)";
        case Level::Why::ByteOrderMark:
            return "a byte order mark, skipped";
        case Level::Why::NotUnderstood:
            return "not understood, skipped";
        case Level::Why::LineTooLong:
            return "longer than 256 characters, skipped";
        case Level::Why::BadNumber:
            return "not a number, the value is left as it was";
        case Level::Why::SizeCut:
            return "too large, read as the largest size";
        case Level::Why::TooManyBodies:
            return "a body after the 101st, left out with all after it";
        case Level::Why::TooFewBodies:
            return "fewer than two bodies, a black hole and a rocket";
        case Level::Why::ReadError:
            return "the file could not be read to its end";
    }
    return "";
}

std::string NoteText(const Level::Note& note)
{
    if (note.line == 0) return WhyText(note.why);
    return "line " + std::to_string(note.line) + ": " + WhyText(note.why) + ": " + Shown(note.text);
}

// What the reader did not take from the file, one line each under the level's row.
void PrintNotes(const Level::Report& report)
{
    for (const Level::Note& note : report.notes) {
        std::printf("    %s\n", NoteText(note).c_str());
    }
    if (report.notesLeftOut > 0) {
        std::printf("    and %u more\n", report.notesLeftOut);
    }
}

// Presses as JSON, with each key's count.
nlohmann::json PressesJson(const Search::Presses& p)
{
    return {{"presses", Search::PressesText(p)},
            {"shift_right", std::max(0, p.speed)},
            {"shift_left", std::max(0, -p.speed)},
            {"shift_up", p.up},
            {"shift_down", p.down}};
}

}  // namespace

int main(int argc, char** argv)
{
    WriteErrorsNotSignals();
    Search::Grid grid;
    long jobs = sysconf(_SC_NPROCESSORS_ONLN);
    bool stats = false;
    bool json = false;
    bool quiet = false;
    std::uint32_t waitMs = 0;
    bool earlyStops = true;
    std::string mapFile;
    std::string pathsFile;
    std::string dataDir;
    std::vector<Checked> levels;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return EndOutput(stdout, "kor-levelcheck", 0);
        } else if (arg == "--version") {
            std::printf("kor-levelcheck %s\n", KOR_VERSION);
            return EndOutput(stdout, "kor-levelcheck", 0);
        } else if (arg == "--fine") {
            grid.speedPresses = 1;
            grid.anglePresses = 1;
        } else if (arg == "--exhaustive") {
            earlyStops = false;
        } else if (arg == "--stats") {
            stats = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--map" || arg == "--paths" || arg == "--data") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return BadArguments(arg + " needs a value");
            }
            (arg == "--map" ? mapFile : arg == "--paths" ? pathsFile : dataDir) = argv[++i];
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
            if (const std::string problem = LevelFileProblem(arg); !problem.empty()) {
                return BadArguments(problem);
            }
            levels.push_back(Checked{});
            levels.back().path = arg;
        }
    }
    if (levels.empty()) {
        return BadArguments("no level file given");
    }
    const bool pictures = !mapFile.empty() || !pathsFile.empty();
    if (pictures && levels.size() != 1) {
        return BadArguments("--map and --paths take one level file");
    }
    if (!dataDir.empty() && pathsFile.empty()) {
        return BadArguments("--data goes with --paths");
    }
    {
        std::vector<NamedFile> inputs, outputs;
        for (const Checked& level : levels) inputs.push_back({"the level file", level.path});
        if (!mapFile.empty()) outputs.push_back({"--map", mapFile});
        if (!pathsFile.empty()) outputs.push_back({"--paths", pathsFile});
        if (const std::string problem = SameFileProblem(inputs, outputs); !problem.empty()) {
            return BadArguments(problem);
        }
    }
    std::string pictureDir;
    if (!pathsFile.empty()) {
        pictureDir = Scene::FindDataDir(levels[0].path, dataDir);
        if (pictureDir.empty()) {
            return BadArguments(dataDir.empty() ? "cannot find the game's pictures (graphics/); give --data DIR"
                                                : "no graphics/ in " + dataDir);
        }
    }
    std::error_code ec;
    for (std::string* file : {&mapFile, &pathsFile}) {
        if (!file->empty()) {
            *file = std::filesystem::absolute(*file, ec).string();
        }
    }
    jobs = std::max(1L, jobs);

    std::FILE* console = ResultConsole(json, "kor-levelcheck");
    if (console == nullptr) return 3;

    // Read as the game reads them; what the reader did not take is listed with each level.
    for (Checked& level : levels) {
        Level::File file;
        level.report = Level::Read(level.path, file);
        const Level::Table loaded = Level::TableOf(file);
        level.table = loaded.Objects;
        level.N = loaded.N;
        level.tableOk = level.report.opened && !level.report.tooManySections && !level.report.tooFewSections;
    }
    Quietly([&] {
        for (Checked& level : levels) {
            for (int step = 0; step < 2; ++step) {
                level.held[step] = Search::HoldFor(level.table, level.N, StepMs[step], waitMs);
            }
        }
    });

    const auto started = std::chrono::steady_clock::now();
    Progress progress;
    progress.show = !quiet;
    progress.terminal = isatty(STDERR_FILENO) != 0;
    progress.started = started;
    progress.rowsOf.assign(levels.size(), 0);
    progress.told.assign(levels.size(), false);
    std::vector<Search::Held> search(levels.size());
    for (std::size_t l = 0; l < levels.size(); ++l) {
        search[l].search = levels[l].tableOk;
        search[l].N = levels[l].N;
        for (int step = 0; step < 2; ++step) {
            search[l].held[step] = levels[l].held[step];
        }
        progress.rowsOf[l] = levels[l].tableOk ? grid.Speeds() : 0;
    }
    Search::Control control(levels.size());
    Search::GridResult found;
    Quietly([&] {
        found = Search::SearchGrid(
            search, grid, earlyStops, static_cast<unsigned>(jobs), control, [&] { progress.Update(control, levels); },
            std::chrono::milliseconds(progress.terminal ? 250 : 100));
    });
    progress.Finish();
    if (!found.complete) {
        std::fprintf(stderr, "kor-levelcheck: the search did not finish\n");
        return 3;
    }
    const std::size_t perStep = found.perStep;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::vector<Result> results(levels.size());
    bool allGood = true;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const Checked& level = levels[l];
        Result& r = results[l];
        if (!level.tableOk) {
            r.failure = !level.report.opened           ? "the level cannot be read"
                        : level.report.tooManySections ? "the level has more bodies than the table holds (101)"
                                                       : "the level needs at least a black hole and a rocket";
            allGood = false;
            continue;
        }
        const std::uint8_t* fine = found.Outcomes(l, 0);
        const std::uint8_t* coarse = found.Outcomes(l, 1);
        r.both.assign(perStep, 0);
        for (std::size_t i = 0; i < perStep; ++i) {
            const bool a = fine[i] == static_cast<std::uint8_t>(Outcome::Won);
            const bool b = coarse[i] == static_cast<std::uint8_t>(Outcome::Won);
            r.wins[0] += a;
            r.wins[1] += b;
            r.both[i] = a && b;
            r.wins[2] += r.both[i];
            ++r.count[0][std::min<std::uint8_t>(fine[i], 4)];
            ++r.count[1][std::min<std::uint8_t>(coarse[i], 4)];
        }
        r.steps = found.steps[l];
        ChoosePresses(level, grid, r);
        if (!r.hasExample) {
            r.failure = "no shot wins under both step sizes";
            allGood = false;
        }
        r.ok = r.hasExample;
    }

    // The pictures of the one level, when asked for.
    int status = allGood ? 0 : 1;
    LevelPictures::MapLayout layout;
    if (pictures && !levels[0].tableOk) {
        std::fprintf(stderr, "kor-levelcheck: no pictures: %s\n", results[0].failure.c_str());
    } else if (pictures) {
        const Result& r = results[0];
        std::string error;
        if (!mapFile.empty()) {
            LevelPictures::MapInput in;
            in.title = "kor-levelcheck " + Shown(levels[0].path) + ": " + std::to_string(grid.Speeds()) + " speeds x " +
                       std::to_string(grid.Angles()) + " angles";
            in.grid = grid;
            in.fine = found.Outcomes(0, 0);
            in.coarse = found.Outcomes(0, 1);
            in.hasExample = r.hasExample;
            in.example = r.example;
            layout = LevelPictures::Layout(grid);
            if (!LevelPictures::WriteMap(mapFile, in, error)) {
                std::fprintf(stderr, "kor-levelcheck: no map: %s\n", Shown(error).c_str());
                status = 3;
            }
        }
        if (!pathsFile.empty()) {
            LevelPictures::PathsInput in;
            in.table = levels[0].held[0];
            in.N = levels[0].N;
            in.level = std::max<std::uint32_t>(1, Scene::LevelNumber(levels[0].path));
            in.grid = grid;
            if (r.hasExample) {
                in.shots = LevelPictures::PickPaths(r.both, grid, r.example, 5);
            }
            bool ok = chdir(pictureDir.c_str()) == 0;
            Quietly([&] { ok = ok && LevelPictures::WritePaths(pathsFile, in, error); });
            if (!ok) {
                std::fprintf(stderr, "kor-levelcheck: no paths picture: %s\n",
                             Shown(error.empty() ? pictureDir : error).c_str());
                status = 3;
            }
        }
    }

    if (json) {
        nlohmann::json out;
        out["version"] = KOR_VERSION;
        out["grid"] = {{"speeds", grid.Speeds()},
                       {"angles", grid.Angles()},
                       {"shots", grid.Shots()},
                       {"speed_step", 2.5 * grid.speedPresses},
                       {"angle_step", 0.0125 * grid.anglePresses}};
        out["flight_seconds"] = Search::FlightMs / 1000;
        out["wait_seconds"] = waitMs * 0.001;
        out["workers"] = jobs;
        out["levels"] = nlohmann::json::array();
        const char* const ends[5] = {"flying", "won", "lost", "gone", "still"};
        for (std::size_t l = 0; l < levels.size(); ++l) {
            const Result& r = results[l];
            nlohmann::json level = {{"file", levels[l].path}, {"winnable", r.ok}};
            level["failure"] = r.failure.empty() ? nlohmann::json() : nlohmann::json(r.failure);
            level["notes"] = nlohmann::json::array();
            for (const Level::Note& note : levels[l].report.notes) {
                level["notes"].push_back({{"line", note.line}, {"why", WhyText(note.why)}, {"text", note.text}});
            }
            if (levels[l].tableOk) {
                level["wins"] = {{"0.01", r.wins[0]}, {"0.02", r.wins[1]}, {"both", r.wins[2]}};
                for (int step = 0; step < 2; ++step) {
                    for (int k = 0; k < 5; ++k) {
                        level["outcomes"][step == 0 ? "0.01" : "0.02"][ends[k]] = r.count[step][k];
                    }
                }
                level["steps"] = r.steps;
            }
            if (r.hasExample) {
                level["example"] = {{"speed", r.speed},
                                    {"angle", r.angle},
                                    {"degrees", r.angle * 180.0 / 3.14159265358979},
                                    {"presses", Search::PressesText(r.presses)},
                                    {"shift_right", std::max(0, r.presses.speed)},
                                    {"shift_left", std::max(0, -r.presses.speed)},
                                    {"shift_up", r.presses.up},
                                    {"shift_down", r.presses.down},
                                    {"from_new_game", PressesJson(r.newGame)}};
                // Level 1 is never reached by play.
                level["example"]["from_play"] =
                    Scene::LevelNumber(levels[l].path) == 1 ? nlohmann::json() : PressesJson(r.presses);
            } else {
                level["example"] = nullptr;
            }
            out["levels"].push_back(level);
        }
        if (!mapFile.empty()) {
            out["map"] = {{"file", mapFile},
                          {"left", layout.left},
                          {"top", layout.top},
                          {"cell_width", layout.cellWidth},
                          {"cell_height", layout.cellHeight}};
        }
        if (!pathsFile.empty()) {
            out["paths"] = pathsFile;
        }
        out["all_winnable"] = allGood;
        out["seconds"] = seconds;
        const std::string text = out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
        std::fwrite(text.data(), 1, text.size(), console);
        return EndOutput(console, "kor-levelcheck", status);
    }

    std::printf(
        "%zu level(s); %u speeds x %u angles = %u shots each, steps of 0.01 s and 0.02 s, "
        "up to %u s; %ld worker(s)",
        levels.size(), grid.Speeds(), grid.Angles(), grid.Shots(), Search::FlightMs / 1000, jobs);
    if (waitMs > 0) {
        std::printf("; launched after %.2f s of aiming", waitMs * 0.001);
    }
    std::printf("\n");
    std::printf("%-28s %10s %10s %10s  %s\n", "level", "win 0.01 s", "win 0.02 s", "win both",
                "example shot (wins under both)");
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const Result& r = results[l];
        if (!levels[l].tableOk) {
            std::printf("%-28s %10s %10s %10s  FAIL: %s\n", levels[l].path.c_str(), "-", "-", "-", r.failure.c_str());
            PrintNotes(levels[l].report);
            continue;
        }
        char example[200];
        if (r.hasExample) {
            std::snprintf(example, sizeof example, "speed %.1f, angle %.4f rad = %.2f deg (%s)", r.speed, r.angle,
                          r.angle * 180.0 / 3.14159265358979, Search::PressesText(r.presses).c_str());
        } else {
            std::snprintf(example, sizeof example, "FAIL: %s", r.failure.c_str());
        }
        std::printf("%-28s %10zu %10zu %10zu  %s\n", levels[l].path.c_str(), r.wins[0], r.wins[1], r.wins[2], example);
        if (r.hasExample) {
            // The same shot from both aims a player meets, named.
            const std::uint32_t number = Scene::LevelNumber(levels[l].path);
            char start[48] = "a new game";
            if (number > 1) std::snprintf(start, sizeof start, "a new game (--level %u)", number);
            std::printf("    from %s, speed 250 angle 0: %s\n", start, Search::PressesText(r.newGame).c_str());
            if (number != 1) {
                std::printf("    from this level reached by play, speed 150 angle 0: %s\n",
                            Search::PressesText(r.presses).c_str());
            }
        }
        PrintNotes(levels[l].report);
        if (stats) {
            for (int step = 0; step < 2; ++step) {
                const std::size_t* c = r.count[step];
                std::printf("    %.2f s: won %zu, lost %zu, gone %zu, still %zu, flying at the end %zu\n",
                            StepMs[step] * 0.001, c[1], c[2], c[3], c[4], c[0]);
            }
            std::printf("    steps simulated: %llu\n", static_cast<unsigned long long>(r.steps));
        }
    }
    std::printf("%s in %.1f s\n", allGood ? "every level is winnable" : "FAILED", seconds);
    return EndOutput(stdout, "kor-levelcheck", status);
}
