#pragma once
// The command-line program apart from its entry point: tests run it in-process.
#include <filesystem>
#include <string_view>
#include <vector>

namespace pelmora::cli {

inline constexpr int kExitAllAnalysed = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// Batches at least this long show a progress line on a terminal.
inline constexpr std::size_t kProgressFrom = 20;

class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(std::string_view utf8) = 0;
  virtual void Err(std::string_view utf8) = 0;
  virtual bool ErrIsTerminal() = 0;
};

const char* ProgramVersion();

// True when the document's data starts with "%PDF", past a MacBinary header if there is one.
// Throws RunError when it cannot be read.
bool IsPdfBased(const std::filesystem::path& document, bool macBinary);

int RunScan(const std::vector<std::filesystem::path>& args, Console& console);

}  // namespace pelmora::cli
