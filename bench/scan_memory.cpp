// Peak memory and time of pelmora-scan as a whole process: on documents with a creator line of
// 80 MB (one, and four in one table), over a delivery of 100,000 small documents in table and JSON
// mode, with and without the preflight check, --check on a 200 MB PDF-based .ai whose native data
// inflates to about half a gigabyte, and on hostile deliveries: 10,000 documents 1,000 folders
// deep, links missing from a folder of 100,000 entries, a 200 MB trailer of "%%+" lines, an XMP
// packet naming 155,000 fonts. Documents are generated once into $PELMORA_BENCH_DIR (default
// $TMPDIR/pelmora-bench).
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

// One chain of kDeepFolders folders with kDeepDocuments tiny documents spread along it.
constexpr int kDeepFolders = 1000;
constexpr int kDeepDocuments = 10000;

fs::path DeepTree(const fs::path& root) {
  fs::path dir = root / "deep";
  const fs::path top = dir;
  if (fs::exists(top / "ready")) return top;
  for (int level = 0; level < kDeepFolders; ++level) {
    dir /= "d";
    fs::create_directories(dir);
    for (int i = 0; i < kDeepDocuments / kDeepFolders; ++i) {
      std::ofstream(dir / ("doc" + std::to_string(i) + ".eps"), std::ios::binary)
          << "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n%%EndComments\r\n";
    }
  }
  std::ofstream(top / "ready") << "";
  return top;
}

// A folder of 100,000 entries and 100 documents beside them, each naming 10 images not there.
constexpr int kWideEntries = 100000;

fs::path WideFolder(const fs::path& root) {
  const fs::path dir = root / "wide-100000";
  if (fs::exists(dir / ".ready")) return dir;
  fs::create_directories(dir);
  for (int i = 0; i < kWideEntries; ++i) std::ofstream(dir / ("img" + std::to_string(100000 + i) + ".tif")) << "";
  for (int d = 0; d < 100; ++d) {
    std::string s = "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 16.0\r\n";
    for (int i = 0; i < 10; ++i) s += (i ? "%%+" : "%%DocumentFiles:") + std::string("gone") + std::to_string(d * 10 + i) + ".tif\r\n";
    std::ofstream(dir / ("doc" + std::to_string(d) + ".eps"), std::ios::binary) << s << "%%EndComments\r\n";
  }
  std::ofstream(dir / ".ready") << "";
  return dir;
}

// A list deferred to a trailer of 200 MB of continuation lines, each a new name.
fs::path TrailerStorm(const fs::path& root) {
  const fs::path path = root / "huge" / "trailer-200mb.eps";
  if (fs::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  out << "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%DocumentFiles: (atend)\r\n"
         "%%EndComments\r\n%%Trailer\r\n%%DocumentFiles: first.tif\r\n";
  std::string block;
  for (long i = 0, written = 0; written < 200L * 1000 * 1000; ++i) {
    block += "%%+ name" + std::to_string(10000000 + i) + ".tif\r\n";
    if (block.size() > (1 << 20)) {
      written += static_cast<long>(block.size());
      out << block;
      block.clear();
    }
  }
  out << block << "%%EOF\r\n";
  return path;
}

// An XMP packet within its 4 MiB bound that names 155,000 distinct fonts.
fs::path XmpFonts(const fs::path& root) {
  const fs::path path = root / "huge" / "xmp-155000-fonts.eps";
  if (fs::exists(path)) return path;
  std::string s = "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 24.0\r\n%%EndComments\r\n"
                  "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><Fonts>";
  char name[16];
  for (int i = 0; i < 155000; ++i) {
    std::snprintf(name, sizeof name, "%05x", i);
    s += std::string("<fontName>") + name + "</fontName>";
  }
  s += "</Fonts></x:xmpmeta><?xpacket end=\"w\"?>\r\n";
  std::ofstream(path, std::ios::binary) << s;
  return path;
}

// The child's peak resident memory in MiB and its wall time in seconds, its output thrown away.
double PeakMiB(const std::vector<std::string>& args, int& status, double& seconds) {
  const auto start = std::chrono::steady_clock::now();
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
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return mib;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: pelmora_scan_memory PELMORA_SCAN [PART-OF-A-RUN'S-NAME]\n");
    return 2;
  }
  const std::string scan = argv[1];
  const char* filter = argc == 3 ? argv[2] : nullptr;
  const char* dir = std::getenv("PELMORA_BENCH_DIR");
  const fs::path root = dir != nullptr ? fs::path(dir) : fs::temp_directory_path() / "pelmora-bench";
  fs::create_directories(root / "huge");
  // Each input is made when a run first needs it: a filter (the second argument, part of a run's
  // name) then makes only its own.
  const auto huge = [&](int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
      const fs::path p = root / "huge" / ("creator-80mb-" + std::to_string(i) + ".eps");
      if (i == 0) HugeCreator(p);
      else if (!fs::exists(p)) fs::create_hard_link(root / "huge" / "creator-80mb-0.eps", p);  // no room taken
      out.push_back(p.string());
    }
    return out;
  };
  const auto delivery = [&] { return Delivery(root).string(); };
  using Args = std::function<std::vector<std::string>()>;
  // Written by a child: a child's peak counts its parent's from before exec, and the writer holds
  // the whole compressed document.
  const auto large = [&] {
    const fs::path p = root / "large-200mb.ai";
    if (!fs::exists(p)) {
      if (const pid_t writer = fork(); writer == 0) {
        pelmora::bench::LargeIllustrator(root, 200);
        _exit(0);
      } else if (writer > 0) {
        waitpid(writer, nullptr, 0);
      }
    }
    return p.string();
  };
  const struct {
    const char* name;
    Args args;
  } runs[] = {
      {"idle (--version)", [&]() -> std::vector<std::string> { return {scan, "--version"}; }},
      {"one document, 80 MB creator line, table", [&]() -> std::vector<std::string> { return {scan, huge(1)[0]}; }},
      {"one document, 80 MB creator line, JSON", [&]() -> std::vector<std::string> { return {scan, "--json", huge(1)[0]}; }},
      {"four such documents, one table", [&] {
         std::vector<std::string> a = huge(4);
         a.insert(a.begin(), {scan, "--images"});
         return a;
       }},
      {"100,000 documents, table", [&]() -> std::vector<std::string> { return {scan, delivery()}; }},
      {"100,000 documents, table with images", [&]() -> std::vector<std::string> { return {scan, "--images", delivery()}; }},
      {"100,000 documents, JSON", [&]() -> std::vector<std::string> { return {scan, "--json", delivery()}; }},
      {"one document, 80 MB creator line, --check", [&]() -> std::vector<std::string> { return {scan, "--check", huge(1)[0]}; }},
      {"100,000 documents, --check", [&]() -> std::vector<std::string> { return {scan, "--check", delivery()}; }},
      {"100,000 documents, --check --json", [&]() -> std::vector<std::string> { return {scan, "--check", "--json", delivery()}; }},
      {"10,000 documents 1,000 folders deep", [&]() -> std::vector<std::string> { return {scan, DeepTree(root).string()}; }},
      {"the same, --check", [&]() -> std::vector<std::string> { return {scan, "--check", DeepTree(root).string()}; }},
      {"1,000 links missing among 100,000 entries", [&]() -> std::vector<std::string> { return {scan, "--check", WideFolder(root).string()}; }},
      {"200 MB trailer of %%+ lines, --check", [&]() -> std::vector<std::string> { return {scan, "--check", TrailerStorm(root).string()}; }},
      {"XMP packet of 155,000 fonts, --check --json", [&]() -> std::vector<std::string> { return {scan, "--check", "--json", XmpFonts(root).string()}; }},
      {"200 MB PDF-based .ai, --check --json", [&]() -> std::vector<std::string> { return {scan, "--check", "--json", large()}; }},
  };
  for (const auto& r : runs) {
    if (filter != nullptr && std::string(r.name).find(filter) == std::string::npos) continue;
    int status = -1;
    double seconds = 0;
    const double mib = PeakMiB(r.args(), status, seconds);
    std::printf("%-44s peak RSS %7.1f MiB %8.2f s  (exit %d)\n", r.name, mib, seconds, status);
  }
  return 0;
}
