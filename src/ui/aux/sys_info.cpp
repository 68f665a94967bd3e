#include "ui/aux/sys_info.h"


#include "analysis/run_error.h"

namespace pelmora::ui {

void KeyValueText(std::uint32_t type, std::span<const unsigned char, kKeyValueBytes> buffer, std::wstring& KeyVal) {
  std::wstring text;
  text.reserve(kKeyValueBytes / 2);
  for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(buffer[i] | (buffer[i + 1] << 8)));
  }
  const std::size_t nul = text.find(L'\0');
  if (nul == std::wstring::npos) throw RunError(err::kInvalidProcedureCall);
  text.resize(nul);

  if (type == kRegSz) {
    KeyVal = text;
  } else if (type == kRegDword) {
    const std::uint32_t bits = static_cast<std::uint32_t>(buffer[0]) | (static_cast<std::uint32_t>(buffer[1]) << 8) |
                               (static_cast<std::uint32_t>(buffer[2]) << 16) |
                               (static_cast<std::uint32_t>(buffer[3]) << 24);
    KeyVal = std::to_wstring(static_cast<std::int32_t>(bits));
  }
}

std::wstring NativeSystemPath(const std::wstring& path, const std::wstring& windowsDir, bool wow64) {
  if (!wow64 || windowsDir.empty()) return path;
  if (!path.empty() && path.front() == L'"') return L"\"" + NativeSystemPath(path.substr(1), windowsDir, wow64);
  std::wstring dir = windowsDir;
  if (dir.back() != L'\\') dir += L'\\';
  const std::wstring system = dir + L"System32";
  const auto lower = [](std::wstring s) {
    for (auto& c : s) c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    return s;
  };
  const std::wstring head = lower(path.substr(0, system.size()));
  if (head != lower(system) || (path.size() > system.size() && path[system.size()] != L'\\')) return path;
  return dir + L"Sysnative" + path.substr(system.size());
}

void StartSysInfo(SysInfoHost& host) {
  try {
    std::wstring path;
    if (!host.GetKeyValue(kMsinfoKey, kMsinfoValue, path)) {
      if (!host.GetKeyValue(kLocationKey, kLocationValue, path)) {
        host.Message(kSysInfoUnavailable, kSysInfoMessageStyle);
        return;
      }
      const std::wstring candidate = path + kMsinfoExe;
      if (!host.FileExists(candidate)) {
        host.Message(kSysInfoUnavailable, kSysInfoMessageStyle);
        return;
      }
      path = candidate;
    }
    // The tool's own path is trusted as it stands: a missing file shows up as a failed start.
    host.Start(path);
    return;
  } catch (...) {
  }
  host.Message(kSysInfoUnavailable, kSysInfoMessageStyle);
}

}  // namespace pelmora::ui
