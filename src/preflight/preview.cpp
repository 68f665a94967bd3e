#include "preflight/preview.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <png.h>
#include <pugixml.hpp>
#include <tiffio.h>

#include "analysis/document_file.h"
#include "analysis/xmp_packet.h"

namespace pelmora::preflight {

namespace {

// Bounds on what a stranger's preview may cost.
constexpr std::size_t kJpegBytes = 1024 * 1024;
constexpr std::size_t kTiffBytes = 16 * 1024 * 1024;
constexpr std::uint64_t kPreviewPixels = 4096ull * 4096;
constexpr std::size_t kEpsiSearchBytes = 1024 * 1024;
constexpr std::size_t kDosHeader = 30;

// 8-bit RGB, row after row.
struct Rgb {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
};

std::optional<std::string> Base64(std::string_view text, std::size_t most) {
  std::string out;
  std::uint32_t bits = 0;
  int held = 0;
  for (const char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=' || c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
    else return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(static_cast<char>((bits >> held) & 0xFF));
      if (out.size() > most) return std::nullopt;
    }
  }
  return out;
}

// The longer side at most kThumbnailPixels, by sampling: a thumbnail needs no filter.
Rgb ScaledDown(const Rgb& in) {
  const int longer = std::max(in.width, in.height);
  if (longer <= kThumbnailPixels) return in;
  Rgb out;
  out.width = std::max(1, static_cast<int>(static_cast<long long>(in.width) * kThumbnailPixels / longer));
  out.height = std::max(1, static_cast<int>(static_cast<long long>(in.height) * kThumbnailPixels / longer));
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  for (int y = 0; y < out.height; ++y) {
    const int sy = static_cast<int>(static_cast<long long>(y) * in.height / out.height);
    for (int x = 0; x < out.width; ++x) {
      const int sx = static_cast<int>(static_cast<long long>(x) * in.width / out.width);
      std::memcpy(&out.pixels[(static_cast<std::size_t>(y) * out.width + x) * 3],
                  &in.pixels[(static_cast<std::size_t>(sy) * in.width + sx) * 3], 3);
    }
  }
  return out;
}

std::optional<Thumbnail> Png(const Rgb& image) {
  if (image.width <= 0 || image.height <= 0) return std::nullopt;
  const Rgb small = ScaledDown(image);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  Thumbnail out{"image/png", {}};
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return std::nullopt;
  }
  png_set_write_fn(
      png, &out.bytes,
      [](png_structp p, png_bytep data, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(small.width), static_cast<png_uint_32>(small.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < small.height; ++y) {
    png_write_row(png, const_cast<png_bytep>(&small.pixels[static_cast<std::size_t>(y) * small.width * 3]));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// libtiff reads from memory through these; the buffer outlives the TIFF handle.
struct MemoryTiff {
  std::string_view bytes;
  toff_t at = 0;
};

tsize_t TiffRead(thandle_t h, tdata_t data, tsize_t size) {
  auto* m = static_cast<MemoryTiff*>(h);
  if (m->at >= m->bytes.size() || size <= 0) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), m->bytes.size() - m->at);
  std::memcpy(data, m->bytes.data() + m->at, n);
  m->at += n;
  return static_cast<tsize_t>(n);
}
tsize_t TiffWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<MemoryTiff*>(h);
  const toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : m->bytes.size();
  m->at = base + offset;
  return m->at;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<MemoryTiff*>(h)->bytes.size(); }
int TiffMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void TiffUnmap(thandle_t, tdata_t, toff_t) {}

}  // namespace

std::optional<Thumbnail> XmpThumbnail(std::string_view packet) {
  pugi::xml_document doc;
  // No document type processing: a stranger's entities are never expanded.
  if (!doc.load_buffer(packet.data(), packet.size(), pugi::parse_default & ~pugi::parse_doctype)) return std::nullopt;
  struct Finder : pugi::xml_tree_walker {
    pugi::xml_node found;
    bool for_each(pugi::xml_node& node) override {
      const std::string_view name = node.name();
      const std::size_t colon = name.find(':');
      if (colon != std::string_view::npos && name.substr(colon + 1) == "image") {
        // Only the graphics-image schema's property is a picture.
        const std::string_view prefix = name.substr(0, colon);
        if (prefix == "xmpGImg" || prefix == "xapGImg") {
          found = node;
          return false;
        }
      }
      return true;
    }
  } finder;
  doc.traverse(finder);
  if (!finder.found) return std::nullopt;
  const auto jpeg = Base64(finder.found.text().get(), kJpegBytes);
  if (!jpeg || jpeg->size() < 4 || static_cast<unsigned char>((*jpeg)[0]) != 0xFF ||
      static_cast<unsigned char>((*jpeg)[1]) != 0xD8) {
    return std::nullopt;
  }
  return Thumbnail{"image/jpeg", *jpeg};
}

std::optional<Thumbnail> EpsiThumbnail(std::string_view text) {
  constexpr std::string_view kBegin = "%%BeginPreview:";
  const std::size_t begin = text.find(kBegin);
  if (begin == std::string_view::npos) return std::nullopt;
  std::size_t at = begin + kBegin.size();
  long long n[4] = {};
  for (long long& v : n) {
    while (at < text.size() && text[at] == ' ') ++at;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9) v = v * 10 + (text[at++] - '0');
    if (at == start) return std::nullopt;
  }
  const long long width = n[0], height = n[1], depth = n[2];
  if (width <= 0 || height <= 0 || static_cast<std::uint64_t>(width) * height > kPreviewPixels ||
      (depth != 1 && depth != 2 && depth != 4 && depth != 8)) {
    return std::nullopt;
  }
  const std::size_t rowBytes = static_cast<std::size_t>((width * depth + 7) / 8);
  const std::size_t need = rowBytes * static_cast<std::size_t>(height);
  std::vector<unsigned char> data;
  data.reserve(need);
  const std::size_t end = text.find("%%EndPreview", at);
  // Every character that is no hex digit is passed over, as readhexstring would.
  int high = -1;
  for (std::size_t i = at; i < std::min(end, text.size()) && data.size() < need; ++i) {
    const char c = text[i];
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      data.push_back(static_cast<unsigned char>(high << 4 | v));
      high = -1;
    }
  }
  if (data.size() < need) return std::nullopt;
  Rgb image{static_cast<int>(width), static_cast<int>(height), {}};
  image.pixels.resize(static_cast<std::size_t>(width) * height * 3);
  const int most = (1 << depth) - 1;
  for (long long y = 0; y < height; ++y) {
    for (long long x = 0; x < width; ++x) {
      const std::size_t bit = static_cast<std::size_t>(x * depth);
      const unsigned char byte = data[static_cast<std::size_t>(y) * rowBytes + bit / 8];
      const int sample = (byte >> (8 - depth - bit % 8)) & most;
      // In a preview 0 is white and the largest value black, the reverse of setgray.
      const auto grey = static_cast<unsigned char>(255 - sample * 255 / most);
      std::memset(&image.pixels[(static_cast<std::size_t>(y) * width + x) * 3], grey, 3);
    }
  }
  return Png(image);
}

std::optional<Thumbnail> TiffThumbnail(std::string_view tiff) {
  // A stranger's TIFF says nothing on a terminal: libtiff's messages are dropped.
  TIFFSetErrorHandler(nullptr);
  TIFFSetWarningHandler(nullptr);
  MemoryTiff m{tiff};
  TIFF* t = TIFFClientOpen("preview", "rm", &m, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap, TiffUnmap);
  if (!t) return std::nullopt;
  std::uint32_t width = 0, height = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
  std::optional<Thumbnail> out;
  if (width > 0 && height > 0 && static_cast<std::uint64_t>(width) * height <= kPreviewPixels) {
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * height);
    if (TIFFReadRGBAImageOriented(t, width, height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      Rgb image{static_cast<int>(width), static_cast<int>(height), {}};
      image.pixels.resize(raster.size() * 3);
      for (std::size_t i = 0; i < raster.size(); ++i) {
        image.pixels[i * 3] = static_cast<unsigned char>(TIFFGetR(raster[i]));
        image.pixels[i * 3 + 1] = static_cast<unsigned char>(TIFFGetG(raster[i]));
        image.pixels[i * 3 + 2] = static_cast<unsigned char>(TIFFGetB(raster[i]));
      }
      out = Png(image);
    }
  }
  TIFFClose(t);
  return out;
}

std::optional<Thumbnail> ReadThumbnail(const std::filesystem::path& document) {
  const auto reader = analysis::OpenDocument(document);
  std::string head;
  std::array<char, 64 * 1024> block;
  // The start: a DOS EPS's table of contents, or an EPSI preview right after the comments.
  while (head.size() < kEpsiSearchBytes) {
    const std::size_t n = reader->Read(block.data(), std::min(block.size(), kEpsiSearchBytes - head.size()));
    if (n == 0) break;
    head.append(block.data(), n);
  }
  if (head.size() >= kDosHeader && static_cast<unsigned char>(head[0]) == 0xC5 && static_cast<unsigned char>(head[1]) == 0xD0 &&
      static_cast<unsigned char>(head[2]) == 0xD3 && static_cast<unsigned char>(head[3]) == 0xC6) {
    const auto le32 = [&](std::size_t at) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(head[at])) |
             static_cast<std::uint32_t>(static_cast<unsigned char>(head[at + 1])) << 8 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(head[at + 2])) << 16 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(head[at + 3])) << 24;
    };
    const std::uint32_t offset = le32(20), length = le32(24);
    if (offset >= kDosHeader && length > 0 && length <= kTiffBytes) {
      // The reader goes forward only: what lies before the preview is read past.
      std::string tiff;
      std::uint64_t at = head.size();
      if (offset < head.size()) tiff = head.substr(offset, length);
      while (tiff.size() < length) {
        const std::size_t n = reader->Read(block.data(), block.size());
        if (n == 0) break;
        const std::uint64_t start = at;
        at += n;
        if (at <= offset) continue;
        const std::size_t from = start < offset ? static_cast<std::size_t>(offset - start) : 0;
        tiff.append(block.data() + from, std::min<std::size_t>(n - from, length - tiff.size()));
      }
      if (tiff.size() == length) {
        if (auto t = TiffThumbnail(tiff)) return t;
      }
    }
  }
  if (auto epsi = EpsiThumbnail(head)) return epsi;
  const auto packet = analysis::FindXmpPacket(document);
  if (packet && !packet->tooLong) return XmpThumbnail(packet->text);
  return std::nullopt;
}

}  // namespace pelmora::preflight
