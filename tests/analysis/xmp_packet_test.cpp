#include "analysis/xmp_packet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/run_error.h"
#include "fake_document.h"

namespace pelmora::analysis {
namespace {

using testing::Fake;
using testing::OpenFake;

std::string Packet(const std::string& body) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
         "<rdf:Description rdf:about=\"\" xmlns:xmpTPg=\"http://ns.adobe.com/xap/1.0/t/pg/\" "
         "xmlns:stDim=\"http://ns.adobe.com/xap/1.0/sType/Dimensions#\" xmlns:xmpG=\"http://ns.adobe.com/xap/1.0/g/\" "
         "xmlns:stFnt=\"http://ns.adobe.com/xap/1.0/sType/Font#\" xmlns:xmpMM=\"http://ns.adobe.com/xap/1.0/mm/\" "
         "xmlns:stMfs=\"http://ns.adobe.com/xap/1.0/sType/ManifestItem#\" "
         "xmlns:stRef=\"http://ns.adobe.com/xap/1.0/sType/ResourceRef#\">" +
         body + "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

const std::string kFonts =
    "<xmpTPg:Fonts><rdf:Bag><rdf:li rdf:parseType=\"Resource\"><stFnt:fontName>RoShinoStd-Md</stFnt:fontName>"
    "<stFnt:fontFamily>Ro\xE7\xAF\xA0Std</stFnt:fontFamily></rdf:li><rdf:li rdf:parseType=\"Resource\">"
    "<stFnt:fontName>\xE5\xB0\x8F\xE5\xA1\x9A\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF</stFnt:fontName>"
    "</rdf:li></rdf:Bag></xmpTPg:Fonts>";
const std::string kSwatches =
    "<xmpTPg:SwatchGroups><rdf:Seq><rdf:li rdf:parseType=\"Resource\"><xmpG:Colorants><rdf:Seq>"
    "<rdf:li rdf:parseType=\"Resource\"><xmpG:swatchName>C=0 M=0 Y=0 K=100</xmpG:swatchName>"
    "<xmpG:type>PROCESS</xmpG:type></rdf:li>"
    "<rdf:li xmpG:swatchName=\"DIC 156s*\" xmpG:type=\"SPOT\"/>"
    "</rdf:Seq></xmpG:Colorants></rdf:li></rdf:Seq></xmpTPg:SwatchGroups>";
const std::string kManifest =
    "<xmpMM:Manifest><rdf:Seq>"
    "<rdf:li rdf:parseType=\"Resource\"><stMfs:linkForm>ReferenceStream</stMfs:linkForm>"
    "<stMfs:reference rdf:parseType=\"Resource\"><stRef:filePath>/Users/a/CF\xE3\x83\x8F\xE3\x82\x9A"
    "\xE3\x83\xB3\xE3\x83\x95\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x88.jpg</stRef:filePath></stMfs:reference></rdf:li>"
    "<rdf:li rdf:parseType=\"Resource\"><stMfs:linkForm>EmbedByReference</stMfs:linkForm>"
    "<stMfs:reference stRef:filePath=\"C:\\tmp\\U54ptY.tif\"/></rdf:li>"
    "</rdf:Seq></xmpMM:Manifest>"
    // The history's and the ingredients' paths are not placed files.
    "<xmpMM:DerivedFrom rdf:parseType=\"Resource\"><stRef:filePath>old.ai</stRef:filePath></xmpMM:DerivedFrom>";

// `distinct` fonts and as many manifest links, each written twice.
std::string Repeated(int distinct) {
  std::string fonts = "<xmpTPg:Fonts><rdf:Bag>", links = "<xmpMM:Manifest><rdf:Seq>";
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < distinct; ++i) {
      fonts += "<rdf:li><stFnt:fontName>F" + std::to_string(i) + "</stFnt:fontName></rdf:li>";
      links += "<rdf:li><stMfs:reference stRef:filePath=\"L" + std::to_string(i) + ".tif\"/></rdf:li>";
    }
  }
  return Packet(fonts + "</rdf:Bag></xmpTPg:Fonts>" + links + "</rdf:Seq></xmpMM:Manifest>");
}

std::vector<std::string> Numbered(const char* prefix, std::size_t n, const char* suffix = "") {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(prefix + std::to_string(i) + suffix);
  return out;
}

struct XmpCase {
  const char* name;
  std::string packet;
  bool wellFormed;
  std::vector<std::string> fonts, spots, links;
  std::optional<double> width, height;
  std::optional<bool> transparency;
  bool cut = false;
  friend void PrintTo(const XmpCase& c, std::ostream* os) { *os << c.name; }
};

class ReadXmpCases : public ::testing::TestWithParam<XmpCase> {};

TEST_P(ReadXmpCases, TakesEachProperty) {
  const XmpCase& c = GetParam();
  const XmpFacts f = ReadXmp(c.packet);
  EXPECT_EQ(f.wellFormed, c.wellFormed);
  EXPECT_EQ(f.fonts, c.fonts);
  EXPECT_EQ(f.spotColours, c.spots);
  std::vector<std::string> links;
  for (const auto& l : f.links) links.push_back(l.path + (l.embedded ? " (embedded)" : ""));
  EXPECT_EQ(links, c.links);
  ASSERT_EQ(f.widthMm.has_value(), c.width.has_value());
  if (c.width) {
    EXPECT_NEAR(*f.widthMm, *c.width, 0.01);
    EXPECT_NEAR(*f.heightMm, *c.height, 0.01);
  }
  EXPECT_EQ(f.visibleTransparency, c.transparency);
  EXPECT_EQ(f.cut, c.cut);
}

INSTANTIATE_TEST_SUITE_P(
    Packets, ReadXmpCases,
    ::testing::Values(
        XmpCase{"Empty", Packet(""), true, {}, {}, {}, std::nullopt, std::nullopt, std::nullopt},
        XmpCase{"FontsWithJapaneseNames", Packet(kFonts), true, {"RoShinoStd-Md", "\xE5\xB0\x8F\xE5\xA1\x9A\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF"}, {}, {},
                std::nullopt, std::nullopt, std::nullopt},
        XmpCase{"SpotSwatchAsAttributes", Packet(kSwatches), true, {}, {"DIC 156s*"}, {}, std::nullopt, std::nullopt,
                std::nullopt},
        XmpCase{"ManifestOnly", Packet(kManifest), true, {}, {},
                {"/Users/a/CF\xE3\x83\x8F\xE3\x82\x9A\xE3\x83\xB3\xE3\x83\x95\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x88.jpg",
                 "C:\\tmp\\U54ptY.tif (embedded)"},
                std::nullopt, std::nullopt, std::nullopt},
        XmpCase{"PageInMillimetres",
                Packet("<xmpTPg:MaxPageSize rdf:parseType=\"Resource\"><stDim:w>297.000000</stDim:w><stDim:h>210.002000"
                       "</stDim:h><stDim:unit>Millimeters</stDim:unit></xmpTPg:MaxPageSize>"
                       "<xmpTPg:HasVisibleTransparency>True</xmpTPg:HasVisibleTransparency>"),
                true, {}, {}, {}, 297.0, 210.002, true},
        XmpCase{"PageInPointsTransparencyAttribute",
                Packet("<xmpTPg:MaxPageSize stDim:w=\"595.28\" stDim:h=\"841.89\" stDim:unit=\"Points\"/>"
                       "<rdf:Description xmpTPg:HasVisibleTransparency=\"False\"/>"),
                true, {}, {}, {}, 210.0, 297.0, false},
        XmpCase{"UnknownUnitGivesNoSize",
                Packet("<xmpTPg:MaxPageSize stDim:w=\"1\" stDim:h=\"1\" stDim:unit=\"Furlongs\"/>"), true, {}, {}, {},
                std::nullopt, std::nullopt, std::nullopt},
        XmpCase{"NonFiniteOrHugeSizeGivesNoSize",
                Packet("<xmpTPg:MaxPageSize stDim:w=\"NaN\" stDim:h=\"1\" stDim:unit=\"Points\"/>"
                       "<xmpTPg:MaxPageSize stDim:w=\"1\" stDim:h=\"1e300\" stDim:unit=\"Points\"/>"),
                true, {}, {}, {}, std::nullopt, std::nullopt, std::nullopt},
        // Declared entities are neither expanded nor fetched: no laughs, no file read.
        XmpCase{"DoctypeEntitiesNotExpanded",
                "<?xpacket begin=\"\"?><!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">"
                "<!ENTITY f SYSTEM \"file:///etc/passwd\">]>" +
                    Packet("<xmpTPg:Fonts><rdf:Bag><rdf:li stFnt:fontName=\"&b;&f;\"/><rdf:li><stFnt:fontName>&b;"
                           "</stFnt:fontName></rdf:li></rdf:Bag></xmpTPg:Fonts>").substr(std::string("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>").size()),
                true, {"&b;&f;", "&b;"}, {}, {}, std::nullopt, std::nullopt, std::nullopt},
        // Current Illustrator writes each font as one element of attributes.
        XmpCase{"FontsAsAttributes",
                Packet("<xmpTPg:Fonts><rdf:Bag><rdf:li stFnt:fontName=\"TimesNewRomanPSMT\" stFnt:fontFamily=\"Times\"/>"
                       "<rdf:li stFnt:fontName=\"\"/><rdf:li stFnt:fontName=\"Cmmi10\" stFnt:fontFace=\"Regular\"/>"
                       "</rdf:Bag></xmpTPg:Fonts><rdf:li stFnt:fontName=\"OutsideTheFontList\"/>"),
                true, {"TimesNewRomanPSMT", "Cmmi10"}, {}, {}, std::nullopt, std::nullopt, std::nullopt},
        XmpCase{"NotWellFormed", Packet(kFonts).substr(0, 400), false, {}, {}, {}, std::nullopt, std::nullopt,
                std::nullopt},
        // Each list holds its first kXmpNames distinct names; repeats are no more names, and one
        // name past the cap says the list was cut.
        XmpCase{"RepeatsUpToTheCap", Repeated(kXmpNames), true, Numbered("F", kXmpNames), {},
                Numbered("L", kXmpNames, ".tif"), std::nullopt, std::nullopt, std::nullopt, false},
        XmpCase{"ListsPastTheCapAreCut", Repeated(kXmpNames + 1), true, Numbered("F", kXmpNames), {},
                Numbered("L", kXmpNames, ".tif"), std::nullopt, std::nullopt, std::nullopt, true}));

// Nesting far deeper than any XMP neither takes the stack nor the time with it.
TEST(ReadXmp, DeepNestingStaysBounded) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<rdf:li>";
  const XmpFacts f = ReadXmp(Packet(kFonts + "<xmpTPg:Fonts>" + deep));
  EXPECT_FALSE(f.wellFormed);  // unclosed
  std::string closed = deep;
  for (int i = 0; i < 200000; ++i) closed += "</rdf:li>";
  const XmpFacts g = ReadXmp(Packet(kFonts + "<xmpTPg:Fonts>" + closed + "</xmpTPg:Fonts>"));
  EXPECT_TRUE(g.wellFormed);
  EXPECT_EQ(g.fonts.size(), 2u);
}

class FindXmpPacketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Fake() = {};
    previous_ = SetDocumentOpener(&OpenFake);
  }
  void TearDown() override { SetDocumentOpener(previous_); }
  DocumentOpener previous_ = nullptr;
};

TEST_F(FindXmpPacketTest, FindsTheFirstPacketAcrossReadsAndStopsThere) {
  const std::string packet = Packet(kFonts);
  const std::string before = "%!PS-Adobe-3.0\r\n" + std::string(200000, 'x');
  const std::string after = "\r\n" + std::string(300000, 'y') + Packet("") + std::string(300000, 'z');
  for (const std::size_t piece : {std::size_t{1} << 20, std::size_t{7}, std::size_t{65536}}) {
    for (const bool lend : {false, true}) {
      Fake() = {};
      Fake().bytes = before + packet + after;
      Fake().piece = piece;
      Fake().lend = lend;
      const auto found = FindXmpPacket("doc.ai");
      ASSERT_TRUE(found) << piece;
      EXPECT_FALSE(found->tooLong);
      EXPECT_EQ(found->text, packet) << piece;
      // Reading stops soon after the packet's end: the rest of the document is not read.
      if (!lend && piece >= 65536) {
        EXPECT_LT(Fake().bytes_read, before.size() + packet.size() + 3 * 65536);
      }
    }
  }
}

TEST_F(FindXmpPacketTest, AbsentTooLongUnendedAndFailingReads) {
  Fake().bytes = "%!PS-Adobe-3.0\r\n%%EOF\r\n" + std::string(100000, 'x');
  EXPECT_FALSE(FindXmpPacket("doc.ai"));

  // The marker after the search limit is not looked for.
  Fake() = {};
  Fake().bytes = std::string(300000, 'x') + Packet("");
  Fake().piece = 4096;
  EXPECT_FALSE(FindXmpPacket("doc.ai", 200000));
  EXPECT_LT(Fake().bytes_read, 210000u);

  // A packet longer than the limit is reported as such, read no further than the limit.
  Fake() = {};
  Fake().bytes = Packet(std::string(5000, ' ') + kFonts) + std::string(1000000, 'z');
  Fake().piece = 1000;
  auto found = FindXmpPacket("doc.ai", kXmpSearchBytes, 4000);
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->tooLong);
  EXPECT_TRUE(found->text.empty());
  EXPECT_LT(Fake().bytes_read, 10000u);

  // A packet begun but never ended: too long as well, never an empty packet parsed as one.
  Fake() = {};
  Fake().bytes = Packet(kFonts).substr(0, 300);
  found = FindXmpPacket("doc.ai");
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->tooLong);

  Fake() = {};
  Fake().bytes = std::string(100000, 'x') + Packet("");
  Fake().piece = 1000;
  Fake().failing_read = 3;
  EXPECT_THROW(FindXmpPacket("doc.ai"), RunError);
}

}  // namespace
}  // namespace pelmora::analysis
