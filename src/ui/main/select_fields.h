#pragma once
// What the result window shows, decided without a window.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "launch/analysis_run.h"

namespace pelmora::ui {

struct SelectFields {
  std::wstring txtFile;
  std::wstring txtEpsorAI;
  std::wstring txtVersionString;
  std::wstring txtCreatorVersion;
  std::wstring txtMac;
  std::wstring txtImage;
};

// The program's title and version as its version resource gives them.
struct ProgramVersion {
  std::wstring title = L"Pelmora";
  int major = 3;
  int minor = 1;
  int revision = 21;
};

// "EPS" and "AI" exactly (letter case counts); anything else is unknown.
std::wstring KindText(std::string_view strFiletype);

// Slots 1..count joined by CR LF, blanks trimmed at both ends of the whole text.
std::wstring ImageListText(const std::vector<std::string>& names, std::int32_t count);

// `fileName` is the directory's spelling of the document's name ("" when nothing matched).
SelectFields BuildSelectFields(const launch::AnalysisResult& result, const std::wstring& fileName);

// "Pelmora 3.1"
std::wstring SelectCaption(const ProgramVersion& version);

}  // namespace pelmora::ui
