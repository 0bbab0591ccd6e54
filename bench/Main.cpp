// kor_bench: the benchmarks, then the performance report (the program under its own X
// server, a game of restarts), in one run.
//
//   kor_bench [benchmark options]     everything
//   kor_bench --program-only          the program's figures alone (no benchmarks), side by side
//   kor_bench ... --check             exit status 1 when a figure is out of bounds
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchReport.hpp"

namespace {

// Keeps each run's time per iteration for the report, and prints as usual.
class Reporter : public benchmark::ConsoleReporter {
public:
    Reporter() : ConsoleReporter(isatty(1) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.iterations > 0 && run.run_type == Run::RT_Iteration)
                BenchReport::Figures()[run.benchmark_name()] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string Self()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--restart-game") == 0) return BenchReport::RestartGame();
    if (argc == 4 && std::strcmp(argv[1], "--show-frame") == 0)
        return BenchReport::ShowFrame(static_cast<std::uint32_t>(std::atoi(argv[2])), std::strcmp(argv[3], "1") == 0);
    bool programOnly = false, check = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--program-only") == 0) {
            programOnly = true;
        } else if (i > 0 && std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
    if (!programOnly) {
        Reporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    benchmark::Shutdown();
    const bool ok = BenchReport::ProgramReport(Self(), !programOnly);
    return check && !ok ? 1 : 0;
}
