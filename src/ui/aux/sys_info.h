#pragma once
// How the About window finds and starts the system-information tool, decided without the registry
// so that the order of the lookups can be tested anywhere.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pelmora::ui {

// Both below HKEY_LOCAL_MACHINE, tried in this order.
inline constexpr wchar_t kMsinfoKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr wchar_t kMsinfoValue[] = L"PATH";  // the tool's program file
inline constexpr wchar_t kLocationKey[] = L"SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr wchar_t kLocationValue[] = L"MSINFO";  // the folder that holds the tool
inline constexpr wchar_t kMsinfoExe[] = L"\\MSINFO32.EXE";

inline constexpr wchar_t kSysInfoUnavailable[] = L"現時点ではｼｽﾃﾑ情報を使用できません";
inline constexpr int kSysInfoMessageStyle = 0;  // OK only, no icon

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
// The query buffer; a longer value fails the query and counts as not found.
inline constexpr std::size_t kKeyValueBytes = 1024;

// Turns a value queried into the zero-filled buffer (UTF-16LE, as the wide registry calls give it)
// into KeyVal: text is cut at its first NUL; a 32-bit number becomes signed decimal text; any
// other type leaves KeyVal as it was. A buffer holding no NUL at all throws RunError (invalid
// procedure call).
void KeyValueText(std::uint32_t type, std::span<const unsigned char, kKeyValueBytes> buffer, std::wstring& KeyVal);

class SysInfoHost {
 public:
  virtual ~SysInfoHost() = default;
  // A value below HKEY_LOCAL_MACHINE: true when read; false, with KeyVal emptied, when not.
  virtual bool GetKeyValue(const std::wstring& KeyName, const std::wstring& SubKeyRef, std::wstring& KeyVal) = 0;
  // Directory search with normal attributes.
  virtual bool FileExists(const std::wstring& path) = 0;
  // Starts the program with a normal window and the focus, not waited for; throws when it cannot.
  virtual void Start(const std::wstring& path) = 0;
  virtual void Message(const std::wstring& text, int style) = 0;
};

// The 32-bit program on 64-bit Windows (WOW64) is shown SysWOW64 under the name System32, where
// the 64-bit tool is not: a path into `windowsDir`\System32 is turned to the Sysnative alias that
// reaches the real one. Any other path, or any path when not under WOW64, is returned as it is.
std::wstring NativeSystemPath(const std::wstring& path, const std::wstring& windowsDir, bool wow64);

// Starts the tool or says that it cannot; every failure on the way ends in the one message.
void StartSysInfo(SysInfoHost& host);

}  // namespace pelmora::ui
