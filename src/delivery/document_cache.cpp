#include "delivery/document_cache.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "analysis/read_buffer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

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

std::size_t DocumentReadAhead::Processors() {
  // Those the process may run on: a container or a job limited to one has the machine's count in
  // hardware_concurrency, and two threads there only take turns.
#ifdef _WIN32
  DWORD_PTR process = 0, system = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
    std::size_t n = 0;
    for (; process != 0; process &= process - 1) ++n;
    return n;
  }
#else
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<std::size_t>(CPU_COUNT(&set));
#endif
  return std::thread::hardware_concurrency();
}

DocumentReadAhead::DocumentReadAhead(std::size_t limit) : limit_(limit), worker_([this] { Work(); }) {}

DocumentReadAhead::~DocumentReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
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
    slot.state = Slot::State::kQueued;
    slot.whole = false;
    queue_.push_back(std::move(slot));
    ++unread_;
    wake = workerSleeps_ && WorkerWanted();
  }
  if (wake) wake_.notify_all();
  return true;
}

// The worker sleeps until there is a batch for it, not one document: waking a thread costs more
// than reading a small document.
bool DocumentReadAhead::WorkerWanted() const {
  return stop_ || unread_ >= kBatch || (unread_ > 0 && queue_.size() == kAhead);
}

void DocumentReadAhead::Read(Slot& slot, std::unique_lock<std::mutex>& lock) {
  slot.state = Slot::State::kReading;
  --unread_;
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
  // A deque's elements stay put while others come and go at its ends, and one being read is not
  // taken: the slot is still there.
  slot.buffer = std::move(buffer);
  slot.size = size;
  slot.whole = whole;
  slot.state = Slot::State::kRead;
}

std::optional<std::string_view> DocumentReadAhead::Take() {
  std::unique_lock lock(mutex_);
  if (taken_) {
    spare_.push_back(std::move(*taken_));
    taken_.reset();
  }
  if (queue_.empty()) return std::nullopt;
  Slot& front = queue_.front();
  callerCaughtUp_ = front.state != Slot::State::kRead;
  if (front.state == Slot::State::kQueued) {
    // Not begun: read here rather than wait for the thread, which may be asleep or may share this
    // processor.
    Read(front, lock);
  } else if (front.state == Slot::State::kReading) {
    mainWaits_ = true;
    wake_.wait(lock, [&] { return front.state == Slot::State::kRead; });
    mainWaits_ = false;
  }
  taken_ = std::move(front);
  queue_.pop_front();
  if (!taken_->whole) return std::nullopt;
  return std::string_view(taken_->buffer.get(), taken_->size);
}

void DocumentReadAhead::Work() {
  std::unique_lock lock(mutex_);
  while (true) {
    if (!stop_ && unread_ == 0) {
      workerSleeps_ = true;
      wake_.wait(lock, [&] { return WorkerWanted(); });
      workerSleeps_ = false;
    }
    if (stop_) return;
    // In order while the caller finds its documents read. Once it has caught up, it reads from
    // the front itself, and this thread from the back: the two meet once a batch instead of one
    // waiting for the other at every document.
    const auto notBegun = [](const Slot& s) { return s.state == Slot::State::kQueued; };
    Slot* next = nullptr;
    if (callerCaughtUp_) {
      if (const auto it = std::find_if(queue_.rbegin(), queue_.rend(), notBegun); it != queue_.rend()) next = &*it;
    } else if (const auto it = std::find_if(queue_.begin(), queue_.end(), notBegun); it != queue_.end()) {
      next = &*it;
    }
    if (!next) continue;
    Read(*next, lock);
    if (mainWaits_) wake_.notify_all();
  }
}

}  // namespace pelmora::delivery
