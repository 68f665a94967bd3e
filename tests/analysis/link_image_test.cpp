#include "analysis/link_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../documents/samples.h"
#include "analysis/header_scan.h"

namespace pelmora::analysis {
namespace {

using Names = std::vector<std::string>;

struct LinkCase {
  const char* name;
  std::string header;
  Names names;
  friend void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }
};

class GetLinkImageCases : public ::testing::TestWithParam<LinkCase> {};

TEST_P(GetLinkImageCases, ListsDistinctNamesInDocumentOrder) {
  const LinkCase& c = GetParam();
  std::vector<std::string> list = {"left over", "from before"};
  EXPECT_EQ(GetLinkImage(list, c.header), static_cast<std::int32_t>(c.names.size()));
  EXPECT_EQ(list, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, GetLinkImageCases,
    ::testing::Values(
        LinkCase{"NoMarker", "-3.0\r\n%%Creator: X\r\n", {}},
        LinkCase{"CrLf", "-3.0\r\n%%DocumentFiles:C:\\img\\a.psd\r\n%%+C:\\img\\b.tif\r\n%%+C:\\img\\a.psd\r\n%%EOF\r\n",
                 {"C:\\img\\a.psd", "C:\\img\\b.tif"}},
        // CR-only and LF-only lists are read like CR LF ones.
        LinkCase{"CrOnly", "-3.0\r%%DocumentFiles:C:\\img\\a.psd\r%%+C:\\img\\b.tif\r%%+C:\\img\\a.psd\r",
                 {"C:\\img\\a.psd", "C:\\img\\b.tif"}},
        LinkCase{"LfOnly", "-3.0\n%%DocumentFiles:C:\\img\\a.psd\n%%+C:\\img\\b.tif\n%%+C:\\img\\c.eps\n%%EOF\n",
                 {"C:\\img\\a.psd", "C:\\img\\b.tif", "C:\\img\\c.eps"}},
        LinkCase{"MixedLineEnds", "%%DocumentFiles: a\r%%+b\n%%+c\r\n%%+d\r", {"a", "b", "c", "d"}},
        LinkCase{"EmptyFirstName", "%%DocumentFiles:\r\n%%+C:\\x.ai\r\n", {"", "C:\\x.ai"}},
        LinkCase{"BlankFirstNameIsKept", "%%DocumentFiles:   \r\n%%+   \r\n%%+x\r\n", {"", "x"}},
        LinkCase{"BareContinuationEndsTheList", "%%DocumentFiles: a\r\n%%+b\r\n%%+\r\n%%+c\r\n", {"a", "b"}},
        LinkCase{"BlankContinuationIsSkipped", "%%DocumentFiles: a\r\n%%+  \r\n%%+c\r\n", {"a", "c"}},
        LinkCase{"LetterCaseDuplicatesKeepTheFirstSpelling",
                 "%%DocumentFiles: a\r\n%%+C:\\IMG\\B.TIF\r\n%%+c:\\img\\b.tif\r\n%%+A\r\n", {"a", "C:\\IMG\\B.TIF"}},
        // 0x83 0x41 and 0x83 0x61 are different characters, not one letter in two cases.
        LinkCase{"TrailBytesCompareExactly", "%%DocumentFiles: \x83\x41\r\n%%+\x83\x61\r\n%%+\x83\x41\r\n",
                 {"\x83\x41", "\x83\x61"}},
        LinkCase{"OtherLineEndsTheList", "%%DocumentFiles: a\r\n%%+b\r\n%%DocumentFonts: Ryumin\r\n%%+c\r\n", {"a", "b"}},
        LinkCase{"EmptyLineEndsTheList", "%%DocumentFiles: a\r\n%%+b\r\n\r\n%%+c\r\n", {"a", "b"}},
        LinkCase{"BlanksTrimmedNotSplit", "%%DocumentFiles: a\r\n%%+  C:\\img\\c.eps  \r\n%%+x y.tif z\r\n",
                 {"a", "C:\\img\\c.eps", "x y.tif z"}},
        LinkCase{"OnlyBlanksAreTrimmed", "%%DocumentFiles:\ta \r\n%%+\x81\x40" "b\r\n", {"\ta", "\x81\x40" "b"}},
        LinkCase{"Atend", "%%DocumentFiles: (atend)\r\n%%EOF\r\n", {"(atend)"}},
        LinkCase{"MarkerLetterCaseIgnored", "%%documentfiles: a\r\n%%+b\r\n", {"a", "b"}},
        LinkCase{"NoLineEndAfterMarker", "%%DocumentFiles: a.tif", {}},
        LinkCase{"CutLastLine", "%%DocumentFiles: a\r\n%%+b\r\n%%+c", {"a", "b"}},
        LinkCase{"CrAtTheEndOfTheText", "%%DocumentFiles: a\r", {"a"}},
        LinkCase{"ContinuationMustStartTheLine", "%%DocumentFiles: a\r\n %%+b\r\n", {"a"}}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

std::string Catalogue(int names, int repeats) {
  std::string header = "%%DocumentFiles:C:\\img\\0.tif\r\n";
  for (int r = 0; r < repeats; ++r) {
    for (int i = 1; i < names; ++i) header += "%%+C:\\IMG\\" + std::to_string(i) + (r == 0 ? ".tif" : ".TIF") + "\r\n";
  }
  return header + "%%EOF\r\n";
}

TEST(GetLinkImage, KeepsEveryDistinctNameOfALargeCatalogue) {
  std::vector<std::string> list;
  ASSERT_EQ(GetLinkImage(list, Catalogue(1000, 2)), 1000);
  EXPECT_EQ(list[600], "C:\\IMG\\600.tif");
  EXPECT_EQ(list[999], "C:\\IMG\\999.tif");

  // Far beyond what a header text of 100,500 characters can hold, and still quick.
  ASSERT_EQ(GetLinkImage(list, Catalogue(20000, 2)), 20000);
  EXPECT_EQ(list.back(), "C:\\IMG\\19999.tif");
}

TEST(FindInArray, GivesTheFirstEntryEqualIgnoringLetterCase) {
  const std::vector<std::string> list = {"", "C:\\a.tif", "c:\\A.TIF", "\x83\x41"};
  EXPECT_EQ(FindInArray(list, ""), 1);
  EXPECT_EQ(FindInArray(list, "c:\\a.TIF"), 2);
  EXPECT_EQ(FindInArray(list, "\x83\x41"), 4);
  EXPECT_EQ(FindInArray(list, "\x83\x61"), -1);
  EXPECT_EQ(FindInArray(list, "C:\\a.tif "), -1);
  EXPECT_EQ(FindInArray({}, ""), -1);
}

// Lists read from the documents' headers, as the start-up's second scan leaves them.
struct DocumentLinks {
  const char* file;
  Names names;
};

void ExpectLists(const char* root, std::initializer_list<DocumentLinks> cases) {
  for (const DocumentLinks& c : cases) {
    std::string version, kind, header;
    ScanHeader(e2e::SamplePath(root, c.file), 2048000, version, kind, header);
    std::vector<std::string> list;
    EXPECT_EQ(GetLinkImage(list, header), static_cast<std::int32_t>(c.names.size())) << c.file;
    EXPECT_EQ(list, c.names) << c.file;
  }
}

const std::string kDocs = "C:\\Users\\User\\Documents\\\x82\xC9\x82\xE3\x81[\x82\xD5\x82\xEA\\";
const std::string kDown = "C:\\Users\\User\\Downloads\\";
const std::string kCut =
    "/Users/hano/Library/Application Support/Adobe/Creative Cloud Libraries/LIBS/"
    "C19039B45B43F6D30A495E53_7127234d5b164dfe0a495d22/creative_cloud/dcx/abfd988e-2bce-4494-868a-6c33d7ac471f/"
    "components/bf1241ab-fa13-4bbd-8e43-bbc83cd6d727.";
const std::string kPamphlet = "/Users/hano/Downloads/CF\x83n\x83\x93\x83t\x83\x8C\x83\x62\x83g.jpg";

TEST(GetLinkImage, ListsTheProjectDocumentsPlacedImages) {
  Names many;
  for (int i = 0; i < 300; ++i) {
    char n[8];
    std::snprintf(n, sizeof n, "%03d", i);
    many.push_back("D:\\\x93\xFC\x8D" "e\\\x89\xE6\x91\x9C\\photo" + std::string(n) + ".psd");
  }
  ExpectLists(PELMORA_DOCUMENTS,
              {// CR LF, repeats; trail bytes 0x5C (ソ, 表) inside the Shift-JIS names.
               {"02-japanese-links-crlf.ai",
                {kDocs + "kumo.png", kDown + "1413398.png", kDocs + "\x83\\\x83t\x83g\x95\\\x8E\xA6.png",
                 kDown + "2420217.png", kDown + "sozai_image_124483.png", kDocs + "\x83Q\x81[\x83\x80\x8B@.png"}},
               // CR only: a name cut short by the writer, then one after a lone CR.
               {"03-cut-name-cr.ai", {kCut, kPamphlet}},
               // PDF first, CR only, the same name sixteen times.
               {"01-pdf-based-late-creator.ai", {"/Users/designer/Creative Cloud Files/gopher/gopher.psd"}},
               {"13-many-links.ai", many},
               {"04-ill6-crlf.eps", {}}});
}

TEST(GetLinkImage, ListsTheSampleCorpusPlacedImages) {
  if (!e2e::CorpusPresent()) GTEST_SKIP() << e2e::kNoCorpus;
  ExpectLists(PELMORA_CORPUS,
              {// CR LF; 21 continuation lines, many repeats.
               {"002-kghashimoto-untitled1.ai",
                {kDocs + "kumo.png", kDown + "1413398.png", kDown + "23753872.png", kDown + "2420217.png",
                 kDown + "sozai_image_124483.png", kDown + "1668799.png", kDown + "1354907.png",
                 kDown + "2655896.png", kDown + "23636643.png", kDocs + "qGNLKwmD_400x400.png",
                 kDown + "23451852.ai", kDocs + "\x83Q\x81[\x83\x80\x8B@.png"}},
               // CR only: the second name follows a lone CR.
               {"003-nyokohama-cf2019-untitled2.ai", {kCut, kPamphlet}},
               // CR only, the same name sixteen times.
               {"001-golangtokyo-qr.ai", {"/Users/tenntenn/Creative Cloud Files/gopher/golantokyo.psd"}},
               {"010-php-logo.eps", {}}});
}

}  // namespace
}  // namespace pelmora::analysis
