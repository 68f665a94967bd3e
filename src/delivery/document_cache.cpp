#include "delivery/document_cache.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "analysis/read_buffer.h"

namespace pelmora::delivery {


namespace {

// Kept from one document to the next: a fresh zeroed buffer per document would cost more than
// the read it saves.
struct Cache {
  analysis::ReadBuffer buffer;
  std::size_t capacity = 0;
  std::size_t size = 0;
  const analysis::DocumentPath* path = nullptr;
  analysis::DocumentOpener fallback = nullptr;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

class MemoryReader final : public analysis::DocumentReader {
 public:
  MemoryReader(const char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, size_ - pos_);
    std::memcpy(buffer, bytes_ + pos_, n);
    pos_ += n;
    return n;
  }
  std::optional<std::string_view> Lend() override {
    const std::string_view rest(bytes_ + pos_, size_ - pos_);
    pos_ = size_;
    return rest;
  }
  bool Seek(std::uint64_t offset) override {
    pos_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, size_));
    return true;
  }
  std::optional<std::uint64_t> Size() override { return size_; }

 private:
  const char* bytes_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::unique_ptr<analysis::DocumentReader> OpenCached(const analysis::DocumentPath& path) {
  const Cache& c = TheCache();
  // The analysis hands on the caller's path object itself; comparing paths costs more.
  if (c.path != nullptr && (&path == c.path || path == *c.path)) return std::make_unique<MemoryReader>(c.buffer.get(), c.size);
  return c.fallback(path);
}

}  // namespace

ScopedDocumentCache::ScopedDocumentCache(const analysis::DocumentPath& path, std::size_t limit) : path_(path) {
  Cache& c = TheCache();
  if (c.path != nullptr) return;  // another document is cached: this one reads as usual
  try {
    if (c.capacity < limit + 1) {
      c.buffer = analysis::MakeReadBuffer(limit + 1);
      c.capacity = limit + 1;
    }
    const auto reader = analysis::OpenDocument(path_);
    std::size_t size = 0;
    while (size < limit + 1) {
      const std::size_t got = reader->Read(c.buffer.get() + size, limit + 1 - size);
      if (got == 0) break;
      size += got;
    }
    if (size > limit) return;
    c.size = size;
  } catch (...) {
    return;  // the analysis meets the same failure when it opens the document itself
  }
  c.path = &path_;
  c.fallback = analysis::SetDocumentOpener(&OpenCached);
  previous_ = c.fallback;
}

ScopedDocumentCache::~ScopedDocumentCache() {
  if (previous_ == nullptr) return;
  analysis::SetDocumentOpener(previous_);
  Cache& c = TheCache();
  c.path = nullptr;
  c.fallback = nullptr;
}

}  // namespace pelmora::delivery
