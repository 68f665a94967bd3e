// The Win32 layer's own decisions, run in process under Wine.
#include <gtest/gtest.h>

#include "analysis/ansi_text.h"
#include "analysis/document_file.h"
#include "analysis/run_error.h"
#include "launch/main_host_win32.h"
#include "win32/platform.h"

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

}  // namespace
