// Linked into the test build pelmora_slowread.exe only: installs a document opener that holds
// every open after the first until the test releases it. With PELMORA_SLOW_READ_MS set, the reads
// of those documents come in blocks of 16 KB that take that long each, as from a slow share. The
// product itself never waits.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>

#include "analysis/document_file.h"
#include "slow_read.h"

namespace {

using namespace pelmora::analysis;

HANDLE OwnEvent(const wchar_t* what) {
  return ::CreateEventW(nullptr, FALSE, FALSE, e2e::SlowReadEventName(::GetCurrentProcessId(), what).c_str());
}

DWORD BlockMs() {
  wchar_t value[16] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"PELMORA_SLOW_READ_MS", value, 16);
  return n > 0 && n < 16 ? static_cast<DWORD>(std::wcstoul(value, nullptr, 10)) : 0;
}

class SlowReader final : public DocumentReader {
 public:
  SlowReader(std::unique_ptr<DocumentReader> reader, DWORD ms) : reader_(std::move(reader)), ms_(ms) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    ::Sleep(ms_);
    return reader_->Read(buffer, std::min<std::size_t>(size, 16 * 1024));
  }

 private:
  std::unique_ptr<DocumentReader> reader_;
  DWORD ms_;
};

std::unique_ptr<DocumentReader> HeldOpen(const DocumentPath& path) {
  static int opens = 0;
  static HANDLE blocked = OwnEvent(L"blocked");
  static HANDLE go = OwnEvent(L"go");
  if (++opens == 1) return OpenPlatformDocument(path);
  ::SetEvent(blocked);
  // Bounded, so a run without a test attached still ends.
  ::WaitForSingleObject(go, 30000);
  std::unique_ptr<DocumentReader> reader = OpenPlatformDocument(path);
  if (const DWORD ms = BlockMs()) return std::make_unique<SlowReader>(std::move(reader), ms);
  return reader;
}

const bool installed = (SetDocumentOpener(&HeldOpen), true);

}  // namespace
