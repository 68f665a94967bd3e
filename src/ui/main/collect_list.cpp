#include "ui/main/collect_list.h"

#include <algorithm>
#include <cwchar>

#include "analysis/ansi_text.h"

namespace pelmora::ui {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// \\host\share, \\?\UNC\..., \\.\pipe\...: the system's path parsing takes either separator. Blanks
// before them are looked past as well, whatever the parsing makes of them: no usual name starts so.
bool NamesAnotherMachine(std::wstring_view name) {
  const std::size_t first = name.find_first_not_of(L' ');
  return first != std::wstring_view::npos && name.size() - first >= 2 && IsSeparator(name[first]) &&
         IsSeparator(name[first + 1]);
}

// Shell copy results that mean the user stopped it: DE_OPCANCELLED and ERROR_CANCELLED.
constexpr int kShellCancelled = 0x75;
constexpr int kCancelled = 1223;

}  // namespace

CopySource BuildCopySource(const std::vector<std::string>& names, std::int32_t count) {
  const std::size_t used = std::min(names.size(), static_cast<std::size_t>(std::max<std::int32_t>(count, 0)));
  CopySource source;
  for (std::size_t i = 0; i < used; ++i) {
    if (names[i].empty()) continue;
    std::wstring name = analysis::DecodeAnsi(names[i]);
    // No file is named with '*' or '?': the shell would take them as wildcards and copy every
    // file they match, in any folder the document cares to name.
    if (name.find_first_of(L"*?") != std::wstring::npos || NamesAnotherMachine(name)) {
      source.leftOut.push_back(std::move(name));
      continue;
    }
    source.list += name;
    source.list += L'\0';
  }
  if (!source.list.empty()) source.list += L'\0';
  return source;
}

std::wstring CopyDestination(std::wstring_view folder) {
  std::wstring strTo(folder);
  if (strTo.empty() || strTo.back() != L'\\') strTo += L'\\';
  return strTo;
}

bool DestinationTooLong(std::wstring_view to, std::wstring_view from) {
  // The folder itself, without its separator, is a path the shell must hold too.
  if (to.size() >= kShellPathChars) return true;
  for (std::size_t at = 0; at < from.size();) {
    const std::size_t end = std::min(from.find(L'\0', at), from.size());
    std::wstring_view name = from.substr(at, end - at);
    if (name.empty()) break;
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring_view::npos) name.remove_prefix(slash + 1);
    if (to.size() + name.size() >= kShellPathChars) return true;
    at = end + 1;
  }
  return false;
}

std::optional<std::wstring> CopyFailureMessage(int result, bool aborted) {
  if (aborted || result == 0 || result == kShellCancelled || result == kCancelled) return std::nullopt;
  // The codes are the shell's own, some older than the system's error numbers: shown, not read.
  wchar_t code[16];
  std::swprintf(code, std::size(code), L"0x%X", static_cast<unsigned>(result));
  return std::wstring(L"画像の収集を最後まで行えませんでした。収集先のフォルダと画像を確かめて下さい (エラー番号:") + code +
         L")";
}

std::wstring LeftOutMessage(const std::vector<std::wstring>& leftOut) {
  std::wstring text = L"次の画像はネットワーク上の名前またはワイルドカード (* ?) を含む名前のため、収集しません。\r\n";
  const std::size_t shown = std::min(leftOut.size(), kLeftOutShown);
  for (std::size_t i = 0; i < shown; ++i) {
    std::wstring name = leftOut[i].substr(0, kLeftOutNameChars);
    // A name is the document's: no control character of it reaches the box.
    std::replace_if(name.begin(), name.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; }, L'?');
    if (leftOut[i].size() > kLeftOutNameChars) name += L"...";
    text += L"\r\n" + name;
  }
  if (leftOut.size() > shown) text += L"\r\nほか " + std::to_wstring(leftOut.size() - shown) + L" 件";
  return text;
}

}  // namespace pelmora::ui
