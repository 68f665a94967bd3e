// Peak memory of pelmora-scan as a whole process: on documents with a creator line of 80 MB
// (one, and four in one table), and over a delivery of 100,000 small documents in table and JSON
// mode, with and without the preflight check, and --check on a 200 MB PDF-based .ai whose native
// data inflates to about half a gigabyte. Documents are generated once into
// $PELMORA_BENCH_DIR (default $TMPDIR/pelmora-bench).
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "large_ai.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 100;
constexpr int kPerFolder = 1000;
constexpr std::size_t kCreatorChars = 40000000;  // two bytes each: ends inside the largest window

void HugeCreator(const fs::path& path) {
  if (fs::exists(path)) return;
  std::ofstream out(path, std::ios::binary);
  out << "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: ";
  const std::string chunk = [] {
    std::string s;
    for (int i = 0; i < 1 << 19; ++i) s += "\x83\x65";  // テ in code page 932
    return s;
  }();
  for (std::size_t done = 0; done < kCreatorChars; done += chunk.size() / 2) out << chunk;
  out << "\r\n%%DocumentFiles:C:\\img\\a.psd\r\n%%EndComments\r\n";
}

fs::path Delivery(const fs::path& root) {
  const fs::path dir = root / "delivery-100000";
  if (fs::exists(dir / "ready")) return dir;
  for (int f = 0; f < kFolders; ++f) {
    const fs::path folder = dir / ("job" + std::to_string(1000 + f));
    fs::create_directories(folder);
    for (int i = 0; i < kPerFolder; ++i) {
      std::ofstream(folder / ("doc" + std::to_string(10000 + i) + ".eps"), std::ios::binary)
          << "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%AI8_CreatorVersion: 16.0.3\r\n"
             "%%DocumentFiles:C:\\work\\photo" << i << ".psd\r\n%%+Macintosh HD:Links:b.tif\r\n%%EndComments\r\n";
    }
  }
  std::ofstream(dir / "ready") << "";
  return dir;
}

// The child's peak resident memory in MiB, its output thrown away.
double PeakMiB(const std::vector<std::string>& args, int& status) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  double mib = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    rusage usage{};
    int st = 0;
    if (wait4(pid, &st, 0, &usage) == pid) {
      mib = static_cast<double>(usage.ru_maxrss) / 1024.0;
      status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  return mib;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pelmora_scan_memory PELMORA_SCAN\n");
    return 2;
  }
  const std::string scan = argv[1];
  const char* dir = std::getenv("PELMORA_BENCH_DIR");
  const fs::path root = dir != nullptr ? fs::path(dir) : fs::temp_directory_path() / "pelmora-bench";
  fs::create_directories(root / "huge");
  std::vector<std::string> huge;
  for (int i = 0; i < 4; ++i) {
    const fs::path p = root / "huge" / ("creator-80mb-" + std::to_string(i) + ".eps");
    if (i == 0) HugeCreator(p);
    else if (!fs::exists(p)) fs::create_hard_link(root / "huge" / "creator-80mb-0.eps", p);  // no room taken
    huge.push_back(p.string());
  }
  const std::string delivery = Delivery(root).string();
  const std::string large = pelmora::bench::LargeIllustrator(root, 200).string();

  const struct {
    const char* name;
    std::vector<std::string> args;
  } runs[] = {
      {"idle (--version)", {scan, "--version"}},
      {"one document, 80 MB creator line, table", {scan, huge[0]}},
      {"one document, 80 MB creator line, JSON", {scan, "--json", huge[0]}},
      {"four such documents, one table", {scan, "--images", huge[0], huge[1], huge[2], huge[3]}},
      {"100,000 documents, table", {scan, delivery}},
      {"100,000 documents, table with images", {scan, "--images", delivery}},
      {"100,000 documents, JSON", {scan, "--json", delivery}},
      {"one document, 80 MB creator line, --check", {scan, "--check", huge[0]}},
      {"100,000 documents, --check", {scan, "--check", delivery}},
      {"100,000 documents, --check --json", {scan, "--check", "--json", delivery}},
      {"200 MB PDF-based .ai, --check --json", {scan, "--check", "--json", large}},
  };
  for (const auto& r : runs) {
    int status = -1;
    const double mib = PeakMiB(r.args, status);
    std::printf("%-42s peak RSS %7.1f MiB  (exit %d)\n", r.name, mib, status);
  }
  return 0;
}
