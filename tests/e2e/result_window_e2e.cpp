// The result window as a user sees it: started on documents, empty, or on a missing file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

#include "../documents/samples.h"
#include "harness.h"
#include "ui/main/select_ids.h"

namespace {

namespace id = pelmora::ui::select_ids;
using e2e::App;
using e2e::Sample;
using e2e::kSamples;

constexpr wchar_t kCaption[] = L"Pelmora 3.1";

std::wstring KindText(const char* kind) {
  if (std::string(kind) == "EPS") return L"EPSファイル (EPS)";
  if (std::string(kind) == "AI") return L"Illustrator形式ファイル (AI)";
  return L"（不明）";
}

// Each document in a process of its own, as a user opens them; started several at a time, since
// most of a start under Wine is waiting, not work.
void ExpectShown(std::span<const Sample> samples, std::wstring (*file)(std::string_view)) {
  constexpr std::size_t kAtOnce = 8;
  for (std::size_t from = 0; from < samples.size(); from += kAtOnce) {
    const std::span<const Sample> batch = samples.subspan(from, std::min(kAtOnce, samples.size() - from));
    std::vector<std::unique_ptr<App>> apps;
    for (const Sample& s : batch) apps.push_back(std::make_unique<App>(L"\"" + file(s.file) + L"\""));
    for (std::size_t i = 0; i < batch.size(); ++i) {
      const Sample& s = batch[i];
      SCOPED_TRACE(s.file);
      HWND w = e2e::WaitWindow(apps[i]->pid(), kCaption);
      ASSERT_TRUE(w) << "no result window";
      EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtFile).hwnd), e2e::Widen(s.file));
      EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtEpsorAI).hwnd), KindText(s.kind));
      EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtVersionString).hwnd), s.creator);
      EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtCreatorVersion).hwnd), s.version);
      EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtMac).hwnd), s.mac ? L"あり" : L"なし");
    }
  }
}

TEST(DocumentWindows, ShowKindCreatorVersionAndMacBinary) { ExpectShown(e2e::kDocuments, e2e::DocumentFile); }

TEST(CorpusWindows, ShowKindCreatorVersionAndMacBinary) {
  if (!e2e::CorpusPresent()) GTEST_SKIP() << e2e::kNoCorpus;
  ExpectShown(kSamples, e2e::CorpusFile);
}

TEST(ResultWindow, StartedEmptyShowsEmptyFieldsAndLayout) {
  App app(L"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  for (int field : {id::txtFile, id::txtVersionString, id::txtCreatorVersion, id::txtImage}) {
    EXPECT_EQ(e2e::Text(e2e::Child(w, field).hwnd), L"") << field;
  }
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtEpsorAI).hwnd), L"（不明）");
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtMac).hwnd), L"なし");

  const SIZE client = e2e::ClientSize(w);
  EXPECT_NEAR(client.cx, e2e::Twips(7380), 1);
  EXPECT_NEAR(client.cy, e2e::Twips(5595), 1);

  struct Expect { int id; const wchar_t* cls; const wchar_t* text; int l, t, w, h; };
  // In tab order.
  const Expect layout[] = {
      {id::cmdCancel, L"Button", L"終了", 5400, 4860, 1455, 375},
      {id::txtVersionString, L"Edit", L"", 2040, 1200, 3735, 270},
      {id::Label1, L"Static", L"保存形式", 480, 1260, 1695, 255},
      {id::txtCreatorVersion, L"Edit", L"", 2040, 1620, 1335, 270},
      {id::Label2, L"Static", L"作成時に使用した", 480, 1680, 1815, 255},
      {id::txtFile, L"Edit", L"", 2040, 360, 4815, 270},
      {id::Label3, L"Static", L"ファイル名", 480, 420, 1215, 255},
      {id::txtEpsorAI, L"Edit", L"（不明）", 2040, 780, 4815, 270},
      {id::Label4, L"Static", L"ファイルの種類", 480, 840, 1695, 255},
      {id::Label5, L"Static", L"ソフトのバージョン", 480, 1920, 1815, 255},
      {id::txtMac, L"Edit", L"なし", 2040, 2160, 1335, 270},
      {id::Label7, L"Static", L"Macバイナリ", 480, 2220, 1815, 255},
      {id::Label6, L"Static", L"配置画像（.ai または .pdf 形式のみ）", 480, 2640, 4455, 255},
      {id::txtImage, L"Edit", L"", 480, 2940, 6375, 1590},
      {id::cmdFolder, L"Button", L"フォルダへ収集(&F)...", 5160, 2520, 1695, 375},
      {id::cmdType, L"Button", L"説明(&A)...", 5880, 1140, 975, 375},
  };
  const auto children = e2e::Children(w);
  ASSERT_EQ(children.size(), std::size(layout));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const auto& c = children[i];
    const auto& e = layout[i];
    SCOPED_TRACE(e2e::Narrow(e.text) + " #" + std::to_string(i));
    EXPECT_EQ(c.id, e.id);
    EXPECT_EQ(c.cls, e.cls);
    EXPECT_EQ(c.text, e.text);
    EXPECT_NEAR(c.rect.left, e2e::Twips(e.l), 1);
    EXPECT_NEAR(c.rect.top, e2e::Twips(e.t), 1);
    EXPECT_NEAR(c.rect.right - c.rect.left, e2e::Twips(e.w), 1);
    EXPECT_NEAR(c.rect.bottom - c.rect.top, e2e::Twips(e.h), 1);
    if (c.cls == L"Edit") {
      EXPECT_TRUE(c.style & ES_READONLY);
    }
  }
  EXPECT_TRUE(e2e::Child(w, id::txtImage).style & ES_MULTILINE);
  EXPECT_TRUE(e2e::Child(w, id::txtImage).style & WS_VSCROLL);
  EXPECT_TRUE(e2e::Child(w, id::cmdFolder).enabled);

}

TEST(ResultWindow, EscAndEndButtonCloseTheWindowAndEndTheProcess) {
  {
    App app(L"");
    HWND w = e2e::WaitWindow(app.pid(), kCaption);
    ASSERT_TRUE(w);
    e2e::Key(w, VK_ESCAPE);
    EXPECT_TRUE(app.WaitExit());
  }
  {
    App app(L"");
    HWND w = e2e::WaitWindow(app.pid(), kCaption);
    ASSERT_TRUE(w);
    e2e::Click(e2e::Child(w, id::cmdCancel).hwnd);
    EXPECT_TRUE(app.WaitExit());
  }
}

// A keyboard user reaches everything: the window comes up in front with the focus on 終了; Tab and
// Shift+Tab walk every tab stop in the layout's order and wrap around, out of the image list too;
// the notes and About windows are owned by this window and hand the focus back to what opened
// them; Enter on 終了 closes the window.
TEST(ResultWindow, KeyboardReachesEveryTabStopInOrderAndEnterCloses) {
  App app(L"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  e2e::WaitIdle(w);
  EXPECT_EQ(::GetForegroundWindow(), w);
  EXPECT_EQ(e2e::FocusOf(w), e2e::Child(w, id::cmdCancel).hwnd) << "the focus does not start on 終了";

  const std::vector<int> forward{id::txtVersionString, id::txtCreatorVersion, id::txtFile, id::txtEpsorAI,
                                 id::txtMac, id::txtImage, id::cmdFolder, id::cmdType, id::cmdCancel};
  EXPECT_EQ(e2e::TabWalk(w, 9), forward);
  const std::vector<int> backward{id::cmdType, id::cmdFolder, id::txtImage, id::txtMac, id::txtEpsorAI,
                                  id::txtFile, id::txtCreatorVersion, id::txtVersionString, id::cmdCancel};
  EXPECT_EQ(e2e::TabWalk(w, 9, true), backward);

  // Into the multi-line list and out of it with Ctrl+Tab and Ctrl+Shift+Tab.
  EXPECT_EQ(e2e::TabWalk(w, 3, true), (std::vector<int>{id::cmdType, id::cmdFolder, id::txtImage}));
  EXPECT_EQ(e2e::TabWalk(w, 1, false, true), std::vector<int>{id::cmdFolder});
  EXPECT_EQ(e2e::TabWalk(w, 1, true, true), std::vector<int>{id::txtImage});

  // A modal window opened from here is owned by this window, and Esc gives the focus back.
  const auto closesBackTo = [&](const wchar_t* caption, HWND opener, bool inFront) {
    HWND modal = e2e::WaitWindow(app.pid(), caption);
    ASSERT_TRUE(modal) << e2e::Narrow(caption);
    EXPECT_EQ(::GetWindow(modal, GW_OWNER), w);
    e2e::WaitIdle(modal);
    e2e::TypeKey(modal, VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitGone(modal));
    e2e::WaitIdle(w);
    if (inFront) {
      EXPECT_EQ(::GetForegroundWindow(), w);
    }
    EXPECT_EQ(e2e::FocusOf(w), opener) << "the focus did not return to " << e2e::Narrow(caption) << "'s opener";
  };
  // 説明(&A)... by the keyboard, then the About window from the menu.
  EXPECT_EQ(e2e::TabWalk(w, 2), (std::vector<int>{id::cmdFolder, id::cmdType}));
  e2e::TypeKey(w, VK_RETURN);
  closesBackTo(L"形式とバージョンについて", e2e::Child(w, id::cmdType).hwnd, true);
  e2e::MenuCommand(w, id::mnu_version);
  closesBackTo(L"Pelmoraのバージョン情報", e2e::Child(w, id::cmdType).hwnd, false);

  EXPECT_EQ(e2e::TabWalk(w, 1), std::vector<int>{id::cmdCancel});
  e2e::TypeKey(w, VK_RETURN);
  EXPECT_TRUE(app.WaitExit()) << "Enter on 終了 did not close the window";
}

TEST(ResultWindow, FileNameShowsTheDirectorysSpelling) {
  const std::wstring dir = e2e::NewTempDir();
  e2e::WriteFileBytes(dir + L"\\Logo Final.EPS", "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Test\r\n");
  App app(L"  \"" + dir + L"\\logo final.eps\"  ");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtFile).hwnd), L"Logo Final.EPS");
  EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtVersionString).hwnd), L"Test");
}

class MissingDocument : public testing::TestWithParam<int> {};

TEST_P(MissingDocument, ShowsTheMessageAndEnds) {
  const std::wstring dir = e2e::NewTempDir();
  std::wstring path;
  switch (GetParam()) {
    case 0: path = dir + L"\\nothing here.eps"; break;
    case 1: path = dir; break;
    case 2:
      path = dir + L"\\hidden.eps";
      e2e::WriteFileBytes(path, "%!PS-Adobe-3.0\r\n");
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
      break;
  }
  App app(L"\"" + path + L"\"");
  const auto box = e2e::WaitMessageBox(app.pid());
  ASSERT_TRUE(box.hwnd);
  EXPECT_EQ(box.caption, L"Pelmora");
  EXPECT_EQ(box.text, L"ファイルが見つかりません \r\n" + path);
  EXPECT_EQ(box.buttons.size(), 1u);
  EXPECT_TRUE(box.hasIcon);
  e2e::CloseMessageBox(box);
  EXPECT_TRUE(app.WaitExit());
}

INSTANTIATE_TEST_SUITE_P(FileFolderHidden, MissingDocument, testing::Values(0, 1, 2));

TEST(ResultWindow, Screenshot) {
  App app(L"\"" + e2e::DocumentFile("04-ill6-crlf.eps") + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  const std::string path = e2e::Screenshot(w, "result-window");
  EXPECT_GT(e2e::ReadFileBytes(e2e::WinPath(path)).size(), 1000u);
}

}  // namespace
