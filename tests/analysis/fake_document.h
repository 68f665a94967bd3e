#pragma once
// An in-memory document behind the replaceable opener, for reads in odd pieces and for failures.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/document_file.h"
#include "analysis/run_error.h"

namespace pelmora::testing {

struct FakeDocument {
  std::string bytes;
  std::size_t piece = std::numeric_limits<std::size_t>::max();  // most bytes one read hands out
  std::int32_t open_error = 0;  // thrown by the opener when not 0
  int failing_read = -1;        // 0-based read call that fails
  std::int32_t read_error = err::kDeviceIoError;
  bool read_bad_alloc = false;  // the failing read throws std::bad_alloc instead
  bool lend = false;            // the reader lends its bytes, as one holding them in memory does
  int opens = 0;
  int reads = 0;  // Read calls of every reader
  std::size_t bytes_read = 0;
};

inline FakeDocument& Fake() {
  static FakeDocument fake;
  return fake;
}

class FakeReader final : public analysis::DocumentReader {
 public:
  std::size_t Read(char* buffer, std::size_t size) override {
    FakeDocument& f = Fake();
    ++f.reads;
    if (reads_++ == f.failing_read) {
      if (f.read_bad_alloc) throw std::bad_alloc();
      throw RunError(f.read_error);
    }
    const std::size_t n = std::min({size, f.piece, f.bytes.size() - pos_});
    std::memcpy(buffer, f.bytes.data() + pos_, n);
    pos_ += n;
    f.bytes_read += n;
    return n;
  }

  std::optional<std::string_view> Lend() override {
    FakeDocument& f = Fake();
    if (!f.lend) return std::nullopt;
    const std::string_view rest = std::string_view(f.bytes).substr(pos_);
    pos_ = f.bytes.size();
    f.bytes_read += rest.size();
    return rest;
  }

 private:
  std::size_t pos_ = 0;
  int reads_ = 0;
};

inline std::unique_ptr<analysis::DocumentReader> OpenFake(const analysis::DocumentPath&) {
  FakeDocument& f = Fake();
  ++f.opens;
  if (f.open_error != 0) throw RunError(f.open_error);
  return std::make_unique<FakeReader>();
}

// Puts the fake in place of the platform's opener for the scope's lifetime.
class UseFakeDocument {
 public:
  explicit UseFakeDocument(std::string bytes, std::size_t piece = std::numeric_limits<std::size_t>::max()) {
    Fake() = FakeDocument{};
    Fake().bytes = std::move(bytes);
    Fake().piece = piece;
    previous_ = analysis::SetDocumentOpener(&OpenFake);
  }
  ~UseFakeDocument() { analysis::SetDocumentOpener(previous_); }
  UseFakeDocument(const UseFakeDocument&) = delete;
  UseFakeDocument& operator=(const UseFakeDocument&) = delete;

 private:
  analysis::DocumentOpener previous_;
};

}  // namespace pelmora::testing
