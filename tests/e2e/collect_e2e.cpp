// "フォルダへ収集(&F)...": the placed images named by the document are copied by the shell into a
// folder chosen in the shell's own folder browser.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "harness.h"
#include "ui/main/select_ids.h"

namespace {

namespace id = pelmora::ui::select_ids;
using e2e::App;

constexpr wchar_t kCaption[] = L"Pelmora 3.1";
constexpr wchar_t kBrowserTitle[] = L"収集先のフォルダを指定して下さい";

std::string Cp932(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  ::WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> FilesIn(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}

// A document listing `names` as its placed images (the first after "%%DocumentFiles:").
struct Fixture {
  std::wstring images = e2e::NewTempDir();
  std::wstring dest = e2e::NewTempDir();
  std::wstring document;
  std::string documentBytes;

  // Image files with bytes a text copy would change.
  std::string WriteImage(const std::wstring& name) {
    std::string bytes("II*\0\r\n\x1a\xff\x81\x40", 10);
    bytes += e2e::Narrow(name);
    for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>(i * 7));
    e2e::WriteFileBytes(images + L"\\" + name, bytes);
    return bytes;
  }
  void WriteDocument(const std::vector<std::wstring>& names) {
    documentBytes = "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Pelmora test\r\n%%DocumentFiles:";
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) documentBytes += "\r\n%%+";
      documentBytes += Cp932(names[i]);
    }
    documentBytes += "\r\n%%EndComments\r\n";
    document = images + L"\\document.eps";
    e2e::WriteFileBytes(document, documentBytes);
  }
  ~Fixture() {
    for (const auto& dir : {images, dest}) {
      for (const auto& f : FilesIn(dir)) ::DeleteFileW((dir + L"\\" + f).c_str());
      ::RemoveDirectoryW(dir.c_str());
    }
  }
};

// Presses the button and waits for the folder browser, owned by the result window.
HWND OpenBrowser(const App& app, HWND w) {
  e2e::Click(e2e::Child(w, id::cmdFolder).hwnd);
  HWND browser = e2e::WaitFolderBrowser(app.pid(), kBrowserTitle);
  if (browser) {
    EXPECT_EQ(::GetWindow(browser, GW_OWNER), w);
  }
  return browser;
}

// Closes the browser with one of its buttons and waits until the click handler has returned or
// shows a modal window of its own (the shell's).
void CloseBrowser(HWND browser, HWND w, int button) {
  e2e::Click(::GetDlgItem(browser, button));
  EXPECT_TRUE(e2e::WaitGone(browser));
  e2e::WaitIdle(w);
}

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return true;
}

// Selects `folder` and waits until the browser shows it selected, so OK never confirms another
// folder (the browser may still be filling its tree when it first shows).
bool ChooseFolder(HWND browser, const std::wstring& folder) {
  const std::wstring leaf = folder.substr(folder.find_last_of(L'\\') + 1);
  return WaitFor(10000, [&] { return e2e::SelectBrowserFolder(browser, folder) && e2e::BrowserSelection(browser) == leaf; });
}

// Collects the document's images into the fixture's folder through the browser and its OK; `w`
// becomes the result window.
void CollectIntoDest(const App& app, const Fixture& fx, HWND& w) {
  w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  HWND browser = OpenBrowser(app, w);
  ASSERT_TRUE(browser);
  ASSERT_TRUE(ChooseFolder(browser, fx.dest)) << e2e::Narrow(e2e::BrowserSelection(browser));
  CloseBrowser(browser, w, IDOK);
}

class Collect : public testing::TestWithParam<bool> {};

// With and without an empty first name: the empty slot must not hide the names after it.
TEST_P(Collect, CopiesThePlacedImagesByteForByte) {
  const bool emptyFirst = GetParam();
  Fixture fx;
  const std::wstring a = L"a.psd", b = L"配置 画像.tif";
  const std::string aBytes = fx.WriteImage(a), bBytes = fx.WriteImage(b);
  std::vector<std::wstring> names{fx.images + L"\\" + a, fx.images + L"\\" + b};
  if (emptyFirst) names.insert(names.begin(), L"");
  fx.WriteDocument(names);

  App app(L"\"" + fx.document + L"\"");
  HWND w = nullptr;
  ASSERT_NO_FATAL_FAILURE(CollectIntoDest(app, fx, w));

  EXPECT_TRUE(WaitFor(10000, [&] {
    return e2e::ReadFileBytes(fx.dest + L"\\" + a) == aBytes && e2e::ReadFileBytes(fx.dest + L"\\" + b) == bBytes;
  })) << "copied: " << FilesIn(fx.dest).size();
  EXPECT_EQ(FilesIn(fx.dest).size(), 2u);
  EXPECT_TRUE(e2e::Dialogs(app.pid()).empty()) << "no message after a copy";
  EXPECT_EQ(e2e::ReadFileBytes(fx.images + L"\\" + a), aBytes);
  EXPECT_EQ(e2e::ReadFileBytes(fx.images + L"\\" + b), bBytes);
  EXPECT_EQ(e2e::ReadFileBytes(fx.document), fx.documentBytes);
  EXPECT_TRUE(::IsWindowVisible(w));
}

INSTANTIATE_TEST_SUITE_P(FirstName, Collect, testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Empty" : "Given"); });

// The shell's display name of the computer, an item of the browser without a file-system path.
std::wstring ComputerName() {
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidl))) return {};
  SHFILEINFOW info{};
  ::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info), SHGFI_PIDL | SHGFI_DISPLAYNAME);
  ::CoTaskMemFree(pidl);
  return info.szDisplayName;
}

TEST(CollectBrowser, CancelCopiesNothingAndSaysNothing) {
  Fixture fx;
  fx.WriteImage(L"a.psd");
  fx.WriteDocument({fx.images + L"\\a.psd"});

  App app(L"\"" + fx.document + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  HWND browser = OpenBrowser(app, w);
  ASSERT_TRUE(browser);
  // OK is there only for a file-system folder: not for the computer, which has no path.
  ASSERT_TRUE(e2e::SelectBrowserItem(browser, ComputerName()))
      << e2e::Narrow(ComputerName()) << " not found; selected: " << e2e::Narrow(e2e::BrowserSelection(browser));
  e2e::WaitIdle(browser);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(browser, IDOK))) << "OK confirms a choice without a path";
  ASSERT_TRUE(ChooseFolder(browser, fx.dest)) << e2e::Narrow(e2e::BrowserSelection(browser));
  e2e::WaitIdle(browser);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(browser, IDOK)));
  CloseBrowser(browser, w, IDCANCEL);

  EXPECT_TRUE(FilesIn(fx.dest).empty());
  EXPECT_TRUE(e2e::Dialogs(app.pid()).empty());
  EXPECT_TRUE(::IsWindowVisible(w));
}

// The shell's copy stops short at the missing file; whatever it shows of its own, the program then
// says that the collection did not finish.
TEST(CollectBrowser, MissingFileIsReportedAfterTheShell) {
  Fixture fx;
  const std::string bytes = fx.WriteImage(L"b.psd");
  fx.WriteDocument({fx.images + L"\\missing.psd", fx.images + L"\\b.psd"});

  App app(L"\"" + fx.document + L"\"");
  HWND w = nullptr;
  ASSERT_NO_FATAL_FAILURE(CollectIntoDest(app, fx, w));

  // The shell's own reports first, if any; the program's box comes once the copy has returned.
  int own = 0;
  for (int round = 0; round < 5 && !own; ++round) {
    const e2e::MessageBoxInfo box = e2e::WaitMessageBox(app.pid(), 10000);
    if (!box.hwnd) break;
    std::printf("report: [%s] %s\n", e2e::Narrow(box.caption).c_str(), e2e::Narrow(box.text).c_str());
    if (box.caption == L"Pelmora") {
      ++own;
      EXPECT_EQ(box.text.rfind(L"画像の収集を最後まで行えませんでした。", 0), 0u) << e2e::Narrow(box.text);
      EXPECT_NE(box.text.find(L"(エラー番号:0x"), std::wstring::npos);
      EXPECT_TRUE(box.hasIcon);
    }
    e2e::CloseMessageBox(box);
    e2e::WaitGone(box.hwnd);
    e2e::WaitIdle(w);
  }
  EXPECT_EQ(own, 1);
  EXPECT_TRUE(e2e::Dialogs(app.pid()).empty()) << "a message after the program's";
  EXPECT_FALSE(Exists(fx.dest + L"\\missing.psd"));
  std::printf("copied after the missing file: %zu\n", FilesIn(fx.dest).size());
  EXPECT_EQ(e2e::ReadFileBytes(fx.images + L"\\b.psd"), bytes);
  EXPECT_EQ(e2e::ReadFileBytes(fx.document), fx.documentBytes);
  EXPECT_TRUE(::IsWindowVisible(w));
}

// A document's network names never reach the shell, which would contact their host with the
// user's logon; the user is told which were left out, and the rest is copied.
TEST(CollectBrowser, NetworkNamesAreLeftOutAndNamedToTheUser) {
  Fixture fx;
  const std::string bytes = fx.WriteImage(L"a.psd");
  const std::wstring unc = L"\\\\pelmora-nohost.invalid\\share\\x.tif";
  fx.WriteDocument({unc, fx.images + L"\\a.psd", L"//pelmora-nohost.invalid/share/y.tif"});

  App app(L"\"" + fx.document + L"\"");
  HWND w = nullptr;
  ASSERT_NO_FATAL_FAILURE(CollectIntoDest(app, fx, w));

  const e2e::MessageBoxInfo box = e2e::WaitMessageBox(app.pid());
  ASSERT_TRUE(box.hwnd);
  EXPECT_EQ(box.caption, L"Pelmora");
  EXPECT_TRUE(box.hasIcon);
  EXPECT_NE(box.text.find(L"\r\n" + unc + L"\r\n//pelmora-nohost.invalid/share/y.tif"), std::wstring::npos)
      << e2e::Narrow(box.text);
  // Said before the copy, which waits for OK.
  EXPECT_TRUE(FilesIn(fx.dest).empty());
  e2e::CloseMessageBox(box);
  EXPECT_TRUE(WaitFor(10000, [&] { return e2e::ReadFileBytes(fx.dest + L"\\a.psd") == bytes; }));
  e2e::WaitGone(box.hwnd);
  e2e::WaitIdle(w);
  EXPECT_EQ(FilesIn(fx.dest), std::vector<std::wstring>{L"a.psd"});
  EXPECT_TRUE(e2e::Dialogs(app.pid()).empty());
}

// The shell copies within 260 characters a path: a folder whose path leaves no room for an
// image's name is refused before anything is copied.
TEST(CollectBrowser, DestinationTooLongForTheShellIsSaidBeforeCopying) {
  Fixture fx;
  const std::wstring deep = fx.dest + L"\\" + std::wstring(200 - fx.dest.size(), L'd');
  ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
  // The image's target, folder, separator and name, would be 260 characters: one too many.
  const std::wstring name = std::wstring(260 - deep.size() - 1 - 4, L'n') + L".psd";
  fx.WriteImage(name);
  fx.WriteDocument({fx.images + L"\\" + name});

  App app(L"\"" + fx.document + L"\"");
  HWND w = e2e::WaitWindow(app.pid(), kCaption);
  ASSERT_TRUE(w);
  HWND browser = OpenBrowser(app, w);
  ASSERT_TRUE(browser);
  ASSERT_TRUE(ChooseFolder(browser, deep)) << e2e::Narrow(e2e::BrowserSelection(browser));
  CloseBrowser(browser, w, IDOK);

  const e2e::MessageBoxInfo box = e2e::WaitMessageBox(app.pid());
  ASSERT_TRUE(box.hwnd);
  EXPECT_EQ(box.caption, L"Pelmora");
  EXPECT_EQ(box.text, L"収集先のフォルダのパスが長すぎるため、画像をコピーできません。\r\n"
                      L"もっと短いパスのフォルダを指定して下さい。");
  e2e::CloseMessageBox(box);
  e2e::WaitGone(box.hwnd);
  e2e::WaitIdle(w);
  EXPECT_TRUE(e2e::Dialogs(app.pid()).empty()) << "the shell was called after all";
  EXPECT_TRUE(FilesIn(deep).empty());
  ::RemoveDirectoryW(deep.c_str());
}

}  // namespace
