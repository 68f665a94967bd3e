#include "delivery/part_file.h"

#include <windows.h>

#include <cstring>

namespace pelmora::delivery {

namespace {

// The console's handler runs on a thread of its own, while the copy goes on.
SRWLOCK gLock = SRWLOCK_INIT;
wchar_t gPath[32768];
bool gArmed = false;

BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: break;
    default: return FALSE;
  }
  // Kept: the copy must not start another file. The next handler, the system's, ends the process,
  // and with it the file's last handle.
  ::AcquireSRWLockExclusive(&gLock);
  if (gArmed) ::DeleteFileW(gPath);
  return FALSE;
}

}  // namespace

PartFile::PartFile(const std::filesystem::path& temp) {
  const auto& text = temp.native();
  if (text.size() >= std::size(gPath)) return;
  ::AcquireSRWLockExclusive(&gLock);
  std::memcpy(gPath, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  gArmed = true;
  ::ReleaseSRWLockExclusive(&gLock);
}

PartFile::~PartFile() {
  ::AcquireSRWLockExclusive(&gLock);
  gArmed = false;
  ::ReleaseSRWLockExclusive(&gLock);
}

void RemovePartFileNow() {
  ::AcquireSRWLockExclusive(&gLock);
  if (gArmed) ::DeleteFileW(gPath);
  ::ReleaseSRWLockExclusive(&gLock);
}

void RemovePartFilesOnInterrupt() { ::SetConsoleCtrlHandler(&OnControl, TRUE); }

}  // namespace pelmora::delivery
