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
  // What a file or pipe gets: UTF-8, or code page 932 for readers that take nothing else. A
  // console shows the text either way.
  enum class Encoding { kUtf8, kCp932 };
  Encoding encoding = Encoding::kUtf8;
  std::optional<std::filesystem::path> outputFile;  // the report goes there, UTF-8 with a byte-order mark
  std::vector<std::filesystem::path> paths;
};

struct ParsedArgs {
  ScanOptions options;
  std::string error;  // UTF-8; non-empty for a usage error
};

// The arguments after the program name, as the platform gave them.
ParsedArgs ParseArgs(const std::vector<std::filesystem::path>& args);

}  // namespace pelmora::cli
