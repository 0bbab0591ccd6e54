// The main menu and start-up on SDL's dummy drivers, with the generated pictures and
// clicks made of SDL mouse events.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../support/TempDir.hpp"
#include "Console/Language.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"
#include "Options.hpp"
#include "Settings.hpp"
#include "StandardSound/StandardSound.hpp"
#include "Wimdows/Wimdows.hpp"
#include "Wimdows/WimdowsTesting.hpp"

using namespace Wimdows;
namespace K = KOR_Dudurad;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A silent sound device, so that the sound paths run as on a machine with sound (set
// before SDL starts; CTest passes only the video driver).
const bool kSilentAudio = ::setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

constexpr std::uint32_t kBackground = 0x461400;  // RgbColor(0, 20, 70)
constexpr std::uint32_t kFace = 0xC8D0D4;        // a button's face, 0x00BBGGRR

// Centres of the three buttons.
constexpr std::int32_t kButtonY = 462;
constexpr std::int32_t kSpeluitlegX = 266;
constexpr std::int32_t kStartX = 400;
constexpr std::int32_t kExitX = 532;

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 10000ms)
{
    const auto end = Clock::now() + limit;
    while (!pred()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::uint32_t Screen(std::int32_t x, std::int32_t y)
{
    std::uint32_t c = 0xDEADBEEF;
    Testing::ReadScreen(x, y, c);
    return c;
}

std::uint32_t Back(std::int32_t x, std::int32_t y)
{
    std::uint32_t c = 0xDEADBEEF;
    Testing::ReadBackBuffer(x, y, c);
    return c;
}

void Key(std::uint32_t vk)
{
    Testing::PostKey(vk, true);
    Testing::PostKey(vk, false);
}

void Click(std::int32_t x, std::int32_t y)
{
    Testing::PostMouseMove(x, y);
    Testing::PostMouseButton(1, true, x, y);
    Testing::PostMouseButton(1, false, x, y);
}

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class Menu : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::chdir(KOR_BUILD_DIR), 0);
        K::play = false;
        K::loop = false;
        K::exit = false;
        Window("Menu", 800, 550);
        ASSERT_EQ(State(), STATE_ACTIVE);
    }
    void TearDown() override
    {
        if (player.joinable()) player.join();
        KillWindow();
    }
    // Runs `then` on another thread once the menu's three buttons are up.
    template <class F>
    void WhenShown(F then)
    {
        player = std::thread([then] {
            if (WaitFor([] { return Testing::ControlCount() == 3; })) then();
        });
    }
    std::thread player;
};

TEST_F(Menu, StartSpelPlaysAndTheMenuIsDrawnWithItsButtonsOverThePicture)
{
    std::atomic<bool> looked{false};
    std::uint32_t corner = 0, title = 0, logo = 0, faceOnScreen = 0, faceInBuffer = 0;
    WhenShown([&] {
        WaitFor([] { return Back(400, 50) != kBackground; });  // the title comes last
        Testing::Sync();
        corner = Screen(5, 5);
        title = Screen(400, 50);
        logo = Screen(400, 275);
        faceOnScreen = Screen(363, 453);
        faceInBuffer = Back(363, 453);
        looked = true;
        Click(kStartX, kButtonY);
    });
    K::MenuTekenen();
    ASSERT_TRUE(looked.load());
    EXPECT_EQ(corner, kBackground);
    EXPECT_NE(title, kBackground);
    EXPECT_NE(logo, kBackground);
    EXPECT_EQ(faceOnScreen, kFace);
    EXPECT_EQ(faceInBuffer, kBackground);
    EXPECT_TRUE(K::play.load());
    EXPECT_FALSE(K::loop.load());
    EXPECT_FALSE(K::exit.load());
    EXPECT_EQ(Testing::ControlCount(), 0u);  // all three destroyed
    Testing::Sync();
    EXPECT_EQ(Screen(kStartX, kButtonY), kBackground);
}

TEST_F(Menu, ExitLeaves)
{
    K::play = true;  // left over from an earlier choice
    WhenShown([] { Click(kExitX, kButtonY); });
    K::MenuTekenen();
    EXPECT_FALSE(K::play.load());
    EXPECT_TRUE(K::exit.load());
}

TEST_F(Menu, ClosingTheWindowCountsAsExit)
{
    K::play = true;
    WhenShown([] { Testing::PostClose(); });
    const auto start = Clock::now();
    K::MenuTekenen();
    EXPECT_LT(Clock::now() - start, 2000ms);
    EXPECT_FALSE(K::play.load());
    EXPECT_TRUE(K::exit.load());
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);  // the teardown may still be ending
}

TEST_F(Menu, WithoutAWindowTheWaitEndsAtOnceAsExit)
{
    KillWindow();
    const auto start = Clock::now();
    K::MenuTekenen();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_TRUE(K::exit.load());
}

TEST_F(Menu, TheWaitSleepsInsteadOfSpinning)
{
    double cpu = 0;
    WhenShown([&] {
        const double before = ProcessSeconds();
        std::this_thread::sleep_for(1000ms);
        cpu = ProcessSeconds() - before;
        Click(kStartX, kButtonY);
    });
    K::MenuTekenen();
    // A spinning wait would take a whole core; the window's and the sound device's own
    // threads take a little (more under the sanitizers).
    EXPECT_LT(cpu, 0.5) << "seconds of processor time in one second of waiting";
}

TEST_F(Menu, WithoutTheLogoTheMenuStillWorks)
{
    ScopedWorkDir dir;
    std::filesystem::create_directory("graphics");
    std::filesystem::copy(std::filesystem::path(KOR_BUILD_DIR) / "graphics/Menu1.bmp", "graphics/Menu1.bmp");
    std::uint32_t logo = 0, title = 0;
    WhenShown([&] {
        WaitFor([] { return Back(400, 50) != kBackground; });
        Testing::Sync();
        logo = Screen(400, 275);
        title = Screen(400, 50);
        Click(kExitX, kButtonY);
    });
    K::MenuTekenen();
    EXPECT_EQ(logo, kBackground);
    EXPECT_NE(title, kBackground);
    EXPECT_TRUE(K::exit.load());
}

TEST_F(Menu, TheLogoIsCentredAndKeptInsideTheWindow)
{
    ClearScreen();
    K::Logo(100, 50);
    EXPECT_NE(Back(400, 275), 0u);
    EXPECT_EQ(Back(349, 275), 0u);  // (800 - 100) / 2 = 350 is its left edge
    EXPECT_NE(Back(350, 275), 0u);
    EXPECT_EQ(Back(400, 249), 0u);  // (550 - 50) / 2 = 250 its top
    ClearScreen();
    K::Logo(5000, 5000);  // no larger than the window
    EXPECT_NE(Back(0, 549), 0u);
    EXPECT_NE(Back(799, 0), 0u);
}

// Tab, Shift+Tab and the side arrows move a focus frame round the buttons; Return presses.
TEST_F(Menu, KeysMoveTheFocusAndReturnPressesTheFocusedButton)
{
    // Where each button's top-left pixel is black: the focus frame is on it.
    const auto focused = [](std::int32_t left) {
        return WaitFor([left] { return Screen(left, 450) == 0; }, 2000ms) && Screen(left == 226 ? 360 : 226, 450) != 0;
    };
    bool tab = false, tabTab = false, right = false, left = false, shiftTab = false;
    WhenShown([&] {
        Testing::Sync();
        Key(9);
        tab = focused(226);
        Key(9);
        tabTab = focused(360);
        Key(39);
        Key(39);  // past "Exit" round to the first
        right = focused(226);
        Key(37);
        left = focused(492);
        Testing::PostKey(16, true);
        Key(9);
        shiftTab = focused(360);
        Testing::PostKey(16, false);
        Key(13);
    });
    K::MenuTekenen();
    EXPECT_TRUE(tab);
    EXPECT_TRUE(tabTab);
    EXPECT_TRUE(right);
    EXPECT_TRUE(left);
    EXPECT_TRUE(shiftTab);
    EXPECT_TRUE(K::play.load());  // "Start spel"
    EXPECT_FALSE(K::exit.load());
}

TEST_F(Menu, EscapeChoosesExitAndMSwitchesTheSoundWithANoteAndKeepsIt)
{
    ScopedWorkDir dir;
    std::filesystem::create_directory("data");
    StandardSound::SetMuted(false);
    bool shown = false, gone = false;
    WhenShown([&] {
        Key('M');
        // White text in the note's place below the buttons, and later the background again.
        const auto white = [] {
            for (int x = 20; x < 120; ++x)
                for (int y = 515; y < 538; ++y)
                    if (Back(x, y) == 0xFFFFFF) return true;
            return false;
        };
        shown = WaitFor(white, 1000ms);
        gone = WaitFor([&] { return !white(); }, 3000ms);
        Key(27);
    });
    K::MenuTekenen();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(gone);
    EXPECT_TRUE(StandardSound::Muted());
    EXPECT_TRUE(K::LoadSettings().muted);
    EXPECT_FALSE(K::play.load());
    EXPECT_TRUE(K::exit.load());
    StandardSound::SetMuted(false);
}

// The explanation covers the menu, buttons included, for ten seconds in which the window
// answers nothing, and then a game starts.
TEST_F(Menu, SpeluitlegShowsTheExplanationForTenSecondsThenPlays)
{
    std::uint32_t onButton = 0, inBuffer = 0;
    Clock::time_point clicked;
    WhenShown([&] {
        clicked = Clock::now();
        Click(kSpeluitlegX, kButtonY);
        std::this_thread::sleep_for(500ms);
        // The window's thread is busy with the explanation: look at the back buffer, and
        // at the screen once it answers again.
        inBuffer = Back(kStartX - 37, kButtonY - 9);
        onButton = Screen(kStartX - 37, kButtonY - 9);
    });
    K::MenuTekenen();
    const auto end = Clock::now();
    player.join();
    EXPECT_GE(end - clicked, 10000ms);
    EXPECT_NE(inBuffer, kBackground);
    EXPECT_EQ(onButton, inBuffer);  // no button over the explanation
    EXPECT_TRUE(K::play.load());
    EXPECT_FALSE(K::exit.load());
}

// ---- The whole start-up ----

TEST(Program, ClosingTheIntroEndsTheProgramWithStatusZero)
{
    ASSERT_EQ(::chdir(KOR_BUILD_DIR), 0);
    std::thread user([] {
        if (WaitFor([] { return State() == STATE_ACTIVE; })) {
            std::this_thread::sleep_for(200ms);
            Testing::PostClose();
        }
    });
    const auto start = Clock::now();
    EXPECT_EQ(K::Main(), 0);
    EXPECT_LT(Clock::now() - start, 5000ms);
    user.join();
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);  // the teardown may still be ending
}

TEST(Program, AKeyAfterTheIntroOpensTheMenuAndExitEndsWithStatusZero)
{
    ASSERT_EQ(::chdir(KOR_BUILD_DIR), 0);
    K::exit = false;
    std::thread user([] {
        if (!WaitFor([] { return State() == STATE_ACTIVE; })) return;
        Testing::PostKey('A', true);  // waits in the queue until the final picture
        // Only the menu has buttons.
        if (!WaitFor([] { return Testing::ControlCount() == 3; }, 30000ms)) return;
        Click(kExitX, kButtonY);
    });
    const auto start = Clock::now();
    EXPECT_EQ(K::Main(), 0);
    EXPECT_GE(Clock::now() - start, 8200ms);
    user.join();
    EXPECT_TRUE(K::exit.load());
    EXPECT_EQ(State(), STATE_DEAD);
}

// The game window's close box ends the game as Escape does (score saved) and then the
// whole program, with status 0.
TEST(Program, ClosingTheGameWindowSavesTheScoreAndEndsTheProgram)
{
    ScopedWorkDir dir;
    for (const char* folder : {"graphics", "sounds", "data"})
        std::filesystem::copy(std::filesystem::path(KOR_BUILD_DIR) / folder, folder);
    std::filesystem::remove("data/highscores.dat");
    std::thread user([] {
        if (!WaitFor([] { return State() == STATE_ACTIVE; })) return;
        Testing::PostKey(' ', true);
        if (!WaitFor([] { return Testing::ControlCount() == 3; }, 30000ms)) return;
        Click(kStartX, kButtonY);
        // The game's window is 1024 pixels wide, the menu's 800.
        if (!WaitFor([] {
                std::uint32_t c;
                return State() == STATE_ACTIVE && Testing::ReadBackBuffer(1023, 0, c);
            }))
            return;
        std::this_thread::sleep_for(300ms);
        Testing::PostClose();
    });
    EXPECT_EQ(K::Main(), 0);
    user.join();
    EXPECT_EQ(WindowEnded(), Ended::ClosedByUser);  // the teardown may still be ending
    std::ifstream scores("data/highscores.dat");
    std::int32_t best = -1;
    scores >> best;
    EXPECT_EQ(best, 100);  // the score a game starts with
}

// A game from a later level at once: no intro, no menu before it, no place in the table.
TEST(Program, LevelOptionPlaysThatLevelAtOnceAndLeavesTheTableAlone)
{
    ScopedWorkDir dir;
    for (const char* folder : {"graphics", "sounds"})
        std::filesystem::copy(std::filesystem::path(KOR_BUILD_DIR) / folder, folder);
    WriteFile("data/level-03.txt", "[Ball]\nPosition_X = 400\nRadius = 25\n[Ball]\nPosition_X = -400\nMass = 1\n");
    std::atomic<bool> firstWasGame{false};
    std::thread user([&] {
        if (!WaitFor([] { return State() == STATE_ACTIVE; })) return;
        std::uint32_t c;
        firstWasGame = Testing::ReadBackBuffer(1023, 0, c);  // the game's window is 1024 wide, the menu's 800
        std::this_thread::sleep_for(300ms);
        Testing::PostKey(27, true);  // quit, then the end screen...
        std::this_thread::sleep_for(1000ms);
        Testing::PostKey(27, false);
        Testing::PostKey(' ', true);
        if (!WaitFor([] { return Testing::ControlCount() == 3; }, 10000ms)) return;  // ...and the menu
        Click(kExitX, kButtonY);
    });
    K::Options options;
    options.level = 3;
    const auto start = Clock::now();
    EXPECT_EQ(K::Main(options), 0);
    EXPECT_LT(Clock::now() - start, 8000ms);  // the intro alone takes longer
    user.join();
    EXPECT_TRUE(firstWasGame.load());
    EXPECT_FALSE(std::filesystem::exists("data/highscores.dat"));
}

// ---- Options and settings ----

struct Parsed {
    std::optional<int> status;
    std::string out, err;
    K::Options options;
};
Parsed Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "KOR_Dudurad");
    Parsed r;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    r.status = K::ParseOptions(static_cast<int>(args.size()), args.data(), r.options, out, err);
    for (auto [file, text] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
        std::rewind(file);
        char buffer[4096];
        text->assign(buffer, std::fread(buffer, 1, sizeof buffer, file));
        std::fclose(file);
    }
    return r;
}

TEST(Options, HelpVersionAndUsageErrorsGoWhereTheyBelongWithTheirStatus)
{
    for (const char* help : {"-h", "--help"}) {
        const Parsed r = Parse({"--level", "2", help});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("--scale N"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    const Parsed version = Parse({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "The KOR Dudurad 1.0.0\n");
    for (const auto& bad : std::vector<std::vector<const char*>>{{"--frobnicate"},
                                                                 {"a.txt", "b.txt"},
                                                                 {"--level", ""},
                                                                 {"--scale", "9"},
                                                                 {"--scale", "0"},
                                                                 {"--scale=2x"},
                                                                 {"--scale"},
                                                                 {"--level", "-1"},
                                                                 {"--level", "99999999999"},
                                                                 {"--scale", ""},
                                                                 {"--language", "tlh"},
                                                                 {"--language=EN"},
                                                                 {"--language"},
                                                                 {"--edit="}}) {
        const Parsed r = Parse(bad);
        EXPECT_EQ(r.status, 2) << bad[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("Usage:"), std::string::npos);
    }
    EXPECT_NE(Parse({"--x\x1b[2J"}).err.find("'--x\\x1B[2J'"), std::string::npos);  // shown escaped
}

TEST(Options, ValuesAreKeptAndTheLastPresentationCounts)
{
    Parsed r = Parse({});
    EXPECT_FALSE(r.status);
    EXPECT_EQ(r.options.level, 0u);
    EXPECT_EQ(r.options.scale, 0u);
    EXPECT_EQ(r.options.presentation, K::Options::Presentation::Default);
    r = Parse({"--fullscreen", "--level", "12", "--scale=8", "--window"});
    EXPECT_FALSE(r.status);
    EXPECT_EQ(r.options.level, 12u);
    EXPECT_EQ(r.options.scale, 8u);
    EXPECT_EQ(r.options.presentation, K::Options::Presentation::Window);
    EXPECT_EQ(Parse({"--window", "--fullscreen"}).options.presentation, K::Options::Presentation::Fullscreen);
    EXPECT_EQ(r.options.language, "");
    EXPECT_EQ(Parse({"--language", "en"}).options.language, "en");
    EXPECT_EQ(Parse({"--language=nl"}).options.language, "nl");
    // --edit takes a file when one follows that is no option.
    struct EditCase {
        std::vector<const char*> args;
        const char* file;
    };
    for (const EditCase& c : std::vector<EditCase>{{{"--edit"}, ""},
                                                   {{"--edit", "--scale", "2"}, ""},
                                                   {{"--edit", "my level.txt"}, "my level.txt"},
                                                   {{"--edit=a.txt", "--window"}, "a.txt"}}) {
        r = Parse(c.args);
        EXPECT_FALSE(r.status) << c.args[0];
        EXPECT_TRUE(r.options.edit);
        EXPECT_EQ(r.options.editFile, c.file);
    }
    EXPECT_FALSE(Parse({"--level", "3"}).options.edit);
    // A level file by --level or alone, a set file alone; digits are a level's number.
    struct FileCase {
        std::vector<const char*> args;
        std::uint32_t level;
        const char* levelFile;
        const char* setFile;
    };
    for (const FileCase& c : std::vector<FileCase>{{{"--level", "13"}, 13, "", ""},
                                                   {{"--level", "my-level.txt"}, 0, "my-level.txt", ""},
                                                   {{"--level=./13"}, 0, "./13", ""},
                                                   {{"my level.txt", "--window"}, 0, "my level.txt", ""},
                                                   {{"friends.korset"}, 0, "", "friends.korset"}}) {
        r = Parse(c.args);
        EXPECT_FALSE(r.status) << c.args[0];
        EXPECT_EQ(r.options.level, c.level) << c.args[0];
        EXPECT_EQ(r.options.levelFile, c.levelFile) << c.args[0];
        EXPECT_EQ(r.options.setFile, c.setFile) << c.args[0];
    }
}

TEST(Settings, SavedAtomicallyAndDamagedOrMissingFilesGiveTheDefaults)
{
    ScopedWorkDir dir;
    std::filesystem::create_directory("data");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(K::LoadSettings().muted);  // missing: quietly the defaults
    ASSERT_TRUE(K::SaveSettings(K::Settings{true, ""}));
    EXPECT_TRUE(K::LoadSettings().muted);
    ASSERT_TRUE(K::SaveSettings(K::Settings{false, ""}));
    EXPECT_FALSE(K::LoadSettings().muted);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("data")) ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left behind

    // A newer version's names are passed over.
    std::ofstream("data/settings.cfg") << "# x\n\nzoom = 3\r\n  sound =  off \n";
    EXPECT_TRUE(K::LoadSettings().muted);
    for (const std::string& damaged : {std::string("sound = loud\n"), std::string("sound off\n"),
                                       std::string("sound = off\n\0", 13), std::string(5000, '#')}) {
        std::ofstream("data/settings.cfg", std::ios::binary | std::ios::trunc) << damaged;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(K::LoadSettings().muted);
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(console, "[ERROR] (LoadSettings) data/settings.cfg is damaged; the default settings are used.\n");
    }
    // A folder that cannot take the file: reported, the old settings kept.
    std::ofstream("data/settings.cfg", std::ios::trunc) << "sound = off\n";
    std::filesystem::permissions("data", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    testing::internal::CaptureStdout();
    const bool saved = K::SaveSettings(K::Settings{false, ""});
    const std::string console = testing::internal::GetCapturedStdout();
    std::filesystem::permissions("data", std::filesystem::perms::owner_all);
    if (::geteuid() != 0) {  // root writes anyway
        EXPECT_FALSE(saved);
        EXPECT_NE(console.find("[ERROR] (SaveSettings)"), std::string::npos);
        EXPECT_TRUE(K::LoadSettings().muted);
    }
}

std::string Slurp(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A change rewrites its own line only: the player's comments, names of a newer version, their
// order, a link to the file kept elsewhere and the file's mode all stay.
TEST(Settings, SavingKeepsThePlayersLinesLinkAndMode)
{
    ScopedWorkDir dir;
    std::filesystem::create_directories("data");
    std::filesystem::create_directories("elsewhere");
    struct Case {
        std::string before;
        const char *name, *value;
        std::string after;
    };
    const Case cases[] = {
        {"", "sound", "off", "# The KOR Dudurad\nsound = off\n"},
        {"# mine\nvolume = 7\nsound = on\nfullscreen = yes\n", "sound", "off",
         "# mine\nvolume = 7\nsound = off\nfullscreen = yes\n"},
        {"# mine\r\nvolume = 7\r\n", "language", "en", "# mine\r\nvolume = 7\r\nlanguage = en\n"},
        {"sound = off\nlanguage = en\nlanguage = nl", "language", "nl", "sound = off\nlanguage = nl\n"},
        // Values it cannot read, and lines that are no setting: only its own line changes.
        {"sound = loud\n", "sound", "on", "sound = on\n"},
        {"# mine\nsound = yes\nlanguage = en\nnonsense\n", "sound", "off",
         "# mine\nsound = off\nlanguage = en\nnonsense\n"},
        {"sound = yes\n", "language", "en", "sound = yes\nlanguage = en\n"},
        // No settings file of the game's (too long, or no text): left as it is, not saved.
        {std::string(5000, '#') + "\nlanguage = en\n", "sound", "off", ""},
        {std::string(4090, '#') + "\n", "language", "en", ""},  // it would grow past the bound
        {std::string("sound = on\n\0", 12), "sound", "off", ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove("data/settings.cfg");
        if (!c.before.empty()) std::ofstream("data/settings.cfg", std::ios::binary) << c.before;
        testing::internal::CaptureStdout();
        EXPECT_EQ(K::SaveSetting(c.name, c.value), !c.after.empty()) << c.before.substr(0, 40);
        const std::string console = testing::internal::GetCapturedStdout();
        EXPECT_EQ(Slurp("data/settings.cfg"), c.after.empty() ? c.before : c.after) << c.before.substr(0, 40);
        EXPECT_EQ(console.empty(), !c.after.empty()) << console;
        EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), c.after.empty()) << console;
    }
    // Through a link: the target is written and the link stays; the mode is kept.
    std::filesystem::remove("data/settings.cfg");
    std::ofstream("elsewhere/settings.cfg") << "# kept elsewhere\nsound = off\n";
    std::filesystem::permissions("elsewhere/settings.cfg", std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write |
                                                               std::filesystem::perms::group_read);
    std::filesystem::create_symlink("../elsewhere/settings.cfg", "data/settings.cfg");
    EXPECT_TRUE(K::SaveSettings(K::Settings{false, "en"}));
    EXPECT_TRUE(std::filesystem::is_symlink("data/settings.cfg"));
    EXPECT_EQ(Slurp("elsewhere/settings.cfg"), "# kept elsewhere\nsound = on\nlanguage = en\n");
    EXPECT_EQ(
        std::filesystem::status("elsewhere/settings.cfg").permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read);
    const K::Settings loaded = K::LoadSettings();
    EXPECT_FALSE(loaded.muted);
    EXPECT_EQ(loaded.language, "en");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("elsewhere")) ++files;
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

// What the file says about the language, and files that are no settings at all: one line
// each, the defaults, never a wait.
TEST(Settings, UnknownLanguagesAndFilesThatAreNoFileGiveOneLineAndTheDefaults)
{
    ScopedWorkDir dir;
    std::filesystem::create_directory("data");
    std::ofstream("data/settings.cfg") << "language = tlh\nsound = off\n";
    testing::internal::CaptureStdout();
    K::Settings s = K::LoadSettings();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[ERROR] (LoadSettings) data/settings.cfg names the language \"tlh\", which the game does not know; it "
              "speaks Dutch.\n");
    EXPECT_EQ(s.language, "");
    EXPECT_TRUE(s.muted);  // the rest still counts
    std::filesystem::remove("data/settings.cfg");
    ASSERT_EQ(::mkfifo("data/settings.cfg", 0600), 0);
    const auto start = Clock::now();
    testing::internal::CaptureStdout();
    s = K::LoadSettings();
    const bool saved = K::SaveSetting("sound", "off");
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_FALSE(s.muted);
    EXPECT_FALSE(saved);
    EXPECT_EQ(console,
              "[ERROR] (LoadSettings) data/settings.cfg is not a regular file; the default settings are used.\n"
              "[ERROR] (SaveSettings) data/settings.cfg is not a regular file; the settings are not saved.\n");
    EXPECT_TRUE(std::filesystem::is_fifo("data/settings.cfg"));
}

// A catalog's translation that would make printf read other arguments than the game passes
// (a crash, or words read from the stack) is left out when the catalog is read (the catalog
// fuzzer reads whole catalogs).
TEST(Catalogs, TranslationsThatMakePrintfReadOtherArgumentsAreLeftOut)
{
    const struct {
        const char *original, *translation;
        bool same;
    } cases[] = {
        {"Vanaf level %u: niet in de highscores", "Started at level %u: not in the high scores", true},
        {"%u van %s", "%-8x of %.3s", true},           // flags, width, precision; u and x read alike
        {"%u van %s", "%2$s has %1$u", true},          // numbered, in the other order
        {"%*d punten", "%*d points", true},            // a width is an int argument too
        {"100%% %m", "100%%", true},                   // neither takes an argument
        {"Vanaf level %u", "From level %s", false},    // a number read as a text
        {"Vanaf level %u", "From level %lu", false},   // and as a wider one
        {"%u van %s", "%s of %u", false},              // the order
        {"Vanaf level %u", "From level", false},       // one fewer
        {"Vanaf level %u", "From level %y", false},    // unknown to printf
        {"Vanaf level %u", "From level %u %", false},  // a lone % at the end
        {"%u van %s", "%2$s of %u", false},            // numbered mixed with unnumbered
        {"Level %u", "Level %2$u", false},             // a gap: argument 1's type unknown
        {"Geen argumenten", "No %2$m", false},         // numbered strerror: two unknown types
        {"100%", "100%", true},                        // no format: only the same signs match
        {"%1$s %s", "%s %1$s", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Console::detail::SameArguments(c.original, c.translation), c.same) << c.translation;
    }
}

}  // namespace
