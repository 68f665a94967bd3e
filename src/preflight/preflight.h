#pragma once
// What a print shop asks of each incoming document (入稿チェック): fonts still to outline, RGB or
// CMYK, spot colours, size, transparency, and whether the document is an Illustrator one at all.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/dsc_comments.h"
#include "analysis/xmp_packet.h"
#include "delivery/image_collect.h"

namespace pelmora::preflight {

// The findings, one short word each, in the order they are listed.
inline constexpr const char* kFindingFonts = "未アウトライン";
inline constexpr const char* kFindingRgb = "RGB";
inline constexpr const char* kFindingSpot = "特色";
inline constexpr const char* kFindingTransparency = "透明";
inline constexpr const char* kFindingMissingLinks = "リンク切れ";
inline constexpr const char* kFindingNameVariant = "表記ゆれ";  // a link found only under another form of its name
inline constexpr const char* kFindingPostScript = "PostScript";

// Values in UTF-8; absent ones stay empty, so that JSON can say null.
struct CheckFacts {
  std::vector<std::string> fonts;
  std::optional<std::string> colourModel;  // "RGB" or "CMYK"
  std::vector<std::string> processColours, spotColours;
  std::optional<double> widthMm, heightMm;
  std::optional<bool> transparency;
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

// "210.0", to a tenth of a millimetre.
std::string MmText(double mm);

// "210.0×297.0", or "" without a size.
std::string SizeText(const CheckFacts& facts);

}  // namespace pelmora::preflight
