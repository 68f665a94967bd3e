#pragma once
// The picture a document carries of itself, for a report to show beside its facts: the XMP
// thumbnail of an Illustrator document, the TIFF of a DOS EPS, or an EPSI preview. Only what the
// document holds is shown; nothing is rendered.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pelmora::preflight {

struct Thumbnail {
  std::string mime;   // "image/jpeg" or "image/png"
  std::string bytes;  // the file's bytes
};

// Previews are scaled down to this many pixels on their longer side.
inline constexpr int kThumbnailPixels = 240;

// The document's thumbnail, or nothing where it has none or it cannot be read. Bounded in what it
// reads and decodes, whatever the document claims. Throws RunError when the document cannot be read.
std::optional<Thumbnail> ReadThumbnail(const std::filesystem::path& document);

// The parts, for tests and fuzzing:
// the base64 JPEG of an XMP packet's first thumbnail (xmpGImg:image), checked to be a JPEG;
std::optional<Thumbnail> XmpThumbnail(std::string_view packet);
// an EPSI preview (from "%%BeginPreview:" on) as PNG;
std::optional<Thumbnail> EpsiThumbnail(std::string_view text);
// a TIFF (a DOS EPS's preview section) as PNG.
std::optional<Thumbnail> TiffThumbnail(std::string_view tiff);

}  // namespace pelmora::preflight
