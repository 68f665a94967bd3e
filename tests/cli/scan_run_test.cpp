// The program in-process: exit status, reports on stderr, progress line, output modes.
#include "cli/scan_run.h"

#include <gtest/gtest.h>

#include "../analysis/fake_document.h"
#include "base/text_utf8.h"
#include "cli_fixture.h"
#include "json_lite.h"
#include "base/error_text.h"
#include "cli/scan_report.h"

namespace pelmora::cli {
namespace {

using namespace base;

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
  bool OutIsTerminal() override { return terminal_; }
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
  // A drive path names another machine's place on any system: outside the delivery, not looked at.
  const char* gone = "outside";
  ASSERT_EQ(summary[gone].array().size(), 1u);
  EXPECT_EQ(summary[gone].array()[0]["image"].str(), "C:\\img\\画.psd");
  EXPECT_EQ(TempTree::Read(t.Path("out/a.psd")), "a");
}

TEST(RunScan, CollectFolderThatCannotBeMadeIsAUsageError) {
  TempTree t;
  t.Write("file", "x");
  t.Write("a.eps", Eps("X", ""));
  Capture c;
  EXPECT_EQ(RunScan({fs::path("--collect"), t.Path("file"), t.Path("a.eps")}, c), kExitUsage);
  EXPECT_EQ(TempTree::Read(t.Path("file")), "x");
  // Nor is a report written where it cannot be, or over a document.
  Capture report;
  EXPECT_EQ(RunScan({fs::path("--output"), t.Path("file/r.txt"), t.Path("a.eps")}, report), kExitUsage);
  EXPECT_EQ(RunScan({fs::path("--output"), t.Path("a.eps"), t.Path("a.eps")}, report), kExitUsage);
  EXPECT_EQ(TempTree::Read(t.Path("a.eps")), Eps("X", ""));
}

// What Windows PowerShell 5.1 and cmd read: code page 932 through a pipe or redirection when asked,
// a report file in UTF-8 that says so with its byte-order mark; a console shows the text as it is.
TEST(RunScan, ReportInTheEncodingItsReaderTakes) {
  TempTree t;
  t.Write("a.eps", Eps("\x83\x65\x83\x58\x83\x67", ""));  // テスト
  const std::string row = "テスト";
  const std::string rowCp932 = "\x83\x65\x83\x58\x83\x67";
  const struct {
    std::vector<fs::path> args;
    bool terminal;
    std::string inOut, inFile;  // what standard output and the file hold
  } cases[] = {
      {{t.Path("a.eps")}, false, row, ""},
      {{fs::path("--encoding"), fs::path("cp932"), t.Path("a.eps")}, false, rowCp932, ""},
      {{fs::path("--encoding"), fs::path("cp932"), t.Path("a.eps")}, true, row, ""},
      {{fs::path("--output"), t.Path("r.txt"), t.Path("a.eps")}, false, "", "\xEF\xBB\xBF"},
      {{fs::path("--output"), t.Path("r.txt"), fs::path("--encoding=cp932"), t.Path("a.eps")}, true, "", rowCp932},
      {{fs::path("--csv"), fs::path("--output"), t.Path("r.txt"), t.Path("a.eps")}, false, "", "\xEF\xBB\xBF\"\xE3\x83\x95"},
      {{fs::path("--csv"), fs::path("--encoding=cp932"), t.Path("a.eps")}, false, "\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC", ""},
  };
  for (const auto& c : cases) {
    std::string shown = c.terminal ? "terminal:" : "";
    for (const fs::path& a : c.args) shown += " " + PathText(a);
    SCOPED_TRACE(shown);
    std::error_code ec;
    fs::remove(t.Path("r.txt"), ec);
    Capture run(c.terminal);
    EXPECT_EQ(RunScan(c.args, run), kExitAllAnalysed) << run.err;
    if (c.inOut.empty()) {
      EXPECT_EQ(run.out, "");
    } else {
      EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
      EXPECT_EQ(run.out.find('?'), std::string::npos) << run.out;
    }
    if (!c.inFile.empty()) {
      const std::string file = TempTree::Read(t.Path("r.txt"));
      EXPECT_NE(file.find(c.inFile), std::string::npos) << file;
      EXPECT_EQ(file.find("\xEF\xBB\xBF", 1), std::string::npos) << "one byte-order mark at most";
      EXPECT_EQ(file.find("\xEF\xBB\xBF") == 0, c.inFile.rfind("\xEF\xBB\xBF", 0) == 0);
    }
  }
  EXPECT_EQ(Utf8ToCp932("A パ ① ☃"), "A \x83\x70 \x87\x40 ?");
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


// A read that fails part-way is the document's failure, not an empty document.
TEST(RunScan, ReadErrorsDuringTheScanAreReportedNotShownAsEmptyRows) {
  TempTree t;
  const fs::path doc = t.Write("a.eps", "x");
  const struct {
    const char* name;
    int failingRead;
    std::size_t piece;
    bool badAlloc;
  } cases[] = {
      {"first read", 0, 1 << 20, false},
      {"third read, in pieces", 2, 16, false},
      {"fourth read, in pieces", 3, 16, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pelmora::testing::UseFakeDocument fake(Eps("Adobe Illustrator(R) 16.0", "16.0.0") + std::string(100000, ' '), c.piece);
    pelmora::testing::Fake().failing_read = c.failingRead;
    for (const char* mode : {"", "--json"}) {
      Capture out;
      std::vector<fs::path> args = {doc};
      if (*mode) args.insert(args.begin(), fs::path(mode));
      EXPECT_EQ(RunScan(args, out), kExitSomeFailed);
      EXPECT_EQ(out.err, ToUtf8(base::ErrorMessage(err::kDeviceIoError)) + " " + PathText(doc) + "\n");
      if (*mode) {
        // One record per document, the unreadable one too: its error, no fields.
        ASSERT_EQ(Lines(out.out).size(), 1u) << out.out;
        EXPECT_EQ(Lines(out.out)[0], "{\"path\":" + JsonString(PathText(doc)) + ",\"error\":{\"number\":57,\"message\":" +
                                         JsonString(ToUtf8(base::ErrorMessage(err::kDeviceIoError))) + "}}");
      } else {
        EXPECT_EQ(Lines(out.out).size(), 1u) << "no row, headings only:\n" << out.out;
      }
    }
  }
}

// Whatever a document or a file name holds reaches the terminal inert: the table, the image
// lines and stderr show '?' for anything that would act; JSON escapes it.
TEST(RunScan, NothingFromADeliveryActsOnTheTerminal) {
  const std::string hostile[] = {
      "\r\x1b[2K\x1b]0;owned\x07", "\xE2\x80\xAE" "fdp.exe",  // U+202E
      "\xE2\x81\xA6x\xE2\x81\xA7y\xE2\x81\xA8z\xE2\x81\xA9", "a\xE2\x80\xA8" "b",  // isolates, U+2028
      "\xC2\x85\xC2\x9B" "31m", "\x7f",
  };
  for (const std::string& h : hostile) {
    const std::string shown = PrintableCell(h);
    SCOPED_TRACE(shown);
    for (std::size_t pos = 0; pos < shown.size();) EXPECT_FALSE(IsTerminalControl(NextCodePoint(shown, pos)));
    EXPECT_NE(shown.find('?'), std::string::npos);
    const std::string json = JsonString(h);
    for (std::size_t pos = 0; pos < json.size();) EXPECT_FALSE(IsTerminalControl(NextCodePoint(json, pos))) << json;
    EXPECT_EQ(json_lite::Parse(json).str(), h) << "escaped, not lost";
  }

  TempTree t;
  t.Write("job/a.eps", Eps(hostile[0], "", {"x" + hostile[1] + ".tif", hostile[3]}));
  const fs::path gone = t.Path("job/gone" + hostile[0] + ".eps");
  Capture c;
  EXPECT_EQ(RunScan({fs::path("--images"), fs::path("--collect"), t.Path("out"), t.Path("job"), gone}, c), kExitSomeFailed);
  for (const std::string* text : {&c.out, &c.err}) {
    for (std::size_t pos = 0; pos < text->size();) {
      const char32_t ch = NextCodePoint(*text, pos);
      EXPECT_TRUE(ch == '\n' || !IsTerminalControl(ch)) << "U+" << std::hex << static_cast<unsigned>(ch) << " in\n" << *text;
    }
  }
  EXPECT_NE(c.err.find("gone??[2K?]0;owned?.eps"), std::string::npos) << c.err;
}

// One document's values are cut for output, the table is written as it goes: memory stays
// bounded whatever the documents hold and however many there are.
TEST(RunScan, LongValuesAreCutAndMarkedAndRowsAreWrittenAsTheyCome) {
  TempTree t;
  const std::string sjis = "\x83\x65";  // テ, two bytes a character
  const auto times = [](const std::string& s, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
  };
  const struct {
    const char* name;
    std::string creator;
    std::string shown;  // UTF-8
  } cases[] = {
      {"not cut", std::string(kValueChars, 'a'), std::string(kValueChars, 'a')},
      {"two-byte, kept whole in the pass", times(sjis, 5000), times("テ", kValueChars) + "…"},
      {"beyond the pass, blanks after the cut", "  " + std::string(kValueChars, 'b') + std::string(300000, ' ') + "c",
       std::string(kValueChars, 'b') + "…"},
      {"trailing blanks only", std::string(kValueChars, 'd') + std::string(300000, ' '), std::string(kValueChars, 'd')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path doc = t.Write("doc.eps", Eps(c.creator, "", {"C:\\" + std::string(5000, 'i')}));
    Capture json, table;
    ASSERT_EQ(RunScan({fs::path("--json"), doc}, json), kExitAllAnalysed);
    ASSERT_EQ(RunScan({fs::path("--images"), doc}, table), kExitAllAnalysed);
    const auto row = json_lite::Parse(json.out);
    EXPECT_TRUE(row["creator"].str() == c.shown) << row["creator"].str().size() << " bytes";
    if (c.creator.size() < 100000) {  // a longer line leaves the image list outside the header text
      ASSERT_EQ(row["images"].array().size(), 1u);
      EXPECT_TRUE(row["images"].array()[0].str() == "C:\\" + std::string(kValueChars - 3, 'i') + "…");
    }
    const bool cut = c.shown.ends_with("…") || c.creator.size() < 100000;
    EXPECT_EQ(row.object().count("truncated"), cut ? 1u : 0u);
    EXPECT_NE(table.out.find("  " + c.shown + "\n"), std::string::npos);
    EXPECT_LT(json.out.size() + table.out.size(), 6 * kValueChars * 3);
  }

  // A block full of rows is written before the next document is read.
  TableWriter writer(false, 1);
  DocumentRow r;
  r.path = "a.eps";
  std::string written;
  writer.Add(r, [&](const std::string& text) { written += text; });
  EXPECT_EQ(Lines(written).size(), 2u) << "headings and the first row";
}

// A report that could not be written must not pass for one that was.
TEST(RunScan, AFailedWriteToStandardOutputEndsTheRun) {
  class Failing final : public Console {
   public:
    explicit Failing(bool quiet) : quiet_(quiet) {}
    void Out(std::string_view) override { throw OutputError{"No space left on device", quiet_}; }
    void Err(std::string_view s) override { err += s; }
    bool ErrIsTerminal() override { return false; }
    std::string err;

   private:
    bool quiet_;
  };
  TempTree t;
  t.Write("a.eps", Eps("X", ""));
  t.Write("b.eps", Eps("Y", ""));
  for (const bool quiet : {false, true}) {
    for (const char* mode : {"--json", "--images"}) {
      Failing c(quiet);
      EXPECT_EQ(RunScan({fs::path(mode), t.root()}, c), kExitSomeFailed);
      EXPECT_EQ(c.err, quiet ? "" : "pelmora-scan: 出力を書き込めません: No space left on device\n");
    }
  }
}
}  // namespace
}  // namespace pelmora::cli
