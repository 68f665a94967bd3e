// The About window's registry reader against a key of the test's own under HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <sddl.h>

#include "analysis/run_error.h"
#include "ui/aux/frm_dummy.h"

namespace {

using namespace pelmora;
using ui::FrmDummy;

class GetKeyValueTest : public testing::Test {
 protected:
  void SetUp() override {
    keyName_ = L"Software\\PelmoraTests\\GetKeyValue-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, keyName_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    ::RegCloseKey(key_);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, keyName_.c_str());
  }
  void Set(const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
    ASSERT_EQ(::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes)),
              ERROR_SUCCESS);
  }
  void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    Set(name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }

  std::wstring keyName_;
  HKEY key_ = nullptr;
};

TEST_F(GetKeyValueTest, ReadsEachKindOfValue) {
  SetText(L"text", L"C:\\Program Files\\Common Files\\情報\\msinfo32.exe");
  SetText(L"nul", std::wstring(L"before\0after", 12));
  const DWORD number = 3021;
  Set(L"number", REG_DWORD, &number, sizeof(number));
  const DWORD negative = 0xFFFFFFFE;
  Set(L"negative", REG_DWORD, &negative, sizeof(negative));
  const BYTE binary[] = {'a', 0, 'b', 0, 0, 0};
  Set(L"binary", REG_BINARY, binary, sizeof(binary));
  SetText(L"expand", L"%SystemRoot%\\msinfo32.exe", REG_EXPAND_SZ);
  SetText(L"fits", std::wstring(511, L'x'));       // 1024 bytes with its NUL
  SetText(L"too long", std::wstring(512, L'x'));   // 1026 bytes

  struct Case {
    const wchar_t* value;
    bool found;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"text", true, L"C:\\Program Files\\Common Files\\情報\\msinfo32.exe"},
      {L"nul", true, L"before"},
      {L"number", true, L"3021"},
      {L"negative", true, L"-2"},
      {L"binary", true, L"unchanged"},
      {L"expand", true, L"unchanged"},
      {L"fits", true, std::wstring(511, L'x')},
      {L"too long", false, L""},
      {L"missing", false, L""},
  };
  for (const Case& c : cases) {
    std::wstring KeyVal = L"unchanged";
    EXPECT_EQ(FrmDummy::GetKeyValue(HKEY_CURRENT_USER, keyName_, c.value, KeyVal), c.found) << c.value;
    EXPECT_EQ(KeyVal, c.expected) << c.value;
  }
}

TEST_F(GetKeyValueTest, AMissingKeyIsNotFound) {
  std::wstring KeyVal = L"unchanged";
  EXPECT_FALSE(FrmDummy::GetKeyValue(HKEY_CURRENT_USER, keyName_ + L"\\absent", L"PATH", KeyVal));
  EXPECT_EQ(KeyVal, L"");
}

// A value that fills the whole buffer and leaves no NUL in it cannot be cut: a failure, not a value.
TEST_F(GetKeyValueTest, AFullBufferWithoutNulFails) {
  const std::vector<BYTE> full(1024, 'a');
  Set(L"full", REG_BINARY, full.data(), full.size());
  std::wstring KeyVal = L"unchanged";
  try {
    const bool found = FrmDummy::GetKeyValue(HKEY_CURRENT_USER, keyName_, L"full", KeyVal);
    ADD_FAILURE() << "no failure; found " << found;
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), err::kInvalidProcedureCall);
  }
}

// A key that grants everyone only the right to read it, as HKEY_LOCAL_MACHINE does to standard
// users: the reader must still get the value.
TEST_F(GetKeyValueTest, NeedsNoWriteRights) {
  const std::wstring sub = keyName_ + L"\\readonly";
  HKEY k = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  const std::wstring path = L"C:\\x.exe";
  ::RegSetValueExW(k, L"PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  // Everyone: read only.
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &sd, nullptr));
  const LONG set = ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd);
  ::LocalFree(sd);
  ::RegCloseKey(k);
  ASSERT_EQ(set, ERROR_SUCCESS);

  // The owner may always rewrite the key's security: give full access back so TearDown can delete it.
  struct Restore {
    std::wstring sub;
    ~Restore() {
      HKEY h = nullptr;
      PSECURITY_DESCRIPTOR all = nullptr;
      if (::RegOpenKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, WRITE_DAC, &h) == ERROR_SUCCESS &&
          ::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KA;;;WD)", SDDL_REVISION_1, &all, nullptr)) {
        ::RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, all);
        ::LocalFree(all);
      }
      if (h) ::RegCloseKey(h);
    }
  } restore{sub};

  HKEY writable = nullptr;
  const LONG writeOpen = ::RegOpenKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, 0x2003F, &writable);
  if (writeOpen == ERROR_SUCCESS) {
    ::RegCloseKey(writable);
    GTEST_SKIP() << "this platform does not enforce the key's security";
  }
  std::wstring KeyVal;
  EXPECT_TRUE(FrmDummy::GetKeyValue(HKEY_CURRENT_USER, sub, L"PATH", KeyVal));
  EXPECT_EQ(KeyVal, path);
}

}  // namespace
