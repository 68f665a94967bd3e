// Illustrator's native data: the facts its lines give, how each container hands it over, and
// what a broken or hostile one leaves known.
#include "preflight/native_data.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "../analysis/fake_document.h"
#include "../documents/samples.h"

namespace pelmora::preflight {
namespace {

using Names = std::vector<std::string>;

const std::string kSetup =
    "%%EndComments\r%%BeginSetup\r%AI5_Begin_NonPrinting\r%AI5_BeginGradient: (Fade)\r"
    "0 0.2 1 0 (DIC 2s) 0 1 50 0 %_Bs\r%AI5_EndGradient\r%AI5_End_NonPrinting--\r%AI5_BeginPalette\r"
    "0 0.5 1 0 (PANTONE 165 C) 0 x\r%AI5_EndPalette\r";

TEST(NativeData, LinesGiveHeaderPlacementsAndTheSpotColoursInUse) {
  const struct {
    const char* what;
    std::string text;
    Names fonts;
    std::optional<int> model;
    Names spots;
    bool artRead;
    std::vector<std::array<double, 2>> placed;  // drawn width and height, 0 for none
  } cases[] = {
      {"fonts without their CMaps, continued, and only the header's",
       "%!PS-Adobe-3.0\r\n%%DocumentFonts: KozGoPr6N-Regular-90ms-RKSJ-H\r\n%%+ KozGoPr6N-Regular-90ms-RKSJ-V\r\n"
       "%%+ AdobeSongStd-Light-GBpc-EUC-H\r\n%%+ Meiryo\r\n%%DocumentFiles: a.psd\r\n%%+ b.psd\r\n"
       "%AI9_ColorModel: 2\r\n%%EndComments\r\n%%DocumentFonts: Later\r\n%%EndSetup\r\n",
       {"KozGoPr6N-Regular", "AdobeSongStd-Light", "Meiryo"}, 2, {}, true, {}},
      {"palette and gradient offer, the art uses one of each",
       "%AI9_ColorModel: 1\r" + kSetup + "%%EndSetup\r0 1 1 0 (DIC 156s*) 0.5 Xs\r1 (Fade) 0 0 0 1 1 0 0 1 0 0 1 Bg\r",
       {}, 1, {"DIC 156s*", "DIC 2s"}, true, {}},
      {"palette only, Illustrator's own colours in the art",
       kSetup + "%%EndSetup\r1 1 1 1 ([Registration]) 0 Xs\r0 0 0 0 ([\xE3\x83\xAC\xE3\x82\xB8]) 0 XS\r"
                "0 0 0 0 ([None]) 0 x\r0 1 0 0 (Not an operator) 0 Xz\r",
       {}, std::nullopt, {}, true, {}},
      {"no end of setup: the art is never reached", kSetup + "0 1 1 0 (DIC 156s*) 0 Xs\r", {}, std::nullopt, {}, false, {}},
      {"other custom colour operators, a code page 932 name",
       "%%EndSetup\n0 0 0 1 (A) 0 x\n0 0 0 1 (B) 0 X\n0 0 0 1 0 0 0 (C) 0 1 Xk\n0 0 0 1 (\x83\x4A) 0 0 XX\n",
       {}, std::nullopt, {"A", "B", "C", "\xE3\x82\xAB"}, true, {}},
      // Illustrator's own list counts (a placed EPS file's spot colour is painted by none of the
      // art's operators); the definitions beside it do not. Code page 932 with a backslash for a
      // trail byte, and UTF-8 ending in a combining mark.
      {"the header's custom colours, not its definitions",
       "%%DocumentCustomColors: (PANTONE 307 C)\r%%+ (\x95\x5C)\r%%CMYKCustomColor: 0 0 0 1 (Palette Only)\r"
       "%%EndComments\r%%EndSetup\r0 0 0 1 (\xE3\x83\x8F\xE3\x82\x9A) 0 Xs\r0 0 0 1 (a \\(b\\)\\101) 0 x\r",
       {}, std::nullopt, {"PANTONE 307 C", "\xE8\xA1\xA8", "\xE3\x83\x8F\xE3\x82\x9A", "a (b)A"}, true, {}},
      {"placements scaled, turned, without a box and inside the palette",
       "%%EndSetup\r%AI5_BeginPlace\r[0.5 0 0 -0.5 100 200] 0 0 600 400 4 4 0\r(a.psd)`\r%AI5_EndPlace\r"
       "%AI5_BeginPlace\r[0 0.24 -0.24 0 300 10] 0 0 1000 500 4 4 0\r(b.tif)`\r%AI5_EndPlace\r"
       "%AI5_BeginPlace\r(c.tif)`\r%AI5_EndPlace\r"
       "%AI5_BeginPalette\r%AI5_BeginPlace\r[1 0 0 1 0 0] 0 0 9 9\r(d.tif)`\r%AI5_EndPlace\r%AI5_EndPalette\r",
       {}, std::nullopt, {}, true, {{300, 200}, {240, 120}, {0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const NativeFacts f = ScanNativeText(c.text);
    EXPECT_EQ(f.format, NativeFormat::kPlain);
    EXPECT_FALSE(f.damaged);
    EXPECT_EQ(f.fonts, c.fonts);
    EXPECT_EQ(f.colourModel, c.model);
    EXPECT_EQ(f.artRead, c.artRead);
    if (c.artRead) {
      EXPECT_EQ(f.spotColours, c.spots);
    }
    ASSERT_EQ(f.placements.size(), c.placed.size());
    for (std::size_t i = 0; i < c.placed.size(); ++i) {
      EXPECT_NEAR(f.placements[i].widthPt.value_or(0), c.placed[i][0], 1e-9);
      EXPECT_NEAR(f.placements[i].heightPt.value_or(0), c.placed[i][1], 1e-9);
    }
  }
  EXPECT_EQ(FontWithoutCMap("RoShinoStd-Md-83pv-RKSJ-H"), "RoShinoStd-Md");
  EXPECT_EQ(FontWithoutCMap("Ryumin-Light-UniJIS-UTF16-H"), "Ryumin-Light");
  EXPECT_EQ(FontWithoutCMap("Futura-H"), "Futura-H");  // no CMap before the direction
  EXPECT_EQ(FontWithoutCMap("-H"), "-H");
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Zlib(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()));
  out.resize(size);
  return out;
}

// The documents make_documents.py writes, read whole, in odd pieces and from memory: the same
// facts each way.
TEST(NativeData, EachContainerInPiecesAndWhole) {
  const std::string nfdName = "/Users/dtp/\xE5\x86\x99\xE7\x9C\x9F/\xE3\x83\x8F\xE3\x82\x9A\xE3\x83\xB3\xE3\x83\x95"
                              "\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x88.jpg";  // 写真/ハ゜ンフレット.jpg
  const struct {
    const char* file;
    NativeFormat format;
    Names fonts;
    int model;
    Names spots;  // empty with artRead false: unknown
    bool damaged;
  } cases[] = {
      {"c05-native-zlib.ai", NativeFormat::kZlib, {"KozGoPr6N-Regular", "Meiryo"}, 2, {"DIC 156s*", "DIC 2s"}, false},
      {"c06-native-zstd.ai", NativeFormat::kZstd, {"Meiryo-Bold"}, 1, {"DIC 156s*", "DIC 2s"}, false},
      {"c07-native-damaged.ai", NativeFormat::kZlib, {"Meiryo"}, 2, {}, true},
      {"c08-cs6-data-stream.eps", NativeFormat::kDataStream, {"Ryumin-Light"}, 1, {"DIC 156s*", "DIC 2s"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string bytes = Read(e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, c.file));
    ASSERT_FALSE(bytes.empty());
    for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{997}, std::size_t{7}}) {
      for (const bool lend : {false, true}) {
        SCOPED_TRACE(std::to_string(piece) + (lend ? " lent" : ""));
        testing::UseFakeDocument fake(bytes, piece);
        testing::Fake().lend = lend;
        const NativeFacts f = ReadNativeData("doc");
        EXPECT_EQ(f.format, c.format);
        EXPECT_EQ(f.damaged, c.damaged);
        EXPECT_TRUE(f.headerRead);
        EXPECT_EQ(f.fonts, c.fonts);
        EXPECT_EQ(f.colourModel, c.model);
        EXPECT_EQ(f.artRead, !c.damaged);
        if (!c.damaged) {
          EXPECT_EQ(f.spotColours, c.spots);
        }
        ASSERT_TRUE(f.cropmarks);
        EXPECT_NEAR((*f.cropmarks)[2] - (*f.cropmarks)[0], 841.89, 0.01);
        ASSERT_EQ(f.placements.size(), 2u);
        EXPECT_EQ(f.placements[0].name, nfdName);  // as written, marks and all
        EXPECT_NEAR(*f.placements[0].widthPt, 300, 1e-9);
        EXPECT_NEAR(*f.placements[1].heightPt, 120, 1e-9);
      }
    }
  }
}

TEST(NativeData, DamageAndBoundsEndOnlyWhatFollows) {
  const std::string zlibDoc = Read(e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, "c05-native-zlib.ai"));
  // The document cut short inside its blocks: the header stays known, the art does not.
  {
    testing::UseFakeDocument fake(zlibDoc.substr(0, zlibDoc.size() * 2 / 3));
    const NativeFacts f = ReadNativeData("doc");
    EXPECT_TRUE(f.damaged);
    EXPECT_EQ(f.colourModel, 2);
    EXPECT_FALSE(f.artRead);
  }
  // A block the dictionary names but the document lacks.
  {
    std::string gap = zlibDoc;
    const std::size_t at = gap.find("/AIPrivateData3 ");
    ASSERT_NE(at, std::string::npos);
    gap[at + 14] = '7';  // "AIPrivateData7" twice, no 3
    testing::UseFakeDocument fake(gap);
    EXPECT_TRUE(ReadNativeData("doc").damaged);
  }
  // Neither a PDF with no private data, nor another writer's PostScript, has native data.
  for (const char* file : {"c01-rgb-everything.ai", "c10-needed-fonts.eps"}) {
    testing::UseFakeDocument fake(Read(e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, file)));
    EXPECT_EQ(ReadNativeData("doc").format, NativeFormat::kNone) << file;
  }
  // A zstd frame of run-length blocks inflates 32,768 times over: the ratio guard stops it soon
  // after the slack, long before the document's bound.
  std::string bomb = "%AI24_ZStandard_Data";
  bomb += std::string("\x28\xb5\x2f\xfd\x00\x58", 6);  // no content size, an 8 MiB window
  for (int i = 0; i < 400; ++i) {
    const std::uint32_t header = (i == 399 ? 1 : 0) | (1 << 1) | (128 * 1024 << 3);
    bomb += std::string{static_cast<char>(header & 0xFF), static_cast<char>((header >> 8) & 0xFF),
                        static_cast<char>((header >> 16) & 0xFF), '\n'};
  }
  const NativeFacts f = ScanNativeText(bomb);
  EXPECT_EQ(f.format, NativeFormat::kZstd);
  EXPECT_TRUE(f.damaged);
  EXPECT_LE(f.decodedBytes, kNativeRatioSlack + kNativeRatio * bomb.size() + 128 * 1024);
  EXPECT_GT(f.decodedBytes, kNativeRatioSlack);
  // The EPS data stream broken inside its ASCII85: what came before it stays.
  std::string eps = Read(e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, "c08-cs6-data-stream.eps"));
  const std::size_t stream = eps.find("%AI9_DataStream");
  ASSERT_NE(stream, std::string::npos);
  eps[stream + 2000] = 'v';  // beyond "u": no ASCII85 digit
  testing::UseFakeDocument fake(eps);
  const NativeFacts broken = ReadNativeData("doc");
  EXPECT_EQ(broken.format, NativeFormat::kDataStream);
  EXPECT_TRUE(broken.damaged);
  EXPECT_EQ(broken.colourModel, 1);
  // And a zlib stream that only stops is cut, not complete.
  const NativeFacts stopped = ScanNativeText("%AI12_CompressedData" + Zlib("%AI9_ColorModel: 1\r%%EndSetup\r" + std::string(5000, 'x')).substr(0, 40));
  EXPECT_TRUE(stopped.damaged);
  EXPECT_FALSE(stopped.artRead);
}

// Blocks stored against their turn cost a pass each: Illustrator's order takes a few, a reversed
// one would take one per block and is cut off after about eight reads of the document.
TEST(NativeData, BlocksOutOfTurnCostBoundedPasses) {
  std::string art = "%AI9_ColorModel: 2\r%%EndComments\r%%EndSetup\r";
  for (unsigned x = 1; art.size() < 60000;) {
    x = x * 1103515245u + 12345u;
    art += std::to_string(x % 9973) + "." + std::to_string(x % 97) + " " + std::to_string(x % 7919) + " l\r";
  }
  art += "0 1 1 0 (DIC 156s*) 0 Xs\r";
  const std::string native = "%AI12_CompressedData" + Zlib(art);
  const std::size_t block = 24, blocks = (native.size() + block - 1) / block;
  const auto document = [&](bool reversed) {
    std::vector<std::size_t> order(blocks);
    for (std::size_t i = 0; i < blocks; ++i) order[i] = reversed ? blocks - i : i + 1;
    if (!reversed) std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) { return std::to_string(a) < std::to_string(b); });
    std::string pdf = "%PDF-1.6\r1 0 obj\r<<";
    for (std::size_t i = 0; i < blocks; ++i) pdf += "/AIPrivateData" + std::to_string(order[i]) + " " + std::to_string(10 + i) + " 0 R";
    pdf += ">>\rendobj\r";
    for (std::size_t i = 0; i < blocks; ++i) {
      const std::string body = native.substr((order[i] - 1) * block, block);
      pdf += std::to_string(10 + i) + " 0 obj\r<</Length " + std::to_string(body.size()) + ">>stream\r\n" + body + "\rendstream\rendobj\r";
    }
    return pdf;
  };
  for (const bool reversed : {false, true}) {
    SCOPED_TRACE(reversed ? "reversed" : "Illustrator's order");
    const std::string pdf = document(reversed);
    testing::UseFakeDocument fake(pdf, 4096);
    const NativeFacts f = ReadNativeData("doc");
    EXPECT_EQ(f.damaged, reversed);
    EXPECT_EQ(f.colourModel, 2);  // the first block is fed in the first pass either way
    EXPECT_EQ(f.spotColours, reversed ? Names{} : Names{"DIC 156s*"});
    EXPECT_LE(testing::Fake().bytes_read, 10 * pdf.size() + 2 * 1024 * 1024);
  }
}

TEST(NativeData, AddedToTheCheckOutranksTheHints) {
  // Hints say RGB, palette spots, the CMap'd font; the native data says CMYK and what the art uses.
  NativeFacts n;
  n.format = NativeFormat::kZlib;
  n.headerRead = n.artRead = true;
  n.fonts = {"KozGoPr6N-Regular", "Meiryo"};
  n.colourModel = 2;
  n.spotColours = {"DIC 156s*"};
  n.cropmarks = std::array<double, 4>{0, -595.2755905512, 841.8897637795, 0};
  n.placements = {{"a.psd", 300, 200}, {"", std::nullopt, std::nullopt}};
  CheckFacts f;
  f.fonts = {{"KozGoPr6N-Regular-90ms-RKSJ-H", std::nullopt}, {"KozGoPr6N-Regular-90ms-RKSJ-V", std::nullopt}};
  f.colourModel = "RGB";
  f.spotColours = {"PANTONE 165 C", "[Registration]"};
  f.widthMm = 100;
  f.heightMm = 50;
  f.findings = {kFindingFonts, kFindingRgb, kFindingSpot, kFindingTransparency, kFindingMissingLinks};
  AddNativeData(f, n, true);
  EXPECT_EQ(f.fonts, (std::vector<Font>{{"KozGoPr6N-Regular", std::nullopt}, {"Meiryo", std::nullopt}}));
  EXPECT_EQ(f.colourModel, "CMYK");
  EXPECT_EQ(f.spotColours, Names{"DIC 156s*"});
  EXPECT_EQ(f.findings, (Names{kFindingFonts, kFindingSpot, kFindingTransparency, kFindingMissingLinks}));
  ASSERT_EQ(f.artboards.size(), 1u);
  EXPECT_NEAR(f.artboards[0].widthMm, 297.0, 0.01);
  EXPECT_NEAR(f.artboards[0].heightMm, 210.0, 0.01);
  EXPECT_EQ(f.artboards[0].source, Source::kNative);
  ASSERT_EQ(f.placed.size(), 2u);
  EXPECT_EQ(f.placed[0].name, "a.psd");
  EXPECT_TRUE(f.placed[0].linked);
  EXPECT_EQ(f.placed[0].placedWidthPt, 300);
  EXPECT_EQ(f.placed[1].name, std::nullopt);
  EXPECT_EQ(f.placed[0].source, Source::kNative);

  // Unknown art leaves the hints' spot colours, less Illustrator's own; an EPS without crop
  // marks has its box; a Photoshop EPS its image, at the box's size; needed fonts are not in it.
  NativeFacts ps;
  ps.spotColours = {"never used"};
  ps.includedFonts = {"Ryumin-Light"};
  ps.imageData = NativeFacts::ImageData{300, 200, 8, "RGB"};
  CheckFacts e;
  e.spotColours = {"[None]", "TCL RED"};
  e.widthMm = 300 * 25.4 / 72 / 2;  // drawn at half the image's 72 ppi size: 144 ppi
  e.heightMm = 200 * 25.4 / 72 / 2;
  e.findings = {kFindingSpot};
  AddNativeData(e, ps, false);
  EXPECT_EQ(e.spotColours, Names{"TCL RED"});
  // ...and without native data, the colour spaces its program sets up; with it, they are not asked.
  CheckFacts body;
  NativeFacts converted;
  converted.bodyColourants = {"PANTONE 109 C", "TCL RED"};
  body.spotColours = {"TCL RED"};
  AddNativeData(body, converted, false);
  EXPECT_EQ(body.spotColours, (Names{"TCL RED", "PANTONE 109 C"}));
  EXPECT_EQ(body.findings, Names{kFindingSpot});
  converted.format = NativeFormat::kPlain;
  converted.artRead = true;
  CheckFacts own;
  AddNativeData(own, converted, false);
  EXPECT_TRUE(own.spotColours.empty());
  EXPECT_EQ(e.fonts, (std::vector<Font>{{"Ryumin-Light", false}}));
  EXPECT_EQ(e.colourModel, "RGB");
  EXPECT_EQ(e.findings, (Names{kFindingFonts, kFindingRgb, kFindingSpot}));
  ASSERT_EQ(e.artboards.size(), 1u);
  EXPECT_EQ(e.artboards[0].source, Source::kComments);
  ASSERT_EQ(e.placed.size(), 1u);
  EXPECT_NEAR(*e.placed[0].ppiX, 144, 1e-6);
  EXPECT_NEAR(*e.placed[0].ppiY, 144, 1e-6);
  EXPECT_FALSE(e.placed[0].linked);
  // A PDF-based one without crop marks waits for its pages: no artboard from the art's box.
  CheckFacts pdf;
  pdf.widthMm = pdf.heightMm = 10;
  AddNativeData(pdf, NativeFacts{}, true);
  EXPECT_TRUE(pdf.artboards.empty());
}

TEST(NativeData, ArtboardsAndBleedFromTheDocumentsDictionaries) {
  // Values before their keys, as Illustrator writes them; the second artboard turned (its points
  // the other way round), a third without its points, a dictionary with points but no artboard key.
  const std::string text =
      "%_0 /Real (BleedLeftValue) ,\r%_/Array :\r%_/Dictionary :\r%_0 /Int (DisplayMark) ,\r"
      "%_234.841739130435 461.144927536233 /RealPointRelToROrigin\r%_ (PositionPoint2) ,\r"
      "%_(018d221f) /String (ArtboardUUID) ,\r%_-289.188405797101 629.260869565219 /RealPointRelToROrigin\r"
      "%_ (PositionPoint1) ,\r%_; ,\r%_/Dictionary :\r%_100 0 /RealPointRelToROrigin\r%_ (PositionPoint1) ,\r"
      "%_0 200 /RealPointRelToROrigin\r%_ (PositionPoint2) ,\r%_1 /Bool (IsArtboardDefaultName) ,\r%_; ,\r"
      "%_/Dictionary :\r%_1 /Bool (IsArtboardSelected) ,\r%_; ,\r%_/Dictionary :\r%_1 2 /RealPointRelToROrigin\r"
      "%_ (PositionPoint1) ,\r%_3 4 /RealPointRelToROrigin\r%_ (PositionPoint2) ,\r%_; ,\r%_; (ArtboardArray) ,\r"
      "%_8.5039 /Real (BleedRightValue) ,\r%_8.5039 /Real (BleedTopValue) ,\r%_24.1055 /Real (BleedBottomValue) ,\r";
  const NativeFacts n = ScanNativeText(text);
  ASSERT_EQ(n.artboards.size(), 2u);
  EXPECT_NEAR(n.artboards[0][0], 524.030144927536, 1e-9);
  EXPECT_NEAR(n.artboards[0][1], 168.115942028986, 1e-9);
  EXPECT_EQ(n.artboards[1], (std::array<double, 2>{100, 200}));
  ASSERT_TRUE(n.bleed);
  EXPECT_EQ(*n.bleed, (std::array<double, 4>{0, 8.5039, 8.5039, 24.1055}));
  EXPECT_FALSE(ScanNativeText(text.substr(0, text.find("%_24.1055"))).bleed) << "a side unsaid leaves the bleed unknown";

  // They are a PDF-based document's artboards until its pages say otherwise; an EPS keeps its crop marks.
  CheckFacts pdf;
  NativeFacts with = n;
  with.format = NativeFormat::kZlib;
  with.cropmarks = std::array<double, 4>{0, 0, 10, 10};
  AddNativeData(pdf, with, true);
  ASSERT_EQ(pdf.artboards.size(), 2u);
  EXPECT_NEAR(pdf.artboards[0].widthMm, 184.9, 0.05);
  EXPECT_NEAR(pdf.artboards[0].heightMm, 59.3, 0.05);
  ASSERT_TRUE(pdf.artboards[1].bleedMm);
  EXPECT_NEAR(pdf.artboards[1].bleedMm->bottom, 8.5, 0.01);
  EXPECT_EQ(pdf.artboards[1].bleedMm->left, 0);
  EXPECT_EQ(pdf.artboards[1].source, Source::kNative);
  CheckFacts eps;
  AddNativeData(eps, with, false);
  ASSERT_EQ(eps.artboards.size(), 1u);
  EXPECT_NEAR(eps.artboards[0].widthMm, 10 * 25.4 / 72, 1e-9);
}

TEST(NativeData, ColourSpacesOfTheProgramNotOfItsProcsets) {
  const std::string body =
      "%%BeginResource: procset AGM\n/DeviceN[/_cyan_/_magenta_]/DeviceCMYK{}]def\n"
      "[/Separation(Yellow)/DeviceCMYK{0 0 3 -1 roll 0}bind]\n/Separation _name _space {_proc}\n%%EndResource\n"
      "%%BeginProcSet: old 1 0\n[/Separation (Procset Spot) /DeviceCMYK {}]\n%%EndProcSet\n"
      "%%Page: 1 1\n[/Separation (PANTONE 109 C) /DeviceCMYK\n{dup 0 mul exch}] {} cs\n"
      "[/Separation /All /DeviceCMYK {}] cs [/Separation/None/DeviceGray{}] cs /SeparationX (not one)\n"
      "[/DeviceN [ (DIC 156s*) (Black) /TCL#20RED (a\\(b\\)) ] /DeviceCMYK {}] cs\n"
      "[/Separation (PANTONE 109 C) /DeviceCMYK {}] cs [/DeviceN /Name] cs\n";
  const Names want = {"PANTONE 109 C", "DIC 156s*", "TCL#20RED", "a(b)"};
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{2500}, std::size_t{100'000}}) {
    std::vector<std::string> names;
    bool cut = false;
    ColourantScan scan(names, cut);
    // Padding puts the colour spaces on either side of the look-ahead kept between pieces.
    const std::string text = std::string(piece == 2500 ? 2000 : 5000, ' ') + body;
    for (std::size_t i = 0; i < text.size(); i += piece) scan.Put(std::string_view(text).substr(i, piece));
    scan.Finish();
    EXPECT_EQ(names, want) << "pieces of " << piece;
    EXPECT_FALSE(cut);
  }
}

}  // namespace
}  // namespace pelmora::preflight
