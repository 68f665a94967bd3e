#include "ui/main/drop_command.h"

#include <gtest/gtest.h>

namespace pelmora::ui {
namespace {

struct Case {
  const char* name;
  const wchar_t* program;
  const wchar_t* dropped;
  const wchar_t* expected;
};

const Case kCases[] = {
    {"OrdinaryFolder", L"C:\\Tools\\pelmora.exe", L"D:\\doc.eps", L"\"C:\\Tools\\pelmora.exe\" \"D:\\doc.eps\""},
    // The root keeps its own separator and the second one is added anyway.
    {"DriveRootGivesTwoSeparators", L"C:\\pelmora.exe", L"D:\\doc.eps", L"\"C:\\\\pelmora.exe\" \"D:\\doc.eps\""},
    {"DroppedPathWithBlanksStaysWhole", L"C:\\Tools\\pelmora.exe", L"D:\\My Work\\a b.ai",
     L"\"C:\\Tools\\pelmora.exe\" \"D:\\My Work\\a b.ai\""},
    {"ProgramPathWithBlanksIsQuoted", L"C:\\Program Files\\Pelmora\\pelmora.exe", L"D:\\a.ai",
     L"\"C:\\Program Files\\Pelmora\\pelmora.exe\" \"D:\\a.ai\""},
    {"JapaneseNames", L"C:\\ツール\\ペルモラ.exe", L"D:\\表\\配置画像 1.eps",
     L"\"C:\\ツール\\ペルモラ.exe\" \"D:\\表\\配置画像 1.eps\""},
    {"RenamedProgramKeepsItsName", L"C:\\Tools\\viewer.EXE", L"D:\\a.ai", L"\"C:\\Tools\\viewer.exe\" \"D:\\a.ai\""},
    {"OnlyTheLastExtensionGoes", L"C:\\Tools\\pel.mora.exe", L"D:\\a.ai", L"\"C:\\Tools\\pel.mora.exe\" \"D:\\a.ai\""},
    {"NetworkFolder", L"\\\\server\\share\\pelmora.exe", L"\\\\server\\docs\\a.eps",
     L"\"\\\\server\\share\\pelmora.exe\" \"\\\\server\\docs\\a.eps\""},
    {"DroppedFolderPassedUnchanged", L"C:\\Tools\\pelmora.exe", L"D:\\Images\\", L"\"C:\\Tools\\pelmora.exe\" \"D:\\Images\\\""},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class DropCommandLineTest : public testing::TestWithParam<Case> {};

TEST_P(DropCommandLineTest, BuildsFivePieces) {
  const Case& c = GetParam();
  EXPECT_EQ(DropCommandLine(c.program, c.dropped), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, DropCommandLineTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The answer is always one of the effects the source allows; mask bits: 1 copy, 2 move, 4 link.
TEST(DragOverEffect, CopyOnlyForAFileListFromASourceThatAllowsCopyOverAnEnabledWindow) {
  const struct {
    bool fileList;
    bool enabled;
    std::uint32_t allowed;
    std::uint32_t expected;
  } cases[] = {
      {true, true, 1, kEffectCopy},       {true, true, 1 | 2 | 4, kEffectCopy}, {true, true, 1 | 2, kEffectCopy},
      {true, true, 2, kEffectNone},       {true, true, 4, kEffectNone},         {true, true, 2 | 4, kEffectNone},
      {true, true, 0, kEffectNone},       {false, true, 1, kEffectNone},        {false, true, 1 | 2 | 4, kEffectNone},
      // A modal window is open: whatever comes is refused.
      {true, false, 1, kEffectNone},      {true, false, 1 | 2 | 4, kEffectNone}, {false, false, 1, kEffectNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DragOverEffect(c.fileList, c.enabled, c.allowed), c.expected) << c.fileList << c.enabled << " " << c.allowed;
  }
}

}  // namespace
}  // namespace pelmora::ui
