// Start-up and the main menu: the modules are initialised, the intro plays, and the menu
// with its three buttons comes back after every game until "Exit" is chosen.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "Console/Console.hpp"
#include "Drawing/Drawing.hpp"
#include "Editor/Editor.hpp"
#include "Game/Game.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"
#include "Options.hpp"
#include "Path/Path.hpp"
#include "Physics/Physics.hpp"
#include "Settings.hpp"
#include "StandardSound/StandardSound.hpp"
#include "Wimdows/Wimdows.hpp"

namespace KOR_Dudurad {

// Written by the button procedures on the window's thread, read by the menu's wait on
// the main thread.
std::atomic<bool> play{false};
std::atomic<bool> loop{false};
std::atomic<bool> exit{false};

namespace {

constexpr auto PollWait = std::chrono::milliseconds(10);
constexpr auto ExplanationWait = std::chrono::milliseconds(10000);
constexpr auto NoteTime = std::chrono::milliseconds(1500);

constexpr std::uint32_t VK_TAB = 9;
constexpr std::uint32_t VK_RETURN = 13;
constexpr std::uint32_t VK_SHIFT = 16;
constexpr std::uint32_t VK_ESCAPE = 27;
constexpr std::uint32_t VK_SPACE = 32;
constexpr std::uint32_t VK_LEFT = 37;
constexpr std::uint32_t VK_RIGHT = 39;
constexpr std::uint32_t VK_M = 77;

// The sound note's place: the menu's background below the buttons.
constexpr std::int32_t NoteLeft = 10, NoteTop = 512, NoteRight = 220, NoteBottom = 540;

bool Initialised = false;

bool WindowOpen() { return Wimdows::WindowEnded() == Wimdows::Ended::StillOpen; }

// A window of the front end could not be opened: without one nobody can play or leave
// the menu, so the program ends.
int NoWindow(const char* title)
{
    std::fprintf(stderr,
                 "[ERROR] (main) The window \"%s\" could not be opened. The KOR Dudurad needs a graphical "
                 "display (an X11 or Wayland session; is DISPLAY set?).\n",
                 title);
    return 1;
}

void ClearNote() { Wimdows::Rectangle(NoteLeft, NoteTop, NoteRight, NoteBottom, Wimdows::RgbColor(0, 20, 70), true); }

// The player's choice is kept for the next run.
void KeepSoundChoice(bool muted)
{
    Settings settings;
    settings.muted = muted;
    SaveSettings(settings);
}

// M on the menu: the sound off or on, said in a note for a moment.
void SwitchSound()
{
    const bool muted = !StandardSound::Muted();
    StandardSound::SetMuted(muted);
    KeepSoundChoice(muted);
    ClearNote();
    Wimdows::SetFont(1, 0xFFFFFF);
    Wimdows::Text(muted ? "Geluid uit" : "Geluid aan", NoteLeft + 10, NoteTop + 8);
    Wimdows::SetFont(0, 0);
}

// A key pressed on the menu; true when it showed the sound note.
bool MenuKey(std::uint32_t key)
{
    switch (key) {
        case VK_TAB:
            Wimdows::FocusControl(Wimdows::KeyDown(VK_SHIFT) ? -1 : 1);
            break;
        case VK_RIGHT:
            Wimdows::FocusControl(1);
            break;
        case VK_LEFT:
            Wimdows::FocusControl(-1);
            break;
        case VK_RETURN:
        case VK_SPACE:
            Wimdows::PressFocusedControl();
            break;
        case VK_ESCAPE:
            Button3();
            break;
        case VK_M:
            SwitchSound();
            return true;
        default:
            break;
    }
    return false;
}

}  // namespace

void Logo(std::uint32_t hoogte, std::uint32_t breedte)
{
    // The menu window's size, not read from the window; larger pictures would not fit.
    hoogte = std::min(hoogte, MenuWidth);
    breedte = std::min(breedte, MenuHeight);
    const std::uint32_t logo = Wimdows::LoadBitmap("./graphics/Logo3.bmp", hoogte, breedte);
    Wimdows::DrawBitmap(logo, static_cast<std::int32_t>((MenuWidth - hoogte) / 2),
                        static_cast<std::int32_t>((MenuHeight - breedte) / 2));
    const std::uint32_t title = Wimdows::LoadBitmap("./graphics/Menu1.bmp", 220, 50);
    Wimdows::DrawBitmap(title, 290, 25);
    // Both are on the window and in the back buffer already.
    Wimdows::DestroyBitmap(logo);
    Wimdows::DestroyBitmap(title);
}

void Button1()
{
    Wimdows::ClearScreen();
    const std::uint32_t uitleg = Wimdows::LoadBitmap("./graphics/Speluitleg.bmp", MenuWidth, MenuHeight);
    Wimdows::DrawBitmap(uitleg, 0, 0);
    // On the window's thread: the window answers nothing while the player reads.
    std::this_thread::sleep_for(ExplanationWait);
    play = true;
    loop = false;
    exit = false;
    Wimdows::DestroyBitmap(uitleg);
}

void Button2()
{
    play = true;
    loop = false;
    exit = false;
}

void Button3()
{
    play = false;
    loop = false;
    exit = true;
}

void MenuTekenen()
{
    Wimdows::ClearScreen();
    Background();
    loop = true;
    Wimdows::SetFont(0, 0);
    const std::uint32_t button1 = Wimdows::CreateButton("Speluitleg", 226, 450, 80, 25, Button1);
    const std::uint32_t button2 = Wimdows::CreateButton("Start spel", 360, 450, 80, 25, Button2);
    const std::uint32_t button3 = Wimdows::CreateButton("Exit", 492, 450, 80, 25, Button3);
    Logo(500, 300);
    std::chrono::steady_clock::time_point noteEnd{};
    bool note = false;
    while (loop.load()) {
        if (!WindowOpen()) {
            // Closed with its close box (or never opened): no button can end the wait,
            // and leaving counts as "Exit".
            play = false;
            loop = false;
            exit = true;
            break;
        }
        // Keys pressed since the last look, oldest first, until one makes the choice.
        while (loop.load()) {
            const std::uint32_t key = Wimdows::TakeKey();
            if (key == 0) break;
            if (MenuKey(key)) {
                note = true;
                noteEnd = std::chrono::steady_clock::now() + NoteTime;
            }
        }
        if (note && loop.load() && std::chrono::steady_clock::now() >= noteEnd) {
            ClearNote();
            note = false;
        }
        std::this_thread::sleep_for(PollWait);
    }
    Wimdows::DestroyControl(button1);
    Wimdows::DestroyControl(button2);
    Wimdows::DestroyControl(button3);
}

void InitModules()
{
    if (Initialised) return;
    Initialised = true;
    Wimdows::Init();
    Path::Init();
    StandardSound::Init();  // plays the start-up sound and decides whether sound is used
    Physics::Init();        // frozen, flags cleared
    Drawing::Init();
    Game::Init();
}

int Main() { return Main(Options{}); }

int Main(int argc, char** argv)
{
    Options options;
    if (const std::optional<int> status = ParseOptions(argc, argv, options, stdout, stderr)) return *status;
    return Main(options);
}

int Main(const Options& options)
{
    if (options.level > 0 && !Game::LevelExists(options.level)) {
        std::fprintf(stderr, "[ERROR] (main) There is no level %u: %s is missing.\n",
                     static_cast<unsigned>(options.level), Game::detail::LevelFileName(options.level).c_str());
        return 1;
    }
    // Before the sound starts: a player who switched it off hears no start-up sound either.
    StandardSound::SetMuted(LoadSettings().muted);
    Game::SetSoundSwitchedHandler(&KeepSoundChoice);
    InitModules();
    ApplyPresentationOptions(options);

    if (options.edit) {
        return Editor::Run(options.editFile.empty() ? Editor::NextFreeLevelFile() : options.editFile);
    }
    if (options.level > 0) {
        // Straight into a game at that level; the menu follows it as after any game.
        Game::PlayGame(options.level);
        if (const int signal = Console::StopSignal()) {
            Wimdows::KillWindow();
            return 128 + signal;
        }
        if (!WindowOpen()) return Wimdows::WindowEnded() == Wimdows::Ended::ClosedByUser ? 0 : 1;
    } else {
        Wimdows::Window("Intro", MenuWidth, MenuHeight);
        if (!WindowOpen()) return NoWindow("Intro");
        Wimdows::SetBuffering(true);
        Bewegen();
        if (!WindowOpen()) {
            // The intro window was closed with its close box: the program ends as with "Exit".
            return Wimdows::WindowEnded() == Wimdows::Ended::ClosedByUser ? 0 : NoWindow("Intro");
        }
    }

    do {
        Wimdows::Window("Menu", MenuWidth, MenuHeight);  // closes the intro or game window
        if (!WindowOpen()) return NoWindow("Menu");
        MenuTekenen();
        Wimdows::KillWindow();
        if (Wimdows::WindowEnded() == Wimdows::Ended::ClosedByUser) {
            // The menu window was closed with its close box, perhaps after a choice that
            // was still being handled: leave as with "Exit".
            play = false;
            exit = true;
        }
        if (play.load()) {
            Game::PlayGame();
            if (const int signal = Console::StopSignal()) {
                Wimdows::KillWindow();  // the game ended on a stop signal, its score saved
                return 128 + signal;
            }
            if (!WindowOpen()) {
                // Closed by the player (the game ended as with Escape, its score saved):
                // the program ends. A game window that could not be opened is a failure.
                return Wimdows::WindowEnded() == Wimdows::Ended::ClosedByUser ? 0 : 1;
            }
        }
    } while (!exit.load());
    return 0;
}

}  // namespace KOR_Dudurad
