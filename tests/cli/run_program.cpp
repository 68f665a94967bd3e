#include "run_program.h"

#include <fstream>
#include <iterator>

#include "base/text_utf8.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace pelmora::cli::testing {

using namespace base;

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

#ifdef _WIN32
// Quoting of CommandLineToArgvW: backslashes double only before a quote.
std::wstring Quote(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

HANDLE Inheritable(const fs::path& p) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return ::CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

}  // namespace

fs::path TargetPath(const std::string& hostPath) {
#ifdef _WIN32
  std::wstring w = L"Z:" + FromUtf8(hostPath);
  for (auto& c : w) if (c == L'/') c = L'\\';
  return fs::path(w);
#else
  return fs::path(hostPath);
#endif
}

ProgramRun RunProgram(const fs::path& exe, const std::vector<std::string>& args, const fs::path& scratch) {
  // Fresh names per run: a file still held by the last child must not hand its output to this one.
  static int runs = 0;
  const std::string n = std::to_string(++runs);
  const fs::path outFile = scratch / ("stdout" + n + ".txt"), errFile = scratch / ("stderr" + n + ".txt");
  ProgramRun run;
#ifdef _WIN32
  std::wstring cmd = Quote(exe.native());
  for (const std::string& a : args) cmd += L" " + Quote(FromUtf8(a));
  HANDLE out = Inheritable(outFile), err = Inheritable(errFile);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    run.status = static_cast<int>(code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  ::CloseHandle(out);
  ::CloseHandle(err);
#else
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> argv_s = {exe.native()};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int st = 0;
    while (waitpid(pid, &st, 0) < 0) {
    }
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
#endif
  run.out = Slurp(outFile);
  run.err = Slurp(errFile);
  return run;
}

}  // namespace pelmora::cli::testing
