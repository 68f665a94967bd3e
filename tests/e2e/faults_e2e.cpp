// Documents a user may drop that are not what they seem, through the real program under Wine:
// what the user is shown, and that the document is left exactly as it was.
#include <gtest/gtest.h>

#include <iostream>

#include "harness.h"
#include "ui/main/select_ids.h"

namespace {

namespace id = pelmora::ui::select_ids;
using e2e::App;

constexpr wchar_t kCaption[] = L"Pelmora 3.1";
constexpr char kDocument[] = "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%EndComments\r\n";

// What one run ends in: the result window with its fields, or one message box.
struct Outcome {
  bool window = false;
  std::wstring file, kind, creator, mac;
  e2e::MessageBoxInfo box;
  bool exited = false;  // after the window or box was closed
};

Outcome RunOn(const std::wstring& args, int timeoutMs = 60000) {
  Outcome o;
  App app(args);
  const DWORD deadline = ::GetTickCount() + static_cast<DWORD>(timeoutMs);
  while (static_cast<LONG>(deadline - ::GetTickCount()) > 0 && app.Running()) {
    if (HWND w = e2e::FindTopWindow(app.pid(), kCaption)) {
      e2e::WaitIdle(w);
      o.window = true;
      o.file = e2e::Text(e2e::Child(w, id::txtFile).hwnd);
      o.kind = e2e::Text(e2e::Child(w, id::txtEpsorAI).hwnd);
      o.creator = e2e::Text(e2e::Child(w, id::txtVersionString).hwnd);
      o.mac = e2e::Text(e2e::Child(w, id::txtMac).hwnd);
      ::PostMessageW(w, WM_CLOSE, 0, 0);
      break;
    }
    o.box = e2e::WaitMessageBox(app.pid(), 100);
    if (o.box.hwnd) {
      e2e::CloseMessageBox(o.box);
      break;
    }
  }
  o.exited = app.WaitExit();
  return o;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

void ExpectMissingMessage(const Outcome& o, const std::wstring& path) {
  EXPECT_FALSE(o.window);
  ASSERT_TRUE(o.box.hwnd) << "no message box";
  EXPECT_EQ(o.box.caption, L"Pelmora");
  EXPECT_EQ(o.box.text, L"ファイルが見つかりません \r\n" + path);
  EXPECT_EQ(o.box.buttons.size(), 1u);
  EXPECT_TRUE(o.box.hasIcon);
  EXPECT_TRUE(o.exited);
}

// Bytes and last-write time of a file, read without changing either.
struct Snapshot {
  std::string bytes;
  FILETIME written{};
  bool operator==(const Snapshot& o) const {
    return bytes == o.bytes && ::CompareFileTime(&written, &o.written) == 0;
  }
};

Snapshot Take(const std::wstring& path) {
  Snapshot s;
  s.bytes = e2e::ReadFileBytes(path);
  HANDLE h = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::GetFileTime(h, nullptr, nullptr, &s.written);
    ::CloseHandle(h);
  }
  return s;
}

struct NameCase {
  const char* name;
  const wchar_t* file;
};

class FaultNames : public testing::TestWithParam<NameCase> {};

// Inside code page 932 and outside it: the program takes its path in UTF-16 and never narrows it.
TEST_P(FaultNames, AreAnalysedAndShownAsTheyAreAndLeftUntouched) {
  const std::wstring path = e2e::NewTempDir() + L"\\" + GetParam().file;
  e2e::WriteFileBytes(path, kDocument);
  const Snapshot before = Take(path);
  const Outcome o = RunOn(Quoted(path));
  ASSERT_TRUE(o.window) << e2e::Narrow(o.box.text);
  EXPECT_EQ(o.file, GetParam().file);
  EXPECT_EQ(o.kind, L"EPSファイル (EPS)");
  EXPECT_EQ(o.creator, L"Adobe Illustrator(R) 8.0");
  EXPECT_TRUE(o.exited);
  EXPECT_TRUE(Take(path) == before);
}

INSTANTIATE_TEST_SUITE_P(Names, FaultNames,
                         testing::Values(NameCase{"Japanese", L"名称未設定-1 ロゴ.eps"},
                                         NameCase{"Hangul", L"로고 한글.eps"},
                                         NameCase{"Emoji", L"logo \U0001F600.eps"},
                                         NameCase{"AccentsOutside932", L"Logo déjà vu.eps"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Faults, ZeroByteFileShowsTheWindowWithEmptyFields) {
  const std::wstring path = e2e::NewTempDir() + L"\\empty.eps";
  e2e::WriteFileBytes(path, "");
  const Outcome o = RunOn(Quoted(path));
  ASSERT_TRUE(o.window);
  EXPECT_EQ(o.file, L"empty.eps");
  EXPECT_EQ(o.kind, L"（不明）");
  EXPECT_EQ(o.creator, L"");
  EXPECT_EQ(o.mac, L"なし");
}

TEST(Faults, FolderIsReportedAsMissing) {
  const std::wstring dir = e2e::NewTempDir();
  ExpectMissingMessage(RunOn(Quoted(dir)), dir);
}

// What a device name gives depends on the platform's directory search (under Wine NUL is found
// and reads as empty, CON is found and cannot be read); either way the user gets one window with
// nothing recognised or one message, and the program ends when it is closed.
TEST(Faults, DeviceNamesEndInOneWindowOrOneMessage) {
  for (const wchar_t* device : {L"NUL", L"CON", L"C:\\NUL", L"C:\\CON.eps", L"COM1"}) {
    SCOPED_TRACE(e2e::Narrow(device));
    const Outcome o = RunOn(Quoted(device));
    ASSERT_NE(o.window, o.box.hwnd != nullptr);
    if (o.window) {
      EXPECT_EQ(o.kind, L"（不明）");
      EXPECT_EQ(o.creator, L"");
    } else {
      EXPECT_EQ(o.box.buttons.size(), 1u);
      const bool missing = o.box.text == L"ファイルが見つかりません \r\n" + std::wstring(device);
      const bool error = o.box.text.find(L" (エラー番号:") != std::wstring::npos && o.box.text.back() == L')';
      EXPECT_TRUE(missing || error) << e2e::Narrow(o.box.text);
    }
    std::cout << e2e::Narrow(device) << ": " << (o.window ? "window" : e2e::Narrow(o.box.text)) << "\n";
    EXPECT_TRUE(o.exited);
  }
}

// A 5 GB video renamed to .eps: the file is a hole on disk, and only the windows are read.
TEST(Faults, FiveGigabyteFileIsAnalysedWithinTheWindows) {
  const std::wstring path = e2e::NewTempDir() + L"\\video.eps";
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = 5LL << 30;
  ASSERT_TRUE(::SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && ::SetEndOfFile(h));
  ::CloseHandle(h);
  const Outcome o = RunOn(Quoted(path), 60000);
  ASSERT_TRUE(o.window);
  EXPECT_EQ(o.kind, L"（不明）");
  EXPECT_EQ(o.creator, L"");
  EXPECT_EQ(o.mac, L"なし");
  ::DeleteFileW(path.c_str());
}

// A folder path of more than 260 characters, given without the \\?\ prefix.
TEST(Faults, PathLongerThanMaxPathIsAnalysed) {
  std::wstring path = e2e::NewTempDir();
  while (path.size() < 300) {
    path += L"\\" + std::wstring(40, L'd');
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr));
  }
  path += L"\\long.eps";
  e2e::WriteFileBytes(L"\\\\?\\" + path, kDocument);
  ASSERT_GT(path.size(), 260u);
  const Outcome o = RunOn(Quoted(path));
  ASSERT_TRUE(o.window) << e2e::Narrow(o.box.text);
  EXPECT_EQ(o.file, L"long.eps");
  EXPECT_EQ(o.creator, L"Adobe Illustrator(R) 8.0");
}

// chmod cannot take the right to read from root, who runs CI, and Wine grants what Unix grants.
// A write-only kernel attribute denies reading even to root: the open fails with access denied,
// as it does for a user without read permission on Windows.
TEST(Faults, DocumentWithoutReadPermissionEndsInOneMessage) {
  std::wstring path;
  for (const char* candidate : {"/sys/bus/cpu/uevent", "/sys/bus/platform/drivers_probe", "/sys/bus/pci/rescan"}) {
    if (::GetFileAttributesW(e2e::WinPath(candidate).c_str()) != INVALID_FILE_ATTRIBUTES) {
      path = e2e::WinPath(candidate);
      break;
    }
  }
  if (path.empty()) GTEST_SKIP() << "no write-only file to stand for a denied document";
  const Outcome o = RunOn(Quoted(path));
  EXPECT_FALSE(o.window);
  ASSERT_TRUE(o.box.hwnd);
  EXPECT_EQ(o.box.caption, L"Pelmora");
  EXPECT_EQ(o.box.text, L"アクセスする権限がありません (エラー番号:70)");
  EXPECT_EQ(o.box.buttons.size(), 1u);
  EXPECT_TRUE(o.exited);
}

// The real program over test documents: not one byte and not the write time changes.
TEST(FaultsNothingWritten, SampleDocumentsKeepTheirBytesAndWriteTime) {
  for (const char* name : {"01-pdf-based-late-creator.ai", "02-japanese-links-crlf.ai", "04-ill6-crlf.eps",
                           "07-dos-eps-preview.eps", "08-macbinary.eps"}) {
    SCOPED_TRACE(name);
    const std::wstring path = e2e::DocumentFile(name);
    const Snapshot before = Take(path);
    ASSERT_FALSE(before.bytes.empty());
    const Outcome o = RunOn(Quoted(path));
    EXPECT_TRUE(o.window);
    EXPECT_TRUE(Take(path) == before);
  }
}

}  // namespace
