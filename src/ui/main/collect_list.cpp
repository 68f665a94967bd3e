#include "ui/main/collect_list.h"

#include <algorithm>

#include "analysis/ansi_text.h"

namespace pelmora::ui {

std::wstring BuildCopySource(const std::vector<std::string>& names, std::int32_t count) {
  const std::size_t used = std::min(names.size(), static_cast<std::size_t>(std::max<std::int32_t>(count, 0)));
  std::wstring strFrom;
  for (std::size_t i = 0; i < used; ++i) {
    if (names[i].empty()) continue;
    std::wstring name = analysis::DecodeAnsi(names[i]);
    // No file is named with '*' or '?': the shell would take them as wildcards and copy every
    // file they match, in any folder the document cares to name.
    if (name.find_first_of(L"*?") != std::wstring::npos) continue;
    strFrom += name;
    strFrom += L'\0';
  }
  if (!strFrom.empty()) strFrom += L'\0';
  return strFrom;
}

std::wstring CopyDestination(std::wstring_view folder) {
  std::wstring strTo(folder);
  if (strTo.empty() || strTo.back() != L'\\') strTo += L'\\';
  return strTo;
}

}  // namespace pelmora::ui
