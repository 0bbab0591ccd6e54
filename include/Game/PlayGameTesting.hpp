// A look into the game loop for tests and tools: the state of each frame as it ends.
#pragma once

#include <chrono>
#include <cstdint>

namespace Game::detail {

// The game's state at the end of a frame (after the key tests, before the pause).
struct FrameState {
    std::uint32_t frame;  // frames played in this game, counting this one
    std::uint32_t level;
    std::int32_t score;
    float angle;
    float speed;
    float previousAngle;
    float previousSpeed;
    bool quitGame;
    bool goToNextLevel;
    bool stopLevel;
    bool paused;  // P (or the help box) holds the game: no simulation, no keys but P, F1, ? and Escape
};
// Called on the game loop's thread at the end of every frame, while the frame just drawn
// is in the back buffer. nullptr removes it.
using FrameHook = void (*)(const FrameState& state);
void SetFrameHook(FrameHook hook);

// The end of a game: called once the end screen is shown, before the key wait.
struct EndState {
    bool quitGame;
    bool goToNextLevel;
    std::int32_t score;
};
using EndHook = void (*)(const EndState& state);
void SetEndHook(EndHook hook);

// The game's clock in milliseconds: what each frame's step covers and what times the keys'
// repeats. The default is Physics::SystemClock (monotonic, in 10 ms steps); a test sets its
// own to make each step exact. nullptr restores the default.
using ClockFunction = std::uint32_t (*)();
void SetClock(ClockFunction clock);

// The real time each frame waits once it is drawn (10 ms). A test whose clock is its own
// shortens it, so that a long flight takes less of the machine's time, not fewer frames.
inline constexpr std::chrono::milliseconds FramePause{10};
void SetFramePause(std::chrono::milliseconds pause);

}  // namespace Game::detail
