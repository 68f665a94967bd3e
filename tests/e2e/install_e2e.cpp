// The x64 installer as a user meets it: a silent per-user install, the program started from
// what the installer put in place, the entry in Add/Remove Programs, and an uninstall that leaves
// nothing behind. Also: a newer release replaces an older revision instead of sitting beside it.
#include <windows.h>
#include <msi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "harness.h"
#include "ui/main/select_ids.h"

namespace {

namespace id = pelmora::ui::select_ids;

constexpr wchar_t kUpgradeCode[] = L"{04761A76-498D-44E3-B98B-82C17D549C69}";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kVersion[] = L"3.1.0.21";

// msiexec with a command line; its exit code, or ~0u when it did not end in time.
DWORD Msiexec(const std::wstring& args) {
  wchar_t system[MAX_PATH];
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring exe = std::wstring(system) + L"\\msiexec.exe";
  std::wstring cmd = L"\"" + exe + L"\" " + args;
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
  ::CloseHandle(pi.hThread);
  DWORD code = ~0u;
  if (::WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  return code;
}

std::vector<std::wstring> InstalledProducts() {
  std::vector<std::wstring> codes;
  wchar_t code[39];
  for (DWORD i = 0; ::MsiEnumRelatedProductsW(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i) codes.push_back(code);
  return codes;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property) {
  wchar_t buf[1024];
  DWORD n = 1024;
  if (::MsiGetProductInfoW(product.c_str(), property, buf, &n) != ERROR_SUCCESS) return L"<none>";
  return std::wstring(buf, n);
}

// Wine's SHGetKnownFolderPath knows no SendTo folder; the CSIDL lookup is the same folder. The
// folder need not exist yet: on a new profile the installer makes it.
std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return L"<no folder>";
  }
  return path;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Where a shortcut points, read through the shell as Explorer would.
std::wstring ShortcutTarget(const std::wstring& lnk) {
  IShellLinkW* link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
    return L"<no shell link>";
  std::wstring target = L"<unreadable>";
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH];
    const HRESULT loaded = file->Load(lnk.c_str(), STGM_READ);
    const HRESULT got = FAILED(loaded) ? loaded : link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
    target = SUCCEEDED(got) ? std::wstring(path) : L"<unreadable: " + std::to_wstring(got) + L">";
    file->Release();
  }
  link->Release();
  return target;
}

// The product's Add/Remove Programs key: per user where the installer keeps it so, else the
// machine's (Wine registers every product there).
std::optional<HKEY> OpenUninstallEntry(const std::wstring& product) {
  const std::wstring key = kUninstallKey + product;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &h) == ERROR_SUCCESS) return h;
  }
  return std::nullopt;
}

std::wstring RegText(HKEY key, const wchar_t* name) {
  wchar_t buf[1024];
  DWORD bytes = sizeof(buf);
  if (::RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buf, &bytes) != ERROR_SUCCESS) return L"<none>";
  return buf;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &h) != ERROR_SUCCESS) return false;
  ::RegCloseKey(h);
  return true;
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(::towlower(c));
  return s;
}

std::wstring FileVersion(const std::wstring& exe) {
  DWORD ignored = 0;
  std::vector<BYTE> data(::GetFileVersionInfoSizeW(exe.c_str(), &ignored));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (data.empty() || !::GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len))
    return L"<none>";
  return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

class Installer : public testing::Test {
 protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // A run that failed half way may have left a product in the prefix.
    for (const auto& product : InstalledProducts()) Msiexec(L"/x " + product + L" /qn");
    ASSERT_TRUE(InstalledProducts().empty()) << "an earlier install could not be removed";
    programs_ = ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs";
    programsExisted_ = Exists(programs_);
    dir_ = programs_ + L"\\Pelmora";
    startMenuLink_ = ShellFolder(CSIDL_PROGRAMS) + L"\\Pelmora.lnk";
    sendToLink_ = ShellFolder(CSIDL_SENDTO) + L"\\Pelmora.lnk";
  }
  void TearDown() override { ::CoUninitialize(); }

  // Everything the installer put in place is gone, down to the folder it made.
  void ExpectNothingLeft(const std::wstring& product, const std::wstring& icon) {
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_FALSE(Exists(dir_)) << Narrow(dir_);
    if (!programsExisted_) {
      EXPECT_FALSE(Exists(programs_)) << "the Programs folder made by the install is left";
    }
    EXPECT_FALSE(Exists(startMenuLink_));
    EXPECT_FALSE(Exists(sendToLink_));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Pelmora"));
    EXPECT_FALSE(OpenUninstallEntry(product).has_value());
    if (!icon.empty()) {
      EXPECT_FALSE(Exists(icon)) << "Add/Remove Programs icon left: " << Narrow(icon);
    }
  }

  static std::string Narrow(const std::wstring& s) { return e2e::Narrow(s); }

  std::wstring programs_, dir_, startMenuLink_, sendToLink_;
  bool programsExisted_ = false;
};

TEST_F(Installer, InstallsPerUserRunsTheProgramAndUninstallsWithoutTrace) {
  ASSERT_EQ(Msiexec(L"/i \"" + e2e::WinPath(PELMORA_MSI) + L"\" /qn"), 0u);

  const auto products = InstalledProducts();
  ASSERT_EQ(products.size(), 1u);
  const std::wstring product = products[0];
  EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_VERSIONSTRING), kVersion);
  EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME), L"Pelmora");
  // Installed for this user only: no administrator rights were asked for.
  wchar_t state[16];
  DWORD n = 16;
  EXPECT_EQ(::MsiGetProductInfoExW(product.c_str(), nullptr, MSIINSTALLCONTEXT_USERUNMANAGED,
                                   INSTALLPROPERTY_PRODUCTSTATE, state, &n),
            ERROR_SUCCESS);
  n = 16;
  EXPECT_NE(::MsiGetProductInfoExW(product.c_str(), nullptr, MSIINSTALLCONTEXT_MACHINE, INSTALLPROPERTY_PRODUCTSTATE,
                                   state, &n),
            ERROR_SUCCESS);

  // The program files.
  const std::wstring exe = dir_ + L"\\pelmora.exe";
  for (const wchar_t* f : {L"pelmora.exe", L"pelmora-scan.exe", L"readme-ja.txt", L"LICENSE.txt",
                           L"licenses\\zlib.txt", L"licenses\\zstd.txt", L"licenses\\libjpeg-turbo.txt",
                           L"licenses\\libpng.txt", L"licenses\\libtiff.txt", L"licenses\\qpdf.txt",
                           L"licenses\\pugixml.txt"}) {
    EXPECT_TRUE(Exists(dir_ + L"\\" + f)) << Narrow(f);
  }
  EXPECT_EQ(FileVersion(exe), kVersion);
  EXPECT_EQ(FileVersion(dir_ + L"\\pelmora-scan.exe"), kVersion);

  // The Start-menu and SendTo (送る) shortcuts, both to the installed program.
  EXPECT_EQ(Lower(ShortcutTarget(startMenuLink_)), Lower(exe));
  EXPECT_EQ(Lower(ShortcutTarget(sendToLink_)), Lower(exe));

  // Add/Remove Programs: name, version, and the icon, which the installer keeps for the product.
  const std::wstring icon = ProductInfo(product, INSTALLPROPERTY_PRODUCTICON);
  EXPECT_TRUE(Exists(icon)) << "icon " << Narrow(icon);
  {
    const auto entry = OpenUninstallEntry(product);
    ASSERT_TRUE(entry.has_value()) << "no uninstall entry";
    EXPECT_EQ(RegText(*entry, L"DisplayName"), L"Pelmora");
    EXPECT_EQ(RegText(*entry, L"DisplayVersion"), kVersion);
    EXPECT_EQ(RegText(*entry, L"Publisher"), L"Pelmora project");
    ::RegCloseKey(*entry);
  }

  // What 送る does: the shortcut's program started with the document's path.
  const std::wstring docs = e2e::NewTempDir();
  const std::wstring doc = docs + L"\\入稿 ロゴ.eps";
  e2e::WriteFileBytes(doc,
                      "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n"
                      "%%AI8_CreatorVersion: 8.0.1\r\n%%DocumentFiles:C:\\img\\photo.psd\r\n%%+C:\\img\\map.tif\r\n"
                      "%%EndComments\r\n");
  {
    e2e::App app(L"\"" + doc + L"\"", ShortcutTarget(sendToLink_));
    HWND w = e2e::WaitWindow(app.pid(), L"Pelmora 3.1");
    ASSERT_TRUE(w) << "the installed program showed no result window";
    EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtFile).hwnd), L"入稿 ロゴ.eps");
    EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtEpsorAI).hwnd), L"EPSファイル (EPS)");
    EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtVersionString).hwnd), L"Adobe Illustrator(R) 8.0");
    EXPECT_EQ(e2e::Text(e2e::Child(w, id::txtImage).hwnd), L"C:\\img\\photo.psd\r\nC:\\img\\map.tif");
    e2e::Screenshot(w, "installed-result-window");
    ::PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.WaitExit());
  }
  ::DeleteFileW(doc.c_str());
  ::RemoveDirectoryW(docs.c_str());

  ASSERT_EQ(Msiexec(L"/x " + product + L" /qn"), 0u);
  ExpectNothingLeft(product, icon);
}

// Windows Installer compares three fields of a version: without care, 3.1.0.21 would be put
// beside an installed 3.1.0.20 rather than replace it.
TEST_F(Installer, ReleaseReplacesAnOlderRevision) {
  ASSERT_EQ(Msiexec(L"/i \"" + e2e::WinPath(PELMORA_OLDER_MSI) + L"\" /qn"), 0u);
  const auto older = InstalledProducts();
  ASSERT_EQ(older.size(), 1u);
  EXPECT_EQ(ProductInfo(older[0], INSTALLPROPERTY_VERSIONSTRING), L"3.1.0.20");

  ASSERT_EQ(Msiexec(L"/i \"" + e2e::WinPath(PELMORA_MSI) + L"\" /qn"), 0u);
  const auto products = InstalledProducts();
  ASSERT_EQ(products.size(), 1u) << "the older release was left installed";
  EXPECT_NE(products[0], older[0]);
  EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), kVersion);
  EXPECT_FALSE(OpenUninstallEntry(older[0]).has_value());
  EXPECT_TRUE(Exists(dir_ + L"\\pelmora.exe"));
  EXPECT_EQ(Lower(ShortcutTarget(sendToLink_)), Lower(dir_ + L"\\pelmora.exe"));

  ASSERT_EQ(Msiexec(L"/x " + products[0] + L" /qn"), 0u);
  ExpectNothingLeft(products[0], L"");
}

}  // namespace
