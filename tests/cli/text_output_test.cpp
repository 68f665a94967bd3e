// What users read: UTF-8 text, aligned columns with wide characters, and JSON lines.
#include <gtest/gtest.h>

#include "cli/scan_report.h"
#include "base/text_utf8.h"
#include "json_lite.h"

#include "cli_fixture.h"

namespace pelmora::cli {
namespace {

using namespace base;
using namespace delivery;

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
  // A code page 932 console draws the ambiguous ones full width: ×, …, →, ①, Greek; not Latin.
  EXPECT_EQ(DisplayWidth("297.0\xC3\x97" "210.0", true), 12);
  EXPECT_EQ(DisplayWidth("\xE2\x80\xA6\xE2\x86\x92\xE2\x91\xA0\xCE\xB1", true), 8);
  EXPECT_EQ(DisplayWidth("caf\xC3\xA9 ｶﾞ", true), 7);
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

TEST(FormatTable, TooWideForTheConsoleBecomesOneBlockPerDocument) {
  DocumentRow wide = Row("入稿/株式会社サンプル印刷/2024年度/会社案内_表紙_最終校正版.ai", "AI", "25.2.1", "2021",
                         "Adobe Illustrator(R) 24.0", {"写真.psd"});
  preflight::CheckFacts f;
  f.fonts = {{"RyuminPro-Light", std::nullopt}};
  f.colourModel = "CMYK";
  f.artboards = {{297, 210, std::nullopt, preflight::Source::kPdf}};
  f.findings = {"未アウトライン", "低解像度"};
  f.links = {{"写真.psd", delivery::ImageLocation::Status::kBeside, "写真.psd", delivery::NameMatch::kNone}};
  wide.check = f;
  const auto write = [&](ConsoleFit fit) {
    TableWriter table(true, static_cast<std::size_t>(-1), true, fit);
    std::string out;
    table.Add(wide, [&](const std::string& s) { out += s; });
    table.Add(Row("b.eps", "EPS", "", "", "x"), [&](const std::string& s) { out += s; });
    return out + table.Flush();
  };
  // The same rows: a table on a wide console or in a file, blocks at 80 columns.
  EXPECT_EQ(write({}), write({400, false}));
  const auto lines = Lines(write({80, true}));
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], wide.path);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  サイズ(mm): 297.0×210.0"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  指摘: 未アウトライン"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  指摘: 低解像度"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "    写真.psd  [文書と同じフォルダー]"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), ""), lines.end()) << "a blank line between documents";
  EXPECT_EQ(lines.back(), "  保存形式: x");
  for (const auto& line : lines) EXPECT_LT(DisplayWidth(line, true), 80) << line;
}

TEST(FormatCsv, NamesBehindTheCountsAndOneRowPerImage) {
  DocumentRow r = Row("a;b.ai", "AI", "25.2.1", "2021", "Adobe; Illustrator", {"x.psd", "y.tif"});
  preflight::CheckFacts f;
  f.fonts = {{"A-Font", std::nullopt}, {"B-Font", false}};
  f.spotColours = {"DIC 156s*"};
  f.artboards = {{297, 210, preflight::Bleed{3, 3, 3, 2}, preflight::Source::kPdf}};
  f.links = {{"x.psd", delivery::ImageLocation::Status::kLinks, "Links/x.psd", delivery::NameMatch::kNone},
             {"y.tif", delivery::ImageLocation::Status::kMissing, "", delivery::NameMatch::kNone}};
  preflight::Placed p;
  p.name = "x.psd";
  p.linked = true;
  p.widthPx = 800;
  p.heightPx = 600;
  p.color = "RGB";
  p.ppiX = p.ppiY = 72.2;
  p.file = preflight::ImageFile{"PSD", 8, std::nullopt, 72.0, 72.0};
  f.placed = {p};
  r.check = f;
  const auto heading = CsvHeadingCells(true, false);
  const auto rows = CsvRows(r, true, false);
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), heading.size());
  const auto cell = [&](const char* name) { return rows[0][std::find(heading.begin(), heading.end(), name) - heading.begin()]; };
  EXPECT_EQ(cell("フォント"), "2");
  EXPECT_EQ(cell("フォント名"), "A-Font\nB-Font (埋め込みなし)");
  EXPECT_EQ(cell("特色名"), "DIC 156s*");
  EXPECT_EQ(cell("アートボード"), "297.0×210.0 塗り足し 上 3.0 下 2.0 左 3.0 右 3.0");
  EXPECT_EQ(cell("リンク"), "x.psd [Links フォルダー]\ny.tif [見つからない]");
  EXPECT_EQ(cell("画像"), "x.psd: PSD 800×600 px RGB 72×72 ppi");
  EXPECT_EQ(cell("配置画像の名前"), "x.psd\ny.tif");
  EXPECT_EQ(rows[0].back(), "Adobe; Illustrator");
  // Every text is quoted, so that a semicolon splits nothing; counts stay numbers.
  const std::string line = FormatCsvLine(rows[0]);
  EXPECT_EQ(line.rfind("\"a;b.ai\",\"AI\",\"25.2.1 (2021)\",", 0), 0u) << line;
  EXPECT_NE(line.find(",2,"), std::string::npos) << line;

  const auto heading2 = CsvHeadingCells(true, true);
  const auto perImage = CsvRows(r, true, true);
  ASSERT_EQ(perImage.size(), 2u);
  for (const auto& row : perImage) EXPECT_EQ(row.size(), heading2.size());
  const auto at = [&](const char* name) { return std::find(heading2.begin(), heading2.end(), name) - heading2.begin(); };
  EXPECT_EQ(perImage[0][at("画像の名前")], "x.psd");
  EXPECT_EQ(perImage[0][at("実効解像度(ppi)")], "72×72");
  EXPECT_EQ(perImage[1][at("状態")], "見つからない");
  EXPECT_EQ(perImage[1][at("画像のカラー")], "");
  EXPECT_EQ(CsvRows(Row("n.eps", "EPS", "", "", "x"), true, true).size(), 1u) << "a document without images keeps its row";
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
