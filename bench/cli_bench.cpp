// pelmora-scan over a delivery of 1,000 small documents, against reading every one of them once,
// timed in the same iterations; and --check on a 100 MB PDF-based .ai against reading it once and
// inflating its native data once with the same zlib. Wall clock: "ratio" is the scan's total time
// over the baseline's total (the mean ratio), "ratio_min" the fastest iteration of each, which a
// busy machine disturbs least.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string_view>
#include <vector>

#include "cli/scan_run.h"
#include "documents.h"
#include "large_ai.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDocuments = 1000;

class NullConsole final : public pelmora::cli::Console {
 public:
  void Out(std::string_view s) override { bytes += s.size(); }
  void Err(std::string_view s) override { bytes += s.size(); }
  bool ErrIsTerminal() override { return false; }
  std::size_t bytes = 0;
};

// Small documents as a delivery has them: a header with creator, version and placed images, a
// body of drawing operators, between about 4 and 40 KB; every tenth is PDF-based.
std::vector<fs::path> MakeDelivery(const fs::path& folder) {
  std::vector<fs::path> files;
  fs::create_directories(folder);
  for (int i = 0; i < kDocuments; ++i) {
    const fs::path path = folder / ("doc" + std::to_string(1000 + i) + (i % 3 ? ".eps" : ".ai"));
    files.push_back(path);
    if (fs::exists(path)) continue;
    std::string s = i % 10 == 0 ? "%PDF-1.5\r%\xE2\xE3\xCF\xD3\r\n" : "";
    s += "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%AI8_CreatorVersion: 16.0.3\r\n";
    s += "%%DocumentFiles:C:\\work\\\x89\xe6\x91\x9c" + std::to_string(i) + ".psd\r\n%%+Macintosh HD:Links:b.tif\r\n";
    s += "%%BoundingBox: 0 0 595 842\r\n%%EndComments\r\n";
    const std::size_t size = 4096 + static_cast<std::size_t>(i % 37) * 1000;
    while (s.size() < size) s += "0 0 0 1 k\r\n123.456 789.012 m\r\n234.5 456.25 345.75 567.125 456.5 678.875 c\r\nf\r\n";
    std::ofstream(path, std::ios::binary) << s;
  }
  return files;
}

// The plain read at its fastest: open, read and close, into one page-aligned buffer.
std::uint64_t ReadAll(const std::vector<fs::path>& files) {
  std::uint64_t total = 0;
  for (const fs::path& f : files) total += pelmora::bench::PlainRead(f, std::numeric_limits<std::uint64_t>::max());
  return total;
}

// `mode` is "", "--json" or "--check" (the preflight; its documents all name missing images).
void ScanDelivery(benchmark::State& state, const fs::path& folder, const std::vector<fs::path>& files, const char* mode) {
  double scan = 0, read = 0, scanMin = 1e9, readMin = 1e9;
  std::int64_t n = 0;
  std::vector<fs::path> args;
  if (*mode) args.emplace_back(mode);
  args.push_back(folder);
  const bool check = std::string_view(mode) == "--check";
  for (auto _ : state) {
    // Alternate the order so that neither side always meets the other's cache state.
    const bool readFirst = (n++ % 2) == 0;
    double readS = 0;
    auto plainRead = [&] {
      const auto t = Clock::now();
      benchmark::DoNotOptimize(ReadAll(files));
      readS = std::chrono::duration<double>(Clock::now() - t).count();
    };
    if (readFirst) plainRead();
    NullConsole console;
    const auto t = Clock::now();
    const int status = pelmora::cli::RunScan(args, console);
    const double scanS = std::chrono::duration<double>(Clock::now() - t).count();
    if (!readFirst) plainRead();
    if (status != (check ? pelmora::cli::kExitFindings : pelmora::cli::kExitAllAnalysed)) {
      state.SkipWithError("the scan failed");
      break;
    }
    benchmark::DoNotOptimize(console.bytes);
    state.SetIterationTime(scanS);
    scan += scanS;
    read += readS;
    scanMin = std::min(scanMin, scanS);
    readMin = std::min(readMin, readS);
  }
  state.counters["read_ms"] = benchmark::Counter(read * 1e3 / static_cast<double>(n));
  state.counters["ratio"] = benchmark::Counter(read > 0 ? scan / read : 0);
  state.counters["ratio_min"] = benchmark::Counter(n > 0 ? scanMin / readMin : 0);
  state.counters["documents"] = benchmark::Counter(static_cast<double>(files.size()));
}

// --check reads the document's header, XMP packet and native data; the baseline reads the file
// once and inflates the native data, already in memory, once.
void CheckLargeIllustrator(benchmark::State& state, const fs::path& document, const std::string& native) {
  double scan = 0, base = 0, scanMin = 1e9, baseMin = 1e9;
  std::int64_t n = 0;
  const std::vector<fs::path> args = {"--check", document};
  for (auto _ : state) {
    const bool baseFirst = (n++ % 2) == 0;
    double baseS = 0;
    auto baseline = [&] {
      const auto t = Clock::now();
      benchmark::DoNotOptimize(pelmora::bench::PlainRead(document, std::numeric_limits<std::uint64_t>::max()));
      benchmark::DoNotOptimize(pelmora::bench::Inflate(native));
      baseS = std::chrono::duration<double>(Clock::now() - t).count();
    };
    if (baseFirst) baseline();
    NullConsole console;
    const auto t = Clock::now();
    const int status = pelmora::cli::RunScan(args, console);
    const double scanS = std::chrono::duration<double>(Clock::now() - t).count();
    if (!baseFirst) baseline();
    if (status != pelmora::cli::kExitFindings) {
      state.SkipWithError("the check failed");
      break;
    }
    state.SetIterationTime(scanS);
    scan += scanS;
    base += baseS;
    scanMin = std::min(scanMin, scanS);
    baseMin = std::min(baseMin, baseS);
  }
  state.counters["baseline_ms"] = benchmark::Counter(base * 1e3 / static_cast<double>(n));
  state.counters["ratio"] = benchmark::Counter(base > 0 ? scan / base : 0);
  state.counters["ratio_min"] = benchmark::Counter(n > 0 ? scanMin / baseMin : 0);
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = std::getenv("PELMORA_BENCH_DIR");
  static const fs::path folder = fs::path(dir != nullptr ? dir : fs::temp_directory_path() / "pelmora-bench") / "delivery";
  static const std::vector<fs::path> files = MakeDelivery(folder);
  benchmark::RegisterBenchmark("ScanDelivery/table", ScanDelivery, folder, files, "")
      ->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ScanDelivery/json", ScanDelivery, folder, files, "--json")
      ->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ScanDelivery/check", ScanDelivery, folder, files, "--check")
      ->UseManualTime()->Unit(benchmark::kMillisecond);
  static const fs::path large = pelmora::bench::LargeIllustrator(folder.parent_path(), 100);
  static const std::string native = pelmora::bench::NativeData(large);
  benchmark::RegisterBenchmark("CheckIllustrator/100MB", CheckLargeIllustrator, large, native)
      ->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
