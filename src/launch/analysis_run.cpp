#include "launch/analysis_run.h"

#include <new>
#include <optional>

#include "analysis/header_scan.h"
#include "analysis/link_image.h"
#include "analysis/run_error.h"

namespace pelmora::launch {

namespace {

constexpr wchar_t kQuote = L'"';

}  // namespace

AnalysisResult AnalyseDocument(const analysis::DocumentPath& path, const std::wstring& strFile,
                               AnalysisHooks& hooks, std::size_t valueBytes) {
  std::string strCreatorVersion, strFiletype, strHeader;

  hooks.SetMousePointer(kPointerHourglass);
  std::optional<std::string> creator =
      analysis::ScanHeader(path, kScanWindows[0], strCreatorVersion, strFiletype, strHeader, valueBytes);
  if (!creator) {
    hooks.ShowWait(strFile);
    creator = analysis::ScanHeader(path, kScanWindows[1], strCreatorVersion, strFiletype, strHeader, valueBytes);
    if (!creator) {
      creator = analysis::ScanHeader(path, kScanWindows[2], strCreatorVersion, strFiletype, strHeader, valueBytes);
    }
  }

  AnalysisResult result;
  result.strFile = strFile;
  result.vblnMac = analysis::IsMacBinary(path);
  result.vlngLinkImage = analysis::GetLinkImage(result.rastrLinkImage, strHeader);
  hooks.SetMousePointer(kPointerDefault);
  result.vstrVersionString = analysis::NullToStr(creator);
  result.vstrCreatorVersion = analysis::NullToStr(strCreatorVersion);
  result.strFiletype = strFiletype;
  return result;
}

// The progress window goes before the message: loaded, shown or not, it would keep the process
// alive with nothing left to close it.
namespace {
void Trap(MainHost& host, std::int32_t number) {
  host.UnloadWait();
  host.SetMousePointer(kPointerDefault);
  host.ShowError(number);
}
}  // namespace

std::wstring CleanCommandLine(std::wstring_view args) {
  const auto first = args.find_first_not_of(L' ');
  if (first == std::wstring_view::npos) return {};
  std::wstring_view path = args.substr(first, args.find_last_not_of(L' ') - first + 1);
  if (!path.empty() && path.front() == kQuote) path.remove_prefix(1);
  if (!path.empty() && path.back() == kQuote) path.remove_suffix(1);
  return std::wstring(path);
}

std::wstring MissingFileMessage(const std::wstring& path) {
  return L"ファイルが見つかりません \r\n" + path;
}

void Main(MainHost& host) {
  try {
    const std::wstring args = host.CommandLineArgs();
    if (args.empty()) {
      host.ShowResult(AnalysisResult{});
      return;
    }
    const std::wstring strFile = CleanCommandLine(args);
    // An empty path names no file; the directory search would otherwise match the current folder.
    if (strFile.empty() || !host.FileExists(strFile)) {
      host.Message(MissingFileMessage(strFile), kStyleExclamation);
      return;
    }
    AnalysisResult result;
    {
      // A read of tens of megabytes from a slow share outlasts the few seconds after which the
      // platform would take the progress window for hung and put its own in its place.
      const analysis::ReadPauseScope pause([&host] { host.BetweenReads(); });
      result = AnalyseDocument(analysis::DocumentPath(strFile), strFile, host);
    }
    host.ShowResult(result);
    // Only now: with the progress window gone first, no window of the program would be active
    // for a moment, and the platform would hand activation to another program.
    host.UnloadWait();
  } catch (const RunError& e) {
    Trap(host, e.number());
  } catch (const std::bad_alloc&) {
    Trap(host, err::kOutOfMemory);
  }
}

}  // namespace pelmora::launch
