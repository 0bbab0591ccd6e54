// The physical floor under any full-frame operation: one 1024 x 768 x 4-byte memcpy.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace bench {

// Median of 101 copies, in nanoseconds; measured once per process.
inline double MemcpyReferenceNs()
{
    static const double ns = [] {
        constexpr std::size_t pixels = 1024 * 768;
        std::vector<std::uint32_t> a(pixels, 1), b(pixels, 2);
        std::vector<double> runs;
        for (int i = 0; i < 101; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            std::memcpy(b.data(), a.data(), a.size() * 4);
            benchmark::ClobberMemory();
            runs.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count());
        }
        std::nth_element(runs.begin(), runs.begin() + 50, runs.end());
        return runs[50];
    }();
    return ns;
}

}  // namespace bench
