// Broken and hostile documents through the whole start-up, on real files where the platform's
// reader matters: what the user is shown, that reading stays within the windows, and that no
// document is ever changed.
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "../analysis/fake_document.h"
#include "../documents/samples.h"
#include "analysis/header_scan.h"
#include "analysis/run_error.h"
#include "launch/analysis_run.h"

namespace {

using namespace pelmora;
namespace fs = std::filesystem;
using namespace std::string_literals;

class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("pelmora-hostile-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  fs::path Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return path_ / name;
  }

 private:
  fs::path path_;
};

// What the user is shown: the result window's fields, one message box, or the missing-file text.
struct Seen {
  bool window = false;
  launch::AnalysisResult result;
  std::int32_t error = 0;
  std::wstring message;
  int progress = 0;
};

class Host final : public launch::MainHost {
 public:
  Host(const fs::path& path, std::function<void()> after_exists) : path_(path), after_exists_(std::move(after_exists)) {}
  std::wstring CommandLineArgs() override { return path_.wstring(); }
  bool FileExists(const std::wstring& path) override {
    const bool exists = fs::is_regular_file(path);
    if (after_exists_) after_exists_();
    return exists;
  }
  void Message(const std::wstring& text, int) override { seen.message = text; }
  void SetMousePointer(int) override {}
  void ShowWait(const std::wstring&) override { ++seen.progress; }
  void UnloadWait() override {}
  void ShowResult(const launch::AnalysisResult& result) override {
    seen.window = true;
    seen.result = result;
  }
  void ShowError(std::int32_t number) override { seen.error = number; }
  Seen seen;

 private:
  fs::path path_;
  std::function<void()> after_exists_;
};

Seen Analyse(const fs::path& path, std::function<void()> after_exists = {}) {
  Host host(path, std::move(after_exists));
  launch::Main(host);
  return host.seen;
}

// Bytes and modification time, to the nanosecond.
struct Snapshot {
  std::string bytes;
  timespec mtime{};
  bool operator==(const Snapshot& o) const {
    return bytes == o.bytes && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
  }
};

Snapshot Take(const fs::path& path) {
  Snapshot s;
  std::ifstream in(path, std::ios::binary);
  s.bytes.resize(fs::file_size(path));
  in.read(s.bytes.data(), static_cast<std::streamsize>(s.bytes.size()));
  struct stat st {};
  ::stat(path.c_str(), &st);
  s.mtime = st.st_mtim;
  return s;
}

struct OddCase {
  const char* name;
  std::string bytes;
  std::string kind, creator;
  bool mac;
  int progress;  // 0: the first window decided, 1: the larger windows were read
  friend void PrintTo(const OddCase& c, std::ostream* os) { *os << c.name; }
};

class OddDocuments : public ::testing::TestWithParam<OddCase> {};

// Each is analysed to the end and shown in the window, and is left exactly as it was.
TEST_P(OddDocuments, AreShownInTheWindowAndLeftUntouched) {
  const OddCase& c = GetParam();
  TempDir dir;
  const fs::path path = dir.Write("odd.eps", c.bytes);
  const Snapshot before = Take(path);
  const Seen seen = Analyse(path);
  EXPECT_TRUE(seen.window);
  EXPECT_EQ(seen.error, 0);
  EXPECT_EQ(seen.result.strFiletype, c.kind);
  EXPECT_EQ(seen.result.vstrVersionString, c.creator);
  EXPECT_EQ(seen.result.vblnMac, c.mac);
  EXPECT_EQ(seen.result.vlngLinkImage, 0);
  EXPECT_EQ(seen.progress, c.progress);
  EXPECT_TRUE(Take(path) == before);
}

const std::string kPs = "%!PS-Adobe-3.0\r";

INSTANTIATE_TEST_SUITE_P(
    Files, OddDocuments,
    ::testing::Values(
        OddCase{"ZeroBytes", "", "", "", false, 1},
        OddCase{"OnlyCr", std::string(3 << 20, '\r'), "", "", false, 1},
        OddCase{"OnlyNul", std::string(3 << 20, '\0'), "", "", false, 1},
        // 0x00 then 0x01 as the name length: a MacBinary header by shape, nothing else.
        OddCase{"NulThenOne", "\0\x01"s + std::string(3 << 20, '\0'), "", "", true, 1},
        // Every 0x81 0x81 is one character: the largest window covers twice the bytes.
        OddCase{"OnlyLeadBytes", std::string(3 << 20, '\x81'), "", "", false, 1},
        OddCase{"CreatorEndedByTheLastByte", kPs + "%%Creator: X\r", "AI", "X", false, 0},
        OddCase{"LoneLeadByteAtTheEnd", kPs + "%%Creator: X\x82", "AI", "", false, 1}),
    [](const ::testing::TestParamInfo<OddCase>& info) { return std::string(info.param.name); });

struct EdgeCase {
  const char* name;
  std::string at_edge;  // bytes from character 102,400 of the document on
  std::optional<std::string> first, second;
  friend void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }
};

class LeadByteAtTheWindowEdge : public ::testing::TestWithParam<EdgeCase> {};

// The 102,400th character is or begins with a lead byte, and the read in pieces ends right after
// that lead byte, so the scan must wait for the next read to know the character's length.
TEST_P(LeadByteAtTheWindowEdge, CountsTheCharacterWholeWhateverTheReads) {
  const EdgeCase& c = GetParam();
  const std::string head = kPs + "%%Creator: X";
  const std::string doc = head + std::string(102399 - head.size(), 'y') + c.at_edge;
  for (std::size_t piece : {doc.size(), std::size_t{102400}, std::size_t{4096}}) {
    SCOPED_TRACE(piece);
    for (const auto& [window, want] : {std::pair{102400, c.first}, std::pair{2048000, c.second}}) {
      pelmora::testing::UseFakeDocument fake(doc, piece);
      std::string version, kind, header;
      EXPECT_EQ(analysis::ScanHeader("doc.eps", window, version, kind, header), want) << window;
    }
  }
}

const std::string kY = std::string(102399 - 27, 'y');

INSTANTIATE_TEST_SUITE_P(
    Documents, LeadByteAtTheWindowEdge,
    ::testing::Values(
        // The pair is the window's last character; the CR after it lies outside.
        EdgeCase{"PairThenCr", "\x82\x40\r", std::nullopt, "X" + kY + "\x82\x40"},
        // Not followed by a trail byte: the lead byte alone is the last character.
        EdgeCase{"LeadThenCr", "\x82\r", std::nullopt, "X" + kY + "\x82"},
        EdgeCase{"LeadThenCrInside", "\r\x82\r", "X" + kY, "X" + kY},
        // The document ends on the lead byte: no line end anywhere after the marker.
        EdgeCase{"LeadAsTheLastByte", "\x82", std::nullopt, std::nullopt}),
    [](const ::testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

// The platform's reader under an opener that counts, and may act on the file, at every open.
struct OpenAction {
  static inline std::uint64_t bytes_read = 0;
  static inline int opens = 0;
  static inline std::function<void(int open, std::uint64_t read_so_far)> on_read;

  class Reader final : public analysis::DocumentReader {
   public:
    explicit Reader(std::unique_ptr<analysis::DocumentReader> inner) : inner_(std::move(inner)), open_(opens) {}
    std::size_t Read(char* buffer, std::size_t size) override {
      if (on_read) on_read(open_, read_);
      const std::size_t got = inner_->Read(buffer, size);
      read_ += got;
      bytes_read += got;
      return got;
    }

   private:
    std::unique_ptr<analysis::DocumentReader> inner_;
    int open_;
    std::uint64_t read_ = 0;
  };

  static std::unique_ptr<analysis::DocumentReader> Open(const analysis::DocumentPath& path) {
    ++opens;
    return std::make_unique<Reader>(analysis::OpenPlatformDocument(path));
  }

  explicit OpenAction(std::function<void(int, std::uint64_t)> action = {}) {
    bytes_read = 0;
    opens = 0;
    on_read = std::move(action);
    previous_ = analysis::SetDocumentOpener(&Open);
  }
  ~OpenAction() {
    analysis::SetDocumentOpener(previous_);
    on_read = {};
  }
  analysis::DocumentOpener previous_;
};

long PeakKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(HostileDocuments, AFiveGigabyteSparseFileIsReadOnlyAsFarAsTheWindows) {
  TempDir dir;
  const fs::path path = dir.Write("video.eps", "");
  fs::resize_file(path, std::uint64_t{5} << 30);  // a hole: no disk space taken
  const long peak = PeakKiB();
  OpenAction counting;
  const Seen seen = Analyse(path);
  EXPECT_TRUE(seen.window);
  EXPECT_EQ(seen.result.strFiletype, "");
  EXPECT_EQ(seen.result.vstrVersionString, "");
  EXPECT_FALSE(seen.result.vblnMac);
  // Each scan may read at most one buffer beyond its window; the Mac check reads 128 bytes.
  EXPECT_LE(counting.bytes_read, 102400u + 2048000u + 40960000u + 3u * (256u * 1024u + 1u) + 128u);
  EXPECT_LT(PeakKiB() - peak, 32 * 1024) << "the window must not be held in memory";
}

TEST(HostileDocuments, AFileThatGrowsWhileReadIsReadAsFarAsItReaches) {
  TempDir dir;
  const fs::path path = dir.Write("growing.ai", kPs + std::string(200000, 'x'));
  // During the second scan a writer appends the creator line.
  OpenAction growing([&](int open, std::uint64_t read_so_far) {
    if (open == 2 && read_so_far == 0) std::ofstream(path, std::ios::app | std::ios::binary) << "%%Creator: Late\r";
  });
  const Seen seen = Analyse(path);
  EXPECT_TRUE(seen.window);
  EXPECT_EQ(seen.result.vstrVersionString, "Late");
  EXPECT_EQ(seen.progress, 1);
}

TEST(HostileDocuments, AFileGrowingFasterThanItIsReadStillEndsAtTheWindow) {
  TempDir dir;
  const fs::path path = dir.Write("copying.ai", kPs);
  const std::string chunk(300 * 1024, 'x');  // more than one read takes
  OpenAction growing([&](int, std::uint64_t) { std::ofstream(path, std::ios::app | std::ios::binary) << chunk; });
  const Seen seen = Analyse(path);
  EXPECT_TRUE(seen.window);
  EXPECT_EQ(seen.result.vstrVersionString, "");
  EXPECT_LE(growing.bytes_read, 102400u + 2048000u + 40960000u + 3u * (256u * 1024u + 1u) + 128u);
}

TEST(HostileDocuments, DeletedAfterTheExistenceTestEndsInTheFileNotFoundMessage) {
  TempDir dir;
  const fs::path path = dir.Write("gone.eps", kPs + "%%Creator: X\r");
  const Seen seen = Analyse(path, [&] { fs::remove(path); });
  EXPECT_FALSE(seen.window);
  EXPECT_EQ(seen.error, err::kFileNotFound);
  EXPECT_EQ(seen.progress, 1) << "the scans fail quietly and look further";
}

TEST(HostileDocuments, TruncatedAfterTheExistenceTestShowsWhatIsLeft) {
  TempDir dir;
  const fs::path path = dir.Write("cut.eps", kPs + "%%Creator: X\r");
  const Seen seen = Analyse(path, [&] { fs::resize_file(path, kPs.size() + 6); });
  EXPECT_TRUE(seen.window);
  EXPECT_EQ(seen.result.strFiletype, "AI");
  EXPECT_EQ(seen.result.vstrVersionString, "");
}

// A value too long to keep is read again once its end is known; the document is cut before that.
TEST(HostileDocuments, TruncatedBeforeALongValueIsReadAgainGivesNoValueForThatScan) {
  TempDir dir;
  const fs::path path = dir.Write("long.ai", kPs + "%%Creator: " + std::string(70000, 'v') + "\r");
  OpenAction cutting([&](int open, std::uint64_t read_so_far) {
    if (open == 2 && read_so_far == 0) fs::resize_file(path, 1000);
  });
  const Seen seen = Analyse(path);
  EXPECT_TRUE(seen.window);
  EXPECT_EQ(seen.result.strFiletype, "AI");
  EXPECT_EQ(seen.result.vstrVersionString, "") << "the cut line has no end any more";
  EXPECT_EQ(seen.progress, 1);
  EXPECT_GE(cutting.opens, 4);
}

void ExpectEveryDocumentUntouched(const char* root) {
  int documents = 0;
  for (const auto& entry : fs::directory_iterator(e2e::SamplePath(root, "."))) {
    if (!e2e::StartupCanOpen(entry.path())) continue;
    SCOPED_TRACE(entry.path().filename().string());
    const Snapshot before = Take(entry.path());
    const Seen seen = Analyse(entry.path());
    EXPECT_TRUE(seen.window);
    EXPECT_TRUE(Take(entry.path()) == before);
    ++documents;
  }
  EXPECT_GT(documents, 0);
}

TEST(NothingWritten, EveryDocumentIsByteIdenticalWithItsTimeAfterTheAnalysis) {
  ExpectEveryDocumentUntouched(PELMORA_DOCUMENTS);
}

TEST(NothingWritten, EverySampleCorpusDocumentToo) {
  if (!e2e::CorpusPresent()) GTEST_SKIP() << e2e::kNoCorpus;
  ExpectEveryDocumentUntouched(PELMORA_CORPUS);
}

}  // namespace
