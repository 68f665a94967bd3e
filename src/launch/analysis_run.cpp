#include "launch/analysis_run.h"

#include <new>
#include <optional>

#include "analysis/header_scan.h"
#include "analysis/link_image.h"
#include "analysis/run_error.h"

namespace pelmora::launch {

namespace {

constexpr wchar_t kQuote = L'"';

// Runs the analysis of an existing document; the caller's trap reports what this throws.
AnalysisResult Analyse(MainHost& host, const std::wstring& strFile) {
  const analysis::DocumentPath path(strFile);
  std::string strCreatorVersion, strFiletype, strHeader;

  host.SetMousePointer(kPointerHourglass);
  std::optional<std::string> creator =
      analysis::ScanHeader(path, kScanWindows[0], strCreatorVersion, strFiletype, strHeader);
  if (!creator) {
    host.ShowWait(strFile);
    creator = analysis::ScanHeader(path, kScanWindows[1], strCreatorVersion, strFiletype, strHeader);
    if (!creator) {
      creator = analysis::ScanHeader(path, kScanWindows[2], strCreatorVersion, strFiletype, strHeader);
    }
    host.UnloadWait();
  }

  AnalysisResult result;
  result.strFile = strFile;
  result.vblnMac = analysis::IsMacBinary(path);
  result.vlngLinkImage = analysis::GetLinkImage(result.rastrLinkImage, strHeader);
  host.SetMousePointer(kPointerDefault);
  result.vstrVersionString = analysis::NullToStr(creator);
  result.vstrCreatorVersion = analysis::NullToStr(strCreatorVersion);
  result.strFiletype = strFiletype;
  return result;
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
    host.ShowResult(Analyse(host, strFile));
  } catch (const RunError& e) {
    host.SetMousePointer(kPointerDefault);
    host.ShowError(e.number());
  } catch (const std::bad_alloc&) {
    host.SetMousePointer(kPointerDefault);
    host.ShowError(err::kOutOfMemory);
  }
}

}  // namespace pelmora::launch
