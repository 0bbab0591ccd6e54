// The game loop: level after level from level 1, aiming and launching with the keyboard,
// the score, and at the end the high-score table and the end screen.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "Console/Console.hpp"
#include "Drawing/Drawing.hpp"
#include "Game/Game.hpp"
#include "Game/PlayGameInternal.hpp"
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

bool Initialised = false;
std::atomic<bool> windowClosed{false};
std::atomic<detail::FrameHook> frameHook{nullptr};
std::atomic<detail::EndHook> endHook{nullptr};

// The window is gone: closed by the player with its close box (or never opened).
bool WindowGone() { return Wimdows::State() != Wimdows::STATE_ACTIVE; }

void Pause(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

}  // namespace

void PlayGame()
{
    const Console::GameInProgress running;  // a stop signal now ends the game as Escape does
    windowClosed = false;
    Physics::Freeze();
    Drawing::LoadWindow();
    if (WindowGone()) {
        // Nobody could see the game or press a key: playing it would never end.
        std::printf("[ERROR] (PlayGame) The game window could not be opened.\n");
        windowClosed = true;
        return;
    }

    std::uint32_t CurrentLevel = 1;
    std::int32_t Score = 100;
    float Angle = 0.0f;
    float Speed = FirstSpeed;
    float PreviousAngle = 0.0f;
    float PreviousSpeed = 0.0f;
    bool QuitGame = false;
    bool GoToNextLevel = false;
    bool StopLevel = false;
    // Zeros stand where the file has no scores, so the table stays in descending order.
    std::array<std::int32_t, 5> HighScores{};
    std::uint32_t frame = 0;

    while (LevelExists(CurrentLevel) && Score > 0 && !QuitGame) {
        Physics::Reset();
        Drawing::StopRecordingPath();
        LoadLevel(CurrentLevel);
        Drawing::LoadGraph(Objects, N);
        Physics::HoldShip(Objects);
        Physics::UnFreeze();
        QuitGame = false;
        StopLevel = false;

        while (!StopLevel) {
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
            if (Wimdows::KeyDown(VK_RIGHT) && Speed < MaxSpeed) {
                Speed += SpeedStep;
            }
            if (Wimdows::KeyDown(VK_LEFT) && Speed > MinSpeed) {
                Speed -= SpeedStep;
            }
            if (Wimdows::KeyDown(VK_UP)) {
                Angle += AngleStep;
                if (Angle > FullTurn) {
                    Angle -= FullTurn;
                }
            }
            if (Wimdows::KeyDown(VK_DOWN)) {
                Angle -= AngleStep;
                if (Angle < 0.0f) {
                    Angle += FullTurn;
                }
            }
            if (Wimdows::KeyDown(VK_END)) {
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

            ++frame;
            if (const detail::FrameHook hook = frameHook.load()) {
                hook({frame, CurrentLevel, Score, Angle, Speed, PreviousAngle, PreviousSpeed, QuitGame, GoToNextLevel,
                      StopLevel});
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
    AddHighScore(HighScores, Score);
    SaveScores(HighScores);
    Drawing::SchermLevelGedaan(QuitGame, GoToNextLevel, Score, HighScores);
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
    windowClosed = WindowGone();
}

bool WindowClosed() { return windowClosed.load(); }

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

}  // namespace Game
