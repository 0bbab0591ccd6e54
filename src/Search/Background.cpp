// The search in the background: kor-levelcheck's grid of shots under both step sizes, on
// worker threads, given up and begun anew whenever the level changes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Search/Search.hpp"

namespace Search {

namespace {

// One search of one state of the level. Workers take rows (one step size, one speed, every
// angle) until none is left or the job is cancelled.
struct Job {
    Level::Table level;
    Level::ObjectTable held[2]{};  // the level as launched: a shot holds the rocket itself
    float startSpeed = 150.0f;
    Grid grid;
    std::atomic<bool> cancel{false};
    std::atomic<std::uint32_t> nextRow{0};
    std::atomic<std::uint32_t> rowsDone{0};
    std::atomic<std::uint32_t> shotsDone{0};
    std::atomic<std::uint32_t> wins[2] = {0, 0};
    std::vector<std::uint8_t> outcome[2];  // per shot; each written by one worker
    Summary summary;                       // set by the worker that ends the last row
    std::atomic<bool> done{false};

    std::uint32_t Rows() const { return 2 * grid.Speeds(); }
};

void Summarise(Job& job)
{
    Summary& r = job.summary;
    const Grid& grid = job.grid;
    const std::size_t shots = grid.Shots();
    r.speeds = grid.Speeds();
    r.angles = grid.Angles();
    r.shots = static_cast<std::uint32_t>(2 * shots);
    r.shotsDone = r.shots;
    r.wins[0] = job.wins[0].load();
    r.wins[1] = job.wins[1].load();
    std::vector<std::uint8_t> both(shots, 0);
    r.map.assign(shots, 0);
    const auto won = static_cast<std::uint8_t>(Outcome::Won);
    const auto lost = static_cast<std::uint8_t>(Outcome::Lost);
    for (std::size_t i = 0; i < shots; ++i) {
        const bool fine = job.outcome[0][i] == won, coarse = job.outcome[1][i] == won;
        both[i] = fine && coarse ? 1 : 0;
        r.bothWins += both[i];
        const bool crash = job.outcome[0][i] == lost || job.outcome[1][i] == lost;
        r.map[i] = static_cast<std::uint8_t>((fine ? 1 : 0) | (coarse ? 2 : 0));
        if (r.map[i] == 0 && crash) r.map[i] = 4;
    }
    Best best;
    r.hasBest = BestShot(both, grid, job.startSpeed, job.held, job.level.N, best, &job.cancel);
    if (r.hasBest) {
        r.bestSpeed = best.speed;
        r.bestAngle = best.angle;
        r.bestRecipe = PressesText(best.presses);
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
            const Outcome o = RunShot(job.held[step], job.level.N, StepMs[step], job.grid.Speed(s), job.grid.Angle(a),
                                      true, nullptr, &job.cancel)
                                  .outcome;
            if (job.cancel.load(std::memory_order_relaxed)) return;  // that shot was cut short
            job.outcome[step][static_cast<std::size_t>(s) * angles + a] = static_cast<std::uint8_t>(o);
            if (o == Outcome::Won) job.wins[step].fetch_add(1);
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

struct Background::State {
    std::mutex lock;
    std::condition_variable wake;
    std::shared_ptr<Job> job;  // the newest; workers keep their own reference while on it
    std::uint64_t generation = 0;
    bool stopping = false;
    std::vector<std::thread> workers;
};

Background::Background(unsigned workers) : state_(std::make_unique<State>())
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

Background::~Background()
{
    {
        std::lock_guard guard(state_->lock);
        state_->stopping = true;
        if (state_->job) state_->job->cancel.store(true);
    }
    state_->wake.notify_all();
    for (std::thread& t : state_->workers) t.join();
}

void Background::Start(const Level::Table& level, float startSpeed)
{
    auto job = std::make_shared<Job>();
    job->level = level;
    job->held[0] = level.Objects;
    job->held[1] = level.Objects;
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

void Background::Cancel()
{
    std::lock_guard guard(state_->lock);
    if (state_->job) state_->job->cancel.store(true);
    state_->job.reset();
}

Summary Background::Result() const
{
    std::shared_ptr<Job> job;
    {
        std::lock_guard guard(state_->lock);
        job = state_->job;
    }
    if (!job) return Summary{};
    if (job->done.load()) return job->summary;
    Summary r;
    r.shots = 2 * job->grid.Shots();
    r.shotsDone = job->shotsDone.load();
    r.wins[0] = job->wins[0].load();
    r.wins[1] = job->wins[1].load();
    return r;
}

void Background::Wait() const
{
    std::shared_ptr<Job> job;
    {
        std::lock_guard guard(state_->lock);
        job = state_->job;
    }
    while (job && !job->done.load() && !job->cancel.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

}  // namespace Search
