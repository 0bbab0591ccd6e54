// Window lifecycle, repainting, the hand-over to the user-interface thread and the
// command dispatch, on SDL's dummy video driver.
#include <dlfcn.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "Helpers.hpp"

using namespace Wimdows;
using namespace WimdowsTest;
namespace I = Wimdows::detail;

namespace {

std::uint32_t OnScreen(std::int32_t x, std::int32_t y)
{
    std::uint32_t c = 0xDEADBEEF;
    EXPECT_TRUE(Testing::ReadScreen(x, y, c)) << x << "," << y;
    return c;
}

// Fills the whole back buffer with one colour, the way the drawing code will.
void FillBackBuffer(std::uint32_t color)
{
    I::BufferGuard guard;
    ASSERT_TRUE(guard);
    SDL_FillRect(I::hBitBuf, nullptr, I::ColorToPixel(color));
}

// Tables and flags that the teardown must leave empty.
void ExpectEmptyState()
{
    EXPECT_EQ(I::window.xlen.load(), 0u);
    EXPECT_EQ(I::window.ylen.load(), 0u);
    EXPECT_EQ(I::hBitBuf, nullptr);
    EXPECT_FALSE(I::buffering.load());
    EXPECT_EQ(I::bit, nullptr);
    EXPECT_EQ(I::bitlen, 0u);
    EXPECT_EQ(I::ctrl, nullptr);
    EXPECT_EQ(I::controllen, 0u);
    EXPECT_EQ(I::children, nullptr);
    EXPECT_EQ(I::menu, nullptr);
    EXPECT_EQ(I::menulen, 0u);
    EXPECT_EQ(I::keybuf.head, nullptr);
    EXPECT_EQ(I::keybuf.tail, nullptr);
    EXPECT_FALSE(I::mouse.left);
    EXPECT_FALSE(I::captured);
    for (std::uint32_t k = 0; k < 256; ++k) EXPECT_FALSE(KeyDown(k)) << k;
}

// Gives the open window something in every table, as the later parts of the layer will.
void FillTables()
{
    auto fill = [] {
        I::BufferGuard guard;
        I::bitlen = 2;
        I::bit = new I::BitStruct[2]{};
        I::bit[1] = {SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 32, SDL_PIXELFORMAT_XRGB8888), 8, 8, false};
        auto* child =
            new I::ControlWindow{I::children, {1, 2, 30, 20}, new char[3]{'O', 'K', 0}, 10000, I::CTRL_BUTTON, false};
        I::children = child;
        I::controllen = 1;
        I::ctrl = new I::ControlStruct[1]{{child, 1, 2, 30, 20, nullptr, I::CTRL_BUTTON}};
        I::menulen = 1;
        I::menu = new I::MenuStruct[1]{{new I::ItemProc[1]{nullptr}, 1}};
    };
    ASSERT_TRUE(OnUi(fill));
    I::buffering.store(true);
    Testing::PostKey('A', true);
    Testing::PostMouseButton(1, true, 5, 5);
    Testing::Sync();
    ASSERT_TRUE(KeyDown('A'));
}

class Lifecycle : public WindowFixture {};

TEST_F(Lifecycle, KillWindowWithoutWindowReturnsAtOnce)
{
    KillWindow();
    EXPECT_EQ(State(), STATE_DEAD);
    KillWindow();
    EXPECT_EQ(State(), STATE_DEAD);
    EXPECT_NE(WindowEnded(), Ended::ClosedByUser);
}

TEST_F(Lifecycle, OpensShownWithExactClientSizeAndBackBuffer)
{
    Window("Menu", 800, 550);
    ASSERT_EQ(State(), STATE_ACTIVE);
    EXPECT_EQ(I::window.xlen.load(), 800u);
    EXPECT_EQ(I::window.ylen.load(), 550u);
    EXPECT_NE(WindowEnded(), Ended::ClosedByUser);
    int w = 0, h = 0;
    Uint32 flags = 0;
    std::string title;
    ASSERT_TRUE(OnUi([&] {
        SDL_GetWindowSize(I::window.hwnd, &w, &h);
        flags = SDL_GetWindowFlags(I::window.hwnd);
        title = SDL_GetWindowTitle(I::window.hwnd);
    }));
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 550);
    EXPECT_EQ(title, "Menu");
    EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
    {
        I::BufferGuard guard;
        ASSERT_TRUE(guard);
        EXPECT_EQ(I::hBitBuf->w, 800);
        EXPECT_EQ(I::hBitBuf->h, 550);
        EXPECT_EQ(I::hBitBuf->format->format, SDL_PIXELFORMAT_XRGB8888);
        EXPECT_EQ(I::hBitBuf->format->BitsPerPixel, 32);
    }
    KillWindow();
    EXPECT_EQ(State(), STATE_DEAD);
    EXPECT_NE(WindowEnded(), Ended::ClosedByUser);
    ExpectEmptyState();
}

TEST_F(Lifecycle, ReopeningWithTheSameTitleClosesTheOldWindowCompletelyFirst)
{
    Window("Menu", 320, 200);
    ASSERT_EQ(State(), STATE_ACTIVE);
    FillTables();
    SDL_Window* first = nullptr;
    ASSERT_TRUE(OnUi([&] { first = I::window.hwnd; }));

    Window("Menu", 640, 480);
    ASSERT_EQ(State(), STATE_ACTIVE);
    EXPECT_EQ(I::window.xlen.load(), 640u);
    EXPECT_FALSE(KeyDown('A'));
    EXPECT_EQ(I::bitlen, 0u);
    EXPECT_EQ(I::controllen, 0u);
    EXPECT_EQ(I::menulen, 0u);
    EXPECT_FALSE(I::buffering.load());
    bool left = true, captured = true;
    ASSERT_TRUE(OnUi([&] {
        left = I::mouse.left;
        captured = I::captured;
    }));
    EXPECT_FALSE(left);
    EXPECT_FALSE(captured);
    KillWindow();
    ExpectEmptyState();
    (void)first;
}

TEST_F(Lifecycle, CloseBoxTearsTheWindowDownWhileTheMainThreadGoesOn)
{
    Window("Intro", 200, 100);
    ASSERT_EQ(State(), STATE_ACTIVE);
    FillTables();
    Testing::PostClose();
    ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);
    ExpectEmptyState();
    // The program learns of it afterwards and may still call anything.
    EXPECT_EQ(GetKey(), 0u);
    KillWindow();
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);
    // A new window starts afresh.
    Window("Intro", 200, 100);
    ASSERT_EQ(State(), STATE_ACTIVE);
    EXPECT_NE(WindowEnded(), Ended::ClosedByUser);
    KillWindow();
    EXPECT_NE(WindowEnded(), Ended::ClosedByUser);
}

TEST_F(Lifecycle, QuitRequestOfTheSystemCountsAsTheUsersClose)
{
    Window("Intro", 200, 100);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_TRUE(I::PostEvent(quit));
    ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);
}

TEST_F(Lifecycle, ManyWindowsInARow)
{
    for (int i = 0; i < 8; ++i) {
        Window("The KOR Dudurad", 1024, 768);
        ASSERT_EQ(State(), STATE_ACTIVE) << i;
        if (i % 2) KillWindow();
    }
}

TEST_F(Lifecycle, ImpossibleSizesAreRefusedWithAMessage)
{
    testing::internal::CaptureStderr();
    Window("Zero", 0, 100);
    EXPECT_EQ(State(), STATE_DEAD);
    Window("Huge", 100000, 10);
    EXPECT_EQ(State(), STATE_DEAD);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Can't open the window \"Zero\""), std::string::npos) << err;
    EXPECT_NE(err.find("Can't open the window \"Huge\""), std::string::npos) << err;
    Window(nullptr, 10, 10);  // no title at all is an empty one
    EXPECT_EQ(State(), STATE_ACTIVE);
}

// Sets environment variables for one scope and puts the old values back.
class Environment {
public:
    void Set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? old : "", old != nullptr});
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~Environment()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->had ? setenv(it->name.c_str(), it->value.c_str(), 1) : unsetenv(it->name.c_str());
    }

private:
    struct Saved {
        std::string name, value;
        bool had;
    };
    std::vector<Saved> saved_;
};

// Opens a window where no display can show it; returns what the console got.
std::string OpenWithoutDisplay(std::chrono::steady_clock::duration& took)
{
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    Window("Nowhere", 320, 200);
    took = std::chrono::steady_clock::now() - start;
    return testing::internal::GetCapturedStderr();
}

// In a process of its own (video starts once per run): opens a window where no display
// can show it, then one on the dummy driver. Ends with status 0 when all went as it should.
void OpenNowhereThenSomewhere(const char* driver, const char* display, const std::string& said)
{
    setenv("SDL_VIDEODRIVER", driver, 1);
    if (!*driver) unsetenv("SDL_VIDEODRIVER");
    display ? setenv("DISPLAY", display, 1) : unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::chrono::steady_clock::duration took{};
    const std::string err = OpenWithoutDisplay(took);
    int faults = 0;
    auto check = [&](bool ok, const char* what) {
        if (!ok) std::fprintf(stderr, "FAULT: %s; console: %s\n", what, err.c_str()), ++faults;
    };
    check(State() == STATE_DEAD, "the state is not STATE_DEAD");
    check(took < 5s, "it took 5 s or more");
    check(err.find(said) != std::string::npos, "the reason is not on the console");
    check(GetKey() == 0u, "GetKey did not return 0");
    KillWindow();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    Window("Somewhere", 320, 200);  // the layer recovers
    check(State() == STATE_ACTIVE, "no window after the display came");
    KillWindow();
    std::fflush(stderr);
    _exit(faults);
}

TEST_F(Lifecycle, WithoutAnyDisplayWindowComesBackDeadAndSaysWhy)
{
    if (access("/dev/dri", F_OK) == 0) GTEST_SKIP() << "this machine has a console display";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(OpenNowhereThenSomewhere("", nullptr,
                                         "[ERROR] (Window) Can't open the window \"Nowhere\": no display to show it "
                                         "on; x11,wayland,KMSDRM not available"),
                testing::ExitedWithCode(0), "");
    // An X server that is not there: tried again for a moment (it may be resetting).
    EXPECT_EXIT(OpenNowhereThenSomewhere("x11", ":4711", "Can't open the window \"Nowhere\": x11 not available"),
                testing::ExitedWithCode(0), "");
}

TEST_F(Lifecycle, PaintShowsTheBackBufferAndARestoredWindowIsRepainted)
{
    Window("Paint", 100, 80);
    ASSERT_EQ(State(), STATE_ACTIVE);
    Testing::Sync();  // the repaint of the window's first showing is over
    FillBackBuffer(0x0000FF);
    std::uint32_t c = 0;
    ASSERT_TRUE(Testing::ReadBackBuffer(5, 5, c));
    EXPECT_EQ(c, 0x0000FFu);
    EXPECT_EQ(OnScreen(5, 5), 0u);  // not shown yet

    I::PresentRect(10, 10, 20, 20);
    EXPECT_EQ(OnScreen(10, 10), 0x0000FFu);
    EXPECT_EQ(OnScreen(29, 29), 0x0000FFu);
    EXPECT_EQ(OnScreen(30, 30), 0u);
    EXPECT_EQ(OnScreen(9, 10), 0u);
    I::PresentRect(90, 70, 500, 500);  // clipped to the window
    EXPECT_EQ(OnScreen(99, 79), 0x0000FFu);

    FillBackBuffer(0x00FF00);
    SDL_Event restored{};
    restored.type = SDL_WINDOWEVENT;
    restored.window.event = SDL_WINDOWEVENT_RESTORED;
    ASSERT_TRUE(I::PostEvent(restored));
    Testing::Sync();
    EXPECT_EQ(OnScreen(0, 0), 0x00FF00u);
    EXPECT_EQ(OnScreen(99, 79), 0x00FF00u);

    EXPECT_FALSE(Testing::ReadScreen(100, 0, c));
    EXPECT_FALSE(Testing::ReadBackBuffer(-1, 0, c));
    KillWindow();
    EXPECT_FALSE(Testing::ReadScreen(0, 0, c));
    EXPECT_FALSE(Testing::ReadBackBuffer(0, 0, c));
    I::PresentRect(0, 0, 10, 10);  // no window: nothing happens
}

class Requests : public WindowFixture {};

TEST_F(Requests, RunOnTheUserInterfaceThreadAfterTheEventsPostedBefore)
{
    bool ran = false;
    EXPECT_FALSE(OnUi([&] { ran = true; }));  // no window
    EXPECT_FALSE(ran);

    Window("Requests", 64, 64);
    std::thread::id where;
    bool onUi = false, nestedAtOnce = false;
    ASSERT_TRUE(OnUi([&] {
        where = std::this_thread::get_id();
        onUi = I::OnUiThread();
        bool inner = false;
        nestedAtOnce = OnUi([&] { inner = true; }) && inner;
    }));
    EXPECT_NE(where, std::this_thread::get_id());
    EXPECT_TRUE(onUi);
    EXPECT_TRUE(nestedAtOnce);
    EXPECT_FALSE(I::OnUiThread());

    for (std::uint32_t k = 'A'; k <= 'Z'; ++k) Testing::PostKey(k, true);
    bool allDown = false;
    ASSERT_TRUE(OnUi([&] {
        allDown = true;
        for (std::uint32_t k = 'A'; k <= 'Z'; ++k) allDown = allDown && KeyDown(k);
    }));
    EXPECT_TRUE(allDown);
}

TEST_F(Requests, HoldingTheBackBufferRefusesInsteadOfDeadlocking)
{
    Window("Requests", 64, 64);
    testing::internal::CaptureStderr();
    bool ran = false;
    {
        I::BufferGuard guard;
        EXPECT_FALSE(OnUi([&] { ran = true; }));
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ran);
    EXPECT_NE(err.find("(SendRequest)"), std::string::npos);
    EXPECT_TRUE(OnUi([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST_F(Requests, ClosingFromTheUserInterfaceThreadEndsTheWindowAfterwards)
{
    Window("Button", 64, 64);
    bool stillBuffer = false;
    std::uint32_t key = 99;
    ASSERT_TRUE(OnUi([&] {
        Window("Other", 10, 10);  // refused: this thread cannot wait for itself
        KillWindow();
        I::BufferGuard guard;
        stillBuffer = static_cast<bool>(guard);  // a button procedure may go on drawing
        key = GetKey();                          // and gets no key instead of waiting forever
    }));
    EXPECT_TRUE(stillBuffer);
    EXPECT_EQ(key, 0u);
    ASSERT_TRUE(WaitFor([] { return State() == STATE_DEAD; }));
    EXPECT_NE(WindowEnded(), Ended::ClosedByUser);
}

// ---- Command dispatch ----

int menuCalls[2][3];
int buttonCalls;
void Item00() { ++menuCalls[0][0]; }
void Item12() { ++menuCalls[1][2]; }
void Button() { ++buttonCalls; }

class Commands : public WindowFixture {
protected:
    void SetUp() override
    {
        Window("Commands", 64, 64);
        ASSERT_EQ(State(), STATE_ACTIVE);
        std::memset(menuCalls, 0, sizeof menuCalls);
        buttonCalls = 0;
    }
    static void Send(std::uint32_t id, std::uint32_t code = 0)
    {
        ASSERT_TRUE(OnUi([&] { I::WindowProcedure(I::window.hwnd, I::WM_COMMAND, I::MakeCommand(id, code), 0); }));
    }
};

TEST_F(Commands, MenuRangeWithoutEntriesIsIgnored)
{
    for (std::uint32_t id : {100u, 101u, 199u, 200u, 5050u, 9999u}) Send(id);
    SUCCEED();
}

TEST_F(Commands, OnlyExistingMenuItemsAreCalled)
{
    ASSERT_TRUE(OnUi([] {
        I::menulen = 2;
        I::menu =
            new I::MenuStruct[2]{{new I::ItemProc[1]{Item00}, 1}, {new I::ItemProc[3]{nullptr, nullptr, Item12}, 3}};
    }));
    Send(100);  // entry 0, item 0
    Send(202);  // entry 1, item 2
    Send(101);  // entry 0 has one item
    Send(201);  // an empty item
    Send(299);
    Send(300);     // entry 2 does not exist
    Send(100, 1);  // from an accelerator
    Send(42);
    EXPECT_EQ(menuCalls[0][0], 1);
    EXPECT_EQ(menuCalls[1][2], 1);
}

TEST_F(Commands, ButtonClicksCallTheProcedureOfAnExistingButtonSlot)
{
    ASSERT_TRUE(OnUi([] {
        I::BufferGuard guard;
        auto* child = new I::ControlWindow{nullptr, {0, 0, 10, 10}, nullptr, 10000, I::CTRL_BUTTON, false};
        I::children = child;
        I::controllen = 3;
        I::ctrl = new I::ControlStruct[3]{{child, 0, 0, 10, 10, Button, I::CTRL_BUTTON},
                                          {nullptr, 0, 0, 0, 0, Button, I::CTRL_BUTTON},
                                          {child, 0, 0, 10, 10, Button, I::CTRL_EDIT}};
    }));
    Send(10000);
    Send(10000);
    Send(10000, 5);  // not a click
    Send(10000, 1);
    Send(10001);  // free slot
    Send(10002);  // an edit field
    Send(10003);  // no such slot
    Send(65535);
    EXPECT_EQ(buttonCalls, 2);
    KillWindow();  // the controls go with their window
    EXPECT_EQ(I::children, nullptr);
    EXPECT_EQ(I::ctrl, nullptr);
}

// ---- Keys of a virtual keyboard on Wayland ----

// A virtual keyboard's keymap as wtype makes one (one layout, without a name), compiled by
// the libxkbcommon SDL uses; SDL looks its keys up in layout -1 until the compositor names
// a layout. The lookup SDL makes is the global one, so it meets the window layer's first.
TEST(VirtualKeyboard, AKeyLookedUpInLayoutMinusOneGivesTheFirstLayoutsSymbol)
{
    struct Keymap;
    const auto context = reinterpret_cast<void* (*)(int)>(dlsym(RTLD_DEFAULT, "xkb_context_new"));
    const auto compile =
        reinterpret_cast<Keymap* (*)(void*, const char*, int, int)>(dlsym(RTLD_DEFAULT, "xkb_keymap_new_from_string"));
    const auto name =
        reinterpret_cast<const char* (*)(Keymap*, std::uint32_t)>(dlsym(RTLD_DEFAULT, "xkb_keymap_layout_get_name"));
    const auto syms =
        reinterpret_cast<int (*)(Keymap*, std::uint32_t, std::uint32_t, std::uint32_t, const std::uint32_t**)>(
            dlsym(RTLD_DEFAULT, "xkb_keymap_key_get_syms_by_level"));
    const auto unref = reinterpret_cast<void (*)(Keymap*)>(dlsym(RTLD_DEFAULT, "xkb_keymap_unref"));
    const auto drop = reinterpret_cast<void (*)(void*)>(dlsym(RTLD_DEFAULT, "xkb_context_unref"));
    ASSERT_TRUE(context && compile && name && syms && unref && drop) << "SDL brings libxkbcommon along";
    void* ctx = context(1);  // no default include paths: the keymap is whole
    ASSERT_NE(ctx, nullptr);
    Keymap* keymap = compile(ctx,
                             "xkb_keymap {\n"
                             "xkb_keycodes \"(unnamed)\" { minimum = 8; maximum = 255; <K1> = 9; <K2> = 10; };\n"
                             "xkb_types \"(unnamed)\" { type \"ONE_LEVEL\" { modifiers = none; "
                             "level_name[Level1] = \"Any\"; }; };\n"
                             "xkb_compatibility \"(unnamed)\" { };\n"
                             "xkb_symbols \"(unnamed)\" { key <K1> { [ space ] }; key <K2> { [ Escape ] }; };\n"
                             "};\n",
                             1, 0);
    ASSERT_NE(keymap, nullptr);
    EXPECT_EQ(name(keymap, 0), nullptr);  // what makes SDL treat it as a virtual keyboard
    const struct {
        std::uint32_t key, layout, sym;
    } cases[] = {{9, 0xFFFFFFFFu, 0x20}, {10, 0xFFFFFFFFu, 0xFF1B}, {9, 0, 0x20}, {10, 1, 0xFF1B}};
    for (const auto& c : cases) {
        const std::uint32_t* found = nullptr;
        ASSERT_EQ(syms(keymap, c.key, c.layout, 0, &found), 1) << c.key << " in layout " << c.layout;
        EXPECT_EQ(found[0], c.sym);
    }
    unref(keymap);
    drop(ctx);
}

// ---- A thread that cannot start ----

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Leaves the process no address space for another thread's stack, then opens a window.
[[noreturn]] void OpenWithoutRoomForAThread()
{
    unsetenv("DISPLAY");  // the message box must not wait for a click
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    const rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{now + (2u << 20), now + (2u << 20)};
    setrlimit(RLIMIT_AS, &limit);
    Window("NoThread", 100, 100);
    std::_Exit(State() == STATE_DEAD ? 0 : 1);
}
#endif

TEST(ThreadStart, MessageWhenNoThreadCanBeStarted)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers need more address space than this test leaves";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(OpenWithoutRoomForAThread(), testing::ExitedWithCode(0), "Can't create window\\.");
#endif
}

}  // namespace
