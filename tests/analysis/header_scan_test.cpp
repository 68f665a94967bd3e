#include "analysis/header_scan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "../documents/samples.h"
#include "fake_document.h"

namespace pelmora::analysis {
namespace {

using pelmora::testing::Fake;
using pelmora::testing::UseFakeDocument;
using namespace std::string_literals;

constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();
constexpr std::size_t kLent = 0;  // not read but lent by a reader that holds the bytes
const std::string kPrevious = "previous header";

struct Scan {
  std::optional<std::string> creator;
  std::string version = "stale";
  std::string kind = "stale";
  std::string header = kPrevious;
};

Scan RunScan(std::int32_t chars) {
  Scan s;
  s.creator = ScanHeader("document.eps", chars, s.version, s.kind, s.header);
  return s;
}

Scan ScanBytes(std::string doc, std::int32_t chars = 102400, std::size_t piece = kWhole) {
  UseFakeDocument fake(std::move(doc), piece == kLent ? kWhole : piece);
  Fake().lend = piece == kLent;
  return RunScan(chars);
}

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

struct ScanCase {
  const char* name;
  std::string doc;
  std::optional<std::string> creator;
  std::string version;
  std::string kind;
  std::optional<std::string> header;  // nullopt: the caller's text stays
  friend void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }
};

class ScanHeaderCases : public ::testing::TestWithParam<ScanCase> {};

// Every case is read whole, lent, and in pieces of 1 and 3 bytes, so that markers, line ends and
// two-byte characters straddle the reads at every offset.
TEST_P(ScanHeaderCases, GivesTheResultsWhateverTheReadSizes) {
  const ScanCase& c = GetParam();
  for (std::size_t piece : {kWhole, kLent, std::size_t{1}, std::size_t{3}}) {
    SCOPED_TRACE(piece);
    const Scan s = ScanBytes(c.doc, 102400, piece);
    EXPECT_EQ(s.creator, c.creator);
    EXPECT_EQ(s.version, c.version);
    EXPECT_EQ(s.kind, c.kind);
    EXPECT_EQ(s.header, c.header.value_or(kPrevious));
  }
}

const std::string kMac = "\0\x05"s + std::string(126, '\0');

INSTANTIATE_TEST_SUITE_P(
    Documents, ScanHeaderCases,
    ::testing::Values(
        ScanCase{"Empty", "", std::nullopt, "", "", std::nullopt},
        ScanCase{"EpsFirstLine", "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 8.0\r",
                 "Adobe Illustrator(R) 8.0", "", "EPS", "-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 8.0\r"},
        ScanCase{"AiFirstLine", "%!PS-Adobe-3.0\r%%Creator: X\r", "X", "", "AI", "-3.0\r%%Creator: X\r"},
        ScanCase{"LetterCaseIgnored", "%!ps-adobe-3.0 epsf-3.0\r%%creator: x\r%%ai8_creatorversion: 9\r", "x", "9",
                 "EPS", "-3.0 epsf-3.0\r%%creator: x\r%%ai8_creatorversion: 9\r"},
        ScanCase{"MarkerRightBeforeCrDecidesNoKind", "%!PS-Adobe\r%%AI8_CreatorVersion: 9.0\r%%Creator: X\r", "X",
                 "9.0", "", std::nullopt},
        ScanCase{"BehindMacBinaryHeader", kMac + "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: X\r", "X", "", "EPS",
                 "-3.0 EPSF-3.0\r%%Creator: X\r"},
        ScanCase{"CrLfDocument", "%!PS-Adobe-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%AI8_CreatorVersion: 10.0.0\r\n",
                 "Adobe Illustrator(R) 8.0", "10.0.0", "AI",
                 "-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%AI8_CreatorVersion: 10.0.0\r\n"},
        // Kind and version end at LF too, like the creator.
        ScanCase{"LfDocument", "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Adobe Illustrator(R) 8.0\n%%AI8_CreatorVersion: 10.0.0\nx\r",
                 "Adobe Illustrator(R) 8.0", "10.0.0", "EPS",
                 "-3.0 EPSF-3.0\n%%Creator: Adobe Illustrator(R) 8.0\n%%AI8_CreatorVersion: 10.0.0\nx\r"},
        ScanCase{"EpsfAfterTheFirstLfIsNotTheFirstLine", "%!PS-Adobe-3.0\nEPSF\r", std::nullopt, "", "AI",
                 "-3.0\nEPSF\r"},
        ScanCase{"CreatorLineEmpty", "%!PS-Adobe-3.0\r%%Creator:\r", std::nullopt, "", "AI", "-3.0\r%%Creator:\r"},
        ScanCase{"CreatorOfBlanksIsEmptyValue", "%!PS-Adobe-3.0\r%%Creator:   \r", "", "", "AI", "-3.0\r%%Creator:   \r"},
        ScanCase{"CreatorWithoutLineEnd", "%!PS-Adobe-3.0\r%%Creator: X", std::nullopt, "", "AI", "-3.0\r%%Creator: X"},
        ScanCase{"OnlyBlanksAreTrimmed", "%!PS-Adobe-3.0\r%%Creator: \tX \x81\x40 \r%%AI8_CreatorVersion:\t1 \r",
                 "\tX \x81\x40", "\t1", "AI", "-3.0\r%%Creator: \tX \x81\x40 \r%%AI8_CreatorVersion:\t1 \r"},
        ScanCase{"NothingWithoutPsAdobe", "%%Creator: X\r%%AI8_CreatorVersion: 1\r", std::nullopt, "", "", std::nullopt},
        ScanCase{"VersionWithoutLineEnd", "%!PS-Adobe-3.0\r%%Creator: X\r%%AI8_CreatorVersion: 10.0.0", "X", "", "AI",
                 "-3.0\r%%Creator: X\r%%AI8_CreatorVersion: 10.0.0"},
        ScanCase{"FirstOccurrenceCounts",
                 "%!PS-Adobe-3.0\r%%Creator: First\r%%Creator: Second\r%%AI8_CreatorVersion: 1\r%%AI8_CreatorVersion: 2\r"
                 "%!PS-Adobe-3.0 EPSF-3.0\r",
                 "First", "1", "AI",
                 "-3.0\r%%Creator: First\r%%Creator: Second\r%%AI8_CreatorVersion: 1\r%%AI8_CreatorVersion: 2\r"
                 "%!PS-Adobe-3.0 EPSF-3.0\r"},
        ScanCase{"MarkersBeforePsAdobeCount", "%%Creator: Early\n%%AI8_CreatorVersion: 5\r%!PS-Adobe-3.0\r", "Early",
                 "5", "AI", "-3.0\r"},
        ScanCase{"MarkerInsideAnotherValue", "%!PS-Adobe-3.0 %%Creator: In\r", "In", "", "AI", "-3.0 %%Creator: In\r"},
        ScanCase{"OverlappingPercents", "%%%!PS-Adobe-3.0\r%%%%Creator: X\r", "X", "", "AI", "-3.0\r%%%%Creator: X\r"},
        // 0x83 0x45 is one two-byte character, not 'E'.
        ScanCase{"EpsfAfterLeadByteIsNotEpsf", "%!PS-Adobe-3.0 \x83" "EPSF\r", std::nullopt, "", "AI",
                 "-3.0 \x83" "EPSF\r"},
        ScanCase{"EpsfAfterLoneLeadByte", "%!PS-Adobe-3.0 \x83 EPSF\r", std::nullopt, "", "EPS", "-3.0 \x83 EPSF\r"},
        ScanCase{"EpsfAfterPartialMatch", "%!PS-Adobe-3.0 EPEPSF\r", std::nullopt, "", "EPS", "-3.0 EPEPSF\r"},
        ScanCase{"NulIsAnOrdinaryCharacter", "\0%!PS-Adobe-3.0 EP\0SF\r%%Creator: A\0B\r"s, "A\0B"s, "", "AI",
                 "-3.0 EP\0SF\r%%Creator: A\0B\r"s},
        ScanCase{"MarkerAfterLoneLeadByte", "\x82%!PS-Adobe-3.0\r%%Creator: X\r", "X", "", "AI", "-3.0\r%%Creator: X\r"}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(ScanHeader, ReadsADocumentShorterThanTheWindowWhole) {
  const std::string doc = "%!PS-Adobe-3.0\r" + std::string(50000, 'x') + "%%Creator: End\r";
  EXPECT_EQ(ScanBytes(doc).creator, "End");
}

TEST(ScanHeader, ACreatorBeyondTheWindowNeedsTheLargerWindow) {
  const std::string doc = "%!PS-Adobe-3.0\r" + std::string(120000 - 16, 'x') + "%%Creator: Far\r" + std::string(30000, 'x');
  EXPECT_EQ(ScanBytes(doc, 102400).creator, std::nullopt);
  EXPECT_EQ(ScanBytes(doc, 2048000).creator, "Far");
}

// 15 + 1000 two-byte characters + 500 lone lead bytes each before a blank + 13 = 2028.
TEST(ScanHeader, WindowCountsCharactersNotBytes) {
  const std::string doc = "%!PS-Adobe-3.0\r" + Repeat("\x82\xA0", 1000) + Repeat("\x82 ", 500) + "%%Creator: X\r";
  for (std::size_t piece : {kWhole, kLent, std::size_t{1}, std::size_t{2}}) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(ScanBytes(doc, 2028, piece).creator, "X");
    EXPECT_EQ(ScanBytes(doc, 2027, piece).creator, std::nullopt);
  }
}

TEST(ScanHeader, WindowEndingOnATwoByteCharacterKeepsBothBytes) {
  const std::string doc = "%!PS-Adobe-3.0\r" + Repeat("\x82\xA0", 10);
  for (std::size_t piece : {kWhole, kLent, std::size_t{1}, std::size_t{16}}) {
    SCOPED_TRACE(piece);
    EXPECT_EQ(ScanBytes(doc, 20, piece).header, "-3.0\r" + Repeat("\x82\xA0", 5));
  }
}

// Where no more bytes remain than characters are allowed, nothing is counted: the limits must
// still hold to the byte for single-byte text.
TEST(ScanHeader, SingleByteTextMeetsTheLimitsExactly) {
  const std::string tail = "%%Creator: X\r";
  const std::string doc = "%!PS-Adobe-3.0\r" + std::string(1000, 'x') + tail;
  const std::string capped = "%!PS-Adobe-3.0\r" + std::string(kHeaderTextChars - 5, 'y');
  for (std::size_t piece : {kWhole, kLent, std::size_t{333}}) {
    SCOPED_TRACE(piece);
    const auto chars = static_cast<std::int32_t>(doc.size());
    EXPECT_EQ(ScanBytes(doc, chars, piece).creator, "X");
    EXPECT_EQ(ScanBytes(doc, chars - 1, piece).creator, std::nullopt) << "the creator's line end is outside";
    EXPECT_EQ(ScanBytes(doc, chars - 1, piece).header, doc.substr(10, doc.size() - 11));
    EXPECT_EQ(ScanBytes(capped, 2048000, piece).header, capped.substr(10));
    EXPECT_EQ(ScanBytes(capped + "z", 2048000, piece).header, capped.substr(10));
  }
}

TEST(ScanHeader, HeaderTextIsCappedInCharacters) {
  const std::string doc = "%!PS-Adobe-3.0\r" + Repeat("\x82\xA0", 100600) + "%%Creator: X\r";
  for (std::size_t piece : {kWhole, kLent}) {
    SCOPED_TRACE(piece);
    const Scan s = ScanBytes(doc, 2048000, piece);
    EXPECT_EQ(s.creator, "X");
    EXPECT_EQ(s.header, doc.substr(10, 5 + 2 * (kHeaderTextChars - 5)));
    EXPECT_EQ(ScanBytes(doc, 1000, piece).header, doc.substr(10, 5 + 2 * 985));
  }
}

TEST(ScanHeader, StopsReadingOnceEverythingIsSettled) {
  const std::string head = "%!PS-Adobe-3.0\r%%AI8_CreatorVersion: 1\r%%Creator: X\r";
  {
    UseFakeDocument fake(head + std::string(8 << 20, 'x'));
    EXPECT_EQ(RunScan(40960000).creator, "X");
    EXPECT_LT(Fake().bytes_read, std::size_t{1} << 20);
  }
  {
    // Without a version marker a later one could still turn up: the window is read to its end.
    UseFakeDocument fake("%!PS-Adobe-3.0\r%%Creator: X\r" + std::string(3 << 20, 'x'));
    EXPECT_EQ(RunScan(40960000).creator, "X");
    EXPECT_EQ(Fake().bytes_read, Fake().bytes.size());
  }
}

TEST(ScanHeader, KeepsAValueLongerThanAnyBuffer) {
  const std::string value = Repeat("0123456789", 30000) + "\x82\xA0";
  const Scan s = ScanBytes("%!PS-Adobe-3.0\r%%Creator:  " + value + "  \r%%AI8_CreatorVersion: " + value + "\n",
                          2048000);
  EXPECT_EQ(s.creator, value);
  EXPECT_EQ(s.version, value);
}

TEST(ScanHeader, AFailureLeavesNoValueAndTheCallersHeader) {
  const std::string doc = "%!PS-Adobe-3.0\r%%AI8_CreatorVersion: 1\r%%Creator: X\r" + std::string(1000, 'x');
  struct Failure {
    std::int32_t open_error;
    int failing_read;
    bool bad_alloc;
  };
  for (const Failure& f : {Failure{err::kFileNotFound, -1, false}, Failure{0, 0, false}, Failure{0, 3, false},
                           Failure{0, 3, true}}) {
    SCOPED_TRACE(::testing::Message() << f.open_error << " " << f.failing_read << " " << f.bad_alloc);
    UseFakeDocument fake(doc, 16);
    Fake().open_error = f.open_error;
    Fake().failing_read = f.failing_read;
    Fake().read_bad_alloc = f.bad_alloc;
    const Scan s = RunScan(102400);
    EXPECT_EQ(s.creator, std::nullopt);
    EXPECT_EQ(s.version, "");
    EXPECT_EQ(s.kind, "");
    EXPECT_EQ(s.header, kPrevious);
  }
}

// The project's documents (always) and the third-party samples (read with a hex viewer; skipped
// where they are not beside the clone).
struct SampleCase {
  bool corpus;
  const char* file;
  std::int32_t chars;
  std::optional<std::string> creator;
  std::string version;
  std::string kind;
  std::string header_start;
  friend void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.file << " " << c.chars; }
};

class ScanHeaderSamples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(ScanHeaderSamples, FindsWhatTheDocumentHolds) {
  const SampleCase& c = GetParam();
  if (c.corpus && !e2e::CorpusPresent()) GTEST_SKIP() << e2e::kNoCorpus;
  Scan s;
  s.creator = ScanHeader(e2e::SamplePath(c.corpus ? PELMORA_CORPUS : PELMORA_DOCUMENTS, c.file), c.chars, s.version,
                         s.kind, s.header);
  EXPECT_EQ(s.creator, c.creator);
  EXPECT_EQ(s.version, c.version);
  EXPECT_EQ(s.kind, c.kind);
  EXPECT_EQ(s.header.substr(0, c.header_start.size()), c.header_start);
}

constexpr bool kOwn = false, kCorpus = true;

INSTANTIATE_TEST_SUITE_P(
    Samples, ScanHeaderSamples,
    ::testing::Values(
        SampleCase{kOwn, "04-ill6-crlf.eps", 102400, "Adobe Illustrator(TM) 6.0", "8.0.1", "EPS",
                   "-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(TM) 6.0\r\n"},
        SampleCase{kOwn, "05-ps2-lf.eps", 102400, "Adobe Illustrator(TM) 1.2d4", "", "EPS",
                   "-2.0 EPSF-1.2\n%%Creator: Adobe Illustrator(TM) 1.2d4\n"},
        SampleCase{kOwn, "06-creator-after-title-lf.eps", 102400, "Adobe Illustrator(TM) 1.0b2-", "", "EPS",
                   "-2.0 EPSF-1.2\n%%Title: golfer\n"},
        // DOS EPS binary header before the PostScript section, a TIFF preview after it.
        SampleCase{kOwn, "07-dos-eps-preview.eps", 102400,
                   "Adobe Photoshop Version 12.0x20100407 [20100407.r.1103 2010/04/07:14:00:00 cutoff; r branch]", "",
                   "EPS", "-3.0 EPSF-3.0\r\n"},
        SampleCase{kOwn, "14-\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D\xE5\x89\x8D.eps", 102400,
                   "Adobe Illustrator(R) 16.0", "16.0.4", "EPS", "-3.1 EPSF-3.0\r\n"},
        // "%!PS-Adobe" lies beyond byte 740,000 of a PDF-based CR document: past the first window.
        SampleCase{kOwn, "01-pdf-based-late-creator.ai", 102400, std::nullopt, "", "", "previous"},
        SampleCase{kOwn, "01-pdf-based-late-creator.ai", 2048000, "Adobe Illustrator(R) 17.0", "22.1.0", "AI",
                   "-3.0 \r%%Creator: Adobe Illustrator(R) 17.0\r"},
        SampleCase{kOwn, "02-japanese-links-crlf.ai", 2048000, "Adobe Illustrator(R) 24.0", "25.2.1", "AI",
                   "-3.0 \r\n%%Creator: Adobe Illustrator(R) 24.0\r\n"},
        // The creator only after 2,048,000 characters: the second window sees the kind, not the creator.
        SampleCase{kOwn, "12-third-window.eps", 2048000, std::nullopt, "", "EPS", "-3.0 EPSF-3.0\r\n%%BoundingBox"},
        SampleCase{kOwn, "12-third-window.eps", 40960000, "Far Away Maker 1.0", "", "EPS", "-3.0 EPSF-3.0\r\n"},
        SampleCase{kOwn, "11-no-creator.eps", 40960000, std::nullopt, "", "EPS", "-3.0 EPSF-3.0\n"},
        SampleCase{kCorpus, "010-php-logo.eps", 102400, "Adobe Illustrator(TM) 6.0", "8.0.1", "EPS",
                   "-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(TM) 6.0\r\n"},
        SampleCase{kCorpus, "011-ghostpdl-tiger.eps", 102400, "Adobe Illustrator(TM) 1.2d4", "", "EPS",
                   "-2.0 EPSF-1.2\n%%Creator: Adobe Illustrator(TM) 1.2d4\n"},
        SampleCase{kCorpus, "012-ghostpdl-golfer.eps", 102400, "Adobe Illustrator(TM) 1.0b2-", "", "EPS",
                   "-2.0 EPSF-1.2\n"},
        SampleCase{kCorpus, "016-pillow-binary-preview-map.eps", 102400,
                   "Adobe Photoshop Version 12.0x20100407 [20100407.r.1103 2010/04/07:14:00:00 cutoff; r branch]", "",
                   "EPS", "-3.0 EPSF-3.0\r\n"},
        SampleCase{kCorpus, "022-karma-logo.eps", 102400, "Adobe Illustrator(R) 16.0", "16.0.4", "EPS", "-3.1 EPSF-3.0"},
        SampleCase{kCorpus, "001-golangtokyo-qr.ai", 102400, std::nullopt, "", "", "previous"},
        SampleCase{kCorpus, "001-golangtokyo-qr.ai", 2048000, "Adobe Illustrator(R) 17.0", "22.1.0", "AI",
                   "-3.0 \r%%Creator: Adobe Illustrator(R) 17.0\r"},
        SampleCase{kCorpus, "002-kghashimoto-untitled1.ai", 2048000, "Adobe Illustrator(R) 24.0", "25.2.1", "AI",
                   "-3.0 \r\n%%Creator: Adobe Illustrator(R) 24.0\r\n"}));

}  // namespace
}  // namespace pelmora::analysis
