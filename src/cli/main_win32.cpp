// Entry point of Windows: wide arguments, so that any file name arrives intact; a console is
// written in UTF-16, which shows Japanese whatever its code page; a file or pipe gets UTF-8.
#include <windows.h>

#include "cli/folder_walk_win32.h"
#include "cli/scan_run.h"
#include "cli/text_utf8.h"

namespace {

class Win32Console final : public pelmora::cli::Console {
 public:
  void Out(std::string_view utf8) override { Write(::GetStdHandle(STD_OUTPUT_HANDLE), utf8); }
  void Err(std::string_view utf8) override { Write(::GetStdHandle(STD_ERROR_HANDLE), utf8); }
  bool ErrIsTerminal() override {
    DWORD mode;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  }
  bool failed() const { return failed_; }

 private:
  void Write(HANDLE h, std::string_view utf8) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD mode, written = 0;
    if (::GetConsoleMode(h, &mode)) {
      const std::wstring text = pelmora::cli::FromUtf8(utf8);
      for (std::size_t at = 0; at < text.size(); at += written) {
        if (!::WriteConsoleW(h, text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr) || written == 0) return;
      }
      return;
    }
    for (std::size_t at = 0; at < utf8.size(); at += written) {
      if (!::WriteFile(h, utf8.data() + at, static_cast<DWORD>(utf8.size() - at), &written, nullptr) || written == 0) {
        if (h == ::GetStdHandle(STD_OUTPUT_HANDLE)) failed_ = true;
        return;
      }
    }
  }

  bool failed_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::filesystem::path> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  Win32Console console;
  const int status = pelmora::cli::RunScan(pelmora::cli::ExpandWildcards(args), console);
  return console.failed() && status == pelmora::cli::kExitAllAnalysed ? pelmora::cli::kExitSomeFailed : status;
}
