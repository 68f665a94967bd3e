// pelmora-scan over a delivery of 1,000 small documents, against reading every one of them once,
// timed in the same iterations; and --check on a 100 MB PDF-based .ai against reading it once and
// inflating its native data once with the same zlib. Wall clock: "ratio" is the scan's total time
// over the baseline's total (the mean ratio), "ratio_min" the fastest iteration of each, which a
// busy machine disturbs least.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string_view>
#include <vector>

#include "cli/scan_run.h"
#include "documents.h"
#include "large_ai.h"
#include "paired_timing.h"

namespace {

namespace fs = std::filesystem;

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
  std::vector<fs::path> args;
  if (*mode) args.emplace_back(mode);
  args.push_back(folder);
  const int expected = std::string_view(mode) == "--check" ? pelmora::cli::kExitFindings : pelmora::cli::kExitAllAnalysed;
  pelmora::bench::TimeAgainst(
      state, "read", "the scan failed",
      [&] {
        NullConsole console;
        const int status = pelmora::cli::RunScan(args, console);
        benchmark::DoNotOptimize(console.bytes);
        return status == expected;
      },
      [&] { benchmark::DoNotOptimize(ReadAll(files)); });
  state.counters["documents"] = benchmark::Counter(static_cast<double>(files.size()));
}

// --check reads the document's header, XMP packet and native data; the baseline reads the file
// once and inflates the native data, already in memory, once.
void CheckLargeIllustrator(benchmark::State& state, const fs::path& document, const std::string& native) {
  const std::vector<fs::path> args = {"--check", document};
  pelmora::bench::TimeAgainst(
      state, "baseline", "the check failed",
      [&] {
        NullConsole console;
        return pelmora::cli::RunScan(args, console) == pelmora::cli::kExitFindings;
      },
      [&] {
        benchmark::DoNotOptimize(pelmora::bench::PlainRead(document, std::numeric_limits<std::uint64_t>::max()));
        benchmark::DoNotOptimize(pelmora::bench::Inflate(native));
      });
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
