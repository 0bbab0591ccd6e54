// The game loop: level after level from level 1, aiming and launching with the keyboard,
// the score, and at the end the high-score table and the end screen.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Console/Console.hpp"
#include "Drawing/Drawing.hpp"
#include "Game/Game.hpp"
#include "Game/PlayGameTesting.hpp"
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
constexpr float FirstSpeed = 250.0f;
constexpr float LevelSpeed = 150.0f;
constexpr auto FramePause = std::chrono::milliseconds(10);
constexpr auto EndScreenPause = std::chrono::milliseconds(500);

constexpr std::uint32_t VK_SPACE = 32;
constexpr std::uint32_t VK_END = 35;
constexpr std::uint32_t VK_LEFT = 37;
constexpr std::uint32_t VK_UP = 38;
constexpr std::uint32_t VK_RIGHT = 39;
constexpr std::uint32_t VK_DOWN = 40;
constexpr std::uint32_t VK_ESCAPE = 27;
constexpr std::uint32_t VK_SHIFT = 16;
constexpr std::uint32_t VK_M = 77;
constexpr std::uint32_t VK_P = 80;
constexpr std::uint32_t VK_R = 82;

// Shift with an arrow: one step per press, then repeats while held.
constexpr std::uint64_t FineRepeatDelay = 400;  // ms
constexpr std::uint64_t FineRepeatsPerSecond = 15;
// The sound note stays for about a second and a half of frames.
constexpr std::uint32_t NoteFrames = 150;

bool Initialised = false;
std::atomic<detail::FrameHook> frameHook{nullptr};
std::atomic<detail::EndHook> endHook{nullptr};
std::atomic<SoundSwitched> soundSwitched{nullptr};

// The level of the editor's play-test while one runs (on the game's thread only).
const TestLevel* testLevel = nullptr;

bool HasLevel(std::uint32_t level) { return testLevel != nullptr ? level == testLevel->number : LevelExists(level); }

void LoadAnyLevel(std::uint32_t level)
{
    if (testLevel == nullptr) {
        LoadLevel(level);
        return;
    }
    Objects = testLevel->objects;
    N = testLevel->n;
}

// The window is gone: closed by the player with its close box (or never opened).
bool WindowGone() { return Wimdows::WindowEnded() != Wimdows::Ended::StillOpen; }

void Pause(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

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
        const std::uint32_t now = Physics::Now();
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
        since = Physics::Now();
        repeats = 0;
    }
};

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

void PlayGame() { PlayGame(1); }

void PlayGame(std::uint32_t FirstLevel)
{
    const Console::GameInProgress running;  // a stop signal now ends the game as Escape does
    Physics::Freeze();
    Drawing::LoadWindow();
    if (WindowGone()) {
        // Nobody could see the game or press a key: playing it would never end.
        std::printf("[ERROR] (PlayGame) The game window could not be opened.\n");
        return;
    }

    std::uint32_t CurrentLevel = FirstLevel;
    std::int32_t Score = 100;
    float Angle = testLevel != nullptr ? testLevel->angle : 0.0f;
    float Speed = testLevel != nullptr ? testLevel->speed : FirstSpeed;
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

    while (HasLevel(CurrentLevel) && Score > 0 && !QuitGame) {
        Physics::Reset();
        Drawing::StopRecordingPath();
        LoadAnyLevel(CurrentLevel);
        Drawing::LoadGraph(Objects, N);
        Physics::HoldShip(Objects);
        Physics::UnFreeze();
        QuitGame = false;
        StopLevel = false;

        while (!StopLevel) {
            if (Paused) {
                // The flight stands still and the frame stays as it was: only P, Escape and
                // the close box are heard.
                muteKey.Pressed();
                if (pauseKey.Pressed()) {
                    Paused = false;
                    Physics::UnFreeze();  // the clock goes on from now: no jump over the pause
                    for (FineKey* k : {&fineRight, &fineLeft, &fineUp, &fineDown}) {
                        k->Restart();
                    }
                }
                if (Wimdows::KeyDown(VK_ESCAPE) || WindowGone()) {
                    QuitGame = true;
                    GoToNextLevel = false;
                    StopLevel = true;
                }
                ++frame;
                if (const detail::FrameHook hook = frameHook.load()) {
                    hook({frame, CurrentLevel, Score, Angle, Speed, PreviousAngle, PreviousSpeed, QuitGame,
                          GoToNextLevel, StopLevel, Paused});
                }
                Pause(FramePause);
                continue;
            }
            Physics::Simulate(Objects, N);
            Drawing::Draw(Objects, N, CurrentLevel, static_cast<std::uint32_t>(Score > 0 ? Score : 0), Angle, Speed,
                          PreviousAngle, PreviousSpeed);
            if (Physics::IsGameOver()) {
                Score -= LostPenalty;
                GoToNextLevel = false;
                StopLevel = true;
            }
            if (Physics::IsGameWon()) {
                Score += WonBonus;
                GoToNextLevel = true;
                StopLevel = true;
            }

            // The key table, in its order; every row is tested in every frame.
            if (Wimdows::KeyDown(VK_SPACE) && Objects[1].Mass == 0.0f) {
                Physics::ShootShip(Objects, Speed, Angle);
                Drawing::RestartRecordingPath();
                PreviousSpeed = Speed;
                PreviousAngle = Angle;
            }
            // With Shift the arrows step once per press; without it, once per frame.
            const bool fine = Wimdows::KeyDown(VK_SHIFT);
            for (std::uint32_t n = fineRight.Steps(fine && Wimdows::KeyDown(VK_RIGHT)); n > 0; --n) {
                SpeedUp(Speed);
            }
            if (!fine && Wimdows::KeyDown(VK_RIGHT)) {
                SpeedUp(Speed);
            }
            for (std::uint32_t n = fineLeft.Steps(fine && Wimdows::KeyDown(VK_LEFT)); n > 0; --n) {
                SpeedDown(Speed);
            }
            if (!fine && Wimdows::KeyDown(VK_LEFT)) {
                SpeedDown(Speed);
            }
            for (std::uint32_t n = fineUp.Steps(fine && Wimdows::KeyDown(VK_UP)); n > 0; --n) {
                TurnLeft(Angle);
            }
            if (!fine && Wimdows::KeyDown(VK_UP)) {
                TurnLeft(Angle);
            }
            for (std::uint32_t n = fineDown.Steps(fine && Wimdows::KeyDown(VK_DOWN)); n > 0; --n) {
                TurnRight(Angle);
            }
            if (!fine && Wimdows::KeyDown(VK_DOWN)) {
                TurnRight(Angle);
            }
            if (Wimdows::KeyDown(VK_END) || Wimdows::KeyDown(VK_R)) {
                StandardSound::PlaySoundEvent(StandardSound::RESTART);
                GoToNextLevel = false;
                StopLevel = true;
            }
            // Closing the window with its close box counts as Escape, so the score is kept.
            if (Wimdows::KeyDown(VK_ESCAPE) || WindowGone() || Console::StopSignal() != 0) {
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

            ++frame;
            if (const detail::FrameHook hook = frameHook.load()) {
                hook({frame, CurrentLevel, Score, Angle, Speed, PreviousAngle, PreviousSpeed, QuitGame, GoToNextLevel,
                      StopLevel, Paused});
            }
            Pause(FramePause);
        }

        Drawing::UnloadGraph(Objects, N);
        if (GoToNextLevel) {
            ++CurrentLevel;
            Drawing::ClearPath();
            Speed = LevelSpeed;
            Angle = 0.0f;
            PreviousSpeed = 0.0f;
            PreviousAngle = 0.0f;
        }
    }

    LoadScores(HighScores);
    // Only a whole game, from level 1, earns a place in the table.
    if (FirstLevel == 1 && testLevel == nullptr) {
        AddHighScore(HighScores, Score);
        SaveScores(HighScores);
    }
    Drawing::ShowNote(nullptr, 0);
    Drawing::SchermLevelGedaan(QuitGame, GoToNextLevel, Score, HighScores, FirstLevel);
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
        do {
            Pause(FramePause);
        } while (!Wimdows::KeyDown(VK_SPACE) && !Wimdows::KeyDown(VK_ESCAPE) && !WindowGone() &&
                 Console::StopSignal() == 0);
    }
}

void PlayTestLevel(const TestLevel& level)
{
    testLevel = &level;
    PlayGame(std::max<std::uint32_t>(level.number, 1));
    testLevel = nullptr;
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
}

namespace detail {

void SetFrameHook(FrameHook hook) { frameHook.store(hook); }
void SetEndHook(EndHook hook) { endHook.store(hook); }

}  // namespace detail

void SetSoundSwitchedHandler(SoundSwitched handler) { soundSwitched.store(handler); }

}  // namespace Game
