#include "preflight/image_header.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "base/text_utf8.h"

namespace pelmora::preflight {

namespace {

constexpr std::size_t kProblemChars = 200;
// The reasons of our own; a library's are passed on in its words.
constexpr const char* kCut = "ヘッダーの途中でファイルが終わっています";
constexpr const char* kInvalid = "ヘッダーが正しくありません";
constexpr std::size_t kIccBytes = 512 * 1024;  // a profile larger than this is no printing profile
constexpr int kPsdResources = 4096;

std::uint32_t Be32(const unsigned char* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
std::uint16_t Be16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
const unsigned char* U(const char* p) { return reinterpret_cast<const unsigned char*>(p); }

// Every reader reads through this: the start is read once and served from memory, and what any
// reader asks beyond it counts against kImageHeaderBytes, past which nothing more is read.
class Budget {
 public:
  explicit Budget(ImageBytes& bytes) : bytes_(bytes), size_(bytes.Size()) {
    head_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size_, kImageHeadBytes)));
    head_.resize(bytes_.ReadAt(0, head_.data(), head_.size()));
    spent_ = head_.size();
  }
  std::uint64_t size() const { return size_; }
  std::string_view head() const { return head_; }
  bool exhausted() const { return exhausted_; }

  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
    std::size_t done = 0;
    if (offset < head_.size()) {
      done = std::min<std::size_t>(size, head_.size() - static_cast<std::size_t>(offset));
      std::memcpy(buffer, head_.data() + offset, done);
      if (done == size || head_.size() == size_) return done;
    }
    const std::size_t left = kImageHeaderBytes - spent_;
    std::size_t want = size - done;
    if (want > left) {
      exhausted_ = true;
      want = left;
    }
    const std::size_t got = want == 0 ? 0 : bytes_.ReadAt(offset + done, buffer + done, want);
    spent_ += got;
    return done + got;
  }

 private:
  ImageBytes& bytes_;
  std::uint64_t size_;
  std::string head_;
  std::size_t spent_ = 0;
  bool exhausted_ = false;
};

std::string Problem(std::string_view text) {
  std::string out = base::ValidUtf8(text.substr(0, std::min(text.size(), kProblemChars)));
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ' || out.back() == '.')) out.pop_back();
  return out;
}

void SetPpi(ImageHeader& h, double x, double y) {
  // A resolution nobody could mean (0, negative, NaN, absurd) is none.
  const auto sane = [](double v) { return std::isfinite(v) && v >= 1 && v <= 1e6; };
  if (sane(x) && sane(y)) {
    h.file.ownPpiX = x;
    h.file.ownPpiY = y;
  }
}

void SetColour(ImageHeader& h, const char* colour) {
  // A one-bit image is a bitmap whatever its format calls it.
  if (h.file.bits == 1 && std::string_view(colour) == "Gray") colour = "Bitmap";
  h.color = colour;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// ---- Photoshop image resources (PSD, PSB, and a JPEG's APP13) ----

void ReadResources(std::string_view r, ImageHeader& h) {
  std::size_t at = 0;
  for (int n = 0; n < kPsdResources && at + 12 <= r.size(); ++n) {
    const std::string_view sig = r.substr(at, 4);
    if (sig != "8BIM" && sig != "MeSa" && sig != "AgHg" && sig != "PHUT" && sig != "DCSR") return;
    const std::uint16_t id = Be16(U(r.data() + at + 4));
    const std::size_t nameLength = static_cast<unsigned char>(r[at + 6]);
    std::size_t p = at + 6 + ((nameLength + 2) & ~std::size_t{1});  // the Pascal name, padded to even
    if (p + 4 > r.size()) return;
    const std::size_t size = Be32(U(r.data() + p));
    p += 4;
    if (size > r.size() - p) return;  // cut off by the read bound
    const std::string_view data = r.substr(p, size);
    if (id == 0x03ED && data.size() >= 16) {
      // ResolutionInfo: fixed-point pixels per inch whatever unit Photoshop shows them in.
      SetPpi(h, Be32(U(data.data())) / 65536.0, Be32(U(data.data() + 8)) / 65536.0);
    } else if (id == 0x040F) {
      h.file.icc = IccDescription(data);
    }
    at = p + size + (size & 1);
  }
}

const char* PsdColour(std::uint16_t mode) {
  switch (mode) {
    case 0: return "Bitmap";
    case 1: return "Gray";
    case 2: return "Indexed";
    case 3: return "RGB";
    case 4: return "CMYK";
    case 7: return "Multichannel";
    case 8: return "Duotone";
    case 9: return "Lab";
  }
  return nullptr;
}

void ReadPsd(Budget& in, ImageHeader& h) {
  char head[26];
  if (in.ReadAt(0, head, sizeof head) < sizeof head) {
    h.problem = kCut;
    return;
  }
  const unsigned char* b = U(head);
  const std::uint16_t channels = Be16(b + 12), depth = Be16(b + 22), mode = Be16(b + 24);
  const std::uint32_t height = Be32(b + 14), width = Be32(b + 18);
  const bool psb = Be16(b + 4) == 2;
  const std::uint32_t maxSide = psb ? 300000 : 30000;
  if (channels < 1 || channels > 56 || width < 1 || height < 1 || width > maxSide || height > maxSide ||
      (depth != 1 && depth != 8 && depth != 16 && depth != 32) || !PsdColour(mode)) {
    h.problem = kInvalid;
    return;
  }
  h.widthPx = width;
  h.heightPx = height;
  h.file.bits = depth;
  h.color = PsdColour(mode);
  // The colour mode data (a palette, duotone curves), then the image resources.
  char length[4];
  if (in.ReadAt(26, length, 4) < 4) {
    h.problem = kCut;
    return;
  }
  const std::uint64_t resourcesAt = 26 + 4 + std::uint64_t{Be32(U(length))};
  if (in.ReadAt(resourcesAt, length, 4) < 4) {
    h.problem = kCut;
    return;
  }
  const std::uint64_t resourcesSize = std::min<std::uint64_t>(Be32(U(length)), in.size() - std::min(in.size(), resourcesAt + 4));
  std::string resources(static_cast<std::size_t>(std::min<std::uint64_t>(resourcesSize, kImageHeaderBytes)), '\0');
  resources.resize(in.ReadAt(resourcesAt + 4, resources.data(), resources.size()));
  ReadResources(resources, h);
}

// ---- JPEG ----

struct JpegErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr info) {
  auto* e = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, e->message);
  std::longjmp(e->jump, 1);
}

void JpegNote(j_common_ptr info, int level) {
  // Warnings (corrupt data the library got past) are kept only while nothing else is.
  auto* e = reinterpret_cast<JpegErrors*>(info->err);
  if (level < 0 && e->message[0] == '\0') (*info->err->format_message)(info, e->message);
}

void JpegSilent(j_common_ptr) {}

struct JpegSource {
  jpeg_source_mgr mgr;
  Budget* in;
  std::uint64_t at;
  std::array<char, 16 * 1024> buffer;
};

void JpegInit(j_decompress_ptr) {}

boolean JpegFill(j_decompress_ptr info) {
  auto* s = reinterpret_cast<JpegSource*>(info->src);
  const std::size_t got = s->in->ReadAt(s->at, s->buffer.data(), s->buffer.size());
  if (got == 0) {
    // The end of what may be read: an end-of-image marker makes the header's reader stop there.
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    s->mgr.next_input_byte = kEnd;
    s->mgr.bytes_in_buffer = 2;
    auto* e = reinterpret_cast<JpegErrors*>(info->err);
    if (e->message[0] == '\0') std::snprintf(e->message, sizeof e->message, "%s", kCut);
    return TRUE;
  }
  s->at += got;
  s->mgr.next_input_byte = reinterpret_cast<const JOCTET*>(s->buffer.data());
  s->mgr.bytes_in_buffer = got;
  return TRUE;
}

void JpegSkip(j_decompress_ptr info, long count) {
  auto* s = reinterpret_cast<JpegSource*>(info->src);
  if (count <= 0) return;
  const auto n = static_cast<std::size_t>(count);
  if (n <= s->mgr.bytes_in_buffer) {
    s->mgr.next_input_byte += n;
    s->mgr.bytes_in_buffer -= n;
    return;
  }
  // Skipped bytes (a thumbnail, an unread marker) are never read.
  s->at += n - s->mgr.bytes_in_buffer;
  s->mgr.bytes_in_buffer = 0;
}

void JpegTerm(j_decompress_ptr) {}

void ReadJpeg(Budget& in, ImageHeader& h) {
  jpeg_decompress_struct info{};
  JpegErrors errors{};
  JpegSource source{};
  info.err = jpeg_std_error(&errors.mgr);
  errors.mgr.error_exit = JpegFail;
  errors.mgr.emit_message = JpegNote;
  errors.mgr.output_message = JpegSilent;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    h.problem = Problem(errors.message);
    return;
  }
  jpeg_create_decompress(&info);
  source.in = &in;
  source.mgr.init_source = JpegInit;
  source.mgr.fill_input_buffer = JpegFill;
  source.mgr.skip_input_data = JpegSkip;
  source.mgr.resync_to_restart = jpeg_resync_to_restart;
  source.mgr.term_source = JpegTerm;
  info.src = &source.mgr;
  info.mem->max_memory_to_use = kImageHeaderBytes;
  jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);   // ICC profile
  jpeg_save_markers(&info, JPEG_APP0 + 13, 0xFFFF);  // Photoshop's resources
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    h.problem = "画像がありません";
    return;
  }
  h.widthPx = info.image_width;
  h.heightPx = info.image_height;
  h.file.bits = info.data_precision;
  // Adobe's APP14 says whether four components are CMYK or YCCK (Photoshop's are stored
  // inverted; either way a CMYK image) and whether three are RGB or YCbCr.
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE: SetColour(h, "Gray"); break;
    case JCS_RGB:
    case JCS_YCbCr: h.color = "RGB"; break;
    case JCS_CMYK:
    case JCS_YCCK: h.color = "CMYK"; break;
    default: break;
  }
  if (info.saw_JFIF_marker && (info.density_unit == 1 || info.density_unit == 2)) {
    const double scale = info.density_unit == 2 ? 2.54 : 1;
    SetPpi(h, info.X_density * scale, info.Y_density * scale);
  }
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    const std::string_view data(reinterpret_cast<const char*>(m->data), m->data_length);
    constexpr std::string_view kPhotoshop("Photoshop 3.0\0", 14);
    if (m->marker == JPEG_APP0 + 13 && data.substr(0, kPhotoshop.size()) == kPhotoshop && !h.file.ownPpiX) {
      const auto icc = h.file.icc;
      ReadResources(data.substr(kPhotoshop.size()), h);
      if (icc) h.file.icc = icc;
    }
  }
  JOCTET* profile = nullptr;
  unsigned int profileSize = 0;
  if (jpeg_read_icc_profile(&info, &profile, &profileSize) && profile) {
    h.file.icc = IccDescription(std::string_view(reinterpret_cast<const char*>(profile), profileSize));
    std::free(profile);
  }
  if (errors.message[0] != '\0') h.problem = Problem(errors.message);
  jpeg_destroy_decompress(&info);
}

// ---- PNG ----

struct PngState {
  Budget* in;
  std::uint64_t at;
  char message[kProblemChars + 1];
};

void PngFail(png_structp png, png_const_charp text) {
  auto* s = static_cast<PngState*>(png_get_error_ptr(png));
  std::snprintf(s->message, sizeof s->message, "%s", text);
  png_longjmp(png, 1);
}

void PngWarn(png_structp png, png_const_charp text) {
  auto* s = static_cast<PngState*>(png_get_error_ptr(png));
  if (s->message[0] == '\0') std::snprintf(s->message, sizeof s->message, "%s", text);
}

void PngRead(png_structp png, png_bytep data, png_size_t size) {
  auto* s = static_cast<PngState*>(png_get_io_ptr(png));
  if (s->in->ReadAt(s->at, reinterpret_cast<char*>(data), size) < size) png_error(png, kCut);
  s->at += size;
}

void ReadPng(Budget& in, ImageHeader& h) {
  PngState state{&in, 0, {}};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngFail, PngWarn);
  if (!png) return;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    h.problem = Problem(state.message);
    return;
  }
  png_set_read_fn(png, &state, PngRead);
  png_set_chunk_malloc_max(png, kIccBytes);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, type = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &type, nullptr, nullptr, nullptr);
  h.widthPx = width;
  h.heightPx = height;
  h.file.bits = depth;
  switch (type) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA: SetColour(h, "Gray"); break;
    case PNG_COLOR_TYPE_PALETTE: h.color = "Indexed"; break;
    default: h.color = "RGB"; break;
  }
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER) SetPpi(h, resX * 0.0254, resY * 0.0254);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileSize = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize)) {
    h.file.icc = IccDescription(std::string_view(reinterpret_cast<const char*>(profile), profileSize));
    if (!h.file.icc && name && *name) h.file.icc = base::ValidUtf8(name);
  }
  if (state.message[0] != '\0') h.problem = Problem(state.message);
  png_destroy_read_struct(&png, &info, nullptr);
}

// ---- TIFF ----

struct TiffClient {
  Budget* in;
  std::uint64_t at;
  std::string message;
};

tmsize_t TiffRead(thandle_t client, void* buffer, tmsize_t size) {
  auto* c = static_cast<TiffClient*>(client);
  if (size <= 0) return 0;
  const std::size_t got = c->in->ReadAt(c->at, static_cast<char*>(buffer), static_cast<std::size_t>(size));
  c->at += got;
  return static_cast<tmsize_t>(got);
}

tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t TiffSeek(thandle_t client, toff_t offset, int whence) {
  auto* c = static_cast<TiffClient*>(client);
  switch (whence) {
    case SEEK_SET: c->at = offset; break;
    case SEEK_CUR: c->at += offset; break;
    case SEEK_END: c->at = c->in->size() + offset; break;
    default: return static_cast<toff_t>(-1);
  }
  return c->at;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t client) { return static_cast<TiffClient*>(client)->in->size(); }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

int TiffMessage(TIFF*, void* client, const char* /*module*/, const char* format, va_list args) {
  auto* c = static_cast<TiffClient*>(client);
  if (c->message.empty()) {
    char text[kProblemChars + 1];
    std::vsnprintf(text, sizeof text, format, args);
    // The library's internal function name (`module`) and the handle's name tell a reader nothing.
    std::string_view t(text);
    if (t.substr(0, 2) == ": ") t.remove_prefix(2);
    c->message = std::string(t);
  }
  return 1;  // handled: nothing reaches the library's own printer
}

void ReadTiff(Budget& in, ImageHeader& h) {
  TiffClient client{&in, 0, {}};
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kImageHeaderBytes);
  TIFFOpenOptionsSetErrorHandlerExtR(options, TiffMessage, &client);
  TIFFOpenOptionsSetWarningHandlerExtR(options, TiffMessage, &client);
  // "m": no mapping; "O": strip offsets loaded only when asked for, which they never are here.
  TIFF* tiff = TIFFClientOpenExt("", "rmO", &client, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                                 TiffUnmap, options);
  TIFFOpenOptionsFree(options);
  if (!tiff) {
    h.problem = Problem(client.message.empty() ? kInvalid : client.message);
    return;
  }
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 1, samples = 1, extra = 0, photometric = 0;
  std::uint16_t* extraTypes = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)) {
    h.widthPx = width;
    h.heightPx = height;
  }
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
  h.file.bits = bits;
  const int colours = samples - std::min<int>(extra, samples);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = colours >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK: SetColour(h, colours > 1 ? "Multichannel" : "Gray"); break;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR: h.color = "RGB"; break;
    case PHOTOMETRIC_PALETTE: h.color = "Indexed"; break;
    case PHOTOMETRIC_SEPARATED: {
      std::uint16_t inks = INKSET_CMYK;
      TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inks);
      h.color = inks == INKSET_CMYK && colours == 4 ? "CMYK" : "Multichannel";
      break;
    }
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB: h.color = "Lab"; break;
    default: break;
  }
  float resX = 0, resY = 0;
  std::uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &resX) && TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &resY) &&
      unit != RESUNIT_NONE) {
    const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1;
    SetPpi(h, resX * scale, resY * scale);
  }
  std::uint32_t profileSize = 0;
  void* profile = nullptr;
  if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) && profile) {
    h.file.icc = IccDescription(std::string_view(static_cast<const char*>(profile), profileSize));
  }
  TIFFClose(tiff);
  if (!client.message.empty()) h.problem = Problem(client.message);
}

// ---- PostScript and PDF ----

// A DOS EPS binary header: the PostScript lies at the offset it gives.
constexpr std::string_view kDosEps("\xC5\xD0\xD3\xC6", 4);

std::string_view Line(std::string_view text, std::size_t at) {
  const std::size_t end = text.find_first_of("\r\n", at);
  return text.substr(at, end == std::string_view::npos ? text.size() - at : end - at);
}

std::size_t FindComment(std::string_view text, std::string_view comment) {
  for (std::size_t at = text.find(comment); at != std::string_view::npos; at = text.find(comment, at + 1)) {
    if (at == 0 || text[at - 1] == '\r' || text[at - 1] == '\n') return at;
  }
  return std::string_view::npos;
}

bool Illustrators(std::string_view text) {
  const std::size_t creator = FindComment(text, "%%Creator:");
  return creator != std::string_view::npos && Line(text, creator).find("Illustrator") != std::string_view::npos;
}

// Photoshop's EPS says its pixels in "%ImageData: width height bits mode ..." (mode 1 gray or
// bitmap, 2 Lab, 3 RGB, 4 CMYK), and the bounding box gives its resolution.
void ReadImageData(std::string_view ps, ImageHeader& h) {
  const std::size_t at = FindComment(ps, "%ImageData:");
  if (at == std::string_view::npos) return;
  long long width = 0, height = 0;
  int bits = 0, mode = 0;
  const std::string line(Line(ps, at).substr(11));
  if (std::sscanf(line.c_str(), "%lld %lld %d %d", &width, &height, &bits, &mode) != 4 || width < 1 || height < 1 ||
      width > 1000000 || height > 1000000 || bits < 1 || bits > 32) {
    return;
  }
  h.widthPx = width;
  h.heightPx = height;
  h.file.bits = bits;
  switch (mode) {
    case 1: SetColour(h, "Gray"); break;
    case 2: h.color = "Lab"; break;
    case 3: h.color = "RGB"; break;
    case 4: h.color = "CMYK"; break;
    default: break;
  }
  const std::size_t box = FindComment(ps, "%%BoundingBox:");
  if (box == std::string_view::npos) return;
  const std::string bbox(Line(ps, box).substr(14));
  double x1, y1, x2, y2;
  if (std::sscanf(bbox.c_str(), "%lf %lf %lf %lf", &x1, &y1, &x2, &y2) == 4 && x2 > x1 && y2 > y1) {
    SetPpi(h, width * 72.0 / (x2 - x1), height * 72.0 / (y2 - y1));
  }
}

void ReadPostScript(Budget& in, ImageHeader& h) {
  std::string_view ps = in.head();
  std::string moved;
  if (ps.substr(0, 4) == kDosEps) {
    if (ps.size() < 12) return;
    const std::uint32_t offset = U(ps.data())[4] | U(ps.data())[5] << 8 | U(ps.data())[6] << 16 | std::uint32_t{U(ps.data())[7]} << 24;
    moved.resize(kImageHeadBytes);
    moved.resize(in.ReadAt(offset, moved.data(), moved.size()));
    ps = moved;
  }
  ReadImageData(ps, h);
}

}  // namespace

std::size_t MemoryBytes::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (offset >= bytes_.size()) return 0;
  const std::size_t n = std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(offset));
  std::memcpy(buffer, bytes_.data() + offset, n);
  return n;
}

std::string_view SniffImageType(std::string_view h) {
  const auto starts = [&](std::string_view s) { return h.substr(0, s.size()) == s; };
  if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4)) ||
      starts(std::string_view("II+\0", 4)) || starts(std::string_view("MM\0+", 4))) {
    return "TIFF";
  }
  if (starts("\xFF\xD8\xFF")) return "JPEG";
  if (starts("\x89PNG\r\n\x1A\n")) return "PNG";
  if (starts("8BPS") && h.size() >= 6 && h[4] == 0 && (h[5] == 1 || h[5] == 2)) return h[5] == 1 ? "PSD" : "PSB";
  // Illustrator's own PostScript format is a document rather than an EPS to place.
  if (starts("%!PS")) return Line(h, 0).find("EPSF") == std::string_view::npos && Illustrators(h) ? "AI" : "EPS";
  if (starts(kDosEps)) return "EPS";
  // A PDF's header may follow some bytes of other matter.
  if (const std::size_t pdf = h.substr(0, 1024).find("%PDF-"); pdf != std::string_view::npos) {
    // Illustrator keeps its own data beside the PDF: a document, not a plain PDF.
    return h.find("/Illustrator") != std::string_view::npos || h.find("<illustrator:") != std::string_view::npos ? "AI" : "PDF";
  }
  if (starts("GIF87a") || starts("GIF89a")) return "GIF";
  if (starts("BM") && h.size() >= 26) return "BMP";
  return "";
}

ImageHeader ReadImageHeader(ImageBytes& bytes) {
  Budget in(bytes);
  ImageHeader h;
  if (in.head().empty()) {
    h.problem = in.size() == 0 ? "空のファイルです" : "読み取れません";
    return h;
  }
  h.file.type = SniffImageType(in.head());
  if (h.file.type == "TIFF") {
    ReadTiff(in, h);
  } else if (h.file.type == "JPEG") {
    ReadJpeg(in, h);
  } else if (h.file.type == "PNG") {
    ReadPng(in, h);
  } else if (h.file.type == "PSD" || h.file.type == "PSB") {
    ReadPsd(in, h);
  } else if (h.file.type == "EPS") {
    ReadPostScript(in, h);
  } else if (h.file.type.empty()) {
    h.problem = "画像の形式ではありません";
  }
  if (in.exhausted() && h.problem.empty() && !h.widthPx) h.problem = "ヘッダーが読み取りの上限 (1 MiB) を超えています";
  // A reader that failed half way leaves nothing that could mislead.
  if (!h.widthPx || !h.heightPx || *h.widthPx < 1 || *h.heightPx < 1) {
    h.widthPx.reset();
    h.heightPx.reset();
  }
  return h;
}

std::optional<std::string> IccDescription(std::string_view p) {
  if (p.size() < 132 || p.substr(36, 4) != "acsp") return std::nullopt;
  const std::uint32_t count = std::min<std::uint32_t>(Be32(U(p.data() + 128)), 1024);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = 132 + std::size_t{i} * 12;
    if (entry + 12 > p.size()) return std::nullopt;
    if (p.substr(entry, 4) != "desc") continue;
    const std::size_t offset = Be32(U(p.data() + entry + 4)), size = Be32(U(p.data() + entry + 8));
    if (offset > p.size() || size > p.size() - offset || size < 12) return std::nullopt;
    const std::string_view tag = p.substr(offset, size);
    std::string out;
    if (tag.substr(0, 4) == "desc") {
      const std::size_t n = std::min<std::size_t>(Be32(U(tag.data() + 8)), tag.size() - 12);
      out = std::string(tag.substr(12, n));
      out.erase(std::find(out.begin(), out.end(), '\0'), out.end());
      out = base::ValidUtf8(out);
    } else if (tag.substr(0, 4) == "mluc" && tag.size() >= 28) {
      const std::size_t length = Be32(U(tag.data() + 20)), at = Be32(U(tag.data() + 24));
      if (at > tag.size() || length > tag.size() - at) return std::nullopt;
      for (std::size_t k = 0; k + 1 < length; k += 2) {
        char32_t c = Be16(U(tag.data() + at + k));
        if (c >= 0xD800 && c < 0xDC00 && k + 3 < length) {
          const char32_t low = Be16(U(tag.data() + at + k + 2));
          if (low >= 0xDC00 && low < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            k += 2;
          }
        }
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        AppendUtf8(out, c);
      }
    }
    if (out.size() > kProblemChars) out.resize(kProblemChars);
    out = base::ValidUtf8(out);
    if (out.empty()) return std::nullopt;
    return out;
  }
  return std::nullopt;
}

}  // namespace pelmora::preflight
