#pragma once
// Illustrator's native data: the document as Illustrator itself reads it back, with every font it
// sets, its colour model, its artboard and each file it places. In a PDF-based document it lies in
// the /AIPrivateData streams of the /Illustrator /Private dictionary, compressed with zlib or zstd;
// in an EPS from CS on it is the "%AI9_DataStream" comment block (ASCII85 of zlib data); an
// Illustrator 8 document is native data itself. The data is inflated piece by piece into a line
// scanner and never held whole: tens of megabytes of art cost time, not memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/document_file.h"
#include "preflight/preflight.h"

namespace pelmora::preflight {

// Decoded bytes read at most per document; the rest is left unread and the facts that lie after
// it unknown.
inline constexpr std::uint64_t kNativeDecodedBytes = std::uint64_t{1} << 30;
// A stream inflating to more than this many times its compressed size (plus kNativeRatioSlack) is
// taken for a decompression bomb: zlib itself stops near 1032, only zstd goes beyond.
inline constexpr std::uint64_t kNativeRatio = 1032;
inline constexpr std::uint64_t kNativeRatioSlack = 16 * 1024 * 1024;
// Objects of a PDF-based document looked at, and /AIPrivateData blocks taken, at most.
inline constexpr std::size_t kNativeObjects = 4'000'000;
inline constexpr std::size_t kNativeBlocks = 100'000;
// Stream objects (and integer objects, for lengths given by reference) remembered at most.
inline constexpr std::size_t kNativeStreams = 100'000;
// Bytes kept of one line; longer lines (image data, ASCII85) are skipped past.
inline constexpr std::size_t kNativeLineBytes = 16 * 1024;
// Names kept per list, bytes per name (a longer one is no name but garbage), and placements.
inline constexpr std::size_t kNativeNames = 600;
inline constexpr std::size_t kNativeNameBytes = 1024;
inline constexpr std::size_t kNativePlacements = 10'000;
// Illustrator allows 1,000 artboards.
inline constexpr std::size_t kNativeArtboards = 1000;

struct NativePlacement {
  std::string name;  // UTF-8 as written in the placement, voiced-sound marks and all
  std::optional<double> widthPt, heightPt;  // the size it is drawn at: the box scaled, rotation included
};

enum class NativeFormat { kNone, kPlain, kZlib, kZstd, kDataStream };

// The facts the native data gives. Values are UTF-8.
struct NativeFacts {
  NativeFormat format = NativeFormat::kNone;  // kNone: no native data found
  bool damaged = false;      // the data broke off (bad stream, bound reached): what follows is unknown
  bool headerRead = false;   // its header comments ended: fonts and colour model are as complete as it says
  bool artRead = false;      // the art was read to its end: the spot colours used are known
  bool illustrator = false;  // a comment of Illustrator's own ("%AI...") was seen
  bool cut = false;          // a list was longer than kNativeNames, or a line than kNativeLineBytes
  std::uint64_t decodedBytes = 0;
  std::vector<std::string> fonts;          // %%DocumentFonts, without a CMap suffix
  std::optional<int> colourModel;          // %AI9_ColorModel: 1 RGB, 2 CMYK
  std::optional<std::array<double, 4>> cropmarks;  // %AI3_Cropmarks
  std::optional<std::array<double, 4>> boundingBox;  // its %%HiResBoundingBox, else %%BoundingBox
  // The artboards' dictionaries (PositionPoint1 and 2), width and height in points, in their
  // order; and the document's bleed (BleedLeftValue ...), left, right, top, bottom in points.
  std::vector<std::array<double, 2>> artboards;
  std::optional<std::array<double, 4>> bleed;
  std::vector<NativePlacement> placements;
  std::vector<std::string> spotColours;    // spot colours the art paints with (see the README)

  // Of any PostScript document, native data or not: fonts its body asks the printer for
  // ("%%IncludeResource: font"), and a Photoshop EPS's own image ("%ImageData:").
  std::vector<std::string> includedFonts;
  struct ImageData {
    long long widthPx = 0, heightPx = 0;
    int bits = 0;
    std::string color;  // "Gray", "Bitmap", "Lab", "RGB", "CMYK"
  };
  std::optional<ImageData> imageData;
  // And the colourants its body sets up literally as Separation or DeviceN colour spaces
  // ("[/Separation (PANTONE 109 C) ..."), other than the process ones, All and None: another
  // writer's EPS names its spot colours nowhere else.
  std::vector<std::string> bodyColourants;
};

// The document's native data, or format kNone without any. Throws RunError when a read of the
// document fails; a damaged stream only ends what is known.
NativeFacts ReadNativeData(const analysis::DocumentPath& document);

// The same scan over native data already decoded (tests, the fuzz target and the benchmark).
NativeFacts ScanNativeText(std::string_view text);

// The font's name without an Illustrator CMap suffix ("KozGoPr6N-Regular-90ms-RKSJ-H" gives
// "KozGoPr6N-Regular").
std::string FontWithoutCMap(std::string_view name);

// The colourants named in PostScript text outside its procsets, as NativeFacts::bodyColourants.
// Text comes in pieces; what a piece ends in is looked at with the next.
class ColourantScan {
 public:
  explicit ColourantScan(std::vector<std::string>& out, bool& cut) : out_(out), cut_(cut) {}
  void Put(std::string_view bytes);
  void Finish();

 private:
  void Search(std::string_view text, std::size_t until);  // colour spaces that start before `until`
  std::vector<std::string>& out_;
  bool& cut_;
  std::string tail_;
  bool inProcset_ = false;
};

// Adds what the native data knows to facts merged from the comments and XMP: its fonts and colour
// model (the data outranks the hints), the EPS artboard (crop marks, else the bounding box),
// spot colours in place of the palette's, and one linked placement per %AI5_BeginPlace.
void AddNativeData(CheckFacts& facts, const NativeFacts& native, bool pdfBased);

}  // namespace pelmora::preflight
