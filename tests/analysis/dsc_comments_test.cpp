#include "analysis/dsc_comments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/run_error.h"
#include "fake_document.h"

namespace pelmora::analysis {
namespace {

using Names = std::vector<std::string>;
using Box = std::optional<std::array<double, 4>>;

struct DscCase {
  const char* name;
  std::string document;
  Names fonts, process, spots, files;
  std::optional<int> model;
  Box box, hiRes;
  bool illustrator = false;
  Names needed = {};
  friend void PrintTo(const DscCase& c, std::ostream* os) { *os << c.name; }
};

class ReadDscCases : public ::testing::TestWithParam<DscCase> {};

TEST_P(ReadDscCases, ReadsHeaderAndDeferredTrailer) {
  const DscCase& c = GetParam();
  // Whole, and in pieces that split every line end and marker somewhere.
  for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{3}}) {
    SCOPED_TRACE(piece);
    testing::UseFakeDocument fake(c.document, piece);
    const DscFacts f = ReadDscComments("doc.eps");
    EXPECT_TRUE(f.header);
    EXPECT_EQ(f.fonts, c.fonts);
    EXPECT_EQ(f.processColours, c.process);
    EXPECT_EQ(f.spotColours, c.spots);
    EXPECT_EQ(f.files, c.files);
    EXPECT_EQ(f.colourModel, c.model);
    EXPECT_EQ(f.boundingBox, c.box);
    EXPECT_EQ(f.hiResBoundingBox, c.hiRes);
    EXPECT_EQ(f.illustrator, c.illustrator);
    EXPECT_EQ(f.neededFonts, c.needed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ReadDscCases,
    ::testing::Values(
        DscCase{"FontListsWithContinuations",
                "%!PS-Adobe-3.0 EPSF-3.0\r\n%%DocumentFonts: Helvetica Times-Roman\r\n%%+ Ryumin-Light-83pv-RKSJ-H\r\n"
                "%%DocumentNeededFonts: Helvetica\r\n%%DocumentNeededResources: procset Adobe_level2_AI5 1.2 0\r\n"
                "%%+ font GothicBBB-Medium-83pv-RKSJ-H\r\n%%+ procset Adobe_ColorImage_AI6 1.3 0\r\n%%EndComments\r\n"
                "%%DocumentFonts: NotInTheHeader\r\n",
                {"Helvetica", "Times-Roman", "Ryumin-Light-83pv-RKSJ-H", "GothicBBB-Medium-83pv-RKSJ-H"}, {}, {}, {},
                std::nullopt, std::nullopt, std::nullopt, false, {"Helvetica", "GothicBBB-Medium-83pv-RKSJ-H"}},
        // A continuation belongs to the comment just before it; another comment ends the list.
        DscCase{"ContinuationAfterOtherComment",
                "%!PS-Adobe-3.0\n%%DocumentFonts: A\n%%Title: x\n%%+ NotAFont\n%%DocumentProcessColors: Cyan Black\n"
                "%%+ Yellow\n%%EndComments\n",
                {"A"}, {"Cyan", "Black", "Yellow"}, {}, {}, std::nullopt, std::nullopt, std::nullopt},
        // (atend) defers to the trailer; the last trailer (the document's own) wins for a box.
        DscCase{"AtendFromTheLastTrailer",
                "%!PS-Adobe-3.0 EPSF-3.0\r%%DocumentFonts: (atend)\r%%BoundingBox: (atend)\r%%EndComments\r"
                "%%BoundingBox: 9 9 9 9\r%%Trailer\r%%BoundingBox: 0 0 400 300\r%%Trailer\r"
                "%%BoundingBox: 0 0 460 352\r%%DocumentFonts: Helvetica\r%%+ Courier\r%%EOF\r",
                {"Helvetica", "Courier"}, {}, {}, {}, std::nullopt, std::array<double, 4>{0, 0, 460, 352}, std::nullopt},
        DscCase{"SpotColoursAsPostScriptStrings",
                "%!PS-Adobe-3.0 \r\n%%Creator: Adobe Illustrator(R) 16.0\r\n"
                "%%DocumentCustomColors: (PANTONE 186 C)\r\n%%+ (DIC 2 \\(s\\))\r\n"
                "%%CMYKCustomColor: 0 1 0.8 0 (PANTONE 186 C)\r\n%%+ 0.2 0 0 0 (\x95\x5C\x8E\x86)\r\n"
                "%%RGBCustomColor: 1 0 0 (Web Red)\r\n%AI9_ColorModel: 1\r\n%%DocumentFiles: \x83\x6E.psd\r\n"
                "%%+ b.tif\r\n%%HiResBoundingBox: 0.5 -1 841.5 594.25\r\n%%BoundingBox: 0 -1 842 595\r\n%%EndComments\r\n",
                {}, {}, {"PANTONE 186 C", "DIC 2 (s)", "\x95\x5C\x8E\x86", "Web Red"}, {"\x83\x6E.psd", "b.tif"}, 1,
                std::array<double, 4>{0, -1, 842, 595}, std::array<double, 4>{0.5, -1, 841.5, 594.25}, true},
        // Behind a binary preview with no line end for 300 KB, and a header ended by the first
        // line that is no comment.
        DscCase{"MarkerInsideBinaryPreview",
                std::string("\xC5\xD0\xD3\xC6") + std::string(300000, '\x01') +
                    "%!PS-Adobe-3.0 EPSF-3.0\r\n%AI5_FileFormat 3\r\n%AI9_ColorModel: 2\r\n%%BoundingBox: 0 0 10 20\r\n"
                    "gsave\r\n%%DocumentFonts: Late\r\n",
                {}, {}, {}, {}, 2, std::array<double, 4>{0, 0, 10, 20}, std::nullopt, true},
        DscCase{"BadBoxIsNoBox", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 a 9\n%%HiResBoundingBox: 1 2 3\n", {}, {}, {}, {},
                std::nullopt, std::nullopt, std::nullopt},
        DscCase{"NonFiniteOrHugeBoxIsNoBox", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 nan 9\n%%HiResBoundingBox: 0 -1e300 1 1\n",
                {}, {}, {}, {}, std::nullopt, std::nullopt, std::nullopt},
        // A line far longer than kept is passed over, not taken for the end of the header, even
        // when it alone is longer than the header's bound.
        DscCase{"LongTitleBeforeTheList",
                "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Title: " + std::string(kDscHeaderBytes + 101000, 'T') +
                    "\r\n%%DocumentFiles: a.tif\r\n%%+ b.tif\r\n%%EndComments\r\n",
                {}, {}, {}, {"a.tif", "b.tif"}, std::nullopt, std::nullopt, std::nullopt},
        DscCase{"SignedBoxesAndTrailingWords", "%!PS-Adobe-3.0\n%%BoundingBox: +0 -0 +10 9 extra\n%%HiResBoundingBox: +0 0 .5 1E1 \n",
                {}, {}, {}, {}, std::nullopt, std::nullopt, std::array<double, 4>{0, 0, 0.5, 10}}));

TEST(ReadDsc, NoHeaderLongLinesAndFailingReads) {
  {
    testing::UseFakeDocument fake("%%DocumentFonts: Helvetica\n" + std::string(100000, 'x'));
    const DscFacts f = ReadDscComments("doc.eps");
    EXPECT_FALSE(f.header);
    EXPECT_TRUE(f.fonts.empty());
  }
  {
    // A line longer than kept is cut, not held: the list says so and goes on after it.
    testing::UseFakeDocument fake("%!PS-Adobe-3.0\n%%DocumentFonts: " + std::string(5 * kDscLineBytes, 'F') +
                                      "\n%%DocumentProcessColors: Black\n",
                                  4096);
    const DscFacts f = ReadDscComments("doc.eps");
    ASSERT_EQ(f.fonts.size(), 1u);
    EXPECT_LE(f.fonts[0].size(), kDscLineBytes);
    EXPECT_TRUE(f.cut);
    EXPECT_EQ(f.processColours, Names{"Black"});
    EXPECT_LT(testing::Fake().bytes_read, 5 * kDscLineBytes + 4096);
  }
  {
    std::string many = "%!PS-Adobe-3.0\n%%DocumentFonts:";
    for (int i = 0; i < 700; ++i) many += "\n%%+ F" + std::to_string(i);
    testing::UseFakeDocument fake(many + "\n");
    const DscFacts f = ReadDscComments("doc.eps");
    EXPECT_EQ(f.fonts.size(), kDscNames);
    EXPECT_TRUE(f.cut);
  }
  {
    // A long line that gives no value cuts nothing; repeats fill no list, in header or trailer.
    std::string repeats = "%!PS-Adobe-3.0\n%%Title: " + std::string(2 * kDscLineBytes, 'T') +
                          "\n%%DocumentFiles: (atend)\n%%EndComments\n%%Trailer\n%%DocumentFiles: x.tif";
    for (int i = 0; i < 3000; ++i) repeats += "\n%%+ F" + std::to_string(i % kDscNames) + ".tif";
    testing::UseFakeDocument fake(repeats + "\n");
    const DscFacts f = ReadDscComments("doc.eps");
    EXPECT_EQ(f.files.size(), kDscNames);
    EXPECT_EQ(f.files[1], "F0.tif");
    EXPECT_TRUE(f.cut) << "x.tif and 600 others";
  }
  {
    std::string repeats = "%!PS-Adobe-3.0\n%%Title: " + std::string(2 * kDscLineBytes, 'T') + "\n%%DocumentFonts: A";
    for (int i = 0; i < 3000; ++i) repeats += "\n%%+ F" + std::to_string(i % (kDscNames - 1));
    testing::UseFakeDocument fake(repeats + "\n");
    const DscFacts f = ReadDscComments("doc.eps");
    EXPECT_EQ(f.fonts.size(), kDscNames);
    EXPECT_FALSE(f.cut);
  }
  {
    testing::UseFakeDocument fake("%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%EndComments\n" + std::string(100000, 'x'), 1000);
    testing::Fake().failing_read = 50;
    EXPECT_THROW(ReadDscComments("doc.eps"), RunError);
  }
}

TEST(PostScriptString, UnwrapsOnlyAWholeString) {
  const struct {
    std::string in;
    std::optional<std::string> out;
  } cases[] = {
      {"(MATLAB, The MathWorks, Inc. Version 8.5.0.197613 \\(R2015a\\).)", "MATLAB, The MathWorks, Inc. Version 8.5.0.197613 (R2015a)."},
      {"(a (nested) b)", "a (nested) b"},
      {"(tab\\there\\\\ \\101\\0612 \\q)", "tab\there\\ A12 q"},
      {"(split \\\r\nline)", "split line"},
      // 0x95 0x5C is one character whose trail byte is '\': no escape.
      {"(\x95\x5C)", "\x95\x5C"},
      {"(\x95\x5C\x29\x29", std::nullopt},
      {"Adobe Illustrator(R) 8.0", std::nullopt},
      {"(Unknown) extra (text)", std::nullopt},
      {"(unbalanced", std::nullopt},
      {"(open \\)", std::nullopt},
      {"()", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PostScriptString(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace pelmora::analysis
