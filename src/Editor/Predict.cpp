// The flight the editor draws: the rocket launched as kor-sim launches it, stepped at the
// game's 10 ms in a world of its own; on the editor's own thread for its tests and tools, and
// on a thread of its own while the editor runs, so that a heavy level never holds up a frame.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Editor/Editor.hpp"
#include "Physics/World.hpp"

namespace Editor {

namespace {

// Steps the flight of `table`, handing every position to `step` until it returns false.
// The ending, or Flying when stopped or still in the air after 30 s.
template <typename StepFn>
Ending Fly(const Level::Table& table, float speed, float angle, StepFn step)
{
    Physics::World world;
    world.level = table;
    Physics::Hold(world);
    Physics::Release(world);
    Physics::Shoot(world, speed, angle);
    for (std::uint32_t k = 0; k < PredictSteps; ++k) {
        Physics::Step(world, PredictStepMs);
        if (!step(world.level.Objects[1].Position)) return Ending::Flying;
        // A step that ends both lost and won counts as won, as in the game.
        if (world.GameWon) return Ending::Won;
        if (world.GameOver) return Ending::Crashed;
    }
    return Ending::Flying;
}

// Steps computed between two handings to the window's thread: a few milliseconds on the
// heaviest level, so the path grows visibly frame by frame.
constexpr std::uint32_t StepsPerHanding = 25;

}  // namespace

Prediction Predict(const Level::File& level, float speed, float angle)
{
    Prediction p;
    if (level.sections.size() < 2) return p;  // no black hole or no rocket: nothing flies
    p.path.reserve(PredictSteps);
    p.ending = Fly(Level::TableOf(level), speed, angle, [&](const Level::VECTOR& v) {
        p.path.push_back(v);
        return true;
    });
    return p;
}

struct Predictor::State {
    std::mutex lock;
    std::condition_variable wake;
    // The newest flight asked for, and the worker's output for it.
    std::uint64_t generation = 0;
    Level::Table table{};
    bool flies = false;
    float speed = 0.0f, angle = 0.0f;
    std::vector<Level::VECTOR> path;
    std::uint64_t pathGeneration = 0;  // the flight `path` belongs to
    Ending ending = Ending::Flying;
    bool done = false;
    bool stopping = false;
    std::atomic<std::uint64_t> wanted{0};  // read by the worker between steps, to give up early
    std::thread worker;
};

Predictor::Predictor() : state_(std::make_unique<State>())
{
    state_->worker = std::thread([s = state_.get()] {
        std::uint64_t seen = 0;
        std::vector<Level::VECTOR> batch;
        for (;;) {
            Level::Table table;
            float speed = 0.0f, angle = 0.0f;
            bool flies = false;
            {
                std::unique_lock guard(s->lock);
                s->wake.wait(guard, [&] { return s->stopping || s->generation != seen; });
                if (s->stopping) return;
                seen = s->generation;
                table = s->table;
                flies = s->flies;
                speed = s->speed;
                angle = s->angle;
            }
            // Hands over what the batch holds; false when a newer flight was asked for.
            const auto hand = [&](bool done, Ending ending) {
                std::lock_guard guard(s->lock);
                if (s->generation != seen) return false;
                s->path.insert(s->path.end(), batch.begin(), batch.end());
                s->done = done;
                s->ending = ending;
                batch.clear();
                return true;
            };
            batch.clear();
            Ending ending = Ending::Flying;
            if (flies) {
                ending = Fly(table, speed, angle, [&](const Level::VECTOR& v) {
                    batch.push_back(v);
                    if (batch.size() < StepsPerHanding) return true;
                    return s->wanted.load(std::memory_order_relaxed) == seen && hand(false, Ending::Flying);
                });
            }
            if (s->wanted.load() == seen) hand(true, ending);
        }
    });
}

Predictor::~Predictor()
{
    {
        std::lock_guard guard(state_->lock);
        state_->stopping = true;
        state_->wanted.store(~std::uint64_t{0});
    }
    state_->wake.notify_all();
    state_->worker.join();
}

void Predictor::Start(const Level::File& level, float speed, float angle)
{
    {
        std::lock_guard guard(state_->lock);
        ++state_->generation;
        state_->wanted.store(state_->generation);
        state_->flies = level.sections.size() >= 2;  // no black hole or no rocket: nothing flies
        if (state_->flies) Level::ToTable(level, state_->table);
        state_->speed = speed;
        state_->angle = angle;
        state_->path.clear();
        state_->pathGeneration = state_->generation;
        state_->ending = Ending::Flying;
        state_->done = false;
    }
    state_->wake.notify_one();
}

bool Predictor::Take(Prediction& p)
{
    std::lock_guard guard(state_->lock);
    State& s = *state_;
    const bool fresh = taken_ != s.pathGeneration;
    if (!fresh && p.path.size() == s.path.size() && p.done == s.done) return false;
    if (fresh) p.path.clear();
    taken_ = s.pathGeneration;
    p.path.insert(p.path.end(), s.path.begin() + static_cast<std::ptrdiff_t>(std::min(p.path.size(), s.path.size())),
                  s.path.end());
    p.ending = s.ending;
    p.done = s.done;
    return true;
}

void Predictor::Wait(Prediction& p)
{
    while (Take(p), !p.done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace Editor
