// The program in-process: exit status, reports on stderr, progress line, output modes.
#include "cli/scan_run.h"

#include <gtest/gtest.h>

#include "../analysis/fake_document.h"
#include "cli/text_utf8.h"
#include "cli_fixture.h"
#include "json_lite.h"
#include "base/error_text.h"

namespace pelmora::cli {
namespace {

using testing::Lines;

using testing::Eps;
using testing::TempTree;
namespace fs = std::filesystem;

class Capture final : public Console {
 public:
  explicit Capture(bool terminal = false) : terminal_(terminal) {}
  void Out(std::string_view s) override { out += s; }
  void Err(std::string_view s) override { err += s; }
  bool ErrIsTerminal() override { return terminal_; }
  std::string out, err;

 private:
  bool terminal_;
};

TEST(RunScan, ExitStatusTellsWhetherEveryDocumentWasAnalysed) {
  TempTree t;
  t.Write("a.eps", Eps("Adobe Illustrator(R) 16.0", "16.0.0"));
  const fs::path gone = t.Path("gone.eps");

  Capture ok;
  EXPECT_EQ(RunScan({t.root()}, ok), kExitAllAnalysed);
  EXPECT_EQ(ok.err, "");
  EXPECT_EQ(Lines(ok.out).size(), 2u);

  Capture some;
  EXPECT_EQ(RunScan({gone, t.root()}, some), kExitSomeFailed);
  EXPECT_EQ(some.err, "ファイルが見つかりません " + PathText(gone) + "\n");
  EXPECT_NE(some.out.find("16.0.0 (CS6)"), std::string::npos) << "the batch goes on";

  Capture usage;
  EXPECT_EQ(RunScan({fs::path("--nope"), t.root()}, usage), kExitUsage);
  EXPECT_EQ(usage.out, "");
  EXPECT_NE(usage.err.find("--nope"), std::string::npos);
}

TEST(RunScan, AnUnreadableDocumentGetsTheWindowsMessageAndNumber) {
  TempTree t;
  const fs::path doc = t.Write("a.eps", "x");
  pelmora::testing::UseFakeDocument fake("");
  pelmora::testing::Fake().open_error = err::kDeviceIoError;
  Capture c;
  EXPECT_EQ(RunScan({doc, doc.parent_path()}, c), kExitSomeFailed);
  EXPECT_EQ(c.err, ToUtf8(base::ErrorMessage(err::kDeviceIoError)) + " " + PathText(doc) + "\n");
}

TEST(RunScan, ProgressLineOnlyForLargeBatchesOnATerminal) {
  TempTree t;
  for (std::size_t i = 0; i < kProgressFrom; ++i) t.Write(std::to_string(100 + i).append(".eps"), Eps("X", ""));
  Capture large(true), piped(false), small(true);
  RunScan({t.root()}, large);
  RunScan({t.root()}, piped);
  RunScan({t.Path("100.eps"), t.Path("101.eps")}, small);
  std::string last = "\r[";
  last.append(std::to_string(kProgressFrom)).append("/").append(std::to_string(kProgressFrom)).append("] ");
  EXPECT_NE(large.err.find(last), std::string::npos);
  EXPECT_EQ(large.err.back(), '\r') << "the line is cleared before the table";
  EXPECT_EQ(large.err.find('\n'), std::string::npos);
  EXPECT_EQ(piped.err, "");
  EXPECT_EQ(small.err, "");
  EXPECT_EQ(large.out, piped.out);
}

TEST(RunScan, JsonLinesWithTheCollectionSummaryLast) {
  TempTree t;
  t.Write("job/Links/a.psd", "a");
  t.Write("job/logo.eps", Eps("Adobe Illustrator(R) 24.0", "25.2.1", {"Macintosh HD:Links:a.psd", "C:\\img\\\x89\xe6.psd"}));
  t.Write("job/plain.eps", Eps("\x83\x65\x83\x58\x83\x67", ""));
  Capture c;
  EXPECT_EQ(RunScan({fs::path("--json"), fs::path("--collect"), t.Path("out"), t.Path("job")}, c), kExitSomeFailed);
  const auto lines = Lines(c.out);
  ASSERT_EQ(lines.size(), 3u);
  const auto logo = json_lite::Parse(lines[0]);
  EXPECT_EQ(logo["version_name"].str(), "2021");
  EXPECT_EQ(logo["images"].array()[1].str(), "C:\\img\\画.psd");
  EXPECT_EQ(json_lite::Parse(lines[1])["creator"].str(), "テスト");
  const auto summary = json_lite::Parse(lines[2])["collect"];
  EXPECT_EQ(summary["copied"].number(), 1);
  ASSERT_EQ(summary["missing"].array().size(), 1u);
  EXPECT_EQ(summary["missing"].array()[0]["image"].str(), "C:\\img\\画.psd");
  EXPECT_EQ(TempTree::Read(t.Path("out/a.psd")), "a");
}

TEST(RunScan, CollectFolderThatCannotBeMadeIsAUsageError) {
  TempTree t;
  t.Write("file", "x");
  t.Write("a.eps", Eps("X", ""));
  Capture c;
  EXPECT_EQ(RunScan({fs::path("--collect"), t.Path("file"), t.Path("a.eps")}, c), kExitUsage);
  EXPECT_EQ(TempTree::Read(t.Path("file")), "x");
}

TEST(IsPdfBased, LooksPastAMacBinaryHeader) {
  TempTree t;
  const std::string header(128, '\0');
  EXPECT_TRUE(IsPdfBased(t.Write("a", "%PDF-1.5"), false));
  EXPECT_TRUE(IsPdfBased(t.Write("b", header + "%PDF-1.5"), true));
  EXPECT_FALSE(IsPdfBased(t.Write("c", header + "%PDF-1.5"), false));
  EXPECT_FALSE(IsPdfBased(t.Write("d", "%PD"), false));
  EXPECT_FALSE(IsPdfBased(t.Write("e", " %PDF"), false));
  EXPECT_FALSE(IsPdfBased(t.Write("f", "%pdf-1.5"), false));
}

}  // namespace
}  // namespace pelmora::cli
