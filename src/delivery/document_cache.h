#pragma once
// One read per small document. The analysis opens a document once per question it asks (header,
// MacBinary, PDF); for a folder of small documents those opens, not the bytes, cost the time. While
// a cache is in scope, the analysis reads the document from memory through the same reader
// interface, so its code and results stay those of the window program.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "analysis/document_file.h"
#include "analysis/read_buffer.h"

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
  // The bytes a DocumentReadAhead read, which must outlive the cache; without them (the document
  // was too large or could not be read), every open goes to the platform.
  ScopedDocumentCache(const analysis::DocumentPath& path, std::optional<std::string_view> read);
  ~ScopedDocumentCache();
  ScopedDocumentCache(const ScopedDocumentCache&) = delete;
  ScopedDocumentCache& operator=(const ScopedDocumentCache&) = delete;

  bool cached() const { return previous_ != nullptr; }

 private:
  void Install(const char* bytes, std::size_t size);

  const analysis::DocumentPath& path_;
  analysis::DocumentOpener previous_ = nullptr;
};

// Reads the documents of a run ahead of their turn on a thread of its own: for a folder of small
// documents, opening and reading each takes about as long as checking it, and the two overlap. A
// document the thread has not begun when its turn comes is read by the caller itself.
// The thread reads through the platform only, so a run whose opener was replaced (a test's
// failing reads, say) must not use it. Used by one thread; documents come out in queued order.
class DocumentReadAhead {
 public:
  static constexpr std::size_t kAhead = 16, kBatch = 8;

  explicit DocumentReadAhead(std::size_t limit = kCachedDocumentBytes);
  ~DocumentReadAhead();
  // The processors this process may use; with one, a read-ahead only slows the run down.
  static std::size_t Processors();
  DocumentReadAhead(const DocumentReadAhead&) = delete;
  DocumentReadAhead& operator=(const DocumentReadAhead&) = delete;

  // False, and nothing queued, while kAhead documents wait to be taken.
  bool Queue(const analysis::DocumentPath& path);
  // Waits for the oldest queued document: its bytes, valid until the next Take, or nothing where
  // it was larger than the limit or could not be read. There must be one queued.
  std::optional<std::string_view> Take();

 private:
  struct Slot {
    enum class State { kQueued, kReading, kRead };
    analysis::DocumentPath path;
    analysis::ReadBuffer buffer;
    std::size_t size = 0;
    State state = State::kQueued;
    bool whole = false;  // read whole and within the limit
  };
  void Work();
  // With the lock held; Read lets go of it while it reads.
  bool WorkerWanted() const;
  void Read(Slot& slot, std::unique_lock<std::mutex>& lock);

  std::size_t limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Slot> queue_;  // the front is taken next
  std::deque<Slot> spare_;  // buffers to use again
  std::optional<Slot> taken_;
  std::size_t unread_ = 0;  // slots not begun
  bool stop_ = false, mainWaits_ = false, workerSleeps_ = false;
  bool callerCaughtUp_ = false;  // its last document was not read yet when its turn came
  std::thread worker_;
};

}  // namespace pelmora::delivery
