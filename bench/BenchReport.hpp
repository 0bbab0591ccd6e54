// The figures of one run of kor_bench, gathered for the closing performance report.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace BenchReport {

// Seconds per iteration, by name: benchmarks store their own timed figures here, and every
// benchmark run is also stored under its own name.
std::map<std::string, double>& Figures();

// The text of a generated level of 2 to 101 bodies (GameBench.cpp).
std::string GeneratedLevel(int bodies);

// Runs the real program under its own X server and a game of level restarts in a child
// process, then prints the report. Returns false when a figure is out of bounds (a wait
// that takes a noticeable share of a core, memory that grows from restart to restart, a
// failed run). With framesAlone the frames at each scale are shown after the rest, so that
// their times are exact; otherwise beside it, sooner.
bool ProgramReport(const std::string& self, bool framesAlone);

// The child process's game of restarts (kor_bench --restart-game).
int RestartGame();

// The child process that shows game frames on $DISPLAY (kor_bench --show-frame SCALE FULL):
// prints "show MICROSECONDS_PER_FRAME PERCENT_OF_A_CORE".
int ShowFrame(std::uint32_t scale, bool fullscreen);

}  // namespace BenchReport
