#include "check/check_plan.h"

#include <cstdio>

#include "base/text_utf8.h"

namespace pelmora::check {

std::filesystem::path ReportPath(const std::filesystem::path& temp, const std::tm& local) {
  wchar_t stamp[32];
  std::swprintf(stamp, std::size(stamp), L"%04d%02d%02d_%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return temp / "Pelmora" / base::PathFromWide(std::wstring(L"入稿チェック_") + stamp + L".html");
}

std::vector<std::filesystem::path> ScanArguments(const std::vector<std::filesystem::path>& selected,
                                                 const std::filesystem::path& report) {
  std::vector<std::filesystem::path> args = {"--html", report, "--"};
  args.insert(args.end(), selected.begin(), selected.end());
  return args;
}

std::wstring ProgressText(std::size_t index, std::size_t total, const std::wstring& name) {
  return std::to_wstring(index + 1) + L" / " + std::to_wstring(total) + L"  " + name;
}

}  // namespace pelmora::check
