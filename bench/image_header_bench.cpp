// The headers of 1,000 linked images in a delivery (JPEG, TIFF with its directory at the end, PNG,
// PSD; a few hundred KB to a few MB each), read as the check reads them, against opening each file
// and reading its first 64 KiB, timed in the same iterations; "ratio" is headers over plain reads
// (the aim is at most 2), "ratio_min" the same for the fastest iteration of each.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "delivery/image_collect.h"
#include "base/text_utf8.h"
#include "documents.h"
#include "paired_timing.h"
#include "preflight/linked_files.h"

namespace {

namespace fs = std::filesystem;
using namespace pelmora;

constexpr int kImages = 1000;

// Four images written once with ImageMagick, each copied to a quarter of the delivery's names.
std::vector<fs::path> MakeImages(const fs::path& folder) {
  fs::create_directories(folder / "Links");
  const struct {
    const char* name;
    const char* args;
  } kinds[] = {{"photo.jpg", "-size 2000x1500 plasma:fractal -colorspace CMYK -quality 90 -density 350"},
               {"photo.tif", "-size 1200x900 plasma:fractal -compress LZW -density 300"},
               {"photo.png", "-size 1000x800 plasma:fractal -density 118 -units PixelsPerCentimeter"},
               {"photo.psd", "-size 1500x1000 plasma:fractal -colorspace CMYK -density 300"}};
  std::vector<fs::path> files;
  for (const auto& k : kinds) {
    const fs::path t = folder / k.name;
    if (!fs::exists(t)) {
      const std::string command = std::string("convert ") + k.args + " '" + t.string() + "'";
      if (std::system(command.c_str()) != 0) return {};
    }
  }
  for (int i = 0; i < kImages; ++i) {
    const auto& k = kinds[i % 4];
    const fs::path p = folder / "Links" / ("img" + std::to_string(1000 + i) + fs::path(k.name).extension().string());
    std::error_code ec;
    if (!fs::exists(p)) fs::copy_file(folder / k.name, p, ec);
    files.push_back(p);
  }
  return files;
}

std::uint64_t PlainReads(const std::vector<fs::path>& files) {
  std::uint64_t total = 0;
  for (const fs::path& f : files) total += pelmora::bench::PlainRead(f, preflight::kImageHeadBytes);
  return total;
}

void LinkedHeaders(benchmark::State& state, const fs::path& folder, const std::vector<fs::path>& files) {
  if (files.size() != kImages) {
    state.SkipWithError("the images could not be written (ImageMagick's convert)");
    return;
  }
  delivery::Delivery delivery;
  delivery.Add(folder);
  // One document linking every image, found in its Links folder.
  preflight::CheckFacts base;
  for (const fs::path& f : files) {
    base.links.push_back({f.filename().string(), delivery::ImageLocation::Status::kLinks, pelmora::base::PathText(f)});
  }
  std::size_t known = 0;
  pelmora::bench::TimeAgainst(
      state, "read", "some header was not read",
      [&] {
        preflight::CheckFacts facts = base;
        preflight::AddLinkedFiles(facts, [&](const preflight::CheckFacts::Link& l) { return preflight::OpenFound(delivery, l.found); });
        known = static_cast<std::size_t>(
            std::count_if(facts.placed.begin(), facts.placed.end(), [](const preflight::Placed& p) { return p.widthPx && p.color; }));
        return known == files.size();
      },
      [&] { benchmark::DoNotOptimize(PlainReads(files)); });
  state.counters["images"] = benchmark::Counter(static_cast<double>(known));
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = std::getenv("PELMORA_BENCH_DIR");
  static const fs::path folder = fs::path(dir != nullptr ? dir : fs::temp_directory_path() / "pelmora-bench") / "images";
  static const std::vector<fs::path> files = MakeImages(folder);
  benchmark::RegisterBenchmark("LinkedImages/headers", LinkedHeaders, folder, files)
      ->UseManualTime()->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
