// The search for winning shots, which kor-levelcheck and the level editor share: one shot
// through the game's own simulation with a fixed step, the rule that ends a shot early, the
// grid of shots a player can make, the search of a whole grid on threads (which any thread
// can cancel), the choice of an example shot with the key presses that make it, and a search
// in the background that a changing level restarts. Every function here is safe to call from
// several threads at once: each shot steps a World of its own.
//
// A whole grid from a program of one's own:
//     Search::Grid grid;                        // or {1, 1}, the player's own grid
//     std::vector<Search::Held> levels(1);
//     for (int k = 0; k < 2; ++k) levels[0].held[k] = Search::HoldFor(table, ...StepMs[k], 0);
//     Search::Control control(levels.size());   // must outlive the search
//     // on a thread of its own; control.cancel = true from anywhere ends it within a shot's
//     // few steps, and control.doneRows tell how far it has come:
//     Search::GridResult r = Search::SearchGrid(levels, grid, true, 2, control);
//     if (r.complete) ... r.At(0, step, speed, angle) ...
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Physics/World.hpp"

namespace Search {

enum class Outcome : std::uint8_t {
    Flying = 0,  // still under way when the time ran out
    Won = 1,
    Lost = 2,
    Gone = 3,   // stopped early: it can no longer come back in time
    Still = 4,  // stopped early: nothing moves any more
};

struct ShotResult {
    Outcome outcome = Outcome::Flying;
    std::uint32_t steps = 0;  // steps simulated
};

// Longest flight looked at, in milliseconds of game time.
constexpr std::uint32_t FlightMs = 30000;
// The two step sizes a level must be winnable under, in milliseconds.
constexpr std::uint32_t StepMs[2] = {10, 20};

// Launches the rocket of a copy of `start` as the game does and steps the simulation by
// `stepMs` milliseconds until it is won or lost, stopped early, or FlightMs have passed.
// With `earlyStops` false every shot runs until it is won or lost or the time is up.
// With `trail`, the rocket's position after every step is appended to it.
// When `cancel` becomes true the shot ends within a few steps, Flying.
ShotResult RunShot(const Level::ObjectTable& start, std::uint32_t N, std::uint32_t stepMs, float speed, float angle,
                   bool earlyStops = true, std::vector<Level::VECTOR>* trail = nullptr,
                   const std::atomic<bool>* cancel = nullptr);

// The level as it stands after the rocket has been held for `waitMs` milliseconds in
// steps of `stepMs`, as while a player aims: bodies on a course and bodies pulled by
// fields move on. The rocket keeps its mass in the result, ready for RunShot.
Level::ObjectTable HoldFor(const Level::ObjectTable& start, std::uint32_t N, std::uint32_t stepMs,
                           std::uint32_t waitMs);

// True when the rocket (body 1) can neither win nor touch anything in the `timeLeft`
// seconds that remain; see the reasoning at its definition.
bool CannotComeBack(const Level::ObjectTable& Objects, std::uint32_t N, double stepSeconds, double timeLeft);

// Aim as the game's keys leave it: Up adds 0.0125 to a 32-bit angle once per press.
float AngleAfterUpPresses(std::uint32_t presses);
// Up presses before the angle would pass a full turn and wrap.
constexpr std::uint32_t MaxUpPresses = 502;
// Down from 0 wraps at once to just below a full turn.
float AngleAfterDownPresses(std::uint32_t presses);

// Presses of the fine keys (Shift+arrow: one speed step of 2.5 or one angle step of
// 0.0125 rad each) from the aim a level starts with.
struct Presses {
    std::int32_t speed = 0;  // Shift+Right when positive, Shift+Left when negative
    std::uint32_t up = 0;
    std::uint32_t down = 0;
};
// "Shift+Right x4, Shift+Up x6", or "no presses".
std::string PressesText(const Presses& presses);
// The Down presses that come nearest to the angle of `up` Up presses, and the angle they give.
std::uint32_t DownPressesNear(std::uint32_t up, float& angle);

// Shots searched: every `speedPresses`-th speed from 0 to 500 (2.5 per press) and every
// `anglePresses`-th angle from 0 (0.0125 rad per press) below a full turn.
struct Grid {
    std::uint32_t speedPresses = 2;
    std::uint32_t anglePresses = 2;

    std::uint32_t Speeds() const { return 200 / speedPresses + 1; }
    std::uint32_t Angles() const { return MaxUpPresses / anglePresses + 1; }
    std::uint32_t Shots() const { return Speeds() * Angles(); }
    float Speed(std::uint32_t s) const { return 2.5f * static_cast<float>(s * speedPresses); }
    std::uint32_t UpPresses(std::uint32_t a) const { return a * anglePresses; }
    float Angle(std::uint32_t a) const { return AngleAfterUpPresses(UpPresses(a)); }
};

// A shot of the grid that wins under both step sizes, chosen to be easy to repeat: the
// most neighbours (speed and angle one grid step away) that win as well, then the fewest
// key presses from the aim the level starts with (angle 0, speed `startSpeed`), turning
// the shorter way round.
// `both` holds one flag per shot, speed-major. False when no shot wins.
struct Example {
    std::uint32_t speed = 0;  // grid indices
    std::uint32_t angle = 0;
};
bool ChooseExample(const std::vector<std::uint8_t>& both, const Grid& grid, float startSpeed, Example& example);

// The example of ChooseExample as the fine presses that make it from the aim the level starts
// with (angle 0, `startSpeed`): Down presses when that is the shorter way round and the angle
// they reach (a little off the grid's) wins under both step sizes as well. `held` is the level
// as launched under each step size. False when no shot wins (or `cancel` came).
struct Best {
    Example example;
    float speed = 0.0f;  // the aim the presses give
    float angle = 0.0f;
    Presses presses;
};
bool BestShot(const std::vector<std::uint8_t>& both, const Grid& grid, float startSpeed,
              const Level::ObjectTable (&held)[2], std::uint32_t N, Best& best,
              const std::atomic<bool>* cancel = nullptr);

// ---- the search of a whole grid ----

// One level to search: as it stands when the shot is made, under each step size (HoldFor
// with StepMs[0] and StepMs[1]). Levels with `search` false are skipped.
struct Held {
    Level::ObjectTable held[2]{};
    std::uint32_t N = 0;
    bool search = true;
};

// Shared between the search's threads and whoever watches or stops it. A row is all angles
// of one speed of one level under one step size.
struct Control {
    explicit Control(std::size_t levels) : doneRows(std::make_unique<std::atomic<std::uint32_t>[]>(2 * levels)) {}
    std::atomic<bool> cancel{false};
    std::atomic<std::uint32_t> nextRow{0};
    std::unique_ptr<std::atomic<std::uint32_t>[]> doneRows;  // [level * 2 + step], rows finished
};

struct GridResult {
    bool complete = false;    // every shot searched (false: cancelled)
    std::size_t perStep = 0;  // shots of one level under one step size
    std::size_t angles = 0;
    std::vector<std::uint8_t> outcome;  // an Outcome per shot: [level][step][speed][angle]
    std::vector<std::uint64_t> steps;   // steps simulated, per level
    Outcome At(std::size_t level, std::size_t step, std::size_t speed, std::size_t angle) const
    {
        return static_cast<Outcome>(outcome[(level * 2 + step) * perStep + speed * angles + angle]);
    }
    const std::uint8_t* Outcomes(std::size_t level, std::size_t step) const
    {
        return outcome.data() + (level * 2 + step) * perStep;
    }
};

// Every shot of `grid` for every level, on `jobs` threads (at least one; the calling thread
// only waits). `tick`, when given, runs on the calling thread every `every` while they work.
// Returns when all is searched or `control.cancel` was set; the threads have ended then.
GridResult SearchGrid(const std::vector<Held>& levels, const Grid& grid, bool earlyStops, unsigned jobs,
                      Control& control, const std::function<void()>& tick = {},
                      std::chrono::milliseconds every = std::chrono::milliseconds(100));

// ---- a search in the background ----

// What a background search has found so far.
struct Summary {
    bool done = false;
    std::uint32_t shotsDone = 0;  // of `shots`, under both step sizes
    std::uint32_t shots = 0;
    std::uint32_t wins[2] = {0, 0};  // winning shots with steps of 10 and 20 ms
    std::uint32_t bothWins = 0;
    bool hasBest = false;
    float bestSpeed = 0.0f;
    float bestAngle = 0.0f;
    std::string bestRecipe;                // fine presses from the start of a game
    std::vector<std::uint8_t> map;         // per shot, speed-major: bit 0 wins at 10 ms, bit 1 at 20 ms, 4 crashes
    std::uint32_t speeds = 0, angles = 0;  // the map's grid
};
// The default grid over one level on worker threads that live as long as it does: Start gives
// up any search under way and begins anew (the level editor calls it after every edit);
// Result can be read at any time from the thread that started it.
class Background {
public:
    explicit Background(unsigned workers = 2);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    // startSpeed: the speed the game starts the level with, for the best shot's presses.
    void Start(const Level::Table& level, float startSpeed = 150.0f);
    void Cancel();
    Summary Result() const;
    // Waits until the search under way is done (tests, benchmarks).
    void Wait() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Search
