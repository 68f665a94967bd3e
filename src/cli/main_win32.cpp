// Entry point of Windows: wide arguments, so that any file name arrives intact; a console is
// written in UTF-16, which shows Japanese whatever its code page; a file or pipe gets UTF-8.
#include <windows.h>

#include "delivery/file_copy.h"
#include "delivery/folder_walk_win32.h"
#include "cli/scan_run.h"
#include "base/text_utf8.h"

namespace {

class Win32Console final : public pelmora::cli::Console {
 public:
  void Out(std::string_view utf8) override {
    if (const DWORD error = Write(::GetStdHandle(STD_OUTPUT_HANDLE), utf8); error != 0) {
      // A reader that has gone away ends the run as quietly as it would on POSIX systems.
      const bool gone = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
      throw pelmora::cli::OutputError{pelmora::delivery::SystemErrorText(static_cast<int>(error)), gone};
    }
  }
  void Err(std::string_view utf8) override { Write(::GetStdHandle(STD_ERROR_HANDLE), utf8); }
  bool ErrIsTerminal() override {
    DWORD mode;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  }
  pelmora::cli::ConsoleFit OutFit() override {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info)) return {};
    // The window's width, not the buffer's: a wide buffer still wraps nothing but scrolls sideways.
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    // Consoles of the East Asian code pages draw the ambiguous characters full width.
    const UINT cp = ::GetConsoleOutputCP();
    return {columns, cp == 932 || cp == 936 || cp == 949 || cp == 950};
  }

 private:
  // 0, or the error of the write that failed.
  static DWORD Write(HANDLE h, std::string_view utf8) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    DWORD mode, written = 0;
    if (::GetConsoleMode(h, &mode)) {
      const std::wstring text = pelmora::base::FromUtf8(utf8);
      for (std::size_t at = 0; at < text.size(); at += written) {
        if (!::WriteConsoleW(h, text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
      }
      return 0;
    }
    for (std::size_t at = 0; at < utf8.size(); at += written) {
      if (!::WriteFile(h, utf8.data() + at, static_cast<DWORD>(utf8.size() - at), &written, nullptr)) return ::GetLastError();
      if (written == 0) return ERROR_WRITE_FAULT;
    }
    return 0;
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::filesystem::path> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  Win32Console console;
  return pelmora::cli::RunScan(pelmora::delivery::ExpandWildcards(args), console);
}
