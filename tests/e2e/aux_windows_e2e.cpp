// The progress, version-notes and About windows as a user sees them, driven from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "busy_window.h"
#include "harness.h"
#include "slow_read.h"
#include "ui/aux/aux_ids.h"
#include "ui/main/select_ids.h"

namespace {

namespace sel = pelmora::ui::select_ids;
namespace wid = pelmora::ui::aux_ids::wait;
namespace tid = pelmora::ui::aux_ids::type;
namespace did = pelmora::ui::aux_ids::dummy;
using e2e::App;

constexpr wchar_t kResultCaption[] = L"Pelmora 3.1";
constexpr wchar_t kTypeCaption[] = L"形式とバージョンについて";
constexpr wchar_t kAboutCaption[] = L"Pelmoraのバージョン情報";

const std::wstring kNotes =
    L"「保存形式」や「ソフトのバージョン」欄に見慣れない\r\n"
    L"バージョン番号が表示される事がありますが、以下を参\r\n"
    L"考に置き換えて判断してください。\r\n"
    L"\r\n"
    L"値    公式バージョン名\r\n"
    L"-----------------------\r\n"
    L"X  -> 10.0\r\n"
    L"11 -> CS\r\n"
    L"12 -> CS2\r\n"
    L"13 -> CS3 \r\n"
    L"14 -> CS4\r\n";

std::wstring BesideTheProgram(const wchar_t* exe) {
  const std::wstring p = e2e::PelmoraExe();
  return p.substr(0, p.find_last_of(L"\\/") + 1) + exe;
}

RECT ClientRectOf(HWND top, HWND child) {
  RECT rc{};
  ::GetWindowRect(child, &rc);
  ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void ExpectTwipsRect(const RECT& rc, int l, int t, int w, int h) {
  EXPECT_NEAR(rc.left, e2e::Twips(l), 1);
  EXPECT_NEAR(rc.top, e2e::Twips(t), 1);
  EXPECT_NEAR(rc.right - rc.left, e2e::Twips(w), 1);
  EXPECT_NEAR(rc.bottom - rc.top, e2e::Twips(h), 1);
}

DWORD Style(HWND h) { return static_cast<DWORD>(::GetWindowLongW(h, GWL_STYLE)); }

using e2e::FocusOf;

// The gate of the test build: it holds every document open after the first.
class SlowRead {
 public:
  explicit SlowRead(DWORD pid)
      : blocked_(::CreateEventW(nullptr, FALSE, FALSE, e2e::SlowReadEventName(pid, L"blocked").c_str())),
        go_(::CreateEventW(nullptr, FALSE, FALSE, e2e::SlowReadEventName(pid, L"go").c_str())) {}
  ~SlowRead() {
    Release();
    ::CloseHandle(blocked_);
    ::CloseHandle(go_);
  }
  bool WaitBlocked(int timeoutMs = 20000) { return ::WaitForSingleObject(blocked_, timeoutMs) == WAIT_OBJECT_0; }
  void Release() { ::SetEvent(go_); }

 private:
  HANDLE blocked_;
  HANDLE go_;
};

// ---- Progress window ----

struct LateCreator {
  const char* name;
  bool generated;  // else the PDF-based document
  const wchar_t* creator;
};

void PrintTo(const LateCreator& c, std::ostream* os) { *os << c.name; }

class ProgressWindow : public testing::TestWithParam<LateCreator> {};

TEST_P(ProgressWindow, ShowsThePathPaintedDuringTheLongerScanAndGoesOnceTheResultIsUp) {
  const LateCreator& c = GetParam();
  std::wstring path;
  if (c.generated) {
    path = e2e::NewTempDir() + L"\\作成ソフトが最初の範囲の後ろにある、とても長い名前の文書 (creator late).eps";
    e2e::WriteFileBytes(path, "%!PS-Adobe-3.0 EPSF-3.0\r" + std::string(120000, 'x') + "%%Creator: Far Maker\r");
  } else {
    path = e2e::DocumentFile("01-pdf-based-late-creator.ai");
  }
  App app(L"\"" + path + L"\"", BesideTheProgram(L"pelmora_slowread.exe"));
  SlowRead gate(app.pid());

  // Held at the second scan's open: the window must be up and painted by now.
  ASSERT_TRUE(gate.WaitBlocked()) << "no second scan";
  HWND w = e2e::WaitWindowStored(app.pid(), L"Pelmora", 5000);
  ASSERT_TRUE(w) << "no progress window during the second scan";
  HWND label1 = ::GetDlgItem(w, wid::Label1), lblFile = ::GetDlgItem(w, wid::lblFile);
  EXPECT_EQ(e2e::StoredText(label1), L"以下のファイルを分析中...");
  EXPECT_EQ(e2e::StoredText(lblFile), path);

  RECT client{};
  ::GetClientRect(w, &client);
  EXPECT_NEAR(client.right, e2e::Twips(6090), 1);
  EXPECT_NEAR(client.bottom, e2e::Twips(2040), 1);
  ExpectTwipsRect(ClientRectOf(w, label1), 360, 480, 5295, 255);
  ExpectTwipsRect(ClientRectOf(w, lblFile), 360, 1080, 5415, 255);
  const DWORD style = Style(w);
  EXPECT_TRUE(style & WS_SYSMENU) << "close box";
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_FALSE(::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(::GetWindow(w, GW_OWNER), nullptr);

  const e2e::Capture shot = e2e::CaptureNow(w, std::string("progress-window-") + c.name);
  EXPECT_GT(shot.DarkPixels(ClientRectOf(w, label1)), 30) << "first line not painted: " << shot.path;
  EXPECT_GT(shot.DarkPixels(ClientRectOf(w, lblFile)), 30) << "path not painted: " << shot.path;

  // Held again at the Mac binary check's open: the window stays until the result window is up,
  // so that one of the program's windows is active throughout and the activation does not pass
  // to another program in between.
  gate.Release();
  ASSERT_TRUE(gate.WaitBlocked()) << "no Mac binary check";
  EXPECT_TRUE(::IsWindowVisible(w)) << "gone before the result window is shown";
  EXPECT_EQ(e2e::TopWindows(app.pid()), std::vector<HWND>{w});
  gate.Release();

  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  EXPECT_TRUE(e2e::WaitGone(w));
  e2e::WaitIdle(result);
  EXPECT_EQ(::GetForegroundWindow(), result);
  EXPECT_EQ(e2e::Text(e2e::Child(result, sel::txtVersionString).hwnd), c.creator);
  EXPECT_EQ(e2e::TopWindows(app.pid()).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(LateCreators, ProgressWindow,
                         testing::Values(LateCreator{"generated", true, L"Far Maker"},
                                         LateCreator{"pdf_based", false, L"Adobe Illustrator(R) 17.0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressWindowNotShown, WhenTheFirstScanFindsTheCreator) {
  const std::wstring path = e2e::NewTempDir() + L"\\early.eps";
  e2e::WriteFileBytes(path, "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Near Maker\r" + std::string(120000, 'x'));
  App app(L"\"" + path + L"\"", BesideTheProgram(L"pelmora_slowread.exe"));
  SlowRead gate(app.pid());
  // The only open after the first scan is the Mac binary check's.
  ASSERT_TRUE(gate.WaitBlocked());
  EXPECT_TRUE(e2e::TopWindows(app.pid()).empty()) << "a window was shown before the Mac binary check";
  gate.Release();
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  EXPECT_EQ(e2e::Text(e2e::Child(result, sel::txtVersionString).hwnd), L"Near Maker");
  EXPECT_FALSE(gate.WaitBlocked(0)) << "more reads than the scan and the Mac binary check";
  EXPECT_EQ(e2e::TopWindows(app.pid()).size(), 1u);
}

// A read from a slow share outlasts the system's five seconds: the window must still be seen to
// answer, or the system shows its own "not responding" window in its place.
TEST(ProgressWindow, AnswersTheSystemThroughALongRead) {
  const std::wstring path = e2e::NewTempDir() + L"\\slow.eps";
  e2e::WriteFileBytes(path, "%!PS-Adobe-3.0 EPSF-3.0\r" + std::string(300000, 'x') + "%%Creator: Slow Maker\r");
  // Blocks of 16 KB at half a second each: the second scan takes about ten seconds.
  ::SetEnvironmentVariableW(L"PELMORA_SLOW_READ_MS", L"500");
  App app(L"\"" + path + L"\"", BesideTheProgram(L"pelmora_slowread.exe"));
  ::SetEnvironmentVariableW(L"PELMORA_SLOW_READ_MS", nullptr);
  SlowRead gate(app.pid());
  ASSERT_TRUE(gate.WaitBlocked()) << "no second scan";
  HWND w = e2e::WaitWindowStored(app.pid(), L"Pelmora", 5000);
  ASSERT_TRUE(w);
  gate.Release();

  const auto start = std::chrono::steady_clock::now();
  bool reading = true;
  int looks = 0;
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(7000)) {
    // The Mac binary check's open is the first after the scan.
    if (gate.WaitBlocked(250)) {
      reading = false;
      break;
    }
    if (::IsHungAppWindow(w)) {
      ADD_FAILURE() << "taken for hung after "
                    << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                           .count()
                    << " ms";
      break;
    }
    ++looks;
  }
  ASSERT_TRUE(reading) << "the read ended within the system's five seconds: nothing was tested";
  EXPECT_GT(looks, 20) << "looked for less than the system's five seconds";
  ASSERT_TRUE(gate.WaitBlocked(30000)) << "no Mac binary check";
  gate.Release();
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  EXPECT_EQ(e2e::Text(e2e::Child(result, sel::txtVersionString).hwnd), L"Slow Maker");
}

// ---- Version-notes window ----

enum class Opener { Button, Menu };

HWND OpenType(HWND result, Opener how, DWORD pid) {
  if (how == Opener::Button) {
    e2e::Click(e2e::Child(result, sel::cmdType).hwnd);
  } else {
    e2e::MenuCommand(result, sel::mnu_Type);
  }
  return e2e::WaitWindow(pid, kTypeCaption);
}

class TypeWindowOpener : public testing::TestWithParam<Opener> {};

TEST_P(TypeWindowOpener, ShowsTheNotesModallyCentredOnTheResultWindow) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenType(result, GetParam(), app.pid());
  ASSERT_TRUE(w);
  e2e::WaitIdle(w);

  const auto frame = e2e::Child(w, tid::Frame1), text = e2e::Child(w, tid::Text1), close = e2e::Child(w, tid::cmdClose);
  EXPECT_EQ(frame.text, L"Illustratorで作成したファイルのバージョン表記について");
  EXPECT_EQ(text.text, kNotes);
  EXPECT_EQ(text.text.size(), 170u);
  EXPECT_EQ(close.text, L"閉じる(&C)");
  EXPECT_EQ(close.style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
  EXPECT_TRUE(text.style & ES_READONLY);
  EXPECT_TRUE(text.style & ES_MULTILINE);
  EXPECT_FALSE(text.style & (WS_VSCROLL | WS_HSCROLL | WS_TABSTOP));

  const SIZE client = e2e::ClientSize(w);
  EXPECT_NEAR(client.cx, e2e::Twips(6735), 1);
  EXPECT_NEAR(client.cy, e2e::Twips(4545), 1);
  ExpectTwipsRect(close.rect, 2760, 3720, 1335, 435);
  ExpectTwipsRect(frame.rect, 240, 300, 6255, 3015);
  ExpectTwipsRect(text.rect, 240 + 480, 300 + 480, 5655, 2235);
  const DWORD style = Style(w);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

  RECT rw{}, rr{};
  ::GetWindowRect(w, &rw);
  ::GetWindowRect(result, &rr);
  EXPECT_NEAR((rw.left + rw.right) / 2, (rr.left + rr.right) / 2, 2);
  EXPECT_NEAR((rw.top + rw.bottom) / 2, (rr.top + rr.bottom) / 2, 2);

  EXPECT_FALSE(::IsWindowEnabled(result)) << "the result window takes input under the modal window";
  EXPECT_EQ(FocusOf(w), close.hwnd);
  e2e::Key(w, VK_ESCAPE);
  EXPECT_TRUE(e2e::WaitGone(w));
  EXPECT_TRUE(app.Running());
  e2e::WaitIdle(result);
  EXPECT_TRUE(::IsWindowEnabled(result));
}

INSTANTIATE_TEST_SUITE_P(ButtonAndMenu, TypeWindowOpener, testing::Values(Opener::Button, Opener::Menu),
                         [](const auto& info) { return info.param == Opener::Button ? "Button" : "Menu"; });

TEST(TypeWindow, AllElevenLinesAreVisibleWithoutScrolling) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenType(result, Opener::Menu, app.pid());
  ASSERT_TRUE(w);
  HWND text = e2e::Child(w, tid::Text1).hwnd;
  e2e::Screenshot(w, "type-window");

  auto send = [&](UINT msg, WPARAM wp = 0) {
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(text, msg, wp, 0, SMTO_ABORTIFHUNG, 5000, &r);
    return static_cast<LONG>(r);
  };
  // Eleven lines and the empty one after the last CR LF: any wrapped line would add to the count.
  EXPECT_EQ(send(EM_GETLINECOUNT), 12);
  EXPECT_EQ(send(EM_GETFIRSTVISIBLELINE), 0);
  const LONG top0 = HIWORD(send(EM_POSFROMCHAR, send(EM_LINEINDEX, 0)));
  const LONG top1 = HIWORD(send(EM_POSFROMCHAR, send(EM_LINEINDEX, 1)));
  const LONG top10 = HIWORD(send(EM_POSFROMCHAR, send(EM_LINEINDEX, 10)));
  RECT rc{};
  ::GetClientRect(text, &rc);
  ASSERT_GT(top1, top0);
  EXPECT_LE(top10 + (top1 - top0), rc.bottom) << "line 11 is cut off";
}

// Enter and Esc close the window whether the focus is on the button or in the notes, which stay
// unchanged under typing.
TEST(TypeWindow, EnterAndEscCloseWhateverHasTheFocus) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  for (bool inNotes : {false, true}) {
    for (WORD key : {VK_RETURN, VK_ESCAPE}) {
      SCOPED_TRACE(std::string(inNotes ? "notes" : "button") + (key == VK_RETURN ? " Enter" : " Esc"));
      HWND w = OpenType(result, Opener::Button, app.pid());
      ASSERT_TRUE(w);
      e2e::WaitIdle(w);
      HWND text = e2e::Child(w, tid::Text1).hwnd;
      if (inNotes) {
        // Right after the previous window closed, Wine may still be handing activation back and
        // forth.
        ASSERT_TRUE(e2e::ClickUntilFocused(w, text));
        ::PostMessageW(text, WM_CHAR, L'a', 1);
        ::PostMessageW(text, WM_KEYDOWN, VK_DELETE, 1);
        ::PostMessageW(text, WM_CHAR, VK_BACK, 1);
        e2e::WaitIdle(w);
        EXPECT_EQ(e2e::Text(text), kNotes);
      }
      e2e::Key(w, key);
      EXPECT_TRUE(e2e::WaitGone(w));
    }
  }
  e2e::WaitIdle(result);
  EXPECT_TRUE(::IsWindowVisible(result)) << "a key went on to the result window";
  EXPECT_TRUE(app.Running());
}

// Owned by the result window, so it stays above it; Tab, Shift+Tab and Ctrl+Tab go from the notes
// to 閉じる(&C), the one tab stop, and stay there.
TEST(TypeWindow, IsOwnedByTheResultWindowAndTabLeavesTheNotes) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenType(result, Opener::Menu, app.pid());
  ASSERT_TRUE(w);
  e2e::WaitIdle(w);
  EXPECT_EQ(::GetWindow(w, GW_OWNER), result);
  EXPECT_EQ(::GetForegroundWindow(), w);
  HWND text = e2e::Child(w, tid::Text1).hwnd;
  for (const auto& [back, ctrl] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true}}) {
    SCOPED_TRACE(std::string(back ? "Shift+" : "") + (ctrl ? "Ctrl+" : "") + "Tab");
    ASSERT_TRUE(e2e::ClickUntilFocused(w, text));
    EXPECT_EQ(e2e::TabWalk(w, 1, back, ctrl), std::vector<int>{tid::cmdClose});
    // The whole cycle: the button is the only stop, so the next press comes back to it (the walk
    // waits a moment for the focus to go anywhere else).
    EXPECT_EQ(e2e::TabWalk(w, 1, back, ctrl), std::vector<int>{tid::cmdClose});
  }
  EXPECT_EQ(e2e::Text(text), kNotes);
  e2e::TypeKey(w, VK_RETURN);
  EXPECT_TRUE(e2e::WaitGone(w));
  EXPECT_TRUE(app.Running());
}

TEST(TypeWindow, ResultWindowIgnoresClicksWhileItIsOpen) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenType(result, Opener::Button, app.pid());
  ASSERT_TRUE(w);
  // Out of the way, so the click lands on the result window's own button.
  RECT rr{};
  ::GetWindowRect(result, &rr);
  ::SetWindowPos(w, nullptr, rr.right + 8, rr.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  e2e::WaitIdle(w);
  HWND endButton = e2e::Child(result, sel::cmdCancel).hwnd;
  RECT button{}, moved{}, overlap{};
  ::GetWindowRect(endButton, &button);
  ::GetWindowRect(w, &moved);
  ASSERT_FALSE(::IntersectRect(&overlap, &button, &moved)) << "the notes window still covers the button";

  e2e::InputClick(endButton);
  e2e::WaitIdle(result);
  e2e::WaitIdle(w);
  EXPECT_TRUE(app.Running());
  EXPECT_TRUE(::IsWindowVisible(w));
  EXPECT_TRUE(::IsWindowVisible(result));

  // The same click once the notes are closed ends the program: the click itself works.
  e2e::Key(w, VK_ESCAPE);
  ASSERT_TRUE(e2e::WaitGone(w));
  e2e::WaitIdle(result);
  e2e::InputClick(endButton);
  EXPECT_TRUE(app.WaitExit());
}

TEST(TypeWindow, ResizingMovesNothingAndTheNextShowingStartsAfresh) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenType(result, Opener::Menu, app.pid());
  ASSERT_TRUE(w);
  e2e::WaitIdle(w);
  const auto before = e2e::Children(w);
  RECT rw{};
  ::GetWindowRect(w, &rw);
  ::SetWindowPos(w, nullptr, 0, 0, rw.right - rw.left + 240, rw.bottom - rw.top + 180,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  e2e::WaitIdle(w);
  EXPECT_NEAR(e2e::ClientSize(w).cx, e2e::Twips(6735) + 240, 1);
  const auto after = e2e::Children(w);
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_TRUE(::EqualRect(&after[i].rect, &before[i].rect)) << "control " << after[i].id << " moved";
  }
  e2e::Key(w, VK_ESCAPE);
  ASSERT_TRUE(e2e::WaitGone(w));

  w = OpenType(result, Opener::Button, app.pid());
  ASSERT_TRUE(w);
  e2e::WaitIdle(w);
  EXPECT_NEAR(e2e::ClientSize(w).cx, e2e::Twips(6735), 1);
  EXPECT_NEAR(e2e::ClientSize(w).cy, e2e::Twips(4545), 1);
  EXPECT_EQ(e2e::Text(e2e::Child(w, tid::Text1).hwnd), kNotes);
  e2e::Key(w, VK_RETURN);
  EXPECT_TRUE(e2e::WaitGone(w));
}

// ---- About window ----

// Icon 1 of pelmora.exe drawn at 32×32 on the button-face colour, as a picture box shows it.
std::vector<COLORREF> ProgramIconPixels() {
  std::vector<COLORREF> out(32 * 32);
  HMODULE exe = ::LoadLibraryExW(e2e::PelmoraExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!exe) return out;
  HICON icon = static_cast<HICON>(::LoadImageW(exe, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bmp = ::CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = ::SelectObject(mem, bmp);
  RECT all{0, 0, 32, 32};
  ::FillRect(mem, &all, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DrawIconEx(mem, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) out[y * 32 + x] = ::GetPixel(mem, x, y);
  }
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  ::DestroyIcon(icon);
  ::FreeLibrary(exe);
  return out;
}

// Each size Windows asks for at 100, 125, 150 and 200 % has its own image: the small icon
// (16, 20, 24, 32) and the large one (32, 40, 48, 64), and 256 for Explorer's largest view.
TEST(ProgramIcon, HoldsAnImageForEachSizeTheDpiScalesAskFor) {
  HMODULE exe = ::LoadLibraryExW(e2e::PelmoraExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(exe);
  HRSRC group = ::FindResourceW(exe, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
  ASSERT_TRUE(group);
  const auto* dir = static_cast<const BYTE*>(::LockResource(::LoadResource(exe, group)));
  ASSERT_TRUE(dir);
  // The directory: reserved, type and count (three WORDs), then entries of 14 bytes, whose first
  // byte is the width (0 for 256).
  const int count = dir[4] | dir[5] << 8;
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const int width = dir[6 + 14 * i];
    sizes.push_back(width == 0 ? 256 : width);
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 64, 256}));
  ::FreeLibrary(exe);
}

HWND OpenAbout(HWND result, DWORD pid) {
  e2e::MenuCommand(result, sel::mnu_version);
  HWND w = e2e::WaitWindow(pid, kAboutCaption);
  if (w) e2e::WaitIdle(w);
  return w;
}

TEST(AboutWindow, ShowsTheLayoutWithTheResultWindowsIcon) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenAbout(result, app.pid());
  ASSERT_TRUE(w);

  struct Expect {
    int id;
    const wchar_t* cls;
    std::wstring text;
    int l, t, w, h;
  };
  const std::wstring contact =
      L"お問い合わせは\r\n\r\nhttps://pelmora.example.jp/ \r\n\r\nまでお願いします。\r\n";
  // In tab order.
  const Expect layout[] = {
      {did::cmdOK, L"Button", L"OK", 4290, 2625, 1425, 345},
      {did::Text1, L"Edit", contact, 240, 2640, 3855, 1035},
      {did::picIcon, L"Static", L"", 270, 240, 540, 540},
      {did::cmdSysInfo, L"Button", L"ｼｽﾃﾑ情報(&S)...", 4290, 3075, 1425, 345},
      {did::lblDescription, L"Static", L"EPSとAIファイルの作成ソフトを調べます。", 1080, 1125, 4005, 1170},
      {did::lblTitle, L"Static", L"Pelmora", 1080, 240, 3885, 480},
      {did::lblVersion, L"Static", L"バージョン 3.1  (build 21)", 1080, 780, 3885, 225},
  };
  const auto children = e2e::Children(w);
  ASSERT_EQ(children.size(), std::size(layout));
  for (std::size_t i = 0; i < children.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(children[i].id, layout[i].id);
    EXPECT_EQ(children[i].cls, layout[i].cls);
    EXPECT_EQ(children[i].text, layout[i].text);
    ExpectTwipsRect(children[i].rect, layout[i].l, layout[i].t, layout[i].w, layout[i].h);
  }
  const SIZE client = e2e::ClientSize(w);
  EXPECT_NEAR(client.cx, e2e::Twips(5985), 1);
  EXPECT_NEAR(client.cy, e2e::Twips(3795), 1);
  EXPECT_EQ(e2e::Child(w, did::cmdOK).style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
  EXPECT_TRUE(e2e::Child(w, did::Text1).style & ES_READONLY);
  EXPECT_FALSE(Style(w) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(FocusOf(w), e2e::Child(w, did::cmdOK).hwnd);
  EXPECT_FALSE(::IsWindowEnabled(result));

  // The centre of the screen the result window is on: its monitor, taskbar included.
  MONITORINFO monitor{sizeof(monitor)};
  ::GetMonitorInfoW(::MonitorFromWindow(result, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT rw{};
  ::GetWindowRect(w, &rw);
  EXPECT_NEAR((rw.left + rw.right) / 2, (monitor.rcMonitor.left + monitor.rcMonitor.right) / 2, 2);
  EXPECT_NEAR((rw.top + rw.bottom) / 2, (monitor.rcMonitor.top + monitor.rcMonitor.bottom) / 2, 2);

  e2e::Screenshot(w, "about-window");
  const e2e::Capture shot = e2e::CaptureNow(w, "about-window-pixels");
  // The picture box shows the program's own 32×32 icon, the one the result window loads.
  const RECT pic = e2e::Child(w, did::picIcon).rect;
  const std::vector<COLORREF> icon = ProgramIconPixels();
  int differing = 0;
  const int ox = pic.left + (pic.right - pic.left - 32) / 2, oy = pic.top + (pic.bottom - pic.top - 32) / 2;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const COLORREF a = shot.At(ox + x, oy + y), b = icon[y * 32 + x];
      if (std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
              std::abs(GetBValue(a) - GetBValue(b)) > 48) {
        ++differing;
      }
    }
  }
  EXPECT_LT(differing, 32 * 32 / 20) << "the picture is not the program's icon: " << shot.path;
  EXPECT_GT(shot.DarkPixels(pic), 20) << "no icon drawn: " << shot.path;
  const int lineY = e2e::Twips(2445);
  for (int x : {e2e::Twips(200), e2e::Twips(3000), e2e::Twips(5600)}) {
    EXPECT_EQ(shot.At(x, lineY), RGB(0x80, 0x80, 0x80)) << "Line1 at x=" << x;
  }
}

// Owned by the result window; Tab and Shift+Tab cycle its two buttons in the layout's order, and
// Enter presses the one that has the focus.
TEST(AboutWindow, IsOwnedAndTabCyclesItsButtons) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenAbout(result, app.pid());
  ASSERT_TRUE(w);
  EXPECT_EQ(::GetWindow(w, GW_OWNER), result);
  EXPECT_EQ(::GetForegroundWindow(), w);
  EXPECT_EQ(FocusOf(w), e2e::Child(w, did::cmdOK).hwnd);
  EXPECT_EQ(e2e::TabWalk(w, 2), (std::vector<int>{did::cmdSysInfo, did::cmdOK}));
  EXPECT_EQ(e2e::TabWalk(w, 2, true), (std::vector<int>{did::cmdSysInfo, did::cmdOK}));
  // From the contact text, which is no tab stop, the next stop in the order is ｼｽﾃﾑ情報(&S)....
  HWND text = e2e::Child(w, did::Text1).hwnd;
  ASSERT_TRUE(e2e::ClickUntilFocused(w, text));
  EXPECT_EQ(e2e::TabWalk(w, 1), std::vector<int>{did::cmdSysInfo});
  EXPECT_EQ(e2e::TabWalk(w, 1, true), std::vector<int>{did::cmdOK});
  e2e::TypeKey(w, VK_RETURN);
  EXPECT_TRUE(e2e::WaitGone(w));
  e2e::WaitIdle(result);
  EXPECT_TRUE(::IsWindowEnabled(result));
}

TEST(AboutWindow, ClosesWithEnterEscAndOkAndEachShowingIsTheSame) {
  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  std::vector<std::wstring> first;
  for (int how = 0; how < 3; ++how) {
    SCOPED_TRACE(how);
    HWND w = OpenAbout(result, app.pid());
    ASSERT_TRUE(w);
    std::vector<std::wstring> texts{e2e::Text(w)};
    for (const auto& c : e2e::Children(w)) texts.push_back(c.text);
    if (first.empty()) first = texts;
    EXPECT_EQ(texts, first);
    switch (how) {
      case 0: e2e::Key(w, VK_RETURN); break;
      case 1: e2e::Key(w, VK_ESCAPE); break;
      case 2: e2e::Click(e2e::Child(w, did::cmdOK).hwnd); break;
    }
    EXPECT_TRUE(e2e::WaitGone(w));
    e2e::WaitIdle(result);
    EXPECT_TRUE(::IsWindowEnabled(result));
  }
  EXPECT_TRUE(app.Running());
}

// The registry values the About window looks up, set for one test and put back after it. The
// program reads the 64-bit view, where 64-bit Windows keeps the system's own tool (the MSInfo key
// is one key for both views there, the Shared Tools Location key is not); a test built as x86
// would otherwise write the 32-bit view. Wine keeps both keys apart per view.
class SysInfoRegistry {
 public:
  SysInfoRegistry() {
    for (auto& s : saved_) s.Save();
    for (auto& s : saved_) s.Delete();
  }
  ~SysInfoRegistry() {
    for (auto& s : saved_) s.Restore();
  }
  static void Set(const wchar_t* key, const wchar_t* value, const std::wstring& text, REGSAM view = KEY_WOW64_64KEY) {
    HKEY k = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(k, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(k);
  }

 private:
  struct Saved {
    const wchar_t* key;
    const wchar_t* value;
    REGSAM view;
    bool present = false;
    bool keyExisted = false;
    DWORD type = 0;
    std::vector<BYTE> data;
    void Save() {
      HKEY k = nullptr;
      keyExisted = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &k) == ERROR_SUCCESS;
      if (!keyExisted) return;
      DWORD size = 0;
      present = ::RegQueryValueExW(k, value, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
      data.resize(size);
      if (present) present = ::RegQueryValueExW(k, value, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
      ::RegCloseKey(k);
    }
    void Delete() const {
      HKEY k = nullptr;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE | view, &k) != ERROR_SUCCESS) return;
      ::RegDeleteValueW(k, value);
      ::RegCloseKey(k);
    }
    void Restore() const {
      Delete();
      if (present) {
        HKEY k = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE | view, &k) == ERROR_SUCCESS) {
          ::RegSetValueExW(k, value, 0, type, data.data(), static_cast<DWORD>(data.size()));
          ::RegCloseKey(k);
        }
      }
      if (!keyExisted) ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, view, 0);
    }
  };
  std::array<Saved, 3> saved_{Saved{L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH", KEY_WOW64_64KEY},
                              Saved{L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO", KEY_WOW64_64KEY},
                              Saved{L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO", KEY_WOW64_32KEY}};
};

constexpr wchar_t kPathKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr wchar_t kFolderKey[] = L"SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr wchar_t kProbe[] = L"pelmora-sysinfo-probe ";

// The message box's icon control may stay in place while empty; what counts is an icon in it.
bool ShowsIcon(HWND box) {
  for (const auto& c : e2e::Children(box)) {
    if (c.cls != L"Static" || (c.style & SS_TYPEMASK) != SS_ICON || !c.visible) continue;
    DWORD_PTR icon = 0;
    ::SendMessageTimeoutW(c.hwnd, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
    if (icon) return true;
  }
  return false;
}

struct SysInfoCase {
  const char* name;
  enum { Probe, ProbeInFolder, MissingFile, FolderWithoutTool, FolderIn32BitView, Nothing } setup;
  const wchar_t* started;  // probe caption after the prefix, or nullptr for the message
};

void PrintTo(const SysInfoCase& c, std::ostream* os) { *os << c.name; }
void PrintTo(Opener o, std::ostream* os) { *os << (o == Opener::Button ? "button" : "menu"); }

class AboutSysInfo : public testing::TestWithParam<SysInfoCase> {};

TEST_P(AboutSysInfo, StartsTheToolOrSaysItCannot) {
  const SysInfoCase& c = GetParam();
  SysInfoRegistry registry;
  const std::wstring probe = BesideTheProgram(L"pelmora_sysinfo_probe.exe");
  // A folder with blanks, as the tool's own folder has.
  const std::wstring folder = e2e::NewTempDir() + L"\\Microsoft Shared\\MSInfo";
  ::CreateDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str(), nullptr);
  ::CreateDirectoryW(folder.c_str(), nullptr);
  switch (c.setup) {
    case SysInfoCase::Probe: SysInfoRegistry::Set(kPathKey, L"PATH", probe); break;
    case SysInfoCase::ProbeInFolder:
      ASSERT_TRUE(::CopyFileW(probe.c_str(), (folder + L"\\MSINFO32.EXE").c_str(), FALSE));
      SysInfoRegistry::Set(kFolderKey, L"MSINFO", folder);
      break;
    case SysInfoCase::MissingFile:
      // The folder would hold the tool, but a path value is used as it stands.
      SysInfoRegistry::Set(kPathKey, L"PATH", folder + L"\\missing.exe");
      ASSERT_TRUE(::CopyFileW(probe.c_str(), (folder + L"\\MSINFO32.EXE").c_str(), FALSE));
      SysInfoRegistry::Set(kFolderKey, L"MSINFO", folder);
      break;
    case SysInfoCase::FolderWithoutTool: SysInfoRegistry::Set(kFolderKey, L"MSINFO", folder); break;
    case SysInfoCase::FolderIn32BitView:
      // What a 32-bit install names there is no tool of the 64-bit system.
      ASSERT_TRUE(::CopyFileW(probe.c_str(), (folder + L"\\MSINFO32.EXE").c_str(), FALSE));
      SysInfoRegistry::Set(kFolderKey, L"MSINFO", folder, KEY_WOW64_32KEY);
      break;
    case SysInfoCase::Nothing: break;
  }
  ASSERT_EQ(e2e::WaitAnyWindow(kProbe, 0), nullptr) << "a probe of an earlier run is still open";

  App app(L"");
  HWND result = e2e::WaitWindow(app.pid(), kResultCaption);
  ASSERT_TRUE(result);
  HWND w = OpenAbout(result, app.pid());
  ASSERT_TRUE(w);
  e2e::Click(e2e::Child(w, did::cmdSysInfo).hwnd);

  if (c.started) {
    HWND tool = e2e::WaitAnyWindow(kProbe);
    ASSERT_TRUE(tool) << "the tool was not started";
    EXPECT_EQ(e2e::StoredText(tool), std::wstring(kProbe) + c.started);
    EXPECT_FALSE(::IsIconic(tool));
    ::PostMessageW(tool, WM_CLOSE, 0, 0);
    EXPECT_TRUE(e2e::WaitGone(tool));
  } else {
    const auto box = e2e::WaitMessageBox(app.pid());
    ASSERT_TRUE(box.hwnd);
    if (c.setup == SysInfoCase::Nothing) e2e::Screenshot(box.hwnd, "sysinfo-message");
    EXPECT_EQ(box.caption, L"Pelmora");
    EXPECT_EQ(box.text, L"現時点ではｼｽﾃﾑ情報を使用できません");
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(ShowsIcon(box.hwnd)) << "style 0 has no icon";
    e2e::CloseMessageBox(box);
    EXPECT_TRUE(e2e::WaitGone(box.hwnd));
  }
  // The About window stays open either way.
  e2e::WaitIdle(w);
  EXPECT_TRUE(::IsWindowVisible(w));
  e2e::Key(w, VK_ESCAPE);
  EXPECT_TRUE(e2e::WaitGone(w));
}

INSTANTIATE_TEST_SUITE_P(
    RegistryStates, AboutSysInfo,
    testing::Values(SysInfoCase{"PathValue", SysInfoCase::Probe, L"1 pelmora_sysinfo_probe.exe"},
                    SysInfoCase{"FolderValue", SysInfoCase::ProbeInFolder, L"1 MSINFO32.EXE"},
                    SysInfoCase{"PathToAMissingFile", SysInfoCase::MissingFile, nullptr},
                    SysInfoCase{"FolderWithoutTheTool", SysInfoCase::FolderWithoutTool, nullptr},
                    SysInfoCase{"FolderOnlyInThe32BitView", SysInfoCase::FolderIn32BitView, nullptr},
                    SysInfoCase{"NoValue", SysInfoCase::Nothing, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
