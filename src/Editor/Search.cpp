// The background search: kor-levelcheck's grid of shots under both step sizes, on worker
// threads, given up and begun anew whenever the level changes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Editor/Editor.hpp"
#include "EditorInternal.hpp"
#include "LevelCheck.hpp"

namespace Editor {

namespace {

using LevelCheck::StepMs;

// One search of one state of the level. Workers take rows (one step size, one speed, every
// angle) until none is left or the job is cancelled.
struct Job {
    Physics::Level level;
    float startSpeed = 150.0f;
    LevelCheck::Grid grid;
    std::atomic<bool> cancel{false};
    std::atomic<std::uint32_t> nextRow{0};
    std::atomic<std::uint32_t> rowsDone{0};
    std::atomic<std::uint32_t> shotsDone{0};
    std::atomic<std::uint32_t> wins[2] = {0, 0};
    std::vector<std::uint8_t> outcome[2];  // per shot; each written by one worker
    SearchResult summary;                  // set by the worker that ends the last row
    std::atomic<bool> done{false};

    std::uint32_t Rows() const { return 2 * grid.Speeds(); }
};

void Summarise(Job& job)
{
    SearchResult& r = job.summary;
    const LevelCheck::Grid& grid = job.grid;
    const std::size_t shots = grid.Shots();
    r.speeds = grid.Speeds();
    r.angles = grid.Angles();
    r.shots = static_cast<std::uint32_t>(2 * shots);
    r.shotsDone = r.shots;
    r.wins[0] = job.wins[0].load();
    r.wins[1] = job.wins[1].load();
    std::vector<std::uint8_t> both(shots, 0);
    r.map.assign(shots, 0);
    const auto won = static_cast<std::uint8_t>(LevelCheck::Outcome::Won);
    const auto lost = static_cast<std::uint8_t>(LevelCheck::Outcome::Lost);
    for (std::size_t i = 0; i < shots; ++i) {
        const bool fine = job.outcome[0][i] == won, coarse = job.outcome[1][i] == won;
        both[i] = fine && coarse ? 1 : 0;
        r.bothWins += both[i];
        const bool crash = job.outcome[0][i] == lost || job.outcome[1][i] == lost;
        r.map[i] = static_cast<std::uint8_t>((fine ? 1 : 0) | (coarse ? 2 : 0));
        if (r.map[i] == 0 && crash) r.map[i] = 4;
    }
    LevelCheck::Example example;
    r.hasBest = LevelCheck::ChooseExample(both, grid, job.startSpeed, example);
    if (r.hasBest) {
        // As kor-levelcheck gives it: Down presses when that way is shorter and still wins.
        LevelCheck::Presses presses;
        r.bestSpeed = grid.Speed(example.speed);
        r.bestAngle = grid.Angle(example.angle);
        presses.speed = static_cast<std::int32_t>(std::lround((r.bestSpeed - job.startSpeed) / 2.5f));
        const std::uint32_t up = grid.UpPresses(example.angle);
        float downAngle = 0.0f;
        const std::uint32_t down = LevelCheck::DownPressesNear(up, downAngle);
        bool downWins = false;
        if (up > 0 && down < up && !job.cancel.load()) {
            downWins =
                RunOneShot(job.level, StepMs[0], r.bestSpeed, downAngle, &job.cancel) == LevelCheck::Outcome::Won &&
                RunOneShot(job.level, StepMs[1], r.bestSpeed, downAngle, &job.cancel) == LevelCheck::Outcome::Won;
        }
        if (downWins) {
            presses.down = down;
            r.bestAngle = downAngle;
        } else {
            presses.up = up;
        }
        r.bestRecipe = LevelCheck::PressesText(presses);
    }
    r.done = true;
}

void Work(Job& job)
{
    const std::uint32_t angles = job.grid.Angles();
    const std::uint32_t speeds = job.grid.Speeds();
    for (;;) {
        const std::uint32_t row = job.nextRow.fetch_add(1);
        if (row >= job.Rows() || job.cancel.load()) return;
        const std::uint32_t step = row / speeds;  // the 20 ms rows after the 10 ms ones
        const std::uint32_t s = row % speeds;
        for (std::uint32_t a = 0; a < angles; ++a) {
            const LevelCheck::Outcome o =
                RunOneShot(job.level, StepMs[step], job.grid.Speed(s), job.grid.Angle(a), &job.cancel);
            if (job.cancel.load(std::memory_order_relaxed)) return;  // that shot was cut short
            job.outcome[step][static_cast<std::size_t>(s) * angles + a] = static_cast<std::uint8_t>(o);
            if (o == LevelCheck::Outcome::Won) job.wins[step].fetch_add(1);
            job.shotsDone.fetch_add(1, std::memory_order_relaxed);
        }
        if (job.rowsDone.fetch_add(1) + 1 == job.Rows()) {
            Summarise(job);
            job.done.store(true);
            job.done.notify_all();
        }
    }
}

}  // namespace

struct Search::State {
    std::mutex lock;
    std::condition_variable wake;
    std::shared_ptr<Job> job;  // the newest; workers keep their own reference while on it
    std::uint64_t generation = 0;
    bool stopping = false;
    std::vector<std::thread> workers;
};

Search::Search(unsigned workers) : state_(std::make_unique<State>())
{
    for (unsigned w = 0; w < std::max(1u, workers); ++w) {
        state_->workers.emplace_back([s = state_.get()] {
            std::uint64_t seen = 0;
            for (;;) {
                std::shared_ptr<Job> job;
                {
                    std::unique_lock guard(s->lock);
                    s->wake.wait(guard, [&] { return s->stopping || s->generation != seen; });
                    if (s->stopping) return;
                    seen = s->generation;
                    job = s->job;
                }
                if (job) Work(*job);
            }
        });
    }
}

Search::~Search()
{
    {
        std::lock_guard guard(state_->lock);
        state_->stopping = true;
        if (state_->job) state_->job->cancel.store(true);
    }
    state_->wake.notify_all();
    for (std::thread& t : state_->workers) t.join();
}

void Search::Start(const Level& level, float startSpeed)
{
    auto job = std::make_shared<Job>();
    job->level = Table(level);
    job->startSpeed = startSpeed;
    job->outcome[0].assign(job->grid.Shots(), 0);
    job->outcome[1].assign(job->grid.Shots(), 0);
    {
        std::lock_guard guard(state_->lock);
        if (state_->job) state_->job->cancel.store(true);
        state_->job = job;
        ++state_->generation;
    }
    state_->wake.notify_all();
}

void Search::Cancel()
{
    std::lock_guard guard(state_->lock);
    if (state_->job) state_->job->cancel.store(true);
    state_->job.reset();
}

SearchResult Search::Result() const
{
    std::shared_ptr<Job> job;
    {
        std::lock_guard guard(state_->lock);
        job = state_->job;
    }
    if (!job) return SearchResult{};
    if (job->done.load()) return job->summary;
    SearchResult r;
    r.shots = 2 * job->grid.Shots();
    r.shotsDone = job->shotsDone.load();
    r.wins[0] = job->wins[0].load();
    r.wins[1] = job->wins[1].load();
    return r;
}

void Search::Wait() const
{
    std::shared_ptr<Job> job;
    {
        std::lock_guard guard(state_->lock);
        job = state_->job;
    }
    while (job && !job->done.load() && !job->cancel.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace Editor
