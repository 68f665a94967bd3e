#pragma once
// A placed image file's own facts (type, pixels, colour, depth, resolution, profile) read from its
// header alone: the pixels are never decoded, and no file costs more than kImageHeaderBytes of
// reading however it is built. The type comes from the content; the name's extension is ignored.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "preflight/preflight.h"

namespace pelmora::preflight {

// Bytes read from one file at most, in every reader together.
inline constexpr std::size_t kImageHeaderBytes = 1 << 20;
// What is read at once from the start: enough for nearly every header in one read.
inline constexpr std::size_t kImageHeadBytes = 64 * 1024;

// Where the bytes come from: a file opened from the delivery, or memory.
class ImageBytes {
 public:
  virtual ~ImageBytes() = default;
  virtual std::uint64_t Size() const = 0;
  // Up to `size` bytes from `offset`; fewer at the end, none after a failure.
  virtual std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;
};

class MemoryBytes final : public ImageBytes {
 public:
  explicit MemoryBytes(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;

 private:
  std::string_view bytes_;
};

struct ImageHeader {
  ImageFile file;  // type "" when the content is of no kind known here
  std::optional<long long> widthPx, heightPx;
  std::optional<std::string> color;  // the names Placed::color uses
  std::string problem;               // UTF-8: why facts are missing (a library's message, a cut file)
};

// The file's kind by its first bytes: "TIFF", "JPEG", "PNG", "PSD", "PSB", "EPS", "PDF", "AI",
// "GIF", "BMP", or "" for anything else.
std::string_view SniffImageType(std::string_view head);

ImageHeader ReadImageHeader(ImageBytes& bytes);

// The description an ICC profile gives itself ('desc', v2 text or v4 multi-language), if any.
std::optional<std::string> IccDescription(std::string_view profile);

}  // namespace pelmora::preflight
