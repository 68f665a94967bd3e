// Fuzzes the XMP packet's search and reading: the packet found in fuzzed pieces (lent or read,
// with a failing read) is the one found in the bytes at once, and reading any packet stays
// within its bounds: finite sizes, no empty names.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analysis/run_error.h"
#include "analysis/xmp_packet.h"
#include "memory_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora::analysis;
  FuzzedDataProvider in(data, size);
  const auto piece = in.ConsumeIntegralInRange<std::size_t>(1, 1 << 16);
  const bool lend = in.ConsumeBool();
  const int failing = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 16) : -1;
  const auto limit = in.ConsumeIntegralInRange<std::size_t>(16, 1 << 16);
  const std::string doc = in.ConsumeRemainingBytesAsString();

  auto& d = pelmora::fuzz::Doc();
  d = {};
  d.bytes = doc;
  d.piece = piece;
  d.lend = lend;
  d.failing_read = failing;
  const auto previous = SetDocumentOpener(&pelmora::fuzz::OpenMemory);
  std::optional<XmpPacket> read;
  bool failed = false;
  try {
    read = FindXmpPacket("fuzz.ai", doc.size() + 1, limit);
  } catch (const pelmora::RunError&) {
    failed = true;
  }
  SetDocumentOpener(previous);
  if (failed != d.failed) std::abort();
  const std::optional<XmpPacket> whole = FindXmpPacketIn(doc, limit);
  if (!failed) {
    if (read.has_value() != whole.has_value()) std::abort();
    if (read && (read->text != whole->text || read->tooLong != whole->tooLong)) std::abort();
  }
  const XmpFacts f = ReadXmp(whole ? whole->text : doc);
  if (f.widthMm && !(std::isfinite(*f.widthMm) && std::isfinite(*f.heightMm))) std::abort();
  for (const std::string& font : f.fonts) {
    if (font.empty()) std::abort();
  }
  for (const XmpFacts::Link& l : f.links) {
    if (l.path.empty()) std::abort();
  }
  return 0;
}
