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
  const char* bytes = nullptr;  // the buffer's, or a read-ahead's
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
  if (c.path != nullptr && (&path == c.path || path == *c.path)) return std::make_unique<MemoryReader>(c.bytes, c.size);
  return c.fallback(path);
}

}  // namespace

ScopedDocumentCache::ScopedDocumentCache(const analysis::DocumentPath& path, std::optional<std::string_view> read)
    : path_(path) {
  if (read && TheCache().path == nullptr) Install(read->data(), read->size());
}

void ScopedDocumentCache::Install(const char* bytes, std::size_t size) {
  Cache& c = TheCache();
  c.bytes = bytes;
  c.size = size;
  c.path = &path_;
  c.fallback = analysis::SetDocumentOpener(&OpenCached);
  previous_ = c.fallback;
}

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
    Install(c.buffer.get(), size);
  } catch (...) {
    return;  // the analysis meets the same failure when it opens the document itself
  }
}

ScopedDocumentCache::~ScopedDocumentCache() {
  if (previous_ == nullptr) return;
  analysis::SetDocumentOpener(previous_);
  Cache& c = TheCache();
  c.path = nullptr;
  c.fallback = nullptr;
  c.bytes = nullptr;
}

DocumentReadAhead::DocumentReadAhead(std::size_t limit) : limit_(limit), worker_([this] { Work(); }) {}

DocumentReadAhead::~DocumentReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
    stopping_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
  worker_.join();
}

bool DocumentReadAhead::Queue(const analysis::DocumentPath& path) {
  bool wake;
  {
    const std::lock_guard lock(mutex_);
    if (queue_.size() >= kAhead) return false;
    Slot slot;
    if (!spare_.empty()) {
      slot = std::move(spare_.front());
      spare_.pop_front();
    }
    slot.path = path;
    slot.size = 0;
    slot.read = slot.whole = false;
    queue_.push_back(std::move(slot));
    queued_.fetch_add(1, std::memory_order_release);
    wake = workerSleeps_;
  }
  if (wake) wake_.notify_all();
  return true;
}

namespace {

// A wait of a few microseconds is spent awake: putting a thread to sleep and waking it costs more
// than reading a small document, and would come once per document.
template <typename Ready>
bool SpinFor(Ready&& ready) {
  for (int i = 0; i < 4000; ++i) {
    if (ready()) return true;
    if (i % 64 == 63) std::this_thread::yield();
  }
  return ready();
}

}  // namespace

std::optional<std::string_view> DocumentReadAhead::Take() {
  {
    const std::lock_guard lock(mutex_);
    if (taken_) {
      spare_.push_back(std::move(*taken_));
      taken_.reset();
    }
    if (queue_.empty()) return std::nullopt;
  }
  // Reads finish in order: the oldest is read once as many are done as were taken before it.
  const std::uint64_t wanted = takenCount_ + 1;
  SpinFor([&] { return done_.load(std::memory_order_acquire) >= wanted; });
  std::unique_lock lock(mutex_);
  mainWaits_ = true;
  wake_.wait(lock, [&] { return queue_.front().read; });
  mainWaits_ = false;
  taken_ = std::move(queue_.front());
  queue_.pop_front();
  --toRead_;
  ++takenCount_;
  if (!taken_->whole) return std::nullopt;
  return std::string_view(taken_->buffer.get(), taken_->size);
}

void DocumentReadAhead::Work() {
  std::uint64_t read = 0;
  std::unique_lock lock(mutex_);
  while (true) {
    if (!stop_ && toRead_ == queue_.size()) {
      lock.unlock();
      SpinFor([&] { return queued_.load(std::memory_order_acquire) > read || stopping_.load(std::memory_order_acquire); });
      lock.lock();
      workerSleeps_ = true;
      wake_.wait(lock, [&] { return stop_ || toRead_ < queue_.size(); });
      workerSleeps_ = false;
    }
    if (stop_) return;
    Slot& slot = queue_[toRead_];  // a deque's elements stay put while others come and go at its ends
    const analysis::DocumentPath path = slot.path;
    analysis::ReadBuffer buffer = std::move(slot.buffer);
    lock.unlock();
    std::size_t size = 0;
    bool whole = false;
    try {
      if (!buffer) buffer = analysis::MakeReadBuffer(limit_ + 1);
      // The platform's reader itself: the opener the analysis uses is the main thread's to swap.
      const auto reader = analysis::OpenPlatformDocument(path);
      while (size < limit_ + 1) {
        const std::size_t got = reader->Read(buffer.get() + size, limit_ + 1 - size);
        if (got == 0) break;
        size += got;
      }
      whole = size <= limit_;
    } catch (...) {
      // The analysis meets the failure itself when it opens the document.
    }
    lock.lock();
    Slot& done = queue_[toRead_];
    done.buffer = std::move(buffer);
    done.size = size;
    done.whole = whole;
    done.read = true;
    ++toRead_;
    ++read;
    done_.fetch_add(1, std::memory_order_release);
    if (mainWaits_) wake_.notify_all();
  }
}

}  // namespace pelmora::delivery
