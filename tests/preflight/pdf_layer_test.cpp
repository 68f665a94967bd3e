// The PDF layer: the drawing instructions as they stream in, and what the pages of the test
// documents (make_documents.py) and of the corpus say.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "../documents/samples.h"
#include "preflight/pdf_content.h"
#include "preflight/pdf_layer.h"

namespace pelmora::preflight {
namespace {

// Every draw as "name WxH" (the unit square's sides in points, rounded).
class Recorder final : public ContentSink {
 public:
  void Draw(std::string_view name, const Matrix& m) override { Add(std::string(name), m); }
  void DrawInline(const InlineImage& image, const Matrix& m) override {
    std::string cs;
    for (const std::string& n : image.colourSpace) cs += (cs.empty() ? "" : ",") + n;
    Add("BI" + std::to_string(image.width) + "x" + std::to_string(image.height) + "/" + std::to_string(image.bits) +
            (image.imageMask ? "/mask" : "") + "/" + cs,
        m);
  }
  std::string drawn;

 private:
  void Add(const std::string& what, const Matrix& m) {
    drawn += (drawn.empty() ? "" : "; ") + what + " " + std::to_string(std::lround(m.XLength())) + "x" +
             std::to_string(std::lround(m.YLength()));
  }
};

struct Interpreted {
  std::string drawn;
  ContentSummary summary;
};

Interpreted Interpret(std::string_view content, std::size_t piece) {
  Recorder sink;
  ContentBudget budget;
  ContentInterpreter interpreter(sink, Matrix{}, budget);
  for (std::size_t at = 0; at < content.size(); at += piece) interpreter.Feed(content.substr(at, piece));
  interpreter.Finish();
  return {sink.drawn, interpreter.summary()};
}

TEST(ContentInterpreter, PlacesImagesWhereTheTransformationSaysWhateverThePieces) {
  std::string deep;  // more saved states than are kept
  for (int i = 0; i < 300; ++i) deep += "q ";
  deep += "2 0 0 2 0 0 cm ";
  for (int i = 0; i < 300; ++i) deep += "Q ";
  deep += "/A Do";
  const struct {
    const char* what;
    std::string_view content;
    const char* drawn;
    std::uint64_t painted, textShown;
    const char* text;
  } cases[] = {
      {"scaled, turned, restored", "q 100 0 0 50 0 0 cm /Im1 Do Q q 0 2 -3 0 9 9 cm 10 0 0 10 0 0 cm/Im2 Do Q /Im3 Do",
       "Im1 100x50; Im2 20x30; Im3 1x1", 0, 0, ""},
      {"saved states beyond the kept ones still pair up",
       deep, "A 1x1", 0, 0, ""},
      {"an escaped name, a comment, operands of other operators",
       "/GS0 gs % 5 0 0 5 0 0 cm\n1 0 0 1 0 0 cm /Im#20A Do", "Im A 1x1", 0, 0, ""},
      {"cm without six numbers changes nothing", "(x) 2 0 0 2 0 cm /A Do", "A 1x1", 0, 0, ""},
      {"paths painted, clips not", "0 0 m 1 1 l S 0 0 5 5 re W n 0 0 5 5 re f* sh", "", 3, 0, ""},
      {"text with escapes, nesting and hex, arrays for kerning",
       "BT [(Ado)-10 (be\\256 \\(I\\)llus\\\ntrator)]TJ <504446>Tj (a(b)c) ' ET", "", 0, 3, "Adobe\xAE (I)llustratorPDFa(b)c"},
      {"a dictionary of marked content is no operand to Do", "/OC <</Name /Layer 1>> BDC /Im Do EMC", "Im 1x1", 0, 0, ""},
      {"inline images: dictionary, data with a false end, true end",
       "q 16 0 0 8 0 0 cm BI /W 16 /H 8 /CS [/I /RGB 1 <00FF00>] /BPC 1 ID \x01xEI\x02 EI Q BI /IM true /W 2 /H 2 ID ab EI",
       "BI16x8/1/I,RGB 16x8; BI2x2/0/mask/ 1x1", 2, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::size_t piece : {c.content.size(), std::size_t{1}, std::size_t{3}}) {
      const Interpreted r = Interpret(c.content, piece);
      EXPECT_EQ(r.drawn, c.drawn) << "pieces of " << piece;
      EXPECT_EQ(r.summary.painted, c.painted);
      EXPECT_EQ(r.summary.textShown, c.textShown);
      EXPECT_EQ(r.summary.text, c.text);
      EXPECT_FALSE(r.summary.cut);
    }
  }
}

TEST(ContentInterpreter, StopsWhereTheDocumentsBudgetEnds) {
  Recorder sink;
  ContentBudget budget;
  budget.maxOperators = 3;
  ContentInterpreter interpreter(sink, Matrix{}, budget);
  interpreter.Feed("/A Do /B Do /C Do /D Do");
  interpreter.Finish();
  EXPECT_EQ(sink.drawn, "A 1x1; B 1x1; C 1x1");
  EXPECT_TRUE(interpreter.summary().cut);
  // A long string is kept only in part.
  ContentBudget more;
  ContentInterpreter text(sink, Matrix{}, more);
  text.Feed("(" + std::string(100000, 'x') + ") Tj");
  text.Finish();
  EXPECT_EQ(text.summary().text.size(), ContentSummary::kTextKept);
}

PdfLayerFacts Document(const char* file) { return ReadPdfLayer(::e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, file), false); }

TEST(PdfLayer, ReadsPagesFontsAndImagesOfTheTestDocuments) {
  const PdfLayerFacts f = Document("c11-pdf-artboards.ai");
  ASSERT_EQ(f.state, PdfLayer::kRead);
  EXPECT_TRUE(f.nativeData);
  EXPECT_FALSE(f.cut);
  ASSERT_EQ(f.pages.size(), 2u);
  EXPECT_EQ(f.pages[1].rotate, 90);
  EXPECT_NEAR(f.pages[1].widthPt, 155.906, 0.01);  // turned: the card stands upright
  EXPECT_NEAR(f.pages[1].bleedPt.left, 20, 0.01);
  EXPECT_NEAR(f.pages[1].bleedPt.top, 10, 0.01);
  EXPECT_EQ(f.fonts, (std::vector<PdfFont>{{"KozGoPr6N-Regular", true, true}, {"Arial-BoldMT", false, false}}));
  ASSERT_EQ(f.images.size(), 3u);
  // Inside the form: its matrix and the page's cm cancel; the image is turned a quarter.
  EXPECT_EQ(f.images[1].color, "CMYK");
  EXPECT_NEAR(f.images[1].drawnWidthPt, 100, 1e-9);
  EXPECT_NEAR(f.images[1].drawnHeightPt, 50, 1e-9);
  EXPECT_EQ(f.outputIntent, "JC200103");

  const struct {
    const char* file;
    PdfLayer state;
    std::size_t pages, images, fonts;
    bool cut;
  } states[] = {
      {"c12-pdf-placeholder.ai", PdfLayer::kPlaceholder, 1, 0, 1, false},
      {"c13-pdf-text-only.ai", PdfLayer::kRead, 1, 0, 1, false},
      {"c14-pdf-damaged-xref.ai", PdfLayer::kRead, 1, 1, 0, false},
      {"c15-pdf-deep-forms.ai", PdfLayer::kRead, 1, 0, 0, true},
      {"c16-pdf-encrypted.ai", PdfLayer::kEncrypted, 0, 0, 0, false},
      // Each image looked up while its page's content is still being inflated from the file.
      {"c18-pdf-long-content.ai", PdfLayer::kRead, 1, 6, 0, false},
      {"c01-rgb-everything.ai", PdfLayer::kUnreadable, 0, 0, 0, false},
  };
  for (const auto& s : states) {
    SCOPED_TRACE(s.file);
    const PdfLayerFacts d = Document(s.file);
    EXPECT_EQ(d.state, s.state);
    EXPECT_EQ(d.pages.size(), s.pages);
    EXPECT_EQ(d.images.size(), s.images);
    EXPECT_EQ(d.fonts.size(), s.fonts);
    EXPECT_EQ(d.cut, s.cut);
  }
  EXPECT_GT(Document("c14-pdf-damaged-xref.ai").warnings, 0u);  // counted, never printed

  // From a Mac: the PDF after the MacBinary header, the resource fork after it left alone.
  const PdfLayerFacts mac = ReadPdfLayer(::e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, "c17-pdf-macbinary.ai"), true);
  EXPECT_EQ(mac.state, PdfLayer::kRead);
  EXPECT_EQ(mac.warnings, 0u);
  EXPECT_EQ(mac.pages.size(), 1u);
}

TEST(PdfLayer, DamageAnywhereLeavesOnlyTheLayerUnknown) {
  std::ifstream in(::e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, "c11-pdf-artboards.ai"), std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(whole.empty());
  // More objects than the bound: left unread before qpdf takes them in.
  std::string many = whole;
  const std::size_t size = many.rfind("/Size ");
  ASSERT_NE(size, std::string::npos);
  many.replace(size, 8, "/Size 900000 ");
  EXPECT_EQ(ReadPdfLayerBytes(many).state, PdfLayer::kUnreadable);
  EXPECT_EQ(ReadPdfLayerBytes(whole).state, PdfLayer::kRead);
  // Cut short before its end: not rebuilt from what is left.
  EXPECT_EQ(ReadPdfLayerBytes(whole.substr(0, whole.size() / 2)).state, PdfLayer::kUnreadable);
  // Cut short, or a stretch overwritten, at many places: never a crash, always a state.
  for (std::size_t at = 0; at < whole.size(); at += 97) {
    const PdfLayerFacts cut = ReadPdfLayerBytes(whole.substr(0, at));
    EXPECT_NE(cut.state, PdfLayer::kNone);
    std::string spoilt = whole;
    spoilt.replace(at, std::min<std::size_t>(40, whole.size() - at), 40, '(');
    EXPECT_NE(ReadPdfLayerBytes(spoilt).state, PdfLayer::kNone);
  }
}

TEST(PdfLayer, AddsItsFactsToTheCheck) {
  PdfLayerFacts pdf;
  pdf.state = PdfLayer::kRead;
  pdf.pages = {{595.276, 841.89, {8.504, 8.504, 8.504, 8.504}, 0}};
  pdf.fonts = {{"RyuminPro-Light", true, true}, {"Meiryo", false, false}};
  PdfImage image;
  image.page = 1;
  image.widthPx = 300;
  image.color = "Indexed";
  image.colorBase = "CMYK";
  image.drawnWidthPt = 72;
  image.ppiX = 300;
  pdf.images = {image};
  pdf.outputIntent = "Japan Color 2001 Coated";

  CheckFacts f;
  f.fonts = {{"RyuminPro-Light", {}}};
  f.artboards = {{100, 50, std::nullopt, Source::kNative}};
  f.findings = {kFindingTransparency};
  AddPdfLayer(f, pdf);
  EXPECT_EQ(f.fonts, (std::vector<Font>{{"RyuminPro-Light", true}, {"Meiryo", false}}));
  EXPECT_EQ(f.findings, (std::vector<std::string>{kFindingFonts, kFindingTransparency}));
  ASSERT_EQ(f.artboards.size(), 1u);  // the page outranks the native data's artboard
  EXPECT_EQ(MmText(f.artboards[0].widthMm), "210.0");
  EXPECT_EQ(MmText(f.artboards[0].bleedMm->left), "3.0");
  EXPECT_EQ(f.artboards[0].source, Source::kPdf);
  ASSERT_EQ(f.placed.size(), 1u);
  EXPECT_EQ(f.placed[0].source, Source::kPdf);
  EXPECT_EQ(f.placed[0].colorBase, "CMYK");
  EXPECT_EQ(f.placed[0].placedWidthPt, 72);
  EXPECT_EQ(f.outputIntent, "Japan Color 2001 Coated");

  // A placeholder, a damaged or an encrypted layer: its state only.
  for (const PdfLayer state : {PdfLayer::kPlaceholder, PdfLayer::kUnreadable, PdfLayer::kEncrypted}) {
    pdf.state = state;
    CheckFacts g;
    AddPdfLayer(g, pdf);
    EXPECT_EQ(g.pdfLayer, state);
    EXPECT_TRUE(g.artboards.empty() && g.fonts.empty() && g.placed.empty() && !g.outputIntent);
  }
}

TEST(PdfLayer, CorpusPagesAndPlaceholder) {
  if (!::e2e::CorpusPresent()) GTEST_SKIP() << ::e2e::kNoCorpus;
  const PdfLayerFacts cards = ReadPdfLayer(::e2e::SamplePath(PELMORA_CORPUS, "002-kghashimoto-untitled1.ai"), false);
  EXPECT_EQ(cards.state, PdfLayer::kRead);
  EXPECT_EQ(cards.pages.size(), 8u);
  EXPECT_EQ(cards.fonts.size(), 5u);
  const PdfLayerFacts logo = ReadPdfLayer(::e2e::SamplePath(PELMORA_CORPUS, "043-omajime-logo.ai"), false);
  EXPECT_EQ(logo.state, PdfLayer::kPlaceholder);
  // Not PDF-based at all: no PDF there for qpdf to find.
  EXPECT_EQ(ReadPdfLayer(::e2e::SamplePath(PELMORA_CORPUS, "009-php-logo.ai"), false).state, PdfLayer::kUnreadable);
}

}  // namespace
}  // namespace pelmora::preflight
