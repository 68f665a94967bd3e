#pragma once
// One read per small document. The analysis opens a document once per question it asks (header,
// MacBinary, PDF); for a folder of small documents those opens, not the bytes, cost the time. While
// a cache is in scope, the analysis reads the document from memory through the same reader
// interface, so its code and results stay those of the window program.
#include <cstddef>

#include "analysis/document_file.h"

namespace pelmora::delivery {

inline constexpr std::size_t kCachedDocumentBytes = 256 * 1024;

// One at a time and not thread-safe: the document opener is program-wide. A document larger than
// the limit, or one whose read fails, is not cached and every open goes to the platform as without
// the cache, so failures reach the analysis exactly as they would.
class ScopedDocumentCache {
 public:
  // `path` is referred to, not copied: it must outlive the cache.
  explicit ScopedDocumentCache(const analysis::DocumentPath& path, std::size_t limit = kCachedDocumentBytes);
  ScopedDocumentCache(analysis::DocumentPath&&, std::size_t = kCachedDocumentBytes) = delete;
  ~ScopedDocumentCache();
  ScopedDocumentCache(const ScopedDocumentCache&) = delete;
  ScopedDocumentCache& operator=(const ScopedDocumentCache&) = delete;

  bool cached() const { return previous_ != nullptr; }

 private:
  const analysis::DocumentPath& path_;
  analysis::DocumentOpener previous_ = nullptr;
};

}  // namespace pelmora::delivery
