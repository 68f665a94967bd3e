#pragma once
// What the result window shows, decided without a window.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_result.h"
#include "base/program_version.h"

namespace pelmora::ui {

struct SelectFields {
  std::wstring txtFile;
  std::wstring txtEpsorAI;
  std::wstring txtVersionString;
  std::wstring txtCreatorVersion;
  std::wstring txtMac;
  std::wstring txtImage;
};

// "EPS" and "AI" exactly (letter case counts); anything else is unknown.
std::wstring KindText(std::string_view strFiletype);

// Slots 1..count joined by CR LF, blanks trimmed at both ends of the whole text.
std::wstring ImageListText(const std::vector<std::string>& names, std::int32_t count);

// `fileName` is the directory's spelling of the document's name ("" when nothing matched).
SelectFields BuildSelectFields(const analysis::AnalysisResult& result, const std::wstring& fileName);

// "Pelmora 3.1"
std::wstring SelectCaption(const base::ProgramVersion& version);

}  // namespace pelmora::ui
