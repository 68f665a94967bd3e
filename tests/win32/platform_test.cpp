// The Win32 layer's own decisions, run in process under Wine.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "analysis/ansi_text.h"
#include "analysis/document_file.h"
#include "analysis/run_error.h"
#include "launch/main_host_win32.h"
#include "win32/form.h"
#include "win32/platform.h"
#include "ui/aux/aux_ids.h"
#include "ui/aux/frm_dummy.h"

namespace {

using namespace pelmora;

std::wstring TempDir() {
  wchar_t base[MAX_PATH];
  ::GetTempPathW(MAX_PATH, base);
  std::wstring dir = std::wstring(base) + L"pelmora-w32-" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}

void Touch(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  ::CloseHandle(h);
}

TEST(ArgumentText, IsEverythingAfterTheProgramPath) {
  EXPECT_EQ(launch::ArgumentText(L"\"C:\\Program Files\\p\\pelmora.exe\" \"C:\\a b.eps\""), L"\"C:\\a b.eps\"");
  EXPECT_EQ(launch::ArgumentText(L"C:\\p\\pelmora.exe C:\\x.eps"), L"C:\\x.eps");
  EXPECT_EQ(launch::ArgumentText(L"pelmora.exe"), L"");
  EXPECT_EQ(launch::ArgumentText(L"\"pelmora.exe\""), L"");
  // Only the one separator is taken: blanks of the argument stay for the start-up to trim.
  EXPECT_EQ(launch::ArgumentText(L"pelmora.exe   "), L"  ");
}

TEST(FindNormalFile, MatchesOnlyNormalFilesAndGivesTheStoredName) {
  const std::wstring dir = TempDir();
  Touch(dir + L"\\Stored Name.EPS");
  Touch(dir + L"\\ro.eps", FILE_ATTRIBUTE_READONLY);
  Touch(dir + L"\\hidden.eps", FILE_ATTRIBUTE_HIDDEN);
  Touch(dir + L"\\system.eps", FILE_ATTRIBUTE_SYSTEM);

  EXPECT_EQ(win32::FindNormalFile(dir + L"\\stored name.eps").value_or(L"-"), L"Stored Name.EPS");
  EXPECT_EQ(win32::FindNormalFile(dir + L"\\ro.eps").value_or(L"-"), L"ro.eps");
  EXPECT_FALSE(win32::FindNormalFile(dir + L"\\hidden.eps"));
  EXPECT_FALSE(win32::FindNormalFile(dir + L"\\system.eps"));
  EXPECT_FALSE(win32::FindNormalFile(dir));
  EXPECT_FALSE(win32::FindNormalFile(dir + L"\\missing.eps"));
  EXPECT_FALSE(win32::FindNormalFile(L""));
  EXPECT_FALSE(win32::FindNormalFile(dir + L"\\*.eps"));

  for (const wchar_t* f : {L"\\ro.eps", L"\\hidden.eps", L"\\system.eps"}) {
    ::SetFileAttributesW((dir + f).c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW((dir + f).c_str());
  }
  ::DeleteFileW((dir + L"\\Stored Name.EPS").c_str());
  ::RemoveDirectoryW(dir.c_str());
}

TEST(OpenDocument, FailuresBecomeRunErrorNumbers) {
  const std::wstring dir = TempDir();
  auto numberOf = [](const std::wstring& path) {
    try {
      analysis::OpenDocument(path);
    } catch (const RunError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(numberOf(dir + L"\\missing.eps"), err::kFileNotFound);
  EXPECT_EQ(numberOf(dir + L"\\no such folder\\x.eps"), err::kPathNotFound);

  // Held exclusively by another program.
  const std::wstring locked = dir + L"\\locked.eps";
  HANDLE h = ::CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(numberOf(locked), err::kPathFileAccessError);
  ::CloseHandle(h);
  EXPECT_EQ(numberOf(locked), 0);
  ::DeleteFileW(locked.c_str());
  ::RemoveDirectoryW(dir.c_str());
}

TEST(DecodeAnsi, ReadsCodePage932AndMarksBrokenPairs) {
  EXPECT_EQ(analysis::DecodeAnsi("\x83\x41\x83\x43\x83\x52\x83\x93"), L"アイコン");
  EXPECT_EQ(analysis::DecodeAnsi("C:\\\x89\xe6\x91\x9c\\a.psd"), L"C:\\画像\\a.psd");
  EXPECT_EQ(analysis::DecodeAnsi("\xb1\xb2"), L"ｱｲ");
  // A lead byte without a trail byte stands alone; the next byte is a character of its own.
  EXPECT_EQ(analysis::DecodeAnsi(std::string("a\x83\r", 3)), L"a\x30FB\r");
  EXPECT_EQ(analysis::DecodeAnsi("a\x83"), L"a\x30FB");
  EXPECT_EQ(analysis::DecodeAnsi(std::string("\0x", 2)), std::wstring(L"\0x", 2));
}

TEST(Version, ComesFromTheVersionResource) {
  // The test program has no version resource of its own: the defaults are the program's version.
  EXPECT_EQ(win32::Version().title, L"Pelmora");
  EXPECT_EQ(win32::Version().major, 3);
  EXPECT_EQ(win32::Version().minor, 1);
}

// Centred on the reference and kept inside the monitor, also where the monitor lies left of or
// above the primary one (negative coordinates), which a clamp to 0 would break.
TEST(CentredOrigin, CentresAndKeepsTheWindowOnItsMonitorAtAnyCoordinates) {
  const struct {
    RECT on;
    SIZE size;
    RECT bounds;
    POINT expected;
  } cases[] = {
      {{0, 0, 1920, 1080}, {400, 300}, {0, 0, 1920, 1080}, {760, 390}},
      {{-1920, 0, 0, 1080}, {400, 300}, {-1920, 0, 0, 1080}, {-1160, 390}},        // left of the primary
      {{0, -1200, 1600, 0}, {400, 300}, {0, -1200, 1600, 0}, {600, -750}},          // above it
      {{-1900, 10, -1500, 310}, {600, 400}, {-1920, 0, 0, 1040}, {-1920, 0}},       // owner at the left edge
      {{1700, 900, 1900, 1000}, {400, 300}, {0, 0, 1920, 1040}, {1520, 740}},       // owner in the corner
      {{0, 0, 1920, 1080}, {2500, 1200}, {0, 0, 1920, 1080}, {0, 0}},               // larger: title bar stays
  };
  for (const auto& c : cases) {
    const POINT p = win32::CentredOrigin(c.on, c.size, c.bounds);
    EXPECT_EQ(p.x, c.expected.x) << c.on.left << "," << c.on.top;
    EXPECT_EQ(p.y, c.expected.y) << c.on.left << "," << c.on.top;
  }
}

// A form whose controls cannot all be made.
class BrokenForm final : public win32::Form {
 public:
  bool loaded = false;

 protected:
  win32::FormSpec Spec() const override { return {L"broken", WS_OVERLAPPED | WS_CAPTION, 1440, 1440}; }
  std::span<const win32::ControlSpec> Controls() const override { return {}; }
  void OnCreated() override { throw RunError(err::kOutOfMemory); }
  void OnLoad() override { loaded = true; }
};

// Closes, and counts, every message box this process shows while it lives.
class BoxWatch {
 public:
  BoxWatch()
      : thread_([this] {
          while (!stop_) {
            if (HWND box = ::FindWindowW(L"#32770", nullptr); box && WindowPid(box) == ::GetCurrentProcessId()) {
              ++boxes;
              ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
        }) {}
  ~BoxWatch() {
    stop_ = true;
    thread_.join();
  }
  std::atomic<int> boxes{0};

 private:
  static DWORD WindowPid(HWND h) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    return pid;
  }
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The failure reaches whoever loads the window, which is then not loaded at all; nothing is shown
// on the way (a box there would report it as an event's failure and let a half-built window on).
TEST(FormLoad, AFailureWhileTheControlsAreMadeLeavesItUnloadedAndReachesTheCaller) {
  BoxWatch watch;
  BrokenForm form;
  try {
    form.Load();
    ADD_FAILURE() << "no failure reached the caller";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), err::kOutOfMemory);
  }
  EXPECT_FALSE(form.IsLoaded());
  EXPECT_FALSE(form.loaded);
  EXPECT_EQ(win32::Form::LoadedCount(), 0);
  EXPECT_EQ(watch.boxes, 0);
}

// The About window's title and description are black whatever the system's text colour is; its
// other labels follow the system.
TEST(AboutLabels, TitleAndDescriptionAreBlackWhateverTheSystemTextColour) {
  namespace did = ui::aux_ids::dummy;
  const int element = COLOR_BTNTEXT;
  const COLORREF saved = ::GetSysColor(element);
  const COLORREF blue = RGB(0, 0, 0xC0);
  ::SetSysColors(1, &element, &blue);
  ui::frmDummy().Load();
  HWND w = ui::frmDummy().hwnd();
  HDC dc = ::CreateCompatibleDC(nullptr);
  auto textColour = [&](int id) {
    ::SendMessageW(w, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(::GetDlgItem(w, id)));
    return ::GetTextColor(dc);
  };
  const COLORREF title = textColour(did::lblTitle), description = textColour(did::lblDescription),
                 version = textColour(did::lblVersion);
  ::DeleteDC(dc);
  ui::frmDummy().Unload();
  ::SetSysColors(1, &element, &saved);
  EXPECT_EQ(title, RGB(0, 0, 0));
  EXPECT_EQ(description, RGB(0, 0, 0));
  EXPECT_EQ(version, blue);
}

}  // namespace
