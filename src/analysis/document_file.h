#pragma once
// Read-only access to a document. The analysis reads through this interface only; each platform
// supplies OpenDocument, and tests may swap the opener to inject slow or failing reads.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace pelmora::analysis {

using DocumentPath = std::filesystem::path;

class DocumentReader {
 public:
  virtual ~DocumentReader() = default;
  // Reads up to `size` bytes; 0 means end of file. Throws RunError when the read fails.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // The rest of the document, when the reader holds it in memory already, so that it is scanned
  // where it lies instead of copied; it counts as read and stays valid while the reader lives.
  // Readers of files have nothing to lend.
  virtual std::optional<std::string_view> Lend() { return std::nullopt; }
  // Random access, for the readers that need it (a PDF's objects lie anywhere): moves to `offset`
  // bytes from the start, or returns false where this reader can only go forward.
  virtual bool Seek(std::uint64_t offset) {
    (void)offset;
    return false;
  }
  // The document's length in bytes, where the reader knows it.
  virtual std::optional<std::uint64_t> Size() { return std::nullopt; }
};

using DocumentOpener = std::unique_ptr<DocumentReader> (*)(const DocumentPath&);

// Opens the document read-only, letting other programs read and write it meanwhile.
// Throws RunError (file not found, permission denied, ...) when it cannot.
std::unique_ptr<DocumentReader> OpenDocument(const DocumentPath& path);

// The platform's opener, used by OpenDocument unless a test replaced it.
std::unique_ptr<DocumentReader> OpenPlatformDocument(const DocumentPath& path);

// Replaces the opener (nullptr restores the platform's); returns the previous one.
DocumentOpener SetDocumentOpener(DocumentOpener opener);

// While it lives, every block a reader from OpenDocument on this thread reads is followed by a
// call of `pause`, there on the reading thread: the window program lets the system see its window
// alive between the blocks of a long read. Scopes nest; readers opened outside every scope read
// without a pause, at no cost. The pause must not throw.
class ReadPauseScope {
 public:
  explicit ReadPauseScope(std::function<void()> pause);
  ReadPauseScope(const ReadPauseScope&) = delete;
  ReadPauseScope& operator=(const ReadPauseScope&) = delete;
  ~ReadPauseScope();

 private:
  std::function<void()> pause_;
  const std::function<void()>* previous_;
};

}  // namespace pelmora::analysis
