// Fuzzes the header comments' reader: the same facts in any pieces, lent or read, and within the
// bounds (names per list, finite boxes) whatever the comments say.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analysis/dsc_comments.h"
#include "analysis/run_error.h"
#include "memory_document.h"

namespace {

pelmora::analysis::DscFacts Read(const std::string& doc, std::size_t piece, bool lend) {
  auto& d = pelmora::fuzz::Doc();
  d = {};
  d.bytes = doc;
  d.piece = piece;
  d.lend = lend;
  const auto previous = pelmora::analysis::SetDocumentOpener(&pelmora::fuzz::OpenMemory);
  auto f = pelmora::analysis::ReadDscComments("fuzz.eps");
  pelmora::analysis::SetDocumentOpener(previous);
  return f;
}

bool Same(const pelmora::analysis::DscFacts& a, const pelmora::analysis::DscFacts& b) {
  return a.header == b.header && a.illustrator == b.illustrator && a.fonts == b.fonts && a.neededFonts == b.neededFonts &&
         a.processColours == b.processColours && a.spotColours == b.spotColours && a.colourModel == b.colourModel &&
         a.boundingBox == b.boundingBox && a.hiResBoundingBox == b.hiResBoundingBox && a.files == b.files && a.cut == b.cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelmora::analysis;
  FuzzedDataProvider in(data, size);
  const auto piece = in.ConsumeIntegralInRange<std::size_t>(1, 1 << 16);
  const bool lend = in.ConsumeBool();
  const std::string doc = in.ConsumeRemainingBytesAsString();
  const DscFacts a = Read(doc, piece, lend);
  const DscFacts b = Read(doc, 1 << 20, false);
  if (!Same(a, b)) std::abort();
  for (const auto* list : {&a.fonts, &a.processColours, &a.spotColours, &a.files}) {
    if (list->size() > kDscNames) std::abort();
  }
  for (const auto& box : {a.boundingBox, a.hiResBoundingBox}) {
    if (box) {
      for (double v : *box) {
        if (!std::isfinite(v)) std::abort();
      }
    }
  }
  return 0;
}
