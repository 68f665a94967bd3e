#pragma once
// What the 送る entry 「Pelmora 入稿チェック」 does with the files and folders Explorer hands it,
// decided without a window: the scan's arguments and where its report goes. The report never goes
// into the delivery: a folder of the user's temporary files holds it.
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace pelmora::check {

// The report's file: <temp>\Pelmora\入稿チェック_YYYYMMDD_HHMMSS.html, in local time.
std::filesystem::path ReportPath(const std::filesystem::path& temp, const std::tm& local);

// The scanner's arguments: the page, then every selected path after "--", so that a file named
// like an option is still a file.
std::vector<std::filesystem::path> ScanArguments(const std::vector<std::filesystem::path>& selected,
                                                 const std::filesystem::path& report);

// The line under the progress bar: "12 / 40  name".
std::wstring ProgressText(std::size_t index, std::size_t total, const std::wstring& name);

}  // namespace pelmora::check
