// The start-up's order of work, recorded through a host that stands in for the windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../analysis/fake_document.h"
#include "analysis/run_error.h"
#include "launch/analysis_run.h"

namespace {

using namespace pelmora;
namespace fake = pelmora::testing;
using launch::AnalysisResult;

class RecordingHost final : public launch::MainHost {
 public:
  std::wstring args;
  bool exists = true;
  std::int32_t showResultError = 0;
  std::int32_t showWaitError = 0;
  std::vector<std::wstring> calls;
  std::vector<std::wstring> existsAsked;
  AnalysisResult shown;
  bool resultShown = false;
  int pauses = 0;
  int pausesAtWait = -1;
  int pausesAtResult = -1;

  std::wstring CommandLineArgs() override { return args; }
  bool FileExists(const std::wstring& path) override {
    existsAsked.push_back(path);
    return exists;
  }
  void Message(const std::wstring& text, int style) override {
    calls.push_back(L"message " + std::to_wstring(style) + L" " + text);
  }
  void SetMousePointer(int pointer) override { calls.push_back(L"pointer " + std::to_wstring(pointer)); }
  void ShowWait(const std::wstring& path) override {
    calls.push_back(L"wait " + path);
    pausesAtWait = pauses;
    if (showWaitError) throw RunError(showWaitError);
  }
  void UnloadWait() override { calls.push_back(L"unload wait"); }
  void BetweenReads() override { ++pauses; }
  void ShowResult(const AnalysisResult& result) override {
    calls.push_back(L"result");
    pausesAtResult = pauses;
    if (showResultError) throw RunError(showResultError);
    shown = result;
    resultShown = true;
  }
  void ShowError(std::int32_t number) override { calls.push_back(L"error " + std::to_wstring(number)); }
};

using Calls = std::vector<std::wstring>;

TEST(CleanCommandLine, TrimsBlanksThenOneQuoteAtEachEnd) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"C:\\data\\logo.eps", L"C:\\data\\logo.eps"},
      {L"\"C:\\data\\logo.eps\"", L"C:\\data\\logo.eps"},
      {L"\"C:\\data\\logo.eps", L"C:\\data\\logo.eps"},
      {L"C:\\data\\logo.eps\"", L"C:\\data\\logo.eps"},
      {L"  \"C:\\x.eps\"  ", L"C:\\x.eps"},
      {L"\" C:\\x.eps \"", L" C:\\x.eps "},
      {L"\"C:\\a.eps\" \"C:\\b.eps\"", L"C:\\a.eps\" \"C:\\b.eps"},
      {L"\"\"\"x\"\"\"", L"\"\"x\"\""},
      {L"   ", L""},
      {L"\"", L""},
      {L"\"\"", L""},
      {L"\x3000x.eps\x3000", L"\x3000x.eps\x3000"},  // only U+0020 is a blank here
  };
  for (const auto& c : cases) EXPECT_EQ(launch::CleanCommandLine(c.in), c.out) << c.in;
}

TEST(Main, EmptyCommandLineShowsTheEmptyWindowAndNothingElse) {
  RecordingHost host;
  launch::Main(host);
  EXPECT_EQ(host.calls, Calls{L"result"});
  EXPECT_TRUE(host.existsAsked.empty());
  EXPECT_EQ(host.shown.strFile, L"");
  EXPECT_EQ(host.shown.vlngLinkImage, 0);
  EXPECT_TRUE(host.shown.rastrLinkImage.empty());
  EXPECT_FALSE(host.shown.vblnMac);
}

TEST(Main, MissingDocumentShowsTheMessageWithoutTouchingTheCursor) {
  RecordingHost host;
  host.args = L"\"C:\\a.eps\" \"C:\\b.eps\"";
  host.exists = false;
  launch::Main(host);
  EXPECT_EQ(host.calls, Calls{L"message 48 ファイルが見つかりません \r\nC:\\a.eps\" \"C:\\b.eps"});
}

TEST(Main, BlanksOnlyNameNoFileAndAreNotSearchedFor) {
  RecordingHost host;
  host.args = L"   ";
  launch::Main(host);
  EXPECT_EQ(host.calls, Calls{L"message 48 ファイルが見つかりません \r\n"});
  EXPECT_TRUE(host.existsAsked.empty());
}

TEST(Main, CreatorInTheFirstWindowNeedsNoProgressWindow) {
  fake::UseFakeDocument doc(
      "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%AI8_CreatorVersion: 8.0.1\r\n"
      "%%DocumentFiles:C:\\img\\a.psd\r\n%%+C:\\img\\b.tif\r\n%%EndComments\r\n");
  RecordingHost host;
  host.args = L" \"C:\\data\\logo.eps\" ";
  launch::Main(host);
  EXPECT_EQ(host.calls, (Calls{L"pointer 11", L"pointer 0", L"result", L"unload wait"}));
  EXPECT_EQ(host.existsAsked, std::vector<std::wstring>{L"C:\\data\\logo.eps"});
  ASSERT_TRUE(host.resultShown);
  EXPECT_EQ(host.shown.strFile, L"C:\\data\\logo.eps");
  EXPECT_EQ(host.shown.vstrVersionString, "Adobe Illustrator(R) 8.0");
  EXPECT_EQ(host.shown.vstrCreatorVersion, "8.0.1");
  EXPECT_EQ(host.shown.strFiletype, "EPS");
  EXPECT_FALSE(host.shown.vblnMac);
  EXPECT_EQ(host.shown.vlngLinkImage, 2);
  EXPECT_EQ(host.shown.rastrLinkImage, (std::vector<std::string>{"C:\\img\\a.psd", "C:\\img\\b.tif"}));
}

TEST(Main, CreatorBeyondTheFirstWindowIsFoundByTheSecondScanUnderTheProgressWindow) {
  std::string bytes = "%!PS-Adobe-3.0\r\n%%AI8_CreatorVersion: 13.0.0\r\n";
  bytes.append(120000 - bytes.size(), 'x');
  bytes += "\r%%Creator: Adobe Illustrator(R) 13.0\r";
  fake::UseFakeDocument doc(bytes);
  RecordingHost host;
  host.args = L"C:\\big.ai";
  launch::Main(host);
  // The progress window goes once the result window is shown, so that one of the program's
  // windows is active throughout.
  EXPECT_EQ(host.calls, (Calls{L"pointer 11", L"wait C:\\big.ai", L"pointer 0", L"result", L"unload wait"}));
  EXPECT_EQ(host.shown.vstrVersionString, "Adobe Illustrator(R) 13.0");
  EXPECT_EQ(host.shown.strFiletype, "AI");
  EXPECT_EQ(host.shown.vstrCreatorVersion, "13.0.0");
  // Two scans and the Mac binary check: no third scan once the second found the creator.
  EXPECT_EQ(fake::Fake().opens, 3);
}

// Every block read is followed by one pause, under the progress window too, and none is left once
// the result window is up.
TEST(Main, EachBlockOfTheReadingIsFollowedByAPause) {
  std::string bytes = "%!PS-Adobe-3.0\r\n";
  bytes.append(120000 - bytes.size(), 'x');
  bytes += "\r%%Creator: Far\r";
  fake::UseFakeDocument doc(bytes, 4096);
  RecordingHost host;
  host.args = L"C:\\big.ai";
  launch::Main(host);
  EXPECT_EQ(host.shown.vstrVersionString, "Far");
  EXPECT_GT(host.pausesAtWait, 120000 / 4096 / 2) << "the first scan's blocks";
  EXPECT_GT(host.pausesAtResult, host.pausesAtWait + 120000 / 4096) << "the second scan's blocks";
  EXPECT_EQ(host.pauses, fake::Fake().reads);
  EXPECT_EQ(host.pausesAtResult, host.pauses);

  char buffer[16];
  pelmora::analysis::OpenDocument("C:\\big.ai")->Read(buffer, sizeof buffer);
  EXPECT_EQ(host.pauses, fake::Fake().reads - 1) << "a read after the start-up paused";
}

TEST(Main, DocumentWithoutCreatorGoesThroughAllThreeScans) {
  fake::UseFakeDocument doc("not a PostScript file at all\r\n");
  RecordingHost host;
  host.args = L"C:\\notes.txt";
  launch::Main(host);
  EXPECT_EQ(host.calls, (Calls{L"pointer 11", L"wait C:\\notes.txt", L"pointer 0", L"result", L"unload wait"}));
  EXPECT_EQ(fake::Fake().opens, 4);
  EXPECT_EQ(host.shown.vstrVersionString, "");
  EXPECT_EQ(host.shown.strFiletype, "");
  EXPECT_EQ(host.shown.vlngLinkImage, 0);
}

TEST(Main, UnreadableDocumentIsReportedOnceByTheMacBinaryCheck) {
  fake::UseFakeDocument doc("%!PS-Adobe-3.0\r\n%%Creator: x\r\n");
  fake::Fake().open_error = err::kPathFileAccessError;
  RecordingHost host;
  host.args = L"C:\\locked.eps";
  launch::Main(host);
  EXPECT_EQ(host.calls,
            (Calls{L"pointer 11", L"wait C:\\locked.eps", L"unload wait", L"pointer 0", L"error 75"}));
  // The trap unloads the progress window before its message, or it would keep the process alive.
  EXPECT_FALSE(host.resultShown);
}

TEST(Main, FailureOfTheResultWindowReachesTheTrap) {
  fake::UseFakeDocument doc("%!PS-Adobe-3.0\r\n%%Creator: x\r\n");
  RecordingHost host;
  host.args = L"C:\\x.eps";
  host.showResultError = err::kOutOfMemory;
  launch::Main(host);
  EXPECT_EQ(host.calls, (Calls{L"pointer 11", L"pointer 0", L"result", L"unload wait", L"pointer 0", L"error 7"}));
}

// Loaded but never shown, the progress window must not keep the process alive unseen.
TEST(Main, FailureOfTheProgressWindowUnloadsItInTheTrap) {
  fake::UseFakeDocument doc("no creator here\r\n");
  RecordingHost host;
  host.args = L"C:\\x.eps";
  host.showWaitError = err::kOutOfMemory;
  launch::Main(host);
  EXPECT_EQ(host.calls, (Calls{L"pointer 11", L"wait C:\\x.eps", L"unload wait", L"pointer 0", L"error 7"}));
  EXPECT_FALSE(host.resultShown);
}

}  // namespace
