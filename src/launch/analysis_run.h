#pragma once
// The start-up: one document from the command line, analysed and handed to the result window.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_result.h"
#include "analysis/document_file.h"

namespace pelmora::launch {

using analysis::AnalysisResult;

inline constexpr std::int32_t kScanWindows[] = {102400, 2048000, 40960000};

// Mouse-pointer values of the program-wide cursor.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

// Message-box styles.
inline constexpr int kStyleOkOnly = 0;
inline constexpr int kStyleExclamation = 48;

// What the reading of one document shows while it runs: the window program's cursor and progress
// window; the command-line program shows neither.
class AnalysisHooks {
 public:
  virtual ~AnalysisHooks() = default;
  virtual void SetMousePointer(int pointer) = 0;
  virtual void ShowWait(const std::wstring& path) = 0;  // progress window's ShowEdit
};

// Everything Main needs from the platform. The Win32 layer moves these to real windows; tests
// record them.
class MainHost : public AnalysisHooks {
 public:
  virtual std::wstring CommandLineArgs() = 0;
  // Directory search with normal attributes: false for folders, hidden and system files.
  virtual bool FileExists(const std::wstring& path) = 0;
  virtual void Message(const std::wstring& text, int style) = 0;
  virtual void ShowResult(const AnalysisResult& result) = 0;  // result window's ShowEdit
  // Unloads the progress window if it is loaded; Main does so once the result window is shown.
  virtual void UnloadWait() = 0;
  // Between two blocks of the document's reading: lets the platform see the program alive
  // without handling the user's input (that waits for the result window). Must not throw; a host
  // without windows has nothing to do.
  virtual void BetweenReads() {}
  virtual void ShowError(std::int32_t number) = 0;
};

// Trims blanks, then drops one double quote at each end.
std::wstring CleanCommandLine(std::wstring_view args);

// "ファイルが見つかりません " CR LF path.
std::wstring MissingFileMessage(const std::wstring& path);

// The analysis of one existing document, with the same scan windows for every caller so that
// both programs agree. `strFile` is what the progress window shows and the result carries; the
// progress window, when shown, is left for the caller to unload.
// Throws RunError (or bad_alloc) for the caller to report.
// `valueBytes` caps the creator and version as ScanHeader does.
AnalysisResult AnalyseDocument(const analysis::DocumentPath& path, const std::wstring& strFile,
                               AnalysisHooks& hooks, std::size_t valueBytes = static_cast<std::size_t>(-1));

void Main(MainHost& host);

}  // namespace pelmora::launch
