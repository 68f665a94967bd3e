#pragma once
// The gate between the test build pelmora_slowread.exe and its tests: every document open after
// the first signals "blocked" and waits for "go", so a test can look at the windows between scans.
#include <windows.h>

#include <string>

namespace e2e {

inline std::wstring SlowReadEventName(DWORD pid, const wchar_t* what) {
  return L"PelmoraSlowRead-" + std::to_wstring(pid) + L"-" + what;
}

}  // namespace e2e
