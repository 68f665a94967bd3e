// The fixed texts of the auxiliary windows, checked against the layout's own figures.
#include "ui/aux/aux_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace pelmora::ui;

// Splits a text whose every line ends in CR LF; a missing final CR LF or a lone CR or LF fails.
std::vector<std::wstring> CrLfLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      ADD_FAILURE() << "last line not ended by CR LF";
      break;
    }
    const std::wstring line = text.substr(start, end - start);
    EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << "lone CR or LF";
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

// Bytes in code page 932: ASCII and half-width katakana take one, the rest two.
std::size_t ShiftJisBytes(const std::wstring& text) {
  std::size_t bytes = 0;
  for (wchar_t c : text) bytes += (c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
  return bytes;
}

TEST(TypeNotes, AreTheElevenLinesOfTheLayout) {
  const std::vector<std::wstring> expected = {
      L"「保存形式」や「ソフトのバージョン」欄に見慣れない",
      L"バージョン番号が表示される事がありますが、以下を参",
      L"考に置き換えて判断してください。",
      L"",
      L"値    公式バージョン名",
      std::wstring(23, L'-'),
      L"X  -> 10.0",
      L"11 -> CS",
      L"12 -> CS2",
      L"13 -> CS3 ",
      L"14 -> CS4",
  };
  const std::wstring notes = kTypeNotes;
  EXPECT_EQ(CrLfLines(notes), expected);
  EXPECT_EQ(notes.size(), 170u);
  EXPECT_EQ(ShiftJisBytes(notes), 245u);
}

TEST(AboutContact, IsFiveLinesWithTheAddressAndItsBlank) {
  const std::vector<std::wstring> lines = CrLfLines(kAboutContact);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], L"お問い合わせは");
  EXPECT_EQ(lines[1], L"");
  EXPECT_EQ(lines[2].rfind(L"https://", 0), 0u) << "a web address";
  EXPECT_EQ(lines[2].back(), L' ');
  EXPECT_EQ(lines[2].find(L' '), lines[2].size() - 1) << "one blank, at the end only";
  EXPECT_EQ(lines[3], L"");
  EXPECT_EQ(lines[4], L"までお願いします。");
}

TEST(AboutTexts, CaptionAndVersionLineFollowTheVersion) {
  struct Case {
    pelmora::base::ProgramVersion version;
    const wchar_t* caption;
    const wchar_t* line;
  };
  const Case cases[] = {
      {{L"Pelmora", 3, 1, 21}, L"Pelmoraのバージョン情報", L"バージョン 3.1  (build 21)"},
      {{L"Pelmora", 10, 0, 0}, L"Pelmoraのバージョン情報", L"バージョン 10.0  (build 0)"},
      {{L"X", 3, 10, 305}, L"Xのバージョン情報", L"バージョン 3.10  (build 305)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AboutCaption(c.version), c.caption);
    EXPECT_EQ(VersionLine(c.version), c.line);
  }
}

}  // namespace
