#include "win32/platform.h"

#include <utility>
#include <vector>

#include "analysis/run_error.h"
#include "analysis/win32_errors.h"
#include "base/error_text.h"
#include "launch/long_path.h"
#include "win32/raii.h"

namespace pelmora::win32 {

namespace {
bool g_waitCursor = false;
}

int SystemDpi() {
  HDC dc = ::GetDC(nullptr);
  const int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

int MetricForDpi(int metric, int dpi) {
  using ForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = reinterpret_cast<ForDpiFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
  if (forDpi) return forDpi(metric, static_cast<UINT>(dpi));
  return ::MulDiv(::GetSystemMetrics(metric), dpi, SystemDpi());
}

HICON LoadProgramIcon(int metric, int dpi) {
  const int size = MetricForDpi(metric, dpi);
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  // Common controls 6 (the manifest's, from Windows Vista on) scale down from a larger image; the
  // plain loader would scale up the nearest smaller one, blurred.
  using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  static const auto scaleDown = [] {
    const HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
    return comctl ? reinterpret_cast<ScaleDownFn>(
                        reinterpret_cast<void*>(::GetProcAddress(comctl, "LoadIconWithScaleDown")))
                  : nullptr;
  }();
  HICON icon = nullptr;
  if (scaleDown && SUCCEEDED(scaleDown(module, MAKEINTRESOURCEW(1), size, size, &icon)) && icon) return icon;
  return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
}

std::wstring LongPath(const std::wstring& path) {
  if (path.empty()) return path;
  std::wstring full(path.size() + MAX_PATH, L'\0');
  DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n >= full.size()) {
    full.resize(n);
    n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  // A short path goes as given: the call resolves it the same way, device names included.
  if (n < launch::kLongPathFrom || n >= full.size()) return path;
  full.resize(n);
  return launch::ExtendedLengthPath(full);
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) ThrowLastError();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void RestrictDllSearch() { ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

namespace {

// version.dll is no KnownDLL: imported, a copy beside the program (in Downloads, say) would be
// loaded in its place. It is loaded from the system folder alone, and only when asked for.
struct VersionApi {
  decltype(&::GetFileVersionInfoSizeW) size = nullptr;
  decltype(&::GetFileVersionInfoW) info = nullptr;
  decltype(&::VerQueryValueW) query = nullptr;
};

const VersionApi& LoadVersionApi() {
  static const VersionApi api = [] {
    VersionApi a;
    const HMODULE dll = ::LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!dll) return a;
    a.size = reinterpret_cast<decltype(a.size)>(reinterpret_cast<void*>(::GetProcAddress(dll, "GetFileVersionInfoSizeW")));
    a.info = reinterpret_cast<decltype(a.info)>(reinterpret_cast<void*>(::GetProcAddress(dll, "GetFileVersionInfoW")));
    a.query = reinterpret_cast<decltype(a.query)>(reinterpret_cast<void*>(::GetProcAddress(dll, "VerQueryValueW")));
    if (!a.size || !a.info || !a.query) a = {};
    return a;
  }();
  return api;
}

}  // namespace

const base::ProgramVersion& Version() {
  static const base::ProgramVersion version = [] {
    base::ProgramVersion v;
    const VersionApi& api = LoadVersionApi();
    if (!api.size) return v;
    const std::wstring exe = ModulePath();
    DWORD ignored = 0;
    const DWORD size = api.size(exe.c_str(), &ignored);
    if (size == 0) return v;
    std::vector<BYTE> data(size);
    if (!api.info(exe.c_str(), 0, size, data.data())) return v;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (api.query(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed) {
      v.major = HIWORD(fixed->dwFileVersionMS);
      v.minor = LOWORD(fixed->dwFileVersionMS);
      v.revision = LOWORD(fixed->dwFileVersionLS);
    }
    wchar_t* title = nullptr;
    if (api.query(data.data(), L"\\StringFileInfo\\041104b0\\ProductName", reinterpret_cast<void**>(&title),
                         &len) &&
        title && len > 1) {
      v.title = title;
    }
    return v;
  }();
  return version;
}

int MessageBoxApp(const std::wstring& text, UINT style) {
  return ::MessageBoxW(::GetActiveWindow(), text.c_str(), Version().title.c_str(), style);
}

void ShowError(std::int32_t number) { MessageBoxApp(base::ErrorMessage(number), MB_OK | MB_ICONEXCLAMATION); }

void SetMousePointer(int pointer) {
  g_waitCursor = pointer == 11;
  ::SetCursor(::LoadCursorW(nullptr, g_waitCursor ? IDC_WAIT : IDC_ARROW));
}

bool IsWaitCursorOn() { return g_waitCursor; }

std::optional<std::wstring> FindNormalFile(const std::wstring& path) {
  // Wildcards would match other files; the search is for exactly this path.
  if (path.empty() || path.find_first_of(L"*?") != std::wstring::npos) return std::nullopt;
  WIN32_FIND_DATAW data;
  UniqueFind find(::FindFirstFileW(LongPath(path).c_str(), &data));
  if (!find) return std::nullopt;
  constexpr DWORD kExcluded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  do {
    if (!(data.dwFileAttributes & kExcluded)) return std::wstring(data.cFileName);
  } while (::FindNextFileW(find.get(), &data));
  return std::nullopt;
}

namespace {

void StartPlatformProcess(std::wstring& commandLine) {
  STARTUPINFOW si{sizeof(si)};
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ThrowLastError();
  }
  // Only a process that may take the foreground itself can pass that on, and a new process may
  // not take it otherwise: a drop comes while the source program is in front.
  ::AllowSetForegroundWindow(pi.dwProcessId);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
}

ProcessStarter g_starter = &StartPlatformProcess;

}  // namespace

void StartProcess(std::wstring commandLine) { g_starter(commandLine); }

ProcessStarter SetProcessStarter(ProcessStarter starter) {
  return std::exchange(g_starter, starter ? starter : &StartPlatformProcess);
}

std::int32_t RunErrorFromWin32(DWORD code) { return analysis::RunErrorFromWin32Code(code); }

void ThrowLastError() { throw RunError(RunErrorFromWin32(::GetLastError())); }

}  // namespace pelmora::win32
