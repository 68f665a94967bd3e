#pragma once
// A measured run against its baseline in every iteration, wall clock, in alternating order so that
// neither always meets the other's cache state. Counters: "<baseline>_ms" (the baseline's mean),
// "ratio" (total over total) and "ratio_min" (fastest over fastest).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

namespace pelmora::bench {

// `measured` returns false when its run failed, which ends the benchmark with that error.
template <typename Measured, typename Baseline>
void TimeAgainst(benchmark::State& state, const std::string& baselineName, const char* failure, Measured&& measured,
                 Baseline&& baseline) {
  using Clock = std::chrono::steady_clock;
  const auto seconds = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
  double run = 0, base = 0, runMin = 1e9, baseMin = 1e9;
  std::int64_t n = 0;
  for (auto _ : state) {
    const bool baseFirst = (n++ % 2) == 0;
    double baseS = 0;
    const auto timeBaseline = [&] {
      const auto t = Clock::now();
      baseline();
      baseS = seconds(t);
    };
    if (baseFirst) timeBaseline();
    const auto t = Clock::now();
    const bool ok = measured();
    const double runS = seconds(t);
    if (!baseFirst) timeBaseline();
    if (!ok) {
      state.SkipWithError(failure);
      break;
    }
    state.SetIterationTime(runS);
    run += runS;
    base += baseS;
    runMin = std::min(runMin, runS);
    baseMin = std::min(baseMin, baseS);
  }
  state.counters[baselineName + "_ms"] = benchmark::Counter(base * 1e3 / static_cast<double>(n));
  state.counters["ratio"] = benchmark::Counter(base > 0 ? run / base : 0);
  state.counters["ratio_min"] = benchmark::Counter(n > 0 ? runMin / baseMin : 0);
}

}  // namespace pelmora::bench
