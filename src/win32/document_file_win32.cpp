#include <limits>
#include <new>

#include "analysis/document_file.h"
#include "analysis/run_error.h"
#include "win32/platform.h"
#include "win32/raii.h"

namespace pelmora::analysis {

namespace {

class Win32DocumentReader final : public DocumentReader {
 public:
  explicit Win32DocumentReader(HANDLE file) : file_(file) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(file_.get(), buffer, want, &got, nullptr)) win32::ThrowLastError();
    return got;
  }

  bool Seek(std::uint64_t offset) override {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max())) return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) != 0;
  }

  std::optional<std::uint64_t> Size() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file_.get(), &size) || size.QuadPart < 0) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

 private:
  win32::UniqueFile file_;
};

}  // namespace

std::unique_ptr<DocumentReader> OpenPlatformDocument(const DocumentPath& path) {
  // Read access only, and others may go on reading and writing: the program never writes a
  // document and must not stand in the way of the program that does.
  HANDLE h = ::CreateFileW(win32::LongPath(path.native()).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) win32::ThrowLastError();
  win32::UniqueFile file(h);
  // A device name (NUL, CON, COM1) can pass the existence test; reading a console or a serial
  // port would wait for input forever.
  if (::GetFileType(h) != FILE_TYPE_DISK) throw RunError(err::kBadFileName);
  return std::make_unique<Win32DocumentReader>(file.release());
}

}  // namespace pelmora::analysis
