#pragma once
// The start-up's host for native command-line use: no windows, the result kept for the caller.
#include <filesystem>
#include <string>

#include "launch/analysis_run.h"

namespace pelmora::bench {

class ConsoleHost final : public launch::MainHost {
 public:
  explicit ConsoleHost(std::filesystem::path document) : document_(std::move(document)) {}

  std::wstring CommandLineArgs() override { return document_.wstring(); }
  bool FileExists(const std::wstring& path) override { return std::filesystem::is_regular_file(path); }
  void Message(const std::wstring& text, int) override { message = text; }
  void SetMousePointer(int) override {}
  void ShowWait(const std::wstring&) override { ++waits; }
  void UnloadWait() override {}
  void ShowResult(const launch::AnalysisResult& shown) override { result = shown; }
  void ShowError(std::int32_t number) override { error = number; }

  launch::AnalysisResult result;
  std::wstring message;
  std::int32_t error = 0;
  int waits = 0;

 private:
  std::filesystem::path document_;
};

}  // namespace pelmora::bench
