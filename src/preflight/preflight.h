#pragma once
// What a print shop asks of each incoming document (入稿チェック): fonts still to outline, RGB or
// CMYK, spot colours, size, transparency, and whether the document is an Illustrator one at all.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/dsc_comments.h"
#include "analysis/xmp_packet.h"
#include "delivery/image_collect.h"

namespace pelmora::preflight {

// The findings, one short word each, in the order they are listed.
inline constexpr const char* kFindingFonts = "未アウトライン";
inline constexpr const char* kFindingRgb = "RGB";
inline constexpr const char* kFindingSpot = "特色";
inline constexpr const char* kFindingTransparency = "透明効果";
inline constexpr const char* kFindingMissingLinks = "リンク切れ";
inline constexpr const char* kFindingNameVariant = "表記ゆれ";  // a link found only under another form of its name
inline constexpr const char* kFindingPostScript = "PostScript";
inline constexpr const char* kFindingBleed = "塗り足し不足";
inline constexpr const char* kFindingLowResolution = "低解像度";
inline constexpr const char* kFindingRgbImage = "RGB画像";

// Where a figure comes from. The document's own data (Illustrator's native data, its PDF layer, a
// linked file's header) is the truth; the header comments and XMP are hints.
enum class Source { kUnknown, kNative, kPdf, kComments, kXmp, kFile };
const char* SourceKey(Source source);  // JSON: "native", "pdf", "comments", "xmp", "file"; null for unknown

// What the findings are measured against (--min-bleed, --min-ppi).
struct Thresholds {
  double minBleedMm = 3.0;
  double minPpi = 300;  // 1-bit images need twice as much: their edges are the pixels' own
};

struct Bleed {
  double left = 0, right = 0, top = 0, bottom = 0;
};

struct Artboard {
  double widthMm = 0, heightMm = 0;
  std::optional<Bleed> bleedMm;  // none where the document says nothing of bleed
  Source source = Source::kUnknown;
};

struct Font {
  std::string name;
  std::optional<bool> embedded;  // known from a PDF layer only
  bool operator==(const Font&) const = default;
};

// A linked file's own header, read without decoding its pixels.
struct ImageFile {
  std::string type;  // "TIFF", "JPEG", "PNG", "PSD", "PSB", "EPS", "PDF", "AI", ...
  std::optional<int> bits;
  std::optional<std::string> icc;  // the embedded profile's description
  std::optional<double> ownPpiX, ownPpiY;
  std::optional<std::string> problem;  // why some facts are missing: unreadable, cut short, damaged
};

// One image the document draws, linked or embedded.
struct Placed {
  std::optional<std::string> name;  // UTF-8; none for an embedded image without one
  bool linked = false;
  std::optional<long long> widthPx, heightPx;
  std::optional<std::string> color;  // "RGB", "CMYK", "Gray", "Indexed", "Lab", "Bitmap", "Multichannel", "Duotone"
  std::optional<std::string> colorBase;  // an indexed image's palette: "RGB", "CMYK", ...
  std::optional<int> bits;           // per component; 1 for a bitmap
  std::optional<double> ppiX, ppiY;  // effective: pixels × 72 ÷ the size in points it is drawn at
  std::optional<double> placedWidthPt, placedHeightPt;  // the size it is drawn at, rotation included
  std::optional<int> page;           // 1-based, where the PDF layer draws it
  Source source = Source::kUnknown;  // where the pixels, colour and resolution come from
  std::optional<ImageFile> file;     // the linked file, where it was found and read
};

// An image's pixels, colour and resolution as drawn, from whichever reading has them (the PDF
// layer's image, or another entry's).
template <typename Image>
void TakePixels(Placed& p, const Image& image, Source source) {
  p.widthPx = image.widthPx;
  p.heightPx = image.heightPx;
  p.color = image.color;
  p.colorBase = image.colorBase;
  p.bits = image.bits;
  p.ppiX = image.ppiX;
  p.ppiY = image.ppiY;
  p.source = source;
}

// What became of a PDF-based document's PDF layer. Illustrator saves a document without "PDF
// compatible" content with a placeholder page asking to save it again; its page is not the art.
enum class PdfLayer { kNone, kRead, kPlaceholder, kUnreadable, kEncrypted };
const char* PdfLayerKey(PdfLayer layer);  // JSON: "read", "placeholder", "unreadable", "encrypted"; null for none

// Values in UTF-8; absent ones stay empty, so that JSON can say null.
struct CheckFacts {
  std::vector<Font> fonts;
  std::optional<std::string> colourModel;  // "RGB", "CMYK" (or "Gray")
  std::vector<std::string> processColours, spotColours;
  std::optional<double> widthMm, heightMm;  // the art's bounding box
  std::vector<Artboard> artboards;          // in page order
  std::vector<Placed> placed;
  std::optional<bool> transparency;
  PdfLayer pdfLayer = PdfLayer::kNone;
  std::optional<std::string> outputIntent;  // the PDF layer's output intent (its profile's name)
  bool illustrator = false;  // the document carries a marker of Illustrator's own
  bool cut = false;          // a list was cut short (see the analysis' limits)
  struct Link {
    std::string name;   // merged (MergeLinkNames)
    delivery::ImageLocation::Status status = delivery::ImageLocation::Status::kMissing;
    std::string found;  // the file, where found
    delivery::NameMatch how = delivery::NameMatch::kNone;
  };
  std::vector<Link> links;
  std::vector<std::string> findings;
};

// The XMP packet's facts, or nothing without a readable packet. Throws RunError when a read fails.
std::optional<analysis::XmpFacts> ReadXmpFacts(const std::filesystem::path& document);

// True when the window's list defers the names to the trailer ("(atend)"), which only the
// comments' reader reaches.
bool ListAtEnd(const std::vector<std::wstring>& header);

// The window's list of names (decoded) merged with the manifest's linked paths. Where the list is
// "(atend)", `dsc` (when read) gives the trailer's names in its place; otherwise the names `dsc`
// found that the window's list lacks follow it (a long line may have hidden them from the window).
std::vector<std::wstring> LinkNames(const std::vector<std::wstring>& header, const analysis::DscFacts* dsc,
                                    const std::optional<analysis::XmpFacts>& xmp);

// Each link's status, found the way --collect finds it.
std::vector<CheckFacts::Link> LocateLinks(const std::filesystem::path& document, const std::vector<std::wstring>& names,
                                          const delivery::Delivery& delivery);

// Words for the table and JSON.
const char* StatusText(delivery::ImageLocation::Status status);  // Japanese, for the table
const char* StatusKey(delivery::ImageLocation::Status status);   // JSON

// Both sources merged: the header comments first, then what only the XMP packet names.
// `kind` and `creator` are the scan's (the window program's) answers.
CheckFacts MergeFacts(const analysis::DscFacts& dsc, const std::optional<analysis::XmpFacts>& xmp,
                      const std::string& kind, const std::string& creator, std::vector<CheckFacts::Link> links = {});

// What the operator does about a finding, in one line of Japanese; "" for a word it does not know.
const char* FindingAdvice(std::string_view finding);

// The findings that need the artboards and the drawn images: 塗り足し不足, 低解像度, RGB画像.
// Appended once each, after those MergeFacts gives.
void AddDrawnFindings(CheckFacts& facts, const Thresholds& limits);

// "210.0", to a tenth of a millimetre.
std::string MmText(double mm);

// The size column: the first artboard (with "+N" for more), else the art's box; "" without a size.
std::string SizeText(const CheckFacts& facts);

}  // namespace pelmora::preflight
