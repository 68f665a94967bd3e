// Fuzzes the native-data reader. The input is native text; it is scanned as it is, compressed with
// zlib behind Illustrator's marker, and wrapped into a PDF-based document whose /AIPrivateData
// blocks come in a fuzzed order, read in fuzzed pieces: all three must give the same facts, within
// the bounds. Raw inputs also go to the document reader as they are, where only the bounds and
// the absence of crashes are checked.
#include <fuzzer/FuzzedDataProvider.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/run_error.h"
#include "memory_document.h"
#include "preflight/native_data.h"

namespace {

using namespace pelmora::preflight;

void Check(bool ok) {
  if (!ok) std::abort();
}

void Bounded(const NativeFacts& f) {
  Check(f.fonts.size() <= kNativeNames && f.spotColours.size() <= kNativeNames && f.includedFonts.size() <= kNativeNames);
  Check(f.placements.size() <= kNativePlacements);
  Check(f.bodyColourants.size() <= kNativeNames && f.artboards.size() <= kNativeArtboards);
  for (const auto& a : f.artboards) Check(std::isfinite(a[0]) && a[0] >= 0 && std::isfinite(a[1]) && a[1] >= 0);
  Check(f.decodedBytes <= kNativeDecodedBytes + (1 << 20));
  for (const NativePlacement& p : f.placements) {
    if (p.widthPt) Check(std::isfinite(*p.widthPt) && *p.widthPt > 0 && std::isfinite(*p.heightPt) && *p.heightPt > 0);
  }
}

bool SameFacts(const NativeFacts& a, const NativeFacts& b) {
  if (a.fonts != b.fonts || a.colourModel != b.colourModel || a.cropmarks != b.cropmarks || a.spotColours != b.spotColours ||
      a.artRead != b.artRead || a.headerRead != b.headerRead || a.placements.size() != b.placements.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.placements.size(); ++i) {
    if (a.placements[i].name != b.placements[i].name || a.placements[i].widthPt != b.placements[i].widthPt) return false;
  }
  return true;
}

// Illustrator's order (1, 10, 11, ..., 2, ...), or a fuzzed one, which may need more passes than
// the reader allows: then it may only be cut short, never wrong.
std::string Pdf(const std::string& data, std::size_t block, bool shuffle, FuzzedDataProvider& in) {
  std::vector<std::string> blocks;
  for (std::size_t i = 0; i < data.size(); i += block) blocks.push_back(data.substr(i, block));
  std::vector<std::size_t> order(blocks.size());
  std::iota(order.begin(), order.end(), 1);
  if (shuffle) {
    for (std::size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[in.ConsumeIntegralInRange<std::size_t>(0, i - 1)]);
  } else {
    std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) { return std::to_string(a) < std::to_string(b); });
  }
  std::string pdf = "%PDF-1.6\r1 0 obj\r<</Private 2 0 R>>\rendobj\r2 0 obj\r<<";
  for (std::size_t i = 0; i < order.size(); ++i) pdf += "/AIPrivateData" + std::to_string(order[i]) + " " + std::to_string(10 + i) + " 0 R";
  pdf += ">>\rendobj\r";
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string& b = blocks[order[i] - 1];
    pdf += std::to_string(10 + i) + " 0 obj\r<</Length " + std::to_string(b.size()) + ">>stream\r\n" + b + "\rendstream\rendobj\r";
  }
  return pdf + "%%EOF\r";
}

NativeFacts Read(const std::string& bytes, std::size_t piece, bool lend, int failingRead, bool& failed) {
  auto& d = pelmora::fuzz::Doc();
  d = {};
  d.bytes = bytes;
  d.piece = piece;
  d.lend = lend;
  d.failing_read = failingRead;
  const auto previous = pelmora::analysis::SetDocumentOpener(&pelmora::fuzz::OpenMemory);
  NativeFacts f;
  failed = false;
  try {
    f = ReadNativeData("fuzz.ai");
  } catch (const pelmora::RunError&) {
    failed = true;
  }
  pelmora::analysis::SetDocumentOpener(previous);
  Check(failed == d.failed);
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const bool raw = in.ConsumeBool();
  const auto piece = in.ConsumeIntegralInRange<std::size_t>(1, 1 << 16);
  const bool lend = in.ConsumeBool();
  const int failing = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 64) : -1;
  const auto block = in.ConsumeIntegralInRange<std::size_t>(1, 4096);
  const std::string text = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, 1 << 16));
  bool failed = false;
  if (raw) {
    const NativeFacts f = Read(text, piece, lend, failing, failed);
    Bounded(f);
    // Any pieces give the colour spaces the whole does, and the same artboards.
    bool wholeFailed = false;
    const NativeFacts whole = Read(text, text.size() + 1, true, -1, wholeFailed);
    Check(!wholeFailed);
    if (!failed) Check(whole.bodyColourants == f.bodyColourants && whole.artboards == f.artboards && whole.bleed == f.bleed);
    return 0;
  }
  // A text with a marker of its own would be read from that marker on.
  if (text.find("%AI12_CompressedData") != std::string::npos || text.find("%AI24_ZStandard_Data") != std::string::npos) return 0;
  const NativeFacts plain = ScanNativeText(text);
  Bounded(plain);
  uLongf n = compressBound(static_cast<uLong>(text.size()));
  std::string packed(n, '\0');
  if (compress(reinterpret_cast<Bytef*>(packed.data()), &n, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size())) != Z_OK) return 0;
  packed.resize(n);
  const std::string native = "%AI12_CompressedData" + packed;
  const NativeFacts inflated = ScanNativeText(native);
  Check(!inflated.damaged && inflated.format == NativeFormat::kZlib && inflated.decodedBytes == text.size());
  Check(SameFacts(plain, inflated));
  const bool shuffle = in.ConsumeBool();
  const NativeFacts read = Read(Pdf(native, block, shuffle, in), piece, lend, failing, failed);
  Bounded(read);
  if (!failed && !(shuffle && read.damaged)) Check(!read.damaged && SameFacts(plain, read));
  return 0;
}
