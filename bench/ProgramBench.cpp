// The real program as a player meets it: started under an X server of its own (Xvfb),
// driven with xdotool, watched from /proc. It gives the time from start to the intro window
// and the program's share of a core while it waits (the intro's final picture, the menu,
// the end screen) and while a game runs. A second process plays a game of 50 level
// restarts in-process and reports its memory after each restart.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchReport.hpp"
#include "Game/Game.hpp"
#include "Game/PlayGameTesting.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace BenchReport {

std::map<std::string, double>& Figures()
{
    static std::map<std::string, double> figures;
    return figures;
}

namespace {

constexpr double kWaitSeconds = 4.0;     // each CPU share is taken over this long
constexpr double kWaitShareLimit = 2.0;  // percent of one core
constexpr int kRestarts = 50;
constexpr long kGrowthLimitKb = 512;  // RSS from restart 10 to restart 50

// ---- Processes ----

// Starts argv with extra environment entries (NAME=VALUE, or NAME alone to remove it), in
// dir when given, with stdout to outFd and stderr to errFd when they are not -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir = {},
            int outFd = -1, int errFd = -1)
{
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& add : env) replaced |= add.substr(0, add.find('=')) == name;
        if (!replaced) entries.push_back(entry);
    }
    for (const std::string& add : env)
        if (add.find('=') != std::string::npos) entries.push_back(add);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (std::string& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
        if (outFd != -1) dup2(outFd, 1);
        if (errFd != -1) dup2(errFd, 2);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Waits at most `limit` for the process to end; its exit status, or -1 (still running or
// killed by a signal).
int WaitFor(pid_t pid, std::chrono::milliseconds limit)
{
    const auto end = Clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 || Clock::now() > end) return -1;
        std::this_thread::sleep_for(10ms);
    }
}

void Stop(pid_t& pid)
{
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (WaitFor(pid, 3000ms) == -1 && kill(pid, 0) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

// Processor time of a process (all its threads), in seconds.
double CpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; fields >> f; ++i) {  // field 3 is the state
        if (i == 14) utime = std::stoull(f);
        if (i == 15) {
            stime = std::stoull(f);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Processor time of each thread of a process, in clock ticks, with the thread's name.
std::map<std::string, unsigned long long> ThreadTicks(pid_t pid)
{
    std::map<std::string, unsigned long long> ticks;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        std::ifstream in(task.path() / "stat");
        std::string line;
        std::getline(in, line);
        if (line.rfind(')') == std::string::npos) continue;
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string f;
        unsigned long long t = 0;
        for (int i = 3; fields >> f && i <= 15; ++i)
            if (i == 14 || i == 15) t += std::stoull(f);
        ticks[task.path().filename().string() + " (" + name + ")"] = t;
    }
    return ticks;
}

// The share of one core the process takes over `seconds`, in percent. When it is more than
// a wait should take, `threads` tells which threads took it.
double CpuShare(pid_t pid, double seconds, std::string* threads = nullptr)
{
    const auto before = ThreadTicks(pid);
    const auto t0 = Clock::now();
    const double c0 = CpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double c1 = CpuSeconds(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double share = (c1 - c0) / wall * 100.0;
    if (threads && share > kWaitShareLimit) {
        for (const auto& [thread, ticks] : ThreadTicks(pid)) {
            const auto it = before.find(thread);
            const unsigned long long spent = ticks - (it == before.end() ? 0 : it->second);
            if (spent > 0) *threads += "    thread " + thread + ": " + std::to_string(spent) + " ticks\n";
        }
    }
    return share;
}

// Waits until the process has taken no processor time for 200 ms: it has done its work
// (drawn a screen) and waits. False when it is still busy after `limit`.
bool Settled(pid_t pid, std::chrono::milliseconds limit = 10000ms)
{
    const auto end = Clock::now() + limit;
    double last = CpuSeconds(pid);
    while (Clock::now() < end) {
        std::this_thread::sleep_for(200ms);
        const double now = CpuSeconds(pid);
        if (now == last) return true;
        last = now;
    }
    return false;
}

long StatusKb(pid_t pid, const char* key)
{
    std::ifstream in("/proc/" + (pid ? std::to_string(pid) : std::string("self")) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

// ---- The X server ----

struct XServer {
    pid_t pid = -1;
    std::string display;
    Display* dpy = nullptr;

    bool Start(std::string& why, const std::string& screen = "1280x1024")
    {
        int fds[2];
        if (pipe(fds) != 0) return why = "no pipe", false;
        pid = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen + "x24", "-nolisten", "tcp"},
                    {}, {}, -1, open("/dev/null", O_WRONLY));
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        const auto end = Clock::now() + 10s;
        char c = 0;
        while (Clock::now() < end && poll(&p, 1, 100) >= 0) {
            if (!(p.revents & (POLLIN | POLLHUP))) continue;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) return why = "Xvfb did not start (is it installed? scripts/deps.sh installs it)", false;
        display = ":" + number;
        dpy = XOpenDisplay(display.c_str());
        if (!dpy) return why = "cannot connect to Xvfb at " + display, false;
        // Every window the program maps is a child of the root window (there is no window
        // manager): its map event says that the window shows.
        XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
        XSync(dpy, False);
        return true;
    }
    ~XServer()
    {
        if (dpy) XCloseDisplay(dpy);
        Stop(pid);
    }

    static std::string Title(Display* d, Window w)
    {
        char* name = nullptr;
        std::string title;
        if (XFetchName(d, w, &name) && name) title = name;
        if (name) XFree(name);
        return title;
    }

    // The next window titled `title` to be mapped; 0 after `limit` or when `alive` fails.
    template <class Alive>
    Window WaitMapped(const std::string& title, std::chrono::milliseconds limit, Alive alive)
    {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end && alive()) {
            while (XPending(dpy)) {
                XEvent e;
                XNextEvent(dpy, &e);
                if (e.type == MapNotify && Title(dpy, e.xmap.window) == title) return e.xmap.window;
            }
            pollfd p{ConnectionNumber(dpy), POLLIN, 0};
            poll(&p, 1, 5);
        }
        return 0;
    }

    // Colour of a pixel of a window as 0xRRGGBB; ~0 when it cannot be read.
    std::uint32_t Pixel(Window w, int x, int y)
    {
        XImage* img = XGetImage(dpy, w, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!img) return ~0u;
        const std::uint32_t c = static_cast<std::uint32_t>(XGetPixel(img, 0, 0)) & 0xFFFFFF;
        XDestroyImage(img);
        return c;
    }

    // Whether any pixel of the area differs from `colour`.
    bool AnyOtherThan(Window w, int x, int y, int width, int height, std::uint32_t colour)
    {
        XImage* img =
            XGetImage(dpy, w, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (!img) return false;
        bool other = false;
        for (int j = 0; j < height && !other; ++j)
            for (int i = 0; i < width && !other; ++i)
                other = (static_cast<std::uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF) != colour;
        XDestroyImage(img);
        return other;
    }

    // Runs xdotool with these arguments on this display and waits for it.
    bool Xdotool(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {"xdotool"};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t p = Spawn(argv, {"DISPLAY=" + display});
        return WaitFor(p, 10000ms) == 0;
    }
};

template <class Pred>
bool Until(Pred pred, std::chrono::milliseconds limit, std::chrono::milliseconds step = 100ms)
{
    const auto end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

// ---- The session ----

struct Session {
    bool ran = false;
    std::string failure;
    double startToIntroMs = 0;
    double introMs = 0;                                             // start to the intro's final picture
    double introWait = 0, menuWait = 0, gamePlay = 0, endWait = 0;  // percent of one core
    std::string busyThreads;
    long peakKb = 0;
    int status = -1;
};

constexpr std::uint32_t kBackground = 0x001446;  // RgbColor(0, 20, 70)
constexpr std::uint32_t kFace = 0xD4D0C8;        // a push button's face

// Every picture, sound and shipped level of the build, in a folder of its own so that the
// build tree's high scores are left alone.
fs::path MakeWorkDir(const fs::path& build)
{
    fs::path dir = fs::temp_directory_path() / ("kor-bench-work-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    fs::create_directory_symlink(build / "graphics", dir / "graphics");
    fs::create_directory_symlink(build / "sounds", dir / "sounds");
    return dir;
}

Session PlaySession(const fs::path& build)
{
    Session s;
    XServer x;
    if (!x.Start(s.failure)) return s;
    const fs::path work = MakeWorkDir(build);
    for (const auto& f : fs::directory_iterator(build / "data"))
        if (f.path().filename().string().rfind("level-", 0) == 0)
            fs::copy_file(f.path(), work / "data" / f.path().filename());
    const int log = open((work / "console.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    const auto start = Clock::now();
    pid_t pid = Spawn({(build / "KOR_Dudurad").string()},
                      {"DISPLAY=" + x.display, "SDL_VIDEODRIVER", "SDL_AUDIODRIVER", "WAYLAND_DISPLAY"}, work.string(),
                      log, log);
    close(log);
    auto alive = [&] { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; };
    auto fail = [&](const std::string& why) {
        s.failure = why;
        Stop(pid);
        std::ifstream console(work / "console.txt");
        std::string text((std::istreambuf_iterator<char>(console)), {});
        if (!text.empty()) s.failure += "; the program said:\n" + text;
        fs::remove_all(work);
        return s;
    };

    const Window intro = x.WaitMapped("Intro", 20000ms, alive);
    if (!intro) return fail("no intro window");
    s.startToIntroMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // The intro text at (550, 500) is on the final picture only; the blue corner below the
    // crew tells that the window shows the intro's pictures at all (it starts black).
    if (!Until(
            [&] {
                return (x.Pixel(intro, 20, 520) == kBackground &&
                        x.AnyOtherThan(intro, 550, 500, 250, 50, kBackground)) ||
                       !alive();
            },
            60000ms))
        return fail("the intro's final picture never came");
    if (!alive()) return fail("the program ended during the intro");
    s.introMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    Settled(pid);
    std::string threads;
    s.introWait = CpuShare(pid, kWaitSeconds, &threads);
    if (!threads.empty()) s.busyThreads += "  intro's final wait:\n" + threads;

    if (!x.Xdotool({"windowfocus", "--sync", std::to_string(intro), "key", "space"})) return fail("xdotool failed");
    Window menu = x.WaitMapped("Menu", 15000ms, alive);
    if (!menu) return fail("no menu after the intro");
    if (!Until([&] { return x.Pixel(menu, 365, 455) == kFace; }, 10000ms)) return fail("the menu's buttons never came");
    Settled(pid);
    threads.clear();
    s.menuWait = CpuShare(pid, kWaitSeconds, &threads);
    if (!threads.empty()) s.busyThreads += "  menu wait:\n" + threads;

    if (!x.Xdotool({"mousemove", "--window", std::to_string(menu), "400", "462", "click", "1"}))
        return fail("xdotool failed");
    const Window game = x.WaitMapped("The KOR Dudurad", 15000ms, alive);
    if (!game) return fail("no game window after \"Start spel\"");
    // Playing once the level's bodies are drawn on the black of space.
    if (!Until([&] { return x.AnyOtherThan(game, 0, 0, 1024, 768, 0x000000) || !alive(); }, 10000ms))
        return fail("the game drew no frame");
    s.gamePlay = CpuShare(pid, 2.0);
    if (!x.Xdotool(
            {"windowfocus", "--sync", std::to_string(game), "keydown", "Escape", "sleep", "0.15", "keyup", "Escape"}))
        return fail("xdotool failed");
    // The end screen comes once the score is saved; its wait begins when it is drawn.
    if (!Until([&] { return fs::exists(work / "data" / "highscores.dat") || !alive(); }, 10000ms))
        return fail("Escape did not end the game");
    Settled(pid);
    threads.clear();
    s.endWait = CpuShare(pid, kWaitSeconds, &threads);
    if (!threads.empty()) s.busyThreads += "  end-screen wait:\n" + threads;

    if (!x.Xdotool(
            {"windowfocus", "--sync", std::to_string(game), "keydown", "space", "sleep", "0.15", "keyup", "space"}))
        return fail("xdotool failed");
    menu = x.WaitMapped("Menu", 15000ms, alive);
    if (!menu) return fail("no menu after the end screen");
    if (!Until([&] { return x.Pixel(menu, 505, 455) == kFace; }, 10000ms))
        return fail("the second menu's buttons never came");
    s.peakKb = StatusKb(pid, "VmHWM:");
    if (!x.Xdotool({"mousemove", "--window", std::to_string(menu), "532", "462", "click", "1"}))
        return fail("xdotool failed");
    s.status = WaitFor(pid, 15000ms);
    if (s.status == -1) return fail("the program did not end after \"Exit\"");
    pid = -1;
    s.ran = true;
    fs::remove_all(work);
    return s;
}

// ---- The game of restarts ----

struct Restarts {
    bool ran = false;
    std::string failure;
    std::vector<long> rssKb;  // [0] at the first frame, [k] after restart k
    long peakKb = 0;
};

std::vector<long>* gRss = nullptr;
int gAttemptFrames = 0;
bool gEndHeld = false;

long RssKb()
{
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// On the game's thread at the end of every frame: hold End two frames into each attempt,
// let go when the attempt ends, quit with Escape after the last restart.
void RestartHook(const Game::detail::FrameState& state)
{
    if (gAttemptFrames++ == 0) gRss->push_back(RssKb());
    if (state.stopLevel) {
        if (gEndHeld) Wimdows::Testing::PostKey(35, false);
        gEndHeld = false;
        gAttemptFrames = 0;
        if (static_cast<int>(gRss->size()) == kRestarts) Wimdows::Testing::PostKey(27, true);
        Wimdows::Testing::Sync();  // the next attempt starts with the keys as posted
        return;
    }
    if (gAttemptFrames == 2 && static_cast<int>(gRss->size()) < kRestarts + 1) {
        Wimdows::Testing::PostKey(35, true);
        Wimdows::Testing::Sync();
        gEndHeld = true;
    }
}

void EndHook(const Game::detail::EndState&)
{
    Wimdows::Testing::PostKey(27, false);
    Wimdows::Testing::PostKey(32, true);
}

Restarts RunRestarts(const std::string& self)
{
    Restarts r;
    int fds[2];
    if (pipe(fds) != 0) return r.failure = "no pipe", r;
    pid_t pid = Spawn({self, "--restart-game"}, {}, {}, fds[1]);
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    const int status = WaitFor(pid, 60000ms);
    std::istringstream lines(text);
    for (std::string word; lines >> word;) {
        if (word == "rss") {
            long kb = 0;
            lines >> kb;
            r.rssKb.push_back(kb);
        } else if (word == "peak") {
            lines >> r.peakKb;
        }
    }
    if (status != 0) return r.failure = "the game of restarts failed (status " + std::to_string(status) + ")", r;
    if (static_cast<int>(r.rssKb.size()) != kRestarts + 1)
        return r.failure = "the game ended after " + std::to_string(r.rssKb.size()) + " attempts", r;
    r.ran = true;
    return r;
}

// ---- Showing a game frame at each scale ----

struct ShowCost {
    std::string screen;
    std::uint32_t scale = 0;  // 0 with fullscreen: what fits the screen
    bool fullscreen = false;
    double frameUs = -1;  // one whole game frame to the screen (median)
    double share = -1;    // percent of a core showing 100 frames a second
    std::string failure;
};

// Measures one configuration in a child process on an X server of its own.
void MeasureShow(const std::string& self, ShowCost& c)
{
    XServer x;
    if (!x.Start(c.failure, c.screen)) return;
    int fds[2];
    if (pipe(fds) != 0) return void(c.failure = "no pipe");
    const pid_t pid = Spawn({self, "--show-frame", std::to_string(c.scale), c.fullscreen ? "1" : "0"},
                            {"DISPLAY=" + x.display, "SDL_VIDEODRIVER=x11"}, {}, fds[1]);
    close(fds[1]);
    std::string text;
    char buf[1024];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    if (WaitFor(pid, 60000ms) != 0) return void(c.failure = "the child failed");
    std::istringstream in(text.substr(text.rfind("show ") == std::string::npos ? 0 : text.rfind("show ")));
    std::string word;
    in >> word >> c.frameUs >> c.share;
    if (word != "show") c.failure = "no figures";
}

// ---- Printing ----

std::string Us(const char* key)
{
    const auto& f = Figures();
    const auto it = f.find(key);
    if (it == f.end()) return "(not run)";
    char text[32];
    const double us = it->second * 1e6;
    std::snprintf(text, sizeof text, us < 10 ? "%.2f us" : "%.0f us", us);
    return text;
}

std::string Ratio(const char* key, const char* reference)
{
    const auto& f = Figures();
    if (!f.count(key) || !f.count(reference)) return "";
    char text[48];
    std::snprintf(text, sizeof text, " = %.1f x the copy", f.at(key) / f.at(reference));
    return text;
}

}  // namespace

int RestartGame()
{
    const fs::path build = KOR_BUILD_DIR;
    const fs::path work = MakeWorkDir(build);
    std::ofstream(work / "data" / "level-01.txt") << GeneratedLevel(101);
    fs::current_path(work);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<long> rss;
    gRss = &rss;
    Game::Init();
    Game::detail::SetFrameHook(RestartHook);
    Game::detail::SetEndHook(EndHook);
    std::fflush(stdout);
    Game::PlayGame();
    Game::detail::SetFrameHook(nullptr);
    Game::detail::SetEndHook(nullptr);
    fs::current_path(build);
    fs::remove_all(work);
    // The game's console lines went before: the figures come last, one per line.
    std::printf("\n");
    for (const long kb : rss) std::printf("rss %ld\n", kb);
    std::printf("peak %ld\n", StatusKb(0, "VmHWM:"));
    return 0;
}

bool ProgramReport(const std::string& self, bool framesAlone)
{
    const fs::path build = KOR_BUILD_DIR;
    std::printf(
        "\nMeasuring the program: a session under Xvfb (about 30 s), %s a game of %d restarts, game frames "
        "shown at each scale%s...\n",
        framesAlone ? "meanwhile" : "and meanwhile", kRestarts, framesAlone ? " after them" : "");
    std::fflush(stdout);
    const auto config = [](const char* screen, std::uint32_t scale, bool fullscreen) {
        ShowCost c;
        c.screen = screen;
        c.scale = scale;
        c.fullscreen = fullscreen;
        return c;
    };
    std::vector<ShowCost> shows{config("1920x1080", 1, false), config("1920x1080", 0, true),
                                config("3840x2160", 1, false), config("3840x2160", 2, false),
                                config("3840x2400", 3, false), config("3840x2160", 0, true)};
    // The session's and the restarts' figures are of a process of their own (its processor
    // time and memory), which work beside it does not change, so they are taken side by
    // side, each on its own thread (the session on its X server, the restarts on the dummy
    // drivers). A frame's time is the wall clock's: alone it is exact; beside the others
    // (--program-only, the test: every scale at once, each on an X server of its own) it is
    // only a rough figure.
    XInitThreads();  // each thread has a display connection of its own
    Restarts r;
    std::thread restarts([&] { r = RunRestarts(self); });
    std::vector<std::thread> frames;
    if (!framesAlone)
        for (ShowCost& c : shows) frames.emplace_back([&self, &c] { MeasureShow(self, c); });
    const Session s = PlaySession(build);
    restarts.join();
    for (std::thread& t : frames) t.join();
    if (framesAlone)
        for (ShowCost& c : shows) MeasureShow(self, c);
    const auto& f = Figures();
    bool ok = true;

    std::printf("\n==== Performance report: The KOR Dudurad on this machine (%u cores) ====\n",
                std::thread::hardware_concurrency());
    std::printf("Simulate, one step:          2 bodies %s, 10 bodies %s, 101 bodies %s\n", Us("simulate/2").c_str(),
                Us("simulate/10").c_str(), Us("simulate/101").c_str());
    if (f.count("heaviest/level"))
        std::printf("Draw, one game frame:        level %.0f (the heaviest shipped, %.0f bodies) %s%s\n",
                    f.at("heaviest/level"), f.at("heaviest/bodies"), Us("draw/heaviest").c_str(),
                    Ratio("draw/heaviest", "BM_MemcpyFrame").c_str());
    std::printf("                             101 bodies %s%s\n", Us("draw/101").c_str(),
                Ratio("draw/101", "BM_MemcpyFrame").c_str());
    std::printf("Full-frame copy (1024 x 768 x 4 bytes, memcpy): %s\n", Us("BM_MemcpyFrame").c_str());
    if (s.ran) {
        std::printf("Start to the intro window showing: %.0f ms (to the intro's final picture: %.1f s)\n",
                    s.startToIntroMs, s.introMs / 1000.0);
        std::printf(
            "Share of one core (over %.0f s each): intro's final wait %.1f %%, menu wait %.1f %%, "
            "end-screen wait %.1f %%\n",
            kWaitSeconds, s.introWait, s.menuWait, s.endWait);
        std::printf("                             (a game being played, for comparison: %.1f %%)\n", s.gamePlay);
        std::printf("Peak memory of that session: %.1f MB; exit status after \"Exit\": %d\n", s.peakKb / 1024.0,
                    s.status);
        if (!s.busyThreads.empty()) std::printf("Busy threads:\n%s", s.busyThreads.c_str());
        for (const double w : {s.introWait, s.menuWait, s.endWait}) ok &= w <= kWaitShareLimit;
        ok &= s.status == 0;
    } else {
        std::printf("The program under Xvfb: not measured: %s\n", s.failure.c_str());
        ok = false;
    }
    if (r.ran) {
        std::printf("A game of %d restarts of a 101-body level, RSS after each restart (MB):", kRestarts);
        for (std::size_t k = 1; k < r.rssKb.size(); ++k)
            std::printf("%s%.1f", (k - 1) % 25 == 0 ? "\n   " : " ", r.rssKb[k] / 1024.0);
        std::printf("\n");
        const long growth = r.rssKb[kRestarts] - r.rssKb[10];
        std::printf("   growth from restart 10 to 50: %ld KB; peak %.1f MB\n", growth, r.peakKb / 1024.0);
        ok &= growth <= kGrowthLimitKb;
    } else {
        std::printf("The game of restarts: not measured: %s\n", r.failure.c_str());
        ok = false;
    }
    std::printf(
        "Showing one game frame (1024 x 768), whole frame to the screen / share of a core at 100 frames a second%s:\n",
        framesAlone ? "" : " (measured beside the session: rough)");
    const double copyUs = f.count("BM_MemcpyFrame") ? f.at("BM_MemcpyFrame") * 1e6 : 0;
    for (const ShowCost& c : shows) {
        const std::string how = c.fullscreen ? "fullscreen" : "scale " + std::to_string(c.scale);
        if (!c.failure.empty()) {
            std::printf("   %-9s %-10s not measured: %s\n", c.screen.c_str(), how.c_str(), c.failure.c_str());
            continue;
        }
        std::printf("   %-9s %-10s %7.0f us", c.screen.c_str(), how.c_str(), c.frameUs);
        if (copyUs > 0) std::printf(" (%4.1f x the copy)", c.frameUs / copyUs);
        std::printf(", %4.1f %% of a core\n", c.share);
    }
    std::printf("%s\n", ok ? "All waits are quiet and memory stays flat."
                           : "!! A figure is out of bounds (or could not be measured): see above.");
    return ok;
}

int ShowFrame(std::uint32_t scale, bool fullscreen)
{
    Wimdows::Init();
    Wimdows::SetPresentOptions({scale, fullscreen});
    Wimdows::Window("Bench", 1024, 768);
    if (Wimdows::State() != Wimdows::STATE_ACTIVE) return 1;
    Wimdows::SetBuffering(true);
    // A frame with something everywhere, changed every time as a game frame is.
    const auto draw = [](int k) {
        for (int y = 0; y < 768; y += 32)
            Wimdows::Rectangle(0, y, 1023, y + 31, Wimdows::RgbColor((y + k) & 255, (y * 3) & 255, k & 255), true);
    };
    std::vector<double> runs;
    for (int k = 0; k < 101; ++k) {
        draw(k);
        const auto t0 = Clock::now();
        Wimdows::UpdateWindow();
        Wimdows::Testing::Sync();
        runs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::nth_element(runs.begin(), runs.begin() + 50, runs.end());
    // As a game shows its frames: every 10 ms, without waiting for the window's thread.
    draw(0);
    const double cpu0 = CpuSeconds(getpid());
    const auto t0 = Clock::now();
    for (int k = 0; k < 300; ++k) {
        Wimdows::UpdateWindow();
        std::this_thread::sleep_for(10ms);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double share = 100.0 * (CpuSeconds(getpid()) - cpu0) / wall;
    Wimdows::KillWindow();
    std::printf("show %.1f %.2f\n", runs[50], share);
    return 0;
}

}  // namespace BenchReport
