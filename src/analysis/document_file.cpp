#include "analysis/document_file.h"

#include <atomic>
#include <utility>

namespace pelmora::analysis {

namespace {

std::atomic<DocumentOpener> g_opener{&OpenPlatformDocument};

thread_local const std::function<void()>* t_pause = nullptr;

// The pause is looked up at each read, not kept: a reader may outlive the scope it was opened in.
class PausingReader final : public DocumentReader {
 public:
  explicit PausingReader(std::unique_ptr<DocumentReader> reader) : reader_(std::move(reader)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t got = reader_->Read(buffer, size);
    if (t_pause) (*t_pause)();
    return got;
  }
  std::optional<std::string_view> Lend() override { return reader_->Lend(); }

 private:
  std::unique_ptr<DocumentReader> reader_;
};

}  // namespace

std::unique_ptr<DocumentReader> OpenDocument(const DocumentPath& path) {
  std::unique_ptr<DocumentReader> reader = g_opener.load()(path);
  if (!t_pause || !reader) return reader;
  return std::make_unique<PausingReader>(std::move(reader));
}

ReadPauseScope::ReadPauseScope(std::function<void()> pause)
    : pause_(std::move(pause)), previous_(std::exchange(t_pause, &pause_)) {}

ReadPauseScope::~ReadPauseScope() { t_pause = previous_; }

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
  return g_opener.exchange(opener != nullptr ? opener : &OpenPlatformDocument);
}

}  // namespace pelmora::analysis
