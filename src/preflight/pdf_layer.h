#pragma once
// The PDF layer of a PDF-based Illustrator document: what a print shop's RIP will print. Its pages
// are the artboards, with their trim and bleed boxes; its font resources say which fonts are
// embedded; its images are drawn at sizes that give their effective resolution. Read with qpdf,
// which parses the objects; the pages' drawing instructions go through ContentInterpreter piece
// by piece, and no image's data is ever decoded.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/document_file.h"
#include "preflight/preflight.h"

namespace pelmora::preflight {

// Bounds on what a stranger's PDF may make the reader do; past one, what is known so far is kept
// and the facts are marked cut.
inline constexpr std::size_t kPdfObjects = 500'000;  // qpdf keeps about 80 bytes for each
inline constexpr std::int64_t kPdfRebuiltBytes = 8 * 1024 * 1024;  // a damaged xref is rebuilt up to this size
inline constexpr std::size_t kPdfPages = 10'000;
inline constexpr std::size_t kPdfPageTreeDepth = 64;
inline constexpr int kPdfFormDepth = 16;           // form XObjects inside form XObjects
inline constexpr std::size_t kPdfForms = 100'000;  // form XObjects interpreted per document
inline constexpr std::size_t kPdfImages = 10'000;  // images listed per document
inline constexpr std::size_t kPdfFonts = 2'000;
inline constexpr std::uint64_t kPdfContentBytes = std::uint64_t{1} << 30;  // decoded drawing instructions
inline constexpr std::size_t kPdfWarnings = 100'000;  // qpdf's complaints before the layer counts as unreadable

struct PdfPage {
  double widthPt = 0, heightPt = 0;  // the trim box as the page is shown (its /Rotate applied)
  Bleed bleedPt;                     // the bleed box beyond the trim box, by the shown sides
  int rotate = 0;
};

struct PdfFont {
  std::string name;  // UTF-8, without a subset's "ABCDEF+" prefix
  bool embedded = false;
  bool subset = false;
  bool operator==(const PdfFont&) const = default;
};

struct PdfImage {
  int page = 0;  // 1-based
  std::optional<long long> widthPx, heightPx;
  std::optional<std::string> color, colorBase;  // as Placed
  std::optional<int> bits;
  double drawnWidthPt = 0, drawnHeightPt = 0;  // the unit square's sides as drawn
  std::optional<double> ppiX, ppiY;
};

struct PdfLayerFacts {
  PdfLayer state = PdfLayer::kNone;
  std::vector<PdfPage> pages;
  std::vector<PdfFont> fonts;
  std::vector<PdfImage> images;
  std::optional<std::string> outputIntent;
  bool nativeData = false;  // Illustrator's own data is there (/PieceInfo /Illustrator /Private)
  bool cut = false;         // a bound was reached, or a page's content broke off
  std::size_t warnings = 0; // qpdf's, counted and never shown
};

// The PDF layer of the document (after a MacBinary header's 128 bytes where `macBinary`). Throws
// RunError only when reading the document fails; a damaged or encrypted PDF gives its state with
// no facts.
PdfLayerFacts ReadPdfLayer(const analysis::DocumentPath& document, bool macBinary);

// The same over a PDF in memory (tests, the fuzz target).
PdfLayerFacts ReadPdfLayerBytes(std::string_view pdf);

// Puts the PDF layer's facts into the check: its pages replace any other artboards, its fonts say
// whether they are embedded, each image it draws is one placed image (source "pdf"). A placeholder
// page, a damaged or an encrypted layer give only their state.
void AddPdfLayer(CheckFacts& facts, const PdfLayerFacts& pdf);

}  // namespace pelmora::preflight
