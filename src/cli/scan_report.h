#pragma once
// How one document's analysis is written out: as a table row or as one JSON line.
#include <string>
#include <string_view>
#include <vector>

#include "launch/analysis_run.h"

namespace pelmora::cli {

// One document's fields, as UTF-8 text.
struct DocumentRow {
  std::string path;
  std::string kind;  // "EPS", "AI" or ""
  std::string creator;
  std::string creatorVersion;
  std::string versionName;
  bool macBinary = false;
  bool pdf = false;
  std::vector<std::string> images;
};

// Decodes the document strings; a placed-image slot without a name is left out, as it names no
// file to look for.
DocumentRow MakeRow(std::string path, const launch::AnalysisResult& result, bool pdf);

// Aligned columns, headed, two blanks apart; the creator comes last so that its long values
// widen no other column. With `images`, each document's placed images follow its row, indented.
std::string FormatTable(const std::vector<DocumentRow>& rows, bool images);

// A JSON string literal of valid UTF-8 text.
std::string JsonString(std::string_view utf8);

// One line, ending in LF.
std::string FormatJson(const DocumentRow& row);

}  // namespace pelmora::cli
