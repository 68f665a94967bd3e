#pragma once
// The fuzz input as a document behind the replaceable opener: reads in pieces of a chosen size,
// and optionally a failing read, so that buffer edges and failures are fuzzed with the content.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/document_file.h"
#include "analysis/run_error.h"

namespace pelmora::fuzz {

struct MemoryDocument {
  std::string bytes;
  std::size_t piece = 1;
  bool lend = false;  // the reader lends the bytes instead, as one holding them in memory does
  int failing_read = -1;  // counted over all opens
  int reads = 0;
  bool failed = false;
};

inline MemoryDocument& Doc() {
  static MemoryDocument doc;
  return doc;
}

class MemoryReader final : public analysis::DocumentReader {
 public:
  std::size_t Read(char* buffer, std::size_t size) override {
    MemoryDocument& d = Doc();
    if (d.reads++ == d.failing_read) {
      d.failed = true;
      throw RunError(err::kDeviceIoError);
    }
    const std::size_t n = std::min({size, d.piece, d.bytes.size() - pos_});
    std::memcpy(buffer, d.bytes.data() + pos_, n);
    pos_ += n;
    return n;
  }

  std::optional<std::string_view> Lend() override {
    MemoryDocument& d = Doc();
    if (!d.lend) return std::nullopt;
    const std::string_view rest = std::string_view(d.bytes).substr(pos_);
    pos_ = d.bytes.size();
    return rest;
  }

 private:
  std::size_t pos_ = 0;
};

inline std::unique_ptr<analysis::DocumentReader> OpenMemory(const analysis::DocumentPath&) {
  return std::make_unique<MemoryReader>();
}

}  // namespace pelmora::fuzz
