// Fuzzes the PDF layer's drawing-instruction reader with streams of any bytes fed in pieces of any
// size: whatever the pieces, the same draws, and no draw without a finite transformation.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "preflight/pdf_content.h"

namespace {

class Sink final : public pelmora::preflight::ContentSink {
 public:
  void Draw(std::string_view name, const pelmora::preflight::Matrix& m) override { Note(std::string(name), m); }
  void DrawInline(const pelmora::preflight::InlineImage& image, const pelmora::preflight::Matrix& m) override {
    Note("BI" + std::to_string(image.width) + "x" + std::to_string(image.height), m);
  }
  std::string drawn;

 private:
  void Note(const std::string& what, const pelmora::preflight::Matrix& m) {
    if (!std::isfinite(m.a) || !std::isfinite(m.b) || !std::isfinite(m.c) || !std::isfinite(m.d)) std::abort();
    if (drawn.size() < 65536) drawn += what + "\n";
  }
};

struct Result {
  std::string drawn;
  pelmora::preflight::ContentSummary summary;
};

Result Run(const std::string& content, std::size_t piece, std::uint64_t maxOperators) {
  Sink sink;
  pelmora::preflight::ContentBudget budget;
  budget.maxOperators = maxOperators;
  pelmora::preflight::ContentInterpreter interpreter(sink, {}, budget);
  for (std::size_t at = 0; at < content.size(); at += piece) interpreter.Feed(std::string_view(content).substr(at, piece));
  interpreter.Finish();
  if (interpreter.summary().text.size() > pelmora::preflight::ContentSummary::kTextKept) std::abort();
  return {sink.drawn, interpreter.summary()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::size_t piece = in.ConsumeIntegralInRange<std::size_t>(1, 64);
  const std::uint64_t maxOperators = in.ConsumeIntegralInRange<std::uint64_t>(1, 10000);
  const std::string content = in.ConsumeRemainingBytesAsString();
  const Result whole = Run(content, content.size() + 1, maxOperators);
  const Result pieces = Run(content, piece, maxOperators);
  if (whole.drawn != pieces.drawn || whole.summary.painted != pieces.summary.painted ||
      whole.summary.textShown != pieces.summary.textShown || whole.summary.text != pieces.summary.text ||
      whole.summary.cut != pieces.summary.cut) {
    std::abort();
  }
  return 0;
}
