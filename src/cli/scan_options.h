#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "preflight/preflight.h"

namespace pelmora::cli {

struct ScanOptions {
  bool help = false;
  bool version = false;
  bool json = false;
  bool images = false;
  bool check = false;  // the print shop's preflight columns, findings and exit status
  bool csv = false;
  bool table = false;
  std::optional<std::filesystem::path> htmlFile;  // --html: the report page, with the check's facts  // the table even on a console too narrow for it
  bool allFiles = false;  // walk folders for every file, not only document extensions
  std::optional<std::filesystem::path> collectDir;
  bool fromAnywhere = false;  // collect images wherever their names lead, not only inside the delivery
  preflight::Thresholds limits;  // --min-bleed, --min-ppi
  std::vector<std::filesystem::path> paths;
};

struct ParsedArgs {
  ScanOptions options;
  std::string error;  // UTF-8; non-empty for a usage error
};

// The arguments after the program name, as the platform gave them.
ParsedArgs ParseArgs(const std::vector<std::filesystem::path>& args);

}  // namespace pelmora::cli
