// The whole analysis as the start-up runs it, against one plain read of the bytes it must cover,
// both timed in the same iterations; "ratio" is the analysis time over the plain read time. Both
// read from the page cache and so are CPU-bound: the ratio is taken from the thread's CPU time,
// which other processes on a shared machine disturb far less than the wall clock ("ratio_wall").
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "console_host.h"
#include "documents.h"

namespace {

using namespace pelmora::bench;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Analyse(benchmark::State& state, const BenchDocument& doc) {
  double analysis = 0, plain = 0, analysis_cpu = 0, plain_cpu = 0;
  std::int64_t n = 0;
  for (auto _ : state) {
    // Alternate the order so that neither side always meets the other's cache state.
    const bool plain_first = (n++ % 2) == 0;
    double read_s = 0, read_cpu = 0;
    auto plain_read = [&] {
      const auto t = Clock::now();
      const double c = CpuSeconds();
      for (std::uint64_t bytes : doc.plain_reads) benchmark::DoNotOptimize(PlainRead(doc.path, bytes));
      read_cpu = CpuSeconds() - c;
      read_s = std::chrono::duration<double>(Clock::now() - t).count();
    };
    if (plain_first) plain_read();
    ConsoleHost host(doc.path);
    const auto t = Clock::now();
    const double c = CpuSeconds();
    pelmora::launch::Main(host);
    const double cpu_s = CpuSeconds() - c;
    const double analysis_s = std::chrono::duration<double>(Clock::now() - t).count();
    if (!plain_first) plain_read();
    if (host.error != 0 || !host.message.empty()) {
      state.SkipWithError("the analysis failed");
      break;
    }
    benchmark::DoNotOptimize(host.result);
    state.SetIterationTime(analysis_s);
    analysis += analysis_s;
    plain += read_s;
    analysis_cpu += cpu_s;
    plain_cpu += read_cpu;
  }
  std::uint64_t bytes = 0;
  for (std::uint64_t b : doc.plain_reads) bytes += b;
  state.counters["plain_ms"] = benchmark::Counter(plain * 1e3 / static_cast<double>(n));
  state.counters["analysis_cpu_ms"] = benchmark::Counter(analysis_cpu * 1e3 / static_cast<double>(n));
  state.counters["ratio"] = benchmark::Counter(plain_cpu > 0 ? analysis_cpu / plain_cpu : 0);
  state.counters["ratio_wall"] = benchmark::Counter(plain > 0 ? analysis / plain : 0);
  state.counters["plain_MB"] = benchmark::Counter(static_cast<double>(bytes) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = std::getenv("PELMORA_BENCH_DIR");
  static const std::vector<BenchDocument> docs =
      MakeDocuments(dir != nullptr ? dir : std::filesystem::temp_directory_path() / "pelmora-bench");
  for (const BenchDocument& doc : docs) {
    benchmark::RegisterBenchmark(doc.name.c_str(), Analyse, doc)->UseManualTime()->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
