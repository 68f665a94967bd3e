#include "ui/main/collect_list.h"

#include <gtest/gtest.h>

namespace pelmora::ui {
namespace {

using namespace std::string_literals;

struct ListCase {
  const char* name;
  std::vector<std::string> slots;
  std::int32_t count;
  std::wstring expected;
  std::vector<std::wstring> leftOut = {};
};

// Slot names are the document's code page 932 bytes.
const ListCase kLists[] = {
    {"TwoNames", {"C:\\img\\a.psd", "C:\\img\\b.tif"}, 2, L"C:\\img\\a.psd\0C:\\img\\b.tif\0\0"s},
    // A NUL first would end the shell's list before any name.
    {"EmptyFirstNameLeftOut", {"", "C:\\img\\b.tif"}, 2, L"C:\\img\\b.tif\0\0"s},
    {"EmptyNameBetweenLeftOut", {"a.psd", "", "b.tif"}, 3, L"a.psd\0b.tif\0\0"s},
    {"NoNames", {}, 0, L""s},
    {"OnlyAnEmptyName", {""}, 1, L""s},
    {"CountLimitsTheSlots", {"a.psd", "b.tif", "c.eps"}, 2, L"a.psd\0b.tif\0\0"s},
    {"NamesBeyondZeroCountIgnored", {"a.psd"}, 0, L""s},
    {"CountBeyondSlotsStopsAtLast", {"a.psd"}, 5, L"a.psd\0\0"s},
    // 0x5C is the trail byte of the second character, not a separator.
    {"JapaneseNames", {"C:\\\x89\xe6\x91\x9c\\\x95\x5c.psd", "\x83\x5c\x83\x74\x83\x67.ai"}, 2,
     L"C:\\画像\\表.psd\0ソフト.ai\0\0"s},
    {"NamesKeptAsListed", {"..\\links\\a b.PSD"}, 1, L"..\\links\\a b.PSD\0\0"s},
    // The shell would expand wildcards: C:\*.* would copy a whole folder.
    {"WildcardNamesLeftOut", {"C:\\*.*", "a.psd", "C:\\Users\\??\\b.tif", "c?.tif"}, 4, L"a.psd\0\0"s,
     {L"C:\\*.*", L"C:\\Users\\??\\b.tif", L"c?.tif"}},
    {"OnlyWildcardNames", {"*"}, 1, L""s, {L"*"}},
    // The shell would reach the host with the user's logon: UNC, extended-length and device forms,
    // with either separator, after blanks too.
    {"NetworkAndDeviceNamesLeftOut",
     {"\\\\host\\share\\x.tif", "a.psd", "\\\\?\\UNC\\host\\s\\y.tif", "\\\\.\\pipe\\p", "//host/share/z.tif",
      "\\/host\\w.tif", "  \\\\host\\v.tif"},
     7, L"a.psd\0\0"s,
     {L"\\\\host\\share\\x.tif", L"\\\\?\\UNC\\host\\s\\y.tif", L"\\\\.\\pipe\\p", L"//host/share/z.tif",
      L"\\/host\\w.tif", L"  \\\\host\\v.tif"}},
    // One separator is the current drive's root; two further in are the local path's own business.
    {"LocalFormsKept", {"\\img\\a.psd", "C:\\\\img\\b.tif", "..\\\\c.tif", " d.tif"}, 4,
     L"\\img\\a.psd\0C:\\\\img\\b.tif\0..\\\\c.tif\0 d.tif\0\0"s},
    {"ShortNamesKept", {"\\", "/"}, 2, L"\\\0/\0\0"s},
    // Decoded before the test: a 0x5C trail byte makes no separator.
    {"TrailByteIsNoSeparator", {"\x95\x5c\x95\x5c.tif"}, 1, L"表表.tif\0\0"s},
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class BuildCopySourceTest : public testing::TestWithParam<ListCase> {};

TEST_P(BuildCopySourceTest, ShellListForm) {
  const ListCase& c = GetParam();
  const CopySource source = BuildCopySource(c.slots, c.count);
  EXPECT_EQ(source.list, c.expected);
  EXPECT_EQ(source.leftOut, c.leftOut);
}

INSTANTIATE_TEST_SUITE_P(Lists, BuildCopySourceTest, testing::ValuesIn(kLists),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CopyDestinationTest, EndsInExactlyOneSeparator) {
  const struct {
    const wchar_t* folder;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\", L"C:\\"},
      {L"C:\\Images", L"C:\\Images\\"},
      {L"D:\\配置\\表", L"D:\\配置\\表\\"},
      {L"\\\\server\\share\\", L"\\\\server\\share\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(CopyDestination(c.folder), c.expected) << c.folder;
}

// The shell holds each target path (folder, separator, the source's last part) in 260 characters,
// its NUL included.
TEST(DestinationTooLongTest, EachTargetPathMustFitTheShellsBuffer) {
  const std::wstring folder = L"C:\\" + std::wstring(199, L'd') + L"\\";  // 203 characters
  const struct {
    const char* name;
    std::wstring to;
    std::wstring from;
    bool expected;
  } cases[] = {
      {"ShortNames", L"C:\\out\\", L"C:\\img\\a.psd\0b.tif\0\0"s, false},
      {"LastPartOnlyCounts", folder, L"C:\\" + std::wstring(300, L'p') + L"\\a.psd\0\0"s, false},
      {"TargetOf259Fits", folder, std::wstring(56, L'n') + L"\0\0"s, false},
      {"TargetOf260DoesNot", folder, std::wstring(57, L'n') + L"\0\0"s, true},
      {"SecondNameTooLong", folder, L"a.psd\0x/"s + std::wstring(57, L'n') + L"\0\0"s, true},
      {"ForwardSlashEndsAFolder", folder, L"x/"s + std::wstring(56, L'n') + L"\0\0"s, false},
      {"FolderAloneTooLong", L"C:\\" + std::wstring(256, L'd') + L"\\", L""s, true},
      {"FolderOf259Fits", L"C:\\" + std::wstring(255, L'd') + L"\\", L""s, false},
  };
  for (const auto& c : cases) EXPECT_EQ(DestinationTooLong(c.to, c.from), c.expected) << c.name;
}

TEST(CopyFailureMessageTest, NothingAfterSuccessOrCancelAndTheCodeOtherwise) {
  const struct {
    int result;
    bool aborted;
    const wchar_t* code;  // nullptr: no box
  } cases[] = {
      {0, false, nullptr},     {0, true, nullptr},        {0x75, false, nullptr}, {1223, false, nullptr},
      {0x79, true, nullptr},   {0x79, false, L"0x79"},    {0x402, false, L"0x402"}, {5, false, L"0x5"},
      {0x10000, false, L"0x10000"},
  };
  for (const auto& c : cases) {
    const auto text = CopyFailureMessage(c.result, c.aborted);
    ASSERT_EQ(text.has_value(), c.code != nullptr) << c.result << " " << c.aborted;
    if (!text) continue;
    EXPECT_EQ(text->rfind(L"画像の収集を最後まで行えませんでした。", 0), 0u);
    EXPECT_NE(text->find(L"(エラー番号:"s + c.code + L")"), std::wstring::npos) << c.result;
  }
}

TEST(LeftOutMessageTest, ListsTheNamesBoundedAndWithoutControlCharacters) {
  const std::wstring head = L"次の画像はネットワーク上の名前またはワイルドカード (* ?) を含む名前のため、収集しません。\r\n";
  EXPECT_EQ(LeftOutMessage({L"\\\\host\\share\\x.tif", L"C:\\*.*"}), head + L"\r\n\\\\host\\share\\x.tif\r\nC:\\*.*");
  EXPECT_EQ(LeftOutMessage({L"\\\\h\\a\tb\x1b[2J\x7f.tif"}), head + L"\r\n\\\\h\\a?b?[2J?.tif");

  const std::wstring longName = L"\\\\" + std::wstring(200, L'h');
  EXPECT_EQ(LeftOutMessage({longName}), head + L"\r\n" + longName.substr(0, kLeftOutNameChars) + L"...");

  std::vector<std::wstring> many;
  for (int i = 0; i < 25; ++i) many.push_back(L"\\\\h\\" + std::to_wstring(i));
  const std::wstring text = LeftOutMessage(many);
  EXPECT_NE(text.find(L"\r\n\\\\h\\9\r\nほか 15 件"), std::wstring::npos);
  EXPECT_EQ(text.find(L"\\\\h\\10"), std::wstring::npos);
}

}  // namespace
}  // namespace pelmora::ui
