// The game loop: level after level from level 1, aiming and launching with the keyboard,
// the score, and at the end the high-score table and the end screen.
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "Console/Console.hpp"
#include "Drawing/Drawing.hpp"
#include "Drawing/Help.hpp"
#include "Game/Game.hpp"
#include "Game/PlayGameTesting.hpp"
#include "Level/File.hpp"
#include "Level/Sets.hpp"
#include "Physics/Physics.hpp"
#include "StandardSound/StandardSound.hpp"
#include "Wimdows/Wimdows.hpp"

namespace Game {

namespace {

constexpr std::int32_t LostPenalty = 20;
constexpr std::int32_t WonBonus = 100;
constexpr float SpeedStep = 2.5f;
constexpr float MaxSpeed = 500.0f;
constexpr float MinSpeed = 0.0f;
constexpr float AngleStep = 0.0125f;
constexpr float FullTurn = 6.283184f;
constexpr float LevelSpeed = 150.0f;
constexpr auto EndScreenPause = std::chrono::milliseconds(500);

// The keys of the key table: Space, End, R, the arrows, Shift, Escape, M, P, F1 and ?.
using namespace Wimdows::VirtualKeys;

// Shift with an arrow: one step per press, then repeats while held.
constexpr std::uint64_t FineRepeatDelay = 400;  // ms
constexpr std::uint64_t FineRepeatsPerSecond = 15;
// The sound note stays for about a second and a half of frames.
constexpr std::uint32_t NoteFrames = 150;
// A level that could not be read says so for about ten seconds.
constexpr std::uint32_t UnreadableLevelNoteFrames = 1000;

bool Initialised = false;
std::atomic<detail::FrameHook> frameHook{nullptr};
std::atomic<detail::EndHook> endHook{nullptr};
std::atomic<SoundSwitched> soundSwitched{nullptr};
const Level::Table* playing = nullptr;  // the level of the game under way, for the test hooks
// The game's clock: milliseconds, monotonic, in 10 ms steps unless a test sets its own.
std::atomic<detail::ClockFunction> gameClock{&Physics::SystemClock};
std::atomic<std::chrono::milliseconds::rep> framePause{detail::FramePause.count()};

std::uint32_t Now() { return gameClock.load()(); }

bool HasLevel(const Levels& levels, std::uint32_t number)
{
    switch (levels.from) {
        case Levels::From::Folder: {
            std::error_code ec;
            return std::filesystem::exists(Level::FileName(levels.folder, number), ec);
        }
        case Levels::From::Memory:
        case Levels::From::File:
            return number == levels.first;
    }
    return false;
}

// Level `number` into `table`; false, with its name in `name` and the reason on the console,
// when it could not be read (the table then holds a blank black hole and rocket).
bool LoadLevelOf(const Levels& levels, std::uint32_t number, Level::Table& table, std::string& name)
{
    switch (levels.from) {
        case Levels::From::Folder:
            name = Level::FileName(levels.folder, number);
            return LoadLevelFile(name.c_str(), table).opened;
        case Levels::From::Memory:
            table = levels.table;
            return true;
        case Levels::From::File:
            name = levels.file;
            return LoadLevelFile(name.c_str(), table).opened;
    }
    return false;
}

// The level number the end screen's remark names, 0 for none.
std::uint32_t RemarkLevel(const Setup& setup)
{
    switch (setup.remark) {
        case EndRemark::NoRemark:
            return 0;
        case EndRemark::NotInTable:
            return setup.levels.first;
        case EndRemark::LevelFile:
        case EndRemark::PlayTest:
            return 0;
    }
    return 0;
}

// The end screen's words besides the table, drawn over it; nothing for the game's own remarks.
void DrawOwnRemark(const Setup& setup, bool quit, bool won)
{
    switch (setup.remark) {
        case EndRemark::NoRemark:
        case EndRemark::NotInTable:
            break;
        case EndRemark::LevelFile:
            Drawing::EndScreenRemark(Console::Tr("Een los levelbestand: niet in de highscores"));
            break;
        case EndRemark::PlayTest:
            Drawing::PlayTestEnd(won    ? Drawing::TestResult::Won
                                 : quit ? Drawing::TestResult::Stopped
                                        : Drawing::TestResult::Lost);
            break;
    }
}

// The table the end screen shows: the set's own, or the game's.
const std::string& ScoreFileOf(const Setup& setup)
{
    static const std::string game = "data/highscores.dat";
    return setup.scoreFile.empty() ? game : setup.scoreFile;
}

// The window is gone: closed by the player with its close box (or never opened).
bool WindowGone() { return Wimdows::WindowEnded() != Wimdows::Ended::StillOpen; }

void Pause(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }
void PauseFrame() { Pause(std::chrono::milliseconds(framePause.load())); }

// A key that acts once when it goes down, not in every frame it is held.
struct EdgeKey {
    std::uint32_t vk;
    bool was = false;
    bool Pressed()
    {
        const bool down = Wimdows::KeyDown(vk);
        const bool pressed = down && !was;
        was = down;
        return pressed;
    }
};

// An arrow held with Shift: a step when it goes down and, from 400 ms on, 15 more a second,
// timed by the game's clock.
struct FineKey {
    bool held = false;
    std::uint32_t since = 0;    // clock time of the press
    std::uint64_t repeats = 0;  // repeat steps taken since
    std::uint32_t Steps(bool down)
    {
        if (!down) {
            held = false;
            return 0;
        }
        const std::uint32_t now = Now();
        if (!held) {
            held = true;
            since = now;
            repeats = 0;
            return 1;
        }
        const std::uint64_t elapsed = now - since;
        if (elapsed < FineRepeatDelay) {
            return 0;
        }
        const std::uint64_t due = (elapsed - FineRepeatDelay) * FineRepeatsPerSecond / 1000 + 1;
        const std::uint64_t steps = due - repeats;
        repeats = due;
        // A frame late by seconds catches up a little, not all at once.
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(steps, 3));
    }
    // After a pause a key still held waits its 400 ms again rather than catching up.
    void Restart()
    {
        since = Now();
        repeats = 0;
    }
};

// F1 or ?: the help box. Either key's press counts once.
struct HelpKey {
    EdgeKey f1{VK_F1, Wimdows::KeyDown(VK_F1)};
    EdgeKey question{VK_QUESTION, Wimdows::KeyDown(VK_QUESTION)};
    bool Pressed()
    {
        const bool a = f1.Pressed();
        const bool b = question.Pressed();
        return a || b;
    }
};

// Escape ends the game at once. A pad's B (which comes as Escape) ends it only when held for
// a second or pressed twice within a second and a half, so one stray press costs nothing; a
// note says so while it is held. After Escape has closed a help box it must be let go first.
constexpr std::uint32_t PadHoldMs = 1000;
constexpr std::uint32_t PadTwiceMs = 1500;
struct QuitKey {
    bool blocked = false;  // Escape closed a help box and is still held
    bool padHeld = false;
    std::uint32_t since = 0;
    std::uint32_t released = 0;
    bool padReleased = false;
    bool Quits()
    {
        const bool down = Wimdows::KeyDown(VK_ESCAPE);
        if (!down) {
            if (padHeld) {
                padHeld = false;
                padReleased = true;
                released = Now();
            }
            blocked = false;
            return false;
        }
        if (blocked) return false;
        if (!Wimdows::KeyDownFromPad(VK_ESCAPE)) return true;
        if (!padHeld) {
            padHeld = true;
            since = Now();
            if (padReleased && Now() - released < PadTwiceMs) return true;
            Drawing::ShowNote(Console::TrLater("Houd B vast of druk nog eens om te stoppen"), PadHoldMs / 10 + 50);
        }
        return Now() - since >= PadHoldMs;
    }
    // Escape closed a help box: it does nothing more until it is let go.
    void Block() { blocked = true; }
    bool PressedNow() const { return Wimdows::KeyDown(VK_ESCAPE) && !blocked; }
};

// Bodies that move from the start (the rocket aside): R then Space starts them again with
// the aim kept, which the help says on such a level.
bool HasMovingBodies(const Level::Table& level)
{
    for (std::uint32_t i = 0; i <= std::min<std::uint32_t>(level.N, Level::TableLength - 1); ++i)
        if (i != 1 && (level.Objects[i].Speed.x != 0.0f || level.Objects[i].Speed.y != 0.0f)) return true;
    return false;
}

// One arrow: with Shift a step per press (then repeats), without it a step per frame. A press
// that began fine stays fine until the arrow is let go, whatever Shift does meanwhile.
template <class Step>
void Arrow(std::uint32_t vk, bool shift, FineKey& fineKey, Step step)
{
    const bool down = Wimdows::KeyDown(vk);
    const bool fine = down && (shift || fineKey.held);
    for (std::uint32_t n = fineKey.Steps(fine); n > 0; --n) {
        step();
    }
    if (down && !fine) {
        step();
    }
}

void SpeedUp(float& Speed)
{
    if (Speed < MaxSpeed) {
        Speed += SpeedStep;
    }
}

void SpeedDown(float& Speed)
{
    if (Speed > MinSpeed) {
        Speed -= SpeedStep;
    }
}

void TurnLeft(float& Angle)
{
    Angle += AngleStep;
    if (Angle > FullTurn) {
        Angle -= FullTurn;
    }
}

void TurnRight(float& Angle)
{
    Angle -= AngleStep;
    if (Angle < 0.0f) {
        Angle += FullTurn;
    }
}

// Each event of the simulation is the sound of the same number.
static_assert(static_cast<int>(Physics::Event::Shoot) == StandardSound::SHOOT &&
              static_cast<int>(Physics::Event::Bounce) == StandardSound::BOUNCE &&
              static_cast<int>(Physics::Event::Crash) == StandardSound::CRASH &&
              static_cast<int>(Physics::Event::Win) == StandardSound::WIN);
void Play(Physics::Event e) { StandardSound::PlaySoundEvent(static_cast<StandardSound::SoundEventEn>(e)); }

// SIGCONT has come: the process was stopped (Ctrl+Z, SIGSTOP, a debugger) and goes on.
std::atomic<std::uint32_t> continued{0};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "written by a signal handler");
void OnContinue(int) { continued.fetch_add(1, std::memory_order_relaxed); }

// Nanoseconds the machine has slept since it started: the boot-time clock goes on during a
// suspend, the monotonic one does not.
std::int64_t SleptNs()
{
    timespec boot{}, mono{};
    if (clock_gettime(CLOCK_BOOTTIME, &boot) != 0 || clock_gettime(CLOCK_MONOTONIC, &mono) != 0) {
        return 0;
    }
    return (static_cast<std::int64_t>(boot.tv_sec) - mono.tv_sec) * 1000000000 + (boot.tv_nsec - mono.tv_nsec);
}

// The game loop's clock: the milliseconds of game time each frame's step covers. A slow
// frame makes a long step, as the rules say; time the game did not run (the process was
// stopped, the machine slept) is no flight time: the clock starts again after it.
struct FrameClock {
    std::uint32_t last = 0;
    std::uint32_t seenContinues = 0;
    std::int64_t slept = 0;

    // The clock is read as the simulation always read it, the difference first and the new
    // start after it (one instant on the real clock; a test's clock may count its reads).
    std::uint32_t Read()
    {
        const std::uint32_t elapsed = Now() - last;
        last = Now();
        return elapsed;
    }
    // Looked at after the clock, so that a stop in between is seen now or in the next frame,
    // never stepped through.
    bool Stopped()
    {
        const std::uint32_t c = continued.load(std::memory_order_relaxed);
        const std::int64_t s = SleptNs();
        constexpr std::int64_t SleepNoticed = 100000000;  // 0.1 s
        const bool stopped = c != seenContinues || s - slept > SleepNoticed;
        seenContinues = c;
        slept = s;
        return stopped;
    }
    void Restart()
    {
        Read();
        Stopped();
    }
    std::uint32_t Step()
    {
        const std::uint32_t ms = Read();
        if (Stopped()) {
            last = Now();
            return 0;
        }
        return ms;
    }
};

void WatchForContinue()
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    struct sigaction action {};
    action.sa_handler = &OnContinue;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGCONT, &action, nullptr);
}

void SwitchSound()
{
    const bool muted = !StandardSound::Muted();
    StandardSound::SetMuted(muted);
    Drawing::ShowNote(muted ? "Geluid uit" : "Geluid aan", NoteFrames);
    if (const SoundSwitched handler = soundSwitched.load()) {
        handler(muted);
    }
}

}  // namespace

void PlayGame() { PlayGame(Setup{}); }

void PlayGame(std::uint32_t FirstLevel) { PlayGame(FirstLevel, FirstLevel == 1); }

void PlayGame(std::uint32_t FirstLevel, bool EntersTable)
{
    Setup setup;
    setup.levels.first = FirstLevel;
    setup.table = EntersTable ? ScoreTable::Game : ScoreTable::NoTable;
    setup.remark = EntersTable ? EndRemark::NoRemark : EndRemark::NotInTable;
    PlayGame(setup);
}

void PlayGame(const Setup& setup)
{
    const Console::GameInProgress running;  // a stop signal now ends the game as Escape does
    WatchForContinue();
    Physics::World world;
    Level::ObjectTable& Objects = world.level.Objects;
    const std::uint32_t& N = world.level.N;
    FrameClock clock;
    playing = &world.level;
    struct Done {
        ~Done() { playing = nullptr; }
    } done;
    Drawing::LoadWindow();
    if (WindowGone()) {
        // Nobody could see the game or press a key: playing it would never end.
        std::printf("[ERROR] (PlayGame) The game window could not be opened.\n");
        return;
    }

    std::uint32_t CurrentLevel = setup.levels.first;
    std::int32_t Score = 100;
    float Angle = setup.angle;
    float Speed = setup.speed;
    float PreviousAngle = 0.0f;
    float PreviousSpeed = 0.0f;
    bool QuitGame = false;
    bool GoToNextLevel = false;
    bool StopLevel = false;
    // Zeros stand where the file has no scores, so the table stays in descending order.
    std::array<std::int32_t, 5> HighScores{};
    std::uint32_t frame = 0;
    bool Paused = false;
    // Keys held when the game begins do not count as pressed.
    EdgeKey pauseKey{VK_P, Wimdows::KeyDown(VK_P)};
    EdgeKey muteKey{VK_M, Wimdows::KeyDown(VK_M)};
    FineKey fineRight, fineLeft, fineUp, fineDown;
    static std::string levelNote;  // Drawing keeps the pointer while the note shows
    HelpKey helpKey;
    bool helpShown = false;      // the help box holds the game as P does
    bool helpOverPause = false;  // it was opened from the pause, and closes to it
    QuitKey quitKey;
    const auto drawFrame = [&] {
        Drawing::Draw(Objects, N, CurrentLevel, static_cast<std::uint32_t>(Score > 0 ? Score : 0), Angle, Speed,
                      PreviousAngle, PreviousSpeed);
    };

    while (HasLevel(setup.levels, CurrentLevel) && Score > 0 && !QuitGame) {
        Physics::Reset(world);
        Drawing::StopRecordingPath();
        std::string levelFile;
        world.level = Level::Table{};
        if (!LoadLevelOf(setup.levels, CurrentLevel, world.level, levelFile)) {
            // The console has the reason; the player, facing an empty field, reads it here.
            levelNote = std::string(Console::Tr("Kan dit level niet lezen: ")) + levelFile;
            Drawing::ShowNote(levelNote.c_str(), UnreadableLevelNoteFrames);
        }
        Drawing::LoadGraph(Objects, N);
        Physics::Hold(world);
        Physics::Release(world);
        clock.Restart();
        QuitGame = false;
        StopLevel = false;

        while (!StopLevel) {
            if (Paused) {
                // The flight stands still and the frame stays as it was: only P, F1 or ?,
                // Escape and the close box are heard.
                muteKey.Pressed();
                bool resume = pauseKey.Pressed();
                // F1 again, or Escape, closes the help: back to the pause it was opened
                // from, else on with the game.
                const bool closeHelp = helpShown && quitKey.PressedNow();
                if (closeHelp) quitKey.Block();
                if (helpKey.Pressed() || closeHelp) {
                    if (helpShown && helpOverPause) {
                        helpShown = false;
                        helpOverPause = false;
                        drawFrame();
                        Drawing::DrawPaused();
                    } else if (helpShown) {
                        resume = true;
                    } else {
                        helpShown = true;  // over the pause box
                        helpOverPause = true;
                        Drawing::DrawHelp(Drawing::HelpScreen::Game, HasMovingBodies(world.level));
                    }
                }
                if (resume) {
                    Paused = false;
                    helpShown = false;
                    helpOverPause = false;
                    clock.Restart();  // the clock goes on from now: no jump over the pause
                    for (FineKey* k : {&fineRight, &fineLeft, &fineUp, &fineDown}) {
                        k->Restart();
                    }
                }
                if (quitKey.Quits() || WindowGone() || Console::StopSignal() != 0) {
                    QuitGame = true;
                    GoToNextLevel = false;
                    StopLevel = true;
                }
                ++frame;
                if (const detail::FrameHook hook = frameHook.load()) {
                    hook({frame, CurrentLevel, Score, Angle, Speed, PreviousAngle, PreviousSpeed, QuitGame,
                          GoToNextLevel, StopLevel, Paused});
                }
                PauseFrame();
                continue;
            }
            for (const Physics::Event e : Physics::Step(world, clock.Step())) {
                Play(e);
            }
            drawFrame();
            if (world.GameOver) {
                Score -= LostPenalty;
                GoToNextLevel = false;
                StopLevel = true;
            }
            if (world.GameWon) {
                Score += WonBonus;
                GoToNextLevel = true;
                StopLevel = true;
                if (!setup.progress.empty()) Level::MarkWon(setup.progress, CurrentLevel);
            }

            // The key table, in its order; every row is tested in every frame.
            if (Wimdows::KeyDown(VK_SPACE) && Objects[1].Mass == 0.0f) {
                Physics::Shoot(world, Speed, Angle);
                Play(Physics::Event::Shoot);
                Drawing::RestartRecordingPath();
                PreviousSpeed = Speed;
                PreviousAngle = Angle;
            }
            // With Shift the arrows step once per press; without it, once per frame.
            const bool fine = Wimdows::KeyDown(VK_SHIFT);
            Arrow(VK_RIGHT, fine, fineRight, [&] { SpeedUp(Speed); });
            Arrow(VK_LEFT, fine, fineLeft, [&] { SpeedDown(Speed); });
            Arrow(VK_UP, fine, fineUp, [&] { TurnLeft(Angle); });
            Arrow(VK_DOWN, fine, fineDown, [&] { TurnRight(Angle); });
            if (Wimdows::KeyDown(VK_END) || Wimdows::KeyDown(VK_R)) {
                StandardSound::PlaySoundEvent(StandardSound::RESTART);
                GoToNextLevel = false;
                StopLevel = true;
            }
            // Closing the window with its close box counts as Escape, so the score is kept.
            if (quitKey.Quits() || WindowGone() || Console::StopSignal() != 0) {
                QuitGame = true;
                GoToNextLevel = false;
                StopLevel = true;
            }
            if (muteKey.Pressed()) {
                SwitchSound();
            }
            // A level that has just ended is not paused; the next press will be.
            if (pauseKey.Pressed() && !StopLevel) {
                Paused = true;
                Drawing::DrawPaused();
            }
            // F1 or ?: the keys over the frame, the game held while they show.
            if (helpKey.Pressed() && !StopLevel && !Paused) {
                Paused = true;
                helpShown = true;
                Drawing::DrawHelp(Drawing::HelpScreen::Game, HasMovingBodies(world.level));
            }

            ++frame;
            if (const detail::FrameHook hook = frameHook.load()) {
                hook({frame, CurrentLevel, Score, Angle, Speed, PreviousAngle, PreviousSpeed, QuitGame, GoToNextLevel,
                      StopLevel, Paused});
            }
            PauseFrame();
        }

        Drawing::UnloadGraph();
        if (GoToNextLevel) {
            ++CurrentLevel;
            Drawing::ClearPath();
            Speed = LevelSpeed;
            Angle = 0.0f;
            PreviousSpeed = 0.0f;
            PreviousAngle = 0.0f;
        }
    }

    LoadScores(HighScores, ScoreFileOf(setup));
    bool saved = true;
    switch (setup.table) {
        case ScoreTable::NoTable:
            break;
        case ScoreTable::Game:
        case ScoreTable::Set:
            AddHighScore(HighScores, Score);
            saved = SaveScores(HighScores, ScoreFileOf(setup));
            if (!saved) {
                LoadScores(HighScores, ScoreFileOf(setup));  // the screen shows the table as it is on disk
            }
            break;
    }
    Drawing::ShowNote(nullptr, 0);
    const auto drawEndScreen = [&] {
        Drawing::SchermLevelGedaan(QuitGame, GoToNextLevel, Score, HighScores, RemarkLevel(setup));
        if (!saved) {
            Drawing::ScoreNotSaved();
        }
        DrawOwnRemark(setup, QuitGame, GoToNextLevel);
    };
    drawEndScreen();
    if (QuitGame) {
        StandardSound::PlaySoundEvent(StandardSound::OUTROQUIT);
    } else if (GoToNextLevel) {
        StandardSound::PlaySoundEvent(StandardSound::OUTROWIN);
    } else {
        StandardSound::PlaySoundEvent(StandardSound::OUTROLOSE);
    }
    Drawing::ClearPath();
    if (const detail::EndHook hook = endHook.load()) {
        hook({QuitGame, GoToNextLevel, Score});
    }

    // A closed window ends the wait too: no key can come any more.
    if (!WindowGone() && Console::StopSignal() == 0) {
        Pause(EndScreenPause);
        bool endHelp = false;
        bool escapeBlocked = false;
        do {
            PauseFrame();
            // F1 or ?: the end screen's keys, and again the end screen; Escape closes the
            // help first, and leaves only once let go and pressed again.
            if (!Wimdows::KeyDown(VK_ESCAPE)) escapeBlocked = false;
            const bool escapeClosesHelp = endHelp && Wimdows::KeyDown(VK_ESCAPE) && !escapeBlocked;
            if (escapeClosesHelp) escapeBlocked = true;
            if (helpKey.Pressed() || escapeClosesHelp) {
                endHelp = !endHelp;
                if (endHelp) {
                    Drawing::DrawHelp(Drawing::HelpScreen::EndScreen);
                } else {
                    drawEndScreen();
                }
            }
        } while (!Wimdows::KeyDown(VK_SPACE) && !(Wimdows::KeyDown(VK_ESCAPE) && !escapeBlocked) && !WindowGone() &&
                 Console::StopSignal() == 0);
    }
}

void Init()
{
    if (Initialised) {
        return;
    }
    Initialised = true;
    Drawing::Init();
    Physics::Init();
    StandardSound::Init();
    Physics::SetEventSink(&Play);  // the older simulation face sounds as it always has
}

namespace detail {

void SetFrameHook(FrameHook hook) { frameHook.store(hook); }
void SetEndHook(EndHook hook) { endHook.store(hook); }
void SetClock(ClockFunction clock) { gameClock.store(clock != nullptr ? clock : &Physics::SystemClock); }
void SetFramePause(std::chrono::milliseconds pause) { framePause.store(pause.count()); }
const Level::Table* PlayedLevel() { return playing; }

}  // namespace detail

void SetSoundSwitchedHandler(SoundSwitched handler) { soundSwitched.store(handler); }

}  // namespace Game
