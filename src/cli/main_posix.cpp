// Entry point of POSIX systems: arguments and file names are bytes, the terminal takes UTF-8.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

#include "delivery/file_copy.h"
#include "cli/scan_run.h"
#include "base/text_utf8.h"

namespace {

class StdConsole final : public pelmora::cli::Console {
 public:
  // Unbuffered, so that a failed write is seen at the write that failed and not lost in a
  // buffer whose last flush then succeeds; rows come in large pieces anyway.
  void Out(std::string_view utf8) override {
    for (std::size_t at = 0; at < utf8.size();) {
      const ssize_t n = ::write(STDOUT_FILENO, utf8.data() + at, utf8.size() - at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int error = n < 0 ? errno : EIO;
        // With SIGPIPE ignored by whoever started us, a gone reader shows as EPIPE.
        throw pelmora::cli::OutputError{pelmora::delivery::SystemErrorText(error), error == EPIPE};
      }
      at += static_cast<std::size_t>(n);
    }
  }
  void Err(std::string_view utf8) override { std::fwrite(utf8.data(), 1, utf8.size(), stderr); }
  bool ErrIsTerminal() override { return ::isatty(STDERR_FILENO) == 1; }
  pelmora::cli::ConsoleFit OutFit() override {
    winsize size{};
    if (::isatty(STDOUT_FILENO) != 1 || ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return {};
    return {size.ws_col, false};
  }
};

}  // namespace

int main(int argc, char** argv) {
  // A copy that reaches the file-size limit then fails with EFBIG and is cleaned up, rather than
  // the signal ending the program with a partial file left behind.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::filesystem::path> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  StdConsole console;
  return pelmora::cli::RunScan(args, console);
}
