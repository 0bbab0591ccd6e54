// A real window on a real X server (Xvfb, started by xvfb-run), driven by real key
// presses and clicks from xdotool.
#include <time.h>

#include <cstdio>
#include <string>
#include <thread>

#include "Helpers.hpp"
// After the test framework: Xlib's macros (None, Bool) would break its headers.
#include <SDL_syswm.h>

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

// Runs a shell command; its output with the trailing newline cut.
std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// The X window id of our window, found by its title as a player's tool would.
std::string FindWindow(const std::string& title)
{
    std::string id;
    WaitFor([&] { return !(id = Shell("xdotool search --name '^" + title + "$'")).empty(); });
    return id.substr(0, id.find('\n'));
}

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class XServer : public WindowFixture {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run me through xvfb-run";
        SetPresentOptions({1, false});  // client pixels are screen pixels here
        Wimdows::Window(title, 320, 200);
        ASSERT_EQ(State(), STATE_ACTIVE);
        win = FindWindow(title);
        ASSERT_FALSE(win.empty()) << "xdotool does not find the window";
        Shell("xdotool windowfocus --sync " + win);
    }
    const char* title = "KOR on X";
    std::string win;
};

TEST_F(XServer, RealKeyPressesReachTheTableAndTheQueue)
{
    Shell("xdotool windowfocus --sync " + win + " key space");
    EXPECT_EQ(GetKey(), 32u);

    Shell("xdotool windowfocus --sync " + win + " keydown Left");
    EXPECT_EQ(GetKey(), 37u);
    EXPECT_TRUE(KeyDown(37));
    Shell("xdotool windowfocus --sync " + win + " keyup Left");
    EXPECT_TRUE(WaitFor([] { return !KeyDown(37); }));

    Shell("xdotool windowfocus --sync " + win + " key a End Escape Return F1 0");
    for (std::uint32_t expected : {65u, 35u, 27u, 13u, 112u, 48u}) EXPECT_EQ(GetKey(), expected);

    // The keypad with NumLock off, as the server starts (xdotool toggles NumLock by itself
    // for keypad digits, so the digits are left to the unit tests).
    Shell("xdotool windowfocus --sync " + win + " key KP_Up KP_Left KP_End KP_Next KP_Insert");
    for (std::uint32_t expected : {38u, 37u, 35u, 34u, 45u}) EXPECT_EQ(GetKey(), expected);
}

TEST_F(XServer, TheBackBufferReachesTheScreen)
{
    {
        I::BufferGuard guard;
        ASSERT_TRUE(guard);
        SDL_FillRect(I::hBitBuf, nullptr, I::ColorToPixel(0x00FF00));  // green
        SDL_Rect box{10, 20, 30, 40};
        SDL_FillRect(I::hBitBuf, &box, I::ColorToPixel(0x0000FF));  // red
    }
    I::PresentRect(0, 0, 320, 200);
    Testing::Sync();
    const std::string pixels = Shell("import -window " + win + " -crop 1x1+15+25 -depth 8 txt:- ; import -window " +
                                     win + " -crop 1x1+200+100 -depth 8 txt:-");
    EXPECT_NE(pixels.find("#FF0000"), std::string::npos) << pixels;
    EXPECT_NE(pixels.find("#00FF00"), std::string::npos) << pixels;
}

TEST_F(XServer, PrimitivesAndTextShowOnTheRealWindow)
{
    ClearScreen();  // unbuffered: each operation shows at once
    Rectangle(10, 10, 49, 29, RgbColor(255, 0, 0), true);
    Line(0, 100, 319, 100, RgbColor(0, 0, 255));
    SetFont(0, 0xFFFFFF);
    Text("Huidige Hoek (\xB0)", 100, 50);
    Testing::Sync();
    const auto at = [this](int x, int y) {
        return Shell("import -window " + win + " -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                     " -depth 8 txt:-");
    };
    EXPECT_NE(at(49, 29).find("#FF0000"), std::string::npos);  // the far corner too
    EXPECT_NE(at(319, 100).find("#0000FF"), std::string::npos);
    EXPECT_NE(at(50, 30).find("#000000"), std::string::npos);
    std::uint32_t w = 0, h = 0;
    GetTextSize("Huidige Hoek (\xB0)", 0, w, h);
    const std::string text = Shell("import -window " + win + " -crop " + std::to_string(w) + "x" + std::to_string(h) +
                                   "+100+50 -depth 8 txt:-");
    EXPECT_NE(text.find("#FFFFFF"), std::string::npos);
    EXPECT_NE(text.find("#000000"), std::string::npos);
    SetFont(0, 0);
}

TEST_F(XServer, RealClicksTakeAndReleaseTheCapture)
{
    Shell("xdotool mousemove --window " + win + " 40 50 mousedown 1");
    bool left = false, captured = false;
    std::int32_t x = 0, y = 0;
    auto look = [&] {
        left = I::mouse.left;
        captured = I::captured;
        x = I::mouse.x;
        y = I::mouse.y;
    };
    ASSERT_TRUE(WaitFor([&] { return OnUi(look) && left; }));
    EXPECT_TRUE(captured);
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 50);
    Shell("xdotool mouseup 1");
    ASSERT_TRUE(WaitFor([&] { return OnUi(look) && !left; }));
    EXPECT_FALSE(captured);
}

TEST_F(XServer, AnErrorOfTheDisplayIsToldOnceAndTheProgramGoesOn)
{
    // Requests about a window that does not exist: Xlib's own handler would end the process.
    testing::internal::CaptureStderr();
    bool asked = false;
    auto ask = [&] {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(I::window.hwnd, &info) || info.subsystem != SDL_SYSWM_X11) return;
        XWindowAttributes attributes;
        for (int i = 0; i < 3; ++i) XGetWindowAttributes(info.info.x11.display, 0x1FFFFF0, &attributes);
        asked = true;
    };
    ASSERT_TRUE(OnUi(ask));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(asked);
    EXPECT_EQ(err.find("The display refused a request"), err.rfind("The display refused a request")) << err;
    EXPECT_NE(err.find("(error 3, request 3.0); going on."), std::string::npos) << err;
    Rectangle(0, 0, 10, 10, RgbColor(255, 0, 0), true);  // the window still works
    Testing::Sync();
    EXPECT_EQ(State(), STATE_ACTIVE);
}

TEST_F(XServer, GetKeyWaitsWithoutBurningACore)
{
    std::thread player([this] {
        std::this_thread::sleep_for(5s);
        Shell("xdotool windowfocus --sync " + win + " key Return");
    });
    const double cpu0 = ProcessSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const std::uint32_t k = GetKey();
    const double cpu = ProcessSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    player.join();
    EXPECT_EQ(k, 13u);
    EXPECT_GT(wall, 4.5);
    std::printf("CPU of the process while GetKey waited %.2f s: %.3f s (%.2f %% of one core)\n", wall, cpu,
                100.0 * cpu / wall);
    EXPECT_LT(cpu / wall, 0.02);
}

}  // namespace
