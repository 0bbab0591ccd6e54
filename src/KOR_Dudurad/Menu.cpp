// Start-up and the main menu: the modules are initialised, the intro plays, and the menu
// with its three buttons comes back after every game until "Exit" is chosen.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Console/Console.hpp"
#include "Console/Language.hpp"
#include "Drawing/Drawing.hpp"
#include "Drawing/Help.hpp"
#include "Editor/Editor.hpp"
#include "Game/Game.hpp"
#include "KOR_Dudurad/KOR_Dudurad.hpp"
#include "Level/Sets.hpp"
#include "Options.hpp"
#include "Path/Path.hpp"
#include "Physics/Physics.hpp"
#include "Select.hpp"
#include "SetArchive/SetArchive.hpp"
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
// Space or Return leave the explanation early, but not in its first second: a key still
// held from the menu does not skip it.
constexpr auto ExplanationSkipAfter = std::chrono::milliseconds(1000);
constexpr auto NoteTime = std::chrono::milliseconds(1500);

constexpr std::uint32_t VK_TAB = 9;
constexpr std::uint32_t VK_RETURN = 13;
constexpr std::uint32_t VK_SHIFT = 16;
constexpr std::uint32_t VK_ALT = 18;
constexpr std::uint32_t VK_ESCAPE = 27;
constexpr std::uint32_t VK_SPACE = 32;
constexpr std::uint32_t VK_LEFT = 37;
constexpr std::uint32_t VK_RIGHT = 39;
constexpr std::uint32_t VK_L = 76;
constexpr std::uint32_t VK_M = 77;
constexpr std::uint32_t VK_R = 82;  // a pad's Select button
constexpr std::uint32_t VK_S = 83;
constexpr std::uint32_t VK_F1 = 112;
constexpr std::uint32_t VK_QUESTION = 191;  // the key that carries ? (and /)

// The sound note's place: the menu's background below the buttons.
constexpr std::int32_t NoteLeft = 10, NoteTop = 512, NoteRight = 220, NoteBottom = 540;

bool Initialised = false;
// The explanation's picture while it shows: drawn by Button1 on the window's thread, waited
// for by the menu on the main thread.
std::atomic<std::uint32_t> explanation{0};
std::chrono::steady_clock::time_point explanationStart{};
bool helpShown = false;  // main thread: the menu's help box is up
// Main thread: the game the level select (or a dropped file) chose; none for "Start spel".
std::optional<Game::Setup> chosen;
// The set to show first when the select opens at once (a set file just added).
std::string selectFirst;

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
void KeepSoundChoice(bool muted) { SaveSetting("sound", muted ? "off" : "on"); }

void ShowNote(const char* text)
{
    ClearNote();
    Wimdows::SetFont(1, 0xFFFFFF);
    Wimdows::Text(text, NoteLeft + 10, NoteTop + 8);
    Wimdows::SetFont(0, 0);
}

// M on the menu: the sound off or on, said in a note for a moment.
void SwitchSound()
{
    const bool muted = !StandardSound::Muted();
    StandardSound::SetMuted(muted);
    KeepSoundChoice(muted);
    ShowNote(muted ? Console::Tr("Geluid uit") : Console::Tr("Geluid aan"));
}

// The menu's title picture and buttons in the language of the moment.
void DrawMenu(std::uint32_t (&buttons)[3])
{
    Wimdows::ClearScreen();
    Background();
    Wimdows::SetFont(0, 0);
    buttons[0] = Wimdows::CreateButton(Console::Tr("Speluitleg"), 226, 450, 80, 25, Button1);
    buttons[1] = Wimdows::CreateButton(Console::Tr("Start spel"), 360, 450, 80, 25, Button2);
    buttons[2] = Wimdows::CreateButton(Console::Tr("Exit"), 492, 450, 80, 25, Button3);
    Logo(500, 300);
}

// L on the menu: the next language, kept for the next run; the menu is drawn anew in it and
// a note names it in its own words.
void SwitchLanguage(std::uint32_t (&buttons)[3])
{
    const std::vector<std::string>& languages = Console::Languages();
    std::size_t now = 0;
    while (now < languages.size() && languages[now] != Console::Language()) ++now;
    const std::string& next = languages[(now + 1) % languages.size()];
    Console::SetLanguage(next);
    SaveSetting("language", next);
    for (const std::uint32_t button : buttons) Wimdows::DestroyControl(button);
    DrawMenu(buttons);
    // TRANSLATORS: the name of your language in your language, shown when the L key chooses it.
    ShowNote(Console::Tr("Nederlands"));
}

// The menu's picture again where the help box was (the buttons are drawn over it anyway).
void RedrawMenu()
{
    Background();
    Logo(500, 300);
    Wimdows::UpdateWindow();
}

// The level select over the menu's picture, without its buttons; a chosen level ends the
// menu's wait as "Start spel" does, and going back draws the menu again.
void OpenSelect(std::uint32_t (&buttons)[3], const std::string& folder)
{
    for (std::uint32_t& button : buttons) {
        Wimdows::DestroyControl(button);
        button = 0;
    }
    Game::Setup setup;
    if (LevelSelect(setup, folder)) {
        chosen = setup;
        play = true;
        loop = false;
        exit = false;
        return;
    }
    if (WindowOpen()) DrawMenu(buttons);
}

// A key pressed on the menu, with the Shift its event carried; true when it showed a note.
bool MenuKey(std::uint32_t key, bool shift, std::uint32_t (&buttons)[3])
{
    if (helpShown) {
        // Any key but Shift, Ctrl and Alt (? needs Shift) closes the help, and only that.
        if (key >= VK_SHIFT && key <= VK_ALT) return false;
        helpShown = false;
        RedrawMenu();
        return false;
    }
    switch (key) {
        case VK_TAB:
            Wimdows::FocusControl(shift ? -1 : 1);
            break;
        case VK_F1:
        case VK_QUESTION:
            helpShown = true;
            Drawing::DrawHelp(Drawing::HelpScreen::Menu);
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
        case VK_L:
            SwitchLanguage(buttons);
            return true;
        case VK_S:
        case VK_R:
            OpenSelect(buttons, {});
            break;
        default:
            break;
    }
    return false;
}

// The explanation shows for its ten seconds, or until Space or Return after the first one,
// or until the window goes away. The keys of the first second are dropped, and a key held
// down since then must be let go and pressed again.
void WaitForExplanation()
{
    bool spaceUp = false, returnUp = false;
    const auto end = explanationStart + ExplanationWait;
    for (auto now = std::chrono::steady_clock::now(); now < end && WindowOpen();
         now = std::chrono::steady_clock::now()) {
        spaceUp = spaceUp || !Wimdows::KeyDown(VK_SPACE);
        returnUp = returnUp || !Wimdows::KeyDown(VK_RETURN);
        const bool early = now - explanationStart < ExplanationSkipAfter;
        bool skip = false;
        for (std::uint32_t key = Wimdows::TakeKey(); key != 0; key = Wimdows::TakeKey()) {
            if (early) continue;
            if ((key == VK_SPACE && spaceUp) || (key == VK_RETURN && returnUp)) skip = true;
        }
        if (skip) break;
        std::this_thread::sleep_for(PollWait);
    }
    Wimdows::DestroyBitmap(explanation.exchange(0));
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
    // The menu waits while the player reads (WaitForExplanation), so that the window
    // answers meanwhile and a key can end the reading.
    explanationStart = std::chrono::steady_clock::now();
    Wimdows::DestroyBitmap(explanation.exchange(uitleg));
    play = true;
    loop = false;
    exit = false;
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
    loop = true;
    std::uint32_t buttons[3];
    DrawMenu(buttons);
    std::chrono::steady_clock::time_point noteEnd{};
    bool note = false;
    helpShown = false;
    chosen.reset();
    if (!selectFirst.empty()) {
        OpenSelect(buttons, selectFirst);
        selectFirst.clear();
    }
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
            bool shift = false;
            const std::uint32_t key = Wimdows::TakeKey(shift);
            if (key == 0) break;
            if (MenuKey(key, shift, buttons)) {
                note = true;
                noteEnd = std::chrono::steady_clock::now() + NoteTime;
            }
        }
        // A level file dropped on the menu plays; a set file is added and shown in the select.
        Game::Setup dropped;
        std::string imported;
        if (loop.load() && TakeDrop(dropped, imported)) {
            chosen = dropped;
            Button2();
        } else if (loop.load() && !imported.empty()) {
            OpenSelect(buttons, imported);
        }
        if (note && loop.load() && std::chrono::steady_clock::now() >= noteEnd) {
            ClearNote();
            note = false;
        }
        std::this_thread::sleep_for(PollWait);
    }
    for (const std::uint32_t button : buttons)
        if (button != 0) Wimdows::DestroyControl(button);
    // The buttons are gone, so none shows over the explanation while it is read.
    if (explanation.load() != 0) WaitForExplanation();
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
    if (!options.levelFile.empty()) {
        std::string problem;
        if (!PlayableFile(options.levelFile, problem)) {
            std::fprintf(stderr, "[ERROR] (main) The level file %s cannot be played: %s.\n",
                         Console::Printable(options.levelFile).c_str(), Console::Printable(problem).c_str());
            return 1;
        }
    }
    if (options.level > 0 && !Game::LevelExists(options.level)) {
        std::fprintf(stderr, "[ERROR] (main) There is no level %u: %s is missing.\n",
                     static_cast<unsigned>(options.level), Level::FileName(options.level).c_str());
        return 1;
    }
    // Before the sound starts: a player who switched it off hears no start-up sound either.
    const Settings settings = LoadSettings();
    StandardSound::SetMuted(settings.muted);
    // The option for this run, else the player's choice; without either, Dutch.
    const std::string& language = options.language.empty() ? settings.language : options.language;
    if (!language.empty()) Console::SetLanguage(language);
    if (!options.exportSet.empty())
        return SetArchive::ExportForPlayer(options.exportSet, options.exportFile).ok ? 0 : 1;
    Game::SetSoundSwitchedHandler(&KeepSoundChoice);
    InitModules();
    ApplyPresentationOptions(options);

    if (options.edit) {
        return Editor::Run(options.editFile);
    }
    if (!options.setFile.empty()) {
        // A set file: added as a new set, then shown in the select.
        if (!ImportSetArchive(options.setFile, selectFirst)) return 1;
    }
    if (options.level > 0 || !options.levelFile.empty()) {
        // Straight into a game at that level, or of that file; the menu follows it as after
        // any game.
        if (options.levelFile.empty()) {
            Game::Setup setup;
            setup.levels.first = options.level;
            setup.table = Game::ScoreTable::NoTable;
            setup.remark = Game::EndRemark::NotInTable;
            setup.progress = Level::ProgressFile(Level::Set{Level::Set::Kind::Shipped, ShippedSet, {}, {}});
            Game::PlayGame(setup);
        } else {
            Game::PlayGame(FileGame(options.levelFile));
        }
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
            Game::Setup setup;  // "Start spel": the shipped set from level 1, as always
            setup.progress = Level::ProgressFile(Level::Set{Level::Set::Kind::Shipped, ShippedSet, {}, {}});
            Game::PlayGame(chosen ? *chosen : setup);
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
