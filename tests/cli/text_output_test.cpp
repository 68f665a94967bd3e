// What users read: UTF-8 text, aligned columns with wide characters, and JSON lines.
#include <gtest/gtest.h>

#include "cli/scan_report.h"
#include "base/text_utf8.h"
#include "json_lite.h"

#include "cli_fixture.h"

namespace pelmora::cli {
namespace {

using namespace base;

using testing::Lines;

TEST(Utf8, WideTextRoundTripsIncludingCharactersBeyondTheBmp) {
  const std::wstring wide = L"a\u00e9\u65e5\u672c\U0001F600\uFF76z";
  const std::string utf8 = "a\xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80\xEF\xBD\xB6z";
  EXPECT_EQ(ToUtf8(wide), utf8);
  EXPECT_EQ(FromUtf8(utf8), wide);
}

TEST(Utf8, BrokenInputBecomesReplacementCharacters) {
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"lone continuation", "a\x80z", "a\xEF\xBF\xBDz"},
      {"cut short", "a\xE6\x97", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"Shift_JIS file name", "\x83\x65\x83\x58\x83\x67.eps",
       "\xEF\xBF\xBD" "e\xEF\xBF\xBDX\xEF\xBF\xBDg.eps"},
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.in), c.out) << c.name;
  if constexpr (sizeof(wchar_t) == 2) {
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x"), "\xEF\xBF\xBDx");
  }
}

TEST(DisplayWidth, CountsWideCharactersAsTwoColumns) {
  const struct {
    const char* text;
    int columns;
  } cases[] = {
      {"abc", 3},
      {"ファイル名", 10},
      {"\xEF\xBD\xB6\xEF\xBE\x9E", 2},  // halfwidth katakana ｶﾞ, single bytes in code page 932
      {"\xEF\xBC\xA1", 2},              // fullwidth Ａ
      {"\xE3\x80\x80", 2},              // ideographic space
      {"e\xCC\x81", 1},                 // e with a combining acute
      {"\xF0\xA0\x80\x8B", 2},          // a CJK extension B ideograph
      {"\xE2\x86\x92", 1},              // →
  };
  for (const auto& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.columns) << c.text;
}

TEST(FitWidth, NeverSplitsAWideCharacter) {
  EXPECT_EQ(FitWidth("ab日本", 5), "ab日");
  EXPECT_EQ(FitWidth("ab日本", 6), "ab日本");
  EXPECT_EQ(FitWidth("日本", 1), "");
}

DocumentRow Row(std::string path, std::string kind, std::string version, std::string name, std::string creator,
                std::vector<std::string> images = {}) {
  DocumentRow r;
  r.path = std::move(path);
  r.kind = std::move(kind);
  r.creatorVersion = std::move(version);
  r.versionName = std::move(name);
  r.creator = std::move(creator);
  r.images = std::move(images);
  return r;
}

// Display column at which `cell` begins in `line`.
int ColumnOf(const std::string& line, const std::string& cell) {
  const auto at = line.find(cell);
  return at == std::string::npos ? -1 : DisplayWidth(line.substr(0, at));
}

TEST(FormatTable, ColumnsLineUpWhateverTheWidthOfTheCharacters) {
  const std::vector<DocumentRow> rows = {
      Row("納品/ロゴ.eps", "EPS", "16.0.0", "CS6", "Adobe Illustrator(R) 16.0"),
      Row("a.ai", "AI", "25.2.1", "2021", "Adobe Illustrator(R) 24.0", {"C:\\img\\写真.psd", "b.tif"}),
      Row("ｶﾀｶﾅ.eps", "", "", "", "(MATLAB)"),
  };
  const auto lines = Lines(FormatTable(rows, false));
  ASSERT_EQ(lines.size(), 4u);
  const int kind = ColumnOf(lines[0], "種類");
  const int creator = ColumnOf(lines[0], "保存形式");
  EXPECT_EQ(ColumnOf(lines[1], "EPS"), kind);
  EXPECT_EQ(ColumnOf(lines[2], "AI"), kind);
  EXPECT_EQ(ColumnOf(lines[1], "16.0.0 (CS6)"), ColumnOf(lines[2], "25.2.1 (2021)"));
  EXPECT_EQ(ColumnOf(lines[1], "Adobe"), creator);
  EXPECT_EQ(ColumnOf(lines[3], "(MATLAB)"), creator);
  // Image counts end in the same column.
  EXPECT_EQ(ColumnOf(lines[1], "0  Adobe"), ColumnOf(lines[2], "2  Adobe"));
  for (const auto& line : lines) EXPECT_NE(line.back(), ' ') << line;
}

TEST(FormatTable, ListsImagesUnderTheirDocumentAndNeutralisesControlCharacters) {
  const std::vector<DocumentRow> rows = {
      Row("a.ai", "AI", "", "", "x", {"C:\\img\\写真.psd", "b\x1b[2J.tif"}),
      Row("b.eps", "EPS", "", "", "evil\rname"),
  };
  const auto lines = Lines(FormatTable(rows, true));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "    C:\\img\\写真.psd");
  EXPECT_EQ(lines[3], "    b?[2J.tif");
  EXPECT_NE(lines[4].find("evil?name"), std::string::npos);
  EXPECT_EQ(Lines(FormatTable({}, true)).size(), 1u) << "headings only";
}

TEST(FormatJson, EveryFieldReadsBackUnchanged) {
  DocumentRow r = Row("dir\\\"q\".eps", "AI", "22.1.0", "CC 2018", "tab\there\x01 \x7f / 日本語 \xF0\x9F\x98\x80",
                      {"Macintosh HD:Links:a.psd", "", "line\nbreak"});
  r.macBinary = true;
  const std::string line = FormatJson(r);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one object per line";
  const json_lite::Value v = json_lite::Parse(line);
  EXPECT_EQ(v["path"].str(), r.path);
  EXPECT_EQ(v["kind"].str(), "AI");
  EXPECT_EQ(v["creator"].str(), r.creator);
  EXPECT_EQ(v["creator_version"].str(), "22.1.0");
  EXPECT_EQ(v["version_name"].str(), "CC 2018");
  EXPECT_TRUE(v["macbinary"].boolean());
  EXPECT_FALSE(v["pdf"].boolean());
  ASSERT_EQ(v["images"].array().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(v["images"].array()[i].str(), r.images[i]);
}

TEST(MakeRow, DecodesCodePage932AndDropsNamelessSlots) {
  launch::AnalysisResult result;
  result.strFiletype = "EPS";
  result.vstrVersionString = "\x83\x65\x83\x58\x83\x67";  // テスト
  result.vstrCreatorVersion = "15.1.0";
  result.rastrLinkImage = {"", "C:\\\x89\xe6\x91\x9c.psd", "unused slot"};
  result.vlngLinkImage = 2;
  const DocumentRow row = MakeRow("x.eps", result, true);
  EXPECT_EQ(row.creator, "テスト");
  EXPECT_EQ(row.versionName, "CS5.1");
  EXPECT_EQ(row.images, std::vector<std::string>{"C:\\画像.psd"});
  EXPECT_TRUE(row.pdf);
}

}  // namespace
}  // namespace pelmora::cli
