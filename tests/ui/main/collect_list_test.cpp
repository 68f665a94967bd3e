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
    {"WildcardNamesLeftOut", {"C:\\*.*", "a.psd", "C:\\Users\\??\\b.tif", "c?.tif"}, 4, L"a.psd\0\0"s},
    {"OnlyWildcardNames", {"*"}, 1, L""s},
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class BuildCopySourceTest : public testing::TestWithParam<ListCase> {};

TEST_P(BuildCopySourceTest, ShellListForm) {
  const ListCase& c = GetParam();
  EXPECT_EQ(BuildCopySource(c.slots, c.count), c.expected);
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

}  // namespace
}  // namespace pelmora::ui
