#pragma once
#include <string>

#include "launch/analysis_run.h"

namespace pelmora::launch {

// The argument text of a Windows command line: everything after the program's own path.
std::wstring ArgumentText(const wchar_t* commandLine);

class Win32MainHost final : public MainHost {
 public:
  std::wstring CommandLineArgs() override;
  bool FileExists(const std::wstring& path) override;
  void Message(const std::wstring& text, int style) override;
  void SetMousePointer(int pointer) override;
  void ShowWait(const std::wstring& path) override;
  void UnloadWait() override;
  void BetweenReads() override;
  void ShowResult(const AnalysisResult& result) override;
  void ShowError(std::int32_t number) override;
};

}  // namespace pelmora::launch
