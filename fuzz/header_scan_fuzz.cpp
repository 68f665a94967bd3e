// Fuzzes the header scan against a plain character-by-character reading of the same rules, with
// random window sizes, read pieces and failing reads. Runs of one byte can be blown up inside the
// input so that small inputs still reach the buffer size, the header cap and the long values.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "analysis/header_scan.h"
#include "memory_document.h"

namespace {

using pelmora::fuzz::Doc;

bool Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// The window as the byte offsets of its characters, plus the end of its last one.
struct Window {
  const std::string& doc;
  std::vector<std::size_t> at;
  std::size_t size() const { return at.size() - 1; }
  std::size_t Len(std::size_t c) const { return at[c + 1] - at[c]; }
  char Byte(std::size_t c) const { return doc[at[c]]; }
};

Window Characters(const std::string& doc, std::int64_t limit) {
  Window w{doc, {}};
  std::size_t i = 0;
  for (; i < doc.size() && static_cast<std::int64_t>(w.at.size()) < limit;) {
    w.at.push_back(i);
    i += (Lead(doc[i]) && i + 1 < doc.size() && Trail(doc[i + 1])) ? 2 : 1;
  }
  w.at.push_back(i);
  return w;
}

std::size_t Find(const Window& w, std::string_view marker) {
  for (std::size_t c = 0; c + marker.size() <= w.size(); ++c) {
    std::size_t k = 0;
    while (k < marker.size() && w.Len(c + k) == 1 && Lower(w.Byte(c + k)) == Lower(marker[k])) ++k;
    if (k == marker.size()) return c;
  }
  return std::string::npos;
}

std::size_t LineEnd(const Window& w, std::size_t from) {
  for (std::size_t c = from; c < w.size(); ++c) {
    if (w.Byte(c) == '\r' || w.Byte(c) == '\n') return c;
  }
  return std::string::npos;
}

std::string Join(const Window& w, std::size_t from, std::size_t to) { return w.doc.substr(w.at[from], w.at[to] - w.at[from]); }

std::string Trim(std::string s) {
  s.erase(0, s.find_first_not_of(' '));
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// The value after a marker, up to the first CR or LF, when at least one character stands there.
std::optional<std::string> Value(const Window& w, std::string_view marker) {
  const std::size_t at = Find(w, marker);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t s = at + marker.size(), e = LineEnd(w, s);
  if (e == std::string::npos || e == s) return std::nullopt;
  return Join(w, s, e);
}

struct Result {
  std::optional<std::string> creator;
  std::string version, kind, header;
  bool operator==(const Result&) const = default;
};

Result Expected(const std::string& doc, std::int32_t limit, const std::string& previous) {
  Result r{std::nullopt, "", "", previous};
  const Window w = Characters(doc, limit);
  const std::size_t ps = Find(w, "%!PS-Adobe");
  if (ps == std::string::npos) return r;
  if (const auto rest = Value(w, "%!PS-Adobe")) {
    r.kind = Find(Characters(*rest, INT64_MAX), "EPSF") != std::string::npos ? "EPS" : "AI";
    const std::size_t s = ps + 10;
    r.header = Join(w, s, std::min(w.size(), s + pelmora::analysis::kHeaderTextChars));
  }
  if (const auto v = Value(w, "%%AI8_CreatorVersion:")) r.version = Trim(*v);
  if (const auto c = Value(w, "%%Creator:")) r.creator = Trim(*c);
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const auto piece = in.ConsumeIntegralInRange<std::size_t>(1, 1 << 19);
  const bool lend = in.ConsumeBool();
  const bool fail = in.ConsumeBool();
  const int failing_read = in.ConsumeIntegralInRange<int>(0, 64);
  const bool blow_up = in.ConsumeBool();
  const auto blow_at = in.ConsumeIntegral<std::uint32_t>();
  const auto blow_len = in.ConsumeIntegralInRange<std::size_t>(0, 300000);
  const auto window_pick = in.ConsumeIntegral<std::uint32_t>();
  std::string doc = in.ConsumeRemainingBytesAsString();
  if (blow_up && !doc.empty()) {
    const std::size_t at = blow_at % doc.size();
    doc.insert(at, blow_len, doc[at]);
  }
  // Mostly windows within the document, so that its end falls inside it; sometimes huge ones.
  const std::int32_t window = (window_pick & 0x80000000u)
                                  ? static_cast<std::int32_t>(window_pick & 0x7FFFFFFF)
                                  : static_cast<std::int32_t>(window_pick % (doc.size() + 2));

  auto& d = Doc();
  d = {};
  d.bytes = doc;
  d.piece = piece;
  d.lend = lend;
  d.failing_read = fail ? failing_read : -1;
  const auto previous = pelmora::analysis::SetDocumentOpener(&pelmora::fuzz::OpenMemory);
  Result got{std::nullopt, "stale", "stale", "previous"};
  got.creator = pelmora::analysis::ScanHeader("fuzz.eps", window, got.version, got.kind, got.header);
  pelmora::analysis::SetDocumentOpener(previous);

  const Result want = d.failed ? Result{std::nullopt, "", "", "previous"} : Expected(doc, window, "previous");
  if (!(got == want)) std::abort();
  return 0;
}
