#pragma once
// The command-line program apart from its entry point: tests run it in-process.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "cli/scan_report.h"

namespace pelmora::cli {

inline constexpr int kExitAllAnalysed = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFindings = 3;  // --check: every document read, and some have findings

// Batches at least this long show a progress line on a terminal.
inline constexpr std::size_t kProgressFrom = 20;

// Thrown by a console whose standard output cannot take the text: the run ends there, since
// a report with rows missing must not pass for a whole one.
struct OutputError {
  std::string reason;  // UTF-8
  bool quiet = false;  // the reader has gone (a closed pipe): end as silently as SIGPIPE would
};

class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(std::string_view utf8) = 0;  // throws OutputError
  virtual void Err(std::string_view utf8) = 0;
  virtual bool ErrIsTerminal() = 0;
  // Where standard output is a console or terminal, its width; {} for a file or pipe.
  virtual ConsoleFit OutFit() { return {}; }
  // Before each document is read: a window's progress bar follows this (a console has its line).
  virtual void Step(std::size_t /*index*/, std::size_t /*total*/, const std::string& /*path*/) {}
};

const char* ProgramVersion();

// True when the document's data starts with "%PDF", past a MacBinary header if there is one.
// Throws RunError when it cannot be read.
bool IsPdfBased(const std::filesystem::path& document, bool macBinary);

// Table rows are held until this much text is ready (see TableWriter).
inline constexpr std::size_t kTableBlockBytes = 1024 * 1024;

int RunScan(const std::vector<std::filesystem::path>& args, Console& console);

}  // namespace pelmora::cli
