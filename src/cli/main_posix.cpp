// Entry point of POSIX systems: arguments and file names are bytes, the terminal takes UTF-8.
#include <cstdio>
#include <unistd.h>

#include "cli/scan_run.h"

namespace {

class StdConsole final : public pelmora::cli::Console {
 public:
  void Out(std::string_view utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }
  void Err(std::string_view utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }
  bool ErrIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  StdConsole console;
  const int status = pelmora::cli::RunScan(args, console);
  // A full disk or closed pipe behind stdout must not pass for success.
  if (std::fflush(stdout) != 0 && status == pelmora::cli::kExitAllAnalysed) return pelmora::cli::kExitSomeFailed;
  return status;
}
