// Linked into the test build pelmora_slowread.exe only: installs a document opener that holds
// every open after the first until the test releases it. The product itself never waits.
#include <windows.h>

#include <memory>

#include "analysis/document_file.h"
#include "slow_read.h"

namespace {

using namespace pelmora::analysis;

HANDLE OwnEvent(const wchar_t* what) {
  return ::CreateEventW(nullptr, FALSE, FALSE, e2e::SlowReadEventName(::GetCurrentProcessId(), what).c_str());
}

std::unique_ptr<DocumentReader> HeldOpen(const DocumentPath& path) {
  static int opens = 0;
  static HANDLE blocked = OwnEvent(L"blocked");
  static HANDLE go = OwnEvent(L"go");
  if (++opens > 1) {
    ::SetEvent(blocked);
    // Bounded, so a run without a test attached still ends.
    ::WaitForSingleObject(go, 30000);
  }
  return OpenPlatformDocument(path);
}

const bool installed = (SetDocumentOpener(&HeldOpen), true);

}  // namespace
