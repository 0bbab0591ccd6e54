#include "Search/Search.hpp"

#include "Level/Geometry.hpp"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

namespace Search {

namespace {

// A world with the first N + 1 bodies of `start`, held as the game holds it while aiming.
Physics::World HeldWorld(const Level::ObjectTable& start, std::uint32_t N)
{
    Physics::World world;
    std::copy_n(start.begin(), N + 1, world.level.Objects.begin());
    world.level.N = N;
    Physics::Reset(world);
    Physics::Hold(world);
    Physics::Release(world);
    return world;
}

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

using Level::FarthestFromCentre;

bool SameMotion(const Level::OBJECT& a, const Level::OBJECT& b)
{
    return a.Position.x == b.Position.x && a.Position.y == b.Position.y && a.Speed.x == b.Speed.x &&
           a.Speed.y == b.Speed.y;
}

// How often the early-stop rules are looked at, in steps.
constexpr std::uint32_t GoneEvery = 8;
constexpr std::uint32_t StillEvery = 32;

}  // namespace

// The rocket can no longer come back when it is clear of everything else, flying away,
// and one of two things keeps everything else from ever reaching it. Notation: "the
// others" are bodies 0 and 2..N; R is the distance from the window's centre to the
// farthest point of any of them; S the sum of the sizes of all fields but the black
// hole's (which the simulation ignores); r the rocket's distance from the centre, u its
// speed away from the centre, T the time left.
//
// Pull: if every field centre stays at least g from the rocket, the fields together pull
// it back by at most S/g^2 per second, however they point. In the game's stepping (move,
// then change the speed by dt times the pull) a step never lowers u by more than that,
// and the rocket gains at least dt*u in distance per step; while u stays above u0/2 the
// loss over all remaining steps is below dt*S/g^2 + 2S/(g*u0). So if
//     u0^2 > 4S/g + 2*dt*S*u0/g^2                                        (escape)
// u never falls to u0/2 and the rocket keeps moving away for good.
//
// A. Nothing else has mass. Bodies of mass 0 keep their speed for ever (no field or knock
//    changes it), so within T none gets farther than R + V*T from the centre, V the
//    highest speed among them. With g = r - rocket radius - R - V*T above a margin and
//    (escape) holding for that g, the rocket stays clear of every body and of the black
//    hole's win circle (which lies within the black hole's radius) until the time is up.
// B. Nothing else can ever move faster than u0/2. The rocket then outruns everything, so
//    the gap g = r - rocket radius - R never shrinks, and (escape) for that g keeps u above
//    u0/2. Bodies of mass 0 keep their speed. For bodies with mass it is only known when
//    no field acts anywhere (no body, the rocket included, has one) and no body of mass 0
//    moves: then knocks among them (restitution 0.8) and bounces off resting bodies of
//    mass 0 (no loss) never add energy, so the kinetic energy K of the others with mass
//    never grows, and one of mass m is never faster than sqrt(2K/m).
// Everything else (asteroids in a field, asteroids with moving bodies about) keeps the
// shot going; a weaker rule could stop a shot that would still be brought back.
bool CannotComeBack(const Level::ObjectTable& Objects, std::uint32_t N, double stepSeconds, double timeLeft)
{
    N = std::min<std::uint32_t>(N, Level::TableLength - 1);
    const Level::OBJECT& rocket = Objects[1];
    double reach = FarthestFromCentre(Objects[0]);
    double pull = 0.0;
    double fastestFixed = 0.0;  // highest speed of a body of mass 0
    double kinetic = 0.0;       // kinetic energy of the others with mass
    double lightest = 0.0;      // smallest mass among them
    bool massive = false;
    bool anyField = rocket.Field != 0.0f;
    for (std::uint32_t i = 2; i <= N; ++i) {
        const Level::OBJECT& o = Objects[i];
        reach = std::max(reach, FarthestFromCentre(o));
        pull += std::fabs(static_cast<double>(o.Field));
        anyField = anyField || o.Field != 0.0f;
        const double speed = Length(o.Speed.x, o.Speed.y);
        if (o.Mass == 0.0f) {
            fastestFixed = std::max(fastestFixed, speed);
        } else if (o.Mass > 0.0f) {
            kinetic += 0.5 * o.Mass * speed * speed;
            lightest = massive ? std::min<double>(lightest, o.Mass) : o.Mass;
            massive = true;
        } else {
            return false;  // a negative mass breaks every bound below
        }
    }
    const double x = rocket.Position.x;
    const double y = rocket.Position.y;
    const double r = Length(x, y);
    const double clear = r - std::fabs(static_cast<double>(rocket.Dimension.x)) - reach;
    const double away = r > 0.0 ? (rocket.Speed.x * x + rocket.Speed.y * y) / r : 0.0;
    if (!(away > 0.0) || !std::isfinite(pull) || !std::isfinite(clear)) {
        return false;
    }
    constexpr double Margin = 10.0;
    auto escapes = [&](double gap) {
        return gap > Margin && away * away > 4.0 * pull / gap + 2.0 * stepSeconds * pull * away / (gap * gap);
    };

    if (!massive && escapes(clear - fastestFixed * timeLeft)) {
        return true;  // A
    }
    double fastest = fastestFixed;
    if (massive) {
        if (anyField || fastestFixed > 0.0) {
            return false;
        }
        fastest = std::max(fastest, std::sqrt(2.0 * kinetic / lightest));
    }
    return fastest <= 0.5 * away && escapes(clear);  // B
}

ShotResult RunShot(const Level::ObjectTable& start, std::uint32_t N, std::uint32_t stepMs, float speed, float angle,
                   bool earlyStops, std::vector<Level::VECTOR>* trail, const std::atomic<bool>* cancel)
{
    N = std::min<std::uint32_t>(N, Level::TableLength - 1);
    // As the game sets up an attempt and launches.
    Physics::World world = HeldWorld(start, N);
    Level::ObjectTable& Objects = world.level.Objects;
    Physics::Shoot(world, speed, angle);

    const std::uint32_t steps = FlightMs / stepMs;
    const double stepSeconds = static_cast<double>(stepMs) * 0.001;
    Level::ObjectTable before;
    ShotResult result;
    for (std::uint32_t k = 1; k <= steps; ++k) {
        if (cancel != nullptr && k % StillEvery == 0 && cancel->load(std::memory_order_relaxed)) {
            return result;
        }
        const bool lookForStill = earlyStops && k % StillEvery == 0;
        if (lookForStill) {
            std::copy_n(Objects.begin(), N + 1, before.begin());
        }
        Physics::Step(world, stepMs);
        result.steps = k;
        if (trail != nullptr) {
            trail->push_back(Objects[1].Position);
        }
        // A step that ends both lost and won counts as won, as in the game.
        if (world.GameWon) {
            result.outcome = Outcome::Won;
            return result;
        }
        if (world.GameOver) {
            result.outcome = Outcome::Lost;
            return result;
        }
        if (lookForStill) {
            // The step is a function of the bodies' positions and speeds alone: if it
            // changed none of them, every later step will not either.
            bool same = true;
            for (std::uint32_t i = 1; i <= N && same; ++i) {
                same = SameMotion(before[i], Objects[i]);
            }
            if (same) {
                result.outcome = Outcome::Still;
                return result;
            }
        }
        if (earlyStops && k % GoneEvery == 0 &&
            CannotComeBack(Objects, N, stepSeconds, static_cast<double>(steps - k) * stepSeconds)) {
            result.outcome = Outcome::Gone;
            return result;
        }
    }
    return result;
}

Level::ObjectTable HoldFor(const Level::ObjectTable& start, std::uint32_t N, std::uint32_t stepMs, std::uint32_t waitMs)
{
    N = std::min<std::uint32_t>(N, Level::TableLength - 1);
    Physics::World world;
    world.level.Objects = start;
    world.level.N = N;
    const float mass = start[1].Mass;
    Physics::Hold(world);
    Physics::Release(world);
    for (std::uint32_t t = stepMs; stepMs > 0 && t <= waitMs; t += stepMs) {
        Physics::Step(world, stepMs);
    }
    // A held rocket has mass 0 and does not move; RunShot holds it again itself.
    world.level.Objects[1].Mass = mass;
    return world.level.Objects;
}

float AngleAfterUpPresses(std::uint32_t presses)
{
    float angle = 0.0f;
    for (std::uint32_t i = 0; i < presses; ++i) {
        angle = angle + 0.0125f;
        if (angle > 6.283184f) {
            angle = angle - 6.283184f;
        }
    }
    return angle;
}

float AngleAfterDownPresses(std::uint32_t presses)
{
    float angle = 0.0f;
    for (std::uint32_t i = 0; i < presses; ++i) {
        angle = angle - 0.0125f;
        if (angle < 0.0f) {
            angle = angle + 6.283184f;
        }
    }
    return angle;
}

std::uint32_t DownPressesNear(std::uint32_t up, float& angle)
{
    const float target = AngleAfterUpPresses(up);
    // A full turn is 502.65 presses, so the nearest lies at 502 - up or 503 - up.
    std::uint32_t best = 0;
    float bestAngle = 0.0f;
    float bestGap = 1e9f;
    for (std::uint32_t d = up <= 503 ? 502 - std::min<std::uint32_t>(up, 502) : 0;
         d <= 503 - std::min<std::uint32_t>(up, 503); ++d) {
        const float a = AngleAfterDownPresses(d);
        const float gap = std::fabs(a - target);
        if (gap < bestGap) {
            best = d;
            bestAngle = a;
            bestGap = gap;
        }
    }
    angle = bestAngle;
    return best;
}

std::string PressesText(const Presses& presses)
{
    std::string text;
    auto add = [&](const char* key, std::uint32_t count) {
        if (count == 0) {
            return;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::string(key) + " x" + std::to_string(count);
    };
    add(presses.speed >= 0 ? "Shift+Right" : "Shift+Left", static_cast<std::uint32_t>(std::abs(presses.speed)));
    add("Shift+Up", presses.up);
    add("Shift+Down", presses.down);
    return text.empty() ? "no presses" : text;
}

bool ChooseExample(const std::vector<std::uint8_t>& both, const Grid& grid, float startSpeed, Example& example)
{
    const std::uint32_t speeds = grid.Speeds();
    const std::uint32_t angles = grid.Angles();
    if (both.size() < static_cast<std::size_t>(speeds) * angles) {
        return false;
    }
    auto wins = [&](std::uint32_t s, std::uint32_t a) { return both[static_cast<std::size_t>(s) * angles + a] != 0; };
    bool found = false;
    int bestNeighbours = -1;
    double bestPresses = 0.0;
    for (std::uint32_t s = 0; s < speeds; ++s) {
        for (std::uint32_t a = 0; a < angles; ++a) {
            if (!wins(s, a)) {
                continue;
            }
            int neighbours = 0;
            for (int ds = -1; ds <= 1; ++ds) {
                for (int da = -1; da <= 1; ++da) {
                    const int ns = static_cast<int>(s) + ds;
                    if ((ds == 0 && da == 0) || ns < 0 || ns >= static_cast<int>(speeds)) {
                        continue;
                    }
                    // The aim wraps round: the last angle lies next to 0.
                    const std::uint32_t na = static_cast<std::uint32_t>(static_cast<int>(a + angles) + da) % angles;
                    neighbours += wins(static_cast<std::uint32_t>(ns), na) ? 1 : 0;
                }
            }
            // The aim turns either way: Down from 0 wraps round to the top of the turn.
            const std::uint32_t up = grid.UpPresses(a);
            const double presses = std::fabs(grid.Speed(s) - startSpeed) / 2.5 + std::min(up, MaxUpPresses + 1 - up);
            if (!found || neighbours > bestNeighbours || (neighbours == bestNeighbours && presses < bestPresses)) {
                found = true;
                bestNeighbours = neighbours;
                bestPresses = presses;
                example = Example{s, a};
            }
        }
    }
    return found;
}

bool BestShot(const std::vector<std::uint8_t>& both, const Grid& grid, float startSpeed,
              const Level::ObjectTable (&held)[2], std::uint32_t N, Best& best, const std::atomic<bool>* cancel)
{
    if (!ChooseExample(both, grid, startSpeed, best.example)) {
        return false;
    }
    best.speed = grid.Speed(best.example.speed);
    best.angle = grid.Angle(best.example.angle);
    best.presses = Presses{};
    best.presses.speed = static_cast<std::int32_t>(std::lround((best.speed - startSpeed) / 2.5f));
    const std::uint32_t up = grid.UpPresses(best.example.angle);
    float downAngle = 0.0f;
    const std::uint32_t down = DownPressesNear(up, downAngle);
    bool downWins = false;
    if (up > 0 && down < up) {
        downWins =
            RunShot(held[0], N, StepMs[0], best.speed, downAngle, true, nullptr, cancel).outcome == Outcome::Won &&
            RunShot(held[1], N, StepMs[1], best.speed, downAngle, true, nullptr, cancel).outcome == Outcome::Won;
    }
    if (downWins) {
        best.presses.down = down;
        best.angle = downAngle;
    } else {
        best.presses.up = up;
    }
    return cancel == nullptr || !cancel->load();
}

namespace {

struct Row {
    std::uint32_t level;
    std::uint32_t step;  // index into StepMs
    std::uint32_t speed;
};

}  // namespace

GridResult SearchGrid(const std::vector<Held>& levels, const Grid& grid, bool earlyStops, unsigned jobs,
                      Control& control, const std::function<void()>& tick, std::chrono::milliseconds every)
{
    GridResult result;
    result.angles = grid.Angles();
    result.perStep = static_cast<std::size_t>(grid.Shots());
    result.outcome.assign(levels.size() * 2 * result.perStep, static_cast<std::uint8_t>(Outcome::Flying));
    result.steps.assign(levels.size(), 0);
    std::vector<Row> rows;
    for (std::uint32_t l = 0; l < levels.size(); ++l) {
        for (std::uint32_t step = 0; step < 2 && levels[l].search; ++step) {
            for (std::uint32_t s = 0; s < grid.Speeds(); ++s) {
                rows.push_back(Row{l, step, s});
            }
        }
    }

    std::mutex lock;
    std::condition_variable finished;
    std::size_t running = 0;
    std::vector<std::vector<std::uint64_t>> steps;  // per thread, per level: no shared counter to fight over
    auto work = [&](std::vector<std::uint64_t>& mine) {
        for (;;) {
            if (control.cancel.load(std::memory_order_relaxed)) {
                return;
            }
            const std::uint32_t r = control.nextRow.fetch_add(1, std::memory_order_relaxed);
            if (r >= rows.size()) {
                return;
            }
            const Row& row = rows[r];
            const Held& level = levels[row.level];
            std::uint8_t* out = result.outcome.data() +
                                (static_cast<std::size_t>(row.level) * 2 + row.step) * result.perStep +
                                static_cast<std::size_t>(row.speed) * result.angles;
            for (std::uint32_t a = 0; a < result.angles; ++a) {
                const ShotResult shot = RunShot(level.held[row.step], level.N, StepMs[row.step], grid.Speed(row.speed),
                                                grid.Angle(a), earlyStops, nullptr, &control.cancel);
                out[a] = static_cast<std::uint8_t>(shot.outcome);
                mine[row.level] += shot.steps;
            }
            control.doneRows[row.level * 2 + row.step].fetch_add(1, std::memory_order_relaxed);
        }
    };

    jobs = std::max(1u, jobs);
    steps.assign(jobs, std::vector<std::uint64_t>(levels.size(), 0));
    std::vector<std::thread> threads;
    for (unsigned j = 0; j < jobs; ++j) {
        {
            std::lock_guard g(lock);
            ++running;
        }
        try {
            threads.emplace_back([&, j] {
                work(steps[j]);
                std::lock_guard g(lock);
                --running;
                finished.notify_all();
            });
        } catch (const std::system_error&) {
            std::lock_guard g(lock);
            --running;
            break;  // fewer threads, or none: the calling thread does the work then
        }
    }
    if (threads.empty()) {
        work(steps[0]);
    }
    {
        std::unique_lock g(lock);
        while (running > 0) {
            if (tick) {
                g.unlock();
                tick();
                g.lock();
            }
            finished.wait_for(g, every);
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const auto& mine : steps) {
        for (std::size_t l = 0; l < levels.size(); ++l) {
            result.steps[l] += mine[l];
        }
    }
    result.complete = !control.cancel.load() && control.nextRow.load() >= rows.size();
    if (tick) {
        tick();
    }
    return result;
}

}  // namespace Search
