// Placed files read by their headers: the images ImageMagick wrote at build time and byte arrays
// for the shapes it cannot write; then their facts on a document's placements and the findings.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <iterator>

#include "../documents/samples.h"
#include "base/text_utf8.h"
#include "preflight/image_header.h"
#include "preflight/linked_files.h"

namespace pelmora::preflight {
namespace {

std::string Be16(unsigned v) { return {static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)}; }
std::string Be32(unsigned v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }

// An ICC profile whose only tag is its description: v2 text, or v4 multi-language (UTF-16BE).
std::string Icc(const std::string& description, bool v4) {
  std::string tag;
  if (v4) {
    std::string utf16;
    for (const char c : description) utf16 += Be16(static_cast<unsigned char>(c));
    tag = "mluc" + Be32(0) + Be32(1) + Be32(12) + "enUS" + Be32(static_cast<unsigned>(utf16.size())) + Be32(28) + utf16;
  } else {
    tag = "desc" + Be32(0) + Be32(static_cast<unsigned>(description.size() + 1)) + description + std::string(1, '\0');
  }
  std::string header(128, '\0');
  header.replace(36, 4, "acsp");
  return header + Be32(1) + "desc" + Be32(144) + Be32(static_cast<unsigned>(tag.size())) + tag;
}

std::string Resource(unsigned id, const std::string& data) {
  std::string r = "8BIM" + Be16(id) + std::string(2, '\0') + Be32(static_cast<unsigned>(data.size())) + data;
  if (data.size() % 2) r += '\0';
  return r;
}

// ResolutionInfo: 16.16 fixed pixels per inch, shown in centimetres (unit 2) makes no difference.
std::string Resolution(double x, double y) {
  return Be32(static_cast<unsigned>(x * 65536)) + Be16(2) + Be16(1) + Be32(static_cast<unsigned>(y * 65536)) + Be16(2) + Be16(1);
}

std::string Psd(unsigned version, unsigned width, unsigned height, unsigned depth, unsigned mode, const std::string& resources) {
  return "8BPS" + Be16(version) + std::string(6, '\0') + Be16(mode == 4 ? 4 : 3) + Be32(height) + Be32(width) + Be16(depth) +
         Be16(mode) + Be32(0) + Be32(static_cast<unsigned>(resources.size())) + resources + Be32(0);
}

// A JPEG's markers up to its first scan, with Adobe's APP14 telling what four components are.
std::string AdobeJpeg(unsigned transform, unsigned width, unsigned height) {
  std::string s = "\xFF\xD8";
  s += "\xFF\xEE" + Be16(14) + "Adobe" + Be16(100) + Be16(0) + Be16(0) + std::string(1, static_cast<char>(transform));
  s += "\xFF\xC0" + Be16(8 + 3 * 4) + std::string(1, 8) + Be16(height) + Be16(width) + std::string(1, 4);
  for (int c = 1; c <= 4; ++c) s += std::string{static_cast<char>(c), 0x11, 0};
  s += "\xFF\xDA" + Be16(6 + 2 * 4) + std::string(1, 4);
  for (int c = 1; c <= 4; ++c) s += std::string{static_cast<char>(c), 0};
  return s + std::string{0, 63, 0} + std::string(64, '\x55') + "\xFF\xD9";
}

std::string ImageFileBytes(const char* name) {
  std::ifstream in(e2e::SamplePath(PELMORA_TEST_IMAGES, name), std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ImageHeader, EachKindByItsContentWithPixelsColourDepthAndOwnResolution) {
  const struct {
    const char* what;
    const char* file;  // in PELMORA_TEST_IMAGES, else `bytes`
    std::string bytes;
    const char* type;
    long long width, height;  // 0: unknown
    const char* color;
    int bits;
    double ppiX, ppiY;  // 0: none
    const char* icc;
    bool problem;
  } cases[] = {
      {"CMYK JPEG, Adobe YCCK (ImageMagick's)", "cmyk.jpg", {}, "JPEG", 40, 30, "CMYK", 8, 350, 350, nullptr, false},
      {"CMYK JPEG, Adobe inverted CMYK", nullptr, AdobeJpeg(0, 120, 80), "JPEG", 120, 80, "CMYK", 8, 0, 0, nullptr, false},
      {"16-bit RGB PSD", "rgb16.psd", {}, "PSD", 64, 48, "RGB", 16, 72, 72, nullptr, false},
      {"PSB", "gray.psb", {}, "PSB", 50, 40, "Gray", 8, 300, 300, nullptr, false},
      {"BigTIFF", "big.tif", {}, "TIFF", 30, 20, "RGB", 8, 200, 200, nullptr, false},
      {"JPEG-compressed CMYK TIFF, resolution in cm", "jpeg-in.tif", {}, "TIFF", 30, 20, "CMYK", 8, 300, 300, nullptr, false},
      {"1-bit TIFF", "bitmap.tif", {}, "TIFF", 16, 16, "Bitmap", 1, 600, 600, nullptr, false},
      {"PNG, pHYs in metres", "phys.png", {}, "PNG", 33, 22, "RGB", 8, 300, 300, nullptr, false},
      {"palette PNG", "palette.png", {}, "PNG", 32, 8, "Indexed", 8, 0, 0, nullptr, false},
      {"PNG named .jpg", "not-a.jpg", {}, "PNG", 10, 12, "RGB", 8, 0, 0, nullptr, false},
      {"PNG cut inside IHDR", "cut.png", {}, "PNG", 0, 0, nullptr, 0, 0, 0, nullptr, true},
      {"TIFF cut before its directory", "cut.tif", {}, "TIFF", 0, 0, nullptr, 0, 0, 0, nullptr, true},
      {"CMYK PSD with resolution and a v2 profile", nullptr,
       Psd(1, 827, 600, 8, 4, Resource(0x03ED, Resolution(350, 350)) + Resource(0x040F, Icc("Japan Color 2001 Coated", false))),
       "PSD", 827, 600, "CMYK", 8, 350, 350, "Japan Color 2001 Coated", false},
      {"Duotone PSD, a resource list running past its section", nullptr,
       Psd(1, 10, 10, 8, 8, Resource(0x0400, "ab") + "8BIM" + Be16(0x03ED) + Be16(0) + Be32(0x7FFFFFF0)), "PSD", 10, 10,
       "Duotone", 8, 0, 0, nullptr, false},
      {"PSD of an unknown colour mode", nullptr, Psd(1, 10, 10, 8, 5, ""), "PSD", 0, 0, nullptr, 0, 0, 0, nullptr, true},
      {"PSD cut inside its header", nullptr, Psd(1, 10, 10, 8, 3, "").substr(0, 20), "PSD", 0, 0, nullptr, 0, 0, 0, nullptr, true},
      {"Photoshop EPS", nullptr,
       "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Adobe Photoshop Version 7.0\n%%BoundingBox: 0 0 72 36\n"
       "%ImageData: 300 150 8 4 0 1 150 \"beginimage\"\n",
       "EPS", 300, 150, "CMYK", 8, 300, 300, nullptr, false},
      {"Illustrator PostScript", nullptr, "%!PS-Adobe-3.0 \r\n%%Creator: Adobe Illustrator(R) 8.0\r\n", "AI", 0, 0, nullptr, 0, 0,
       0, nullptr, false},
      {"PDF-based Illustrator", nullptr, "%PDF-1.5\n%\xE2\xE3\n1 0 obj\n<</Illustrator 2 0 R>>\n", "AI", 0, 0, nullptr, 0, 0, 0,
       nullptr, false},
      {"PDF", nullptr, "%PDF-1.4\n1 0 obj\n<</Type/Catalog>>\n", "PDF", 0, 0, nullptr, 0, 0, 0, nullptr, false},
      {"text named .tif", nullptr, "not an image", "", 0, 0, nullptr, 0, 0, 0, nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = c.file ? ImageFileBytes(c.file) : c.bytes;
    MemoryBytes in(bytes);
    const ImageHeader h = ReadImageHeader(in);
    EXPECT_EQ(h.file.type, c.type);
    EXPECT_EQ(h.widthPx.value_or(0), c.width);
    EXPECT_EQ(h.heightPx.value_or(0), c.height);
    EXPECT_EQ(h.color.value_or(""), c.color ? c.color : "");
    if (c.bits) {
      EXPECT_EQ(h.file.bits.value_or(0), c.bits);
    }
    EXPECT_NEAR(h.file.ownPpiX.value_or(0), c.ppiX, 0.5);
    EXPECT_NEAR(h.file.ownPpiY.value_or(0), c.ppiY, 0.5);
    EXPECT_EQ(h.file.icc.value_or(""), c.icc ? c.icc : "");
    EXPECT_EQ(!h.problem.empty(), c.problem) << h.problem;
  }
  // A v4 profile names itself in UTF-16; a profile without the ICC signature names nothing.
  EXPECT_EQ(IccDescription(Icc("Coated FOGRA39", true)).value_or(""), "Coated FOGRA39");
  EXPECT_FALSE(IccDescription(Icc("x", false).replace(36, 4, "abcd")));
}

TEST(ImageHeader, ReadsNoMoreThanItsBoundHoweverTheFileIsBuilt) {
  // A PSD whose resources are 8 MiB of one huge, never-ending resource: the bound stops the read.
  class Counting final : public ImageBytes {
   public:
    explicit Counting(std::string head) : head_(std::move(head)) {}
    std::uint64_t Size() const override { return 1ull << 40; }
    std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
      read += size;
      for (std::size_t i = 0; i < size; ++i) buffer[i] = offset + i < head_.size() ? head_[offset + i] : '\x42';
      return size;
    }
    std::uint64_t read = 0;

   private:
    std::string head_;
  };
  for (const std::string& start : {std::string("8BPS") + Be16(1) + std::string(6, '\0') + Be16(3) + Be32(9) + Be32(9) +
                                       Be16(8) + Be16(3) + Be32(0) + Be32(8u << 20),
                                   std::string("\xFF\xD8\xFF\xE1\xFF\xFF", 6), std::string("II*\0\x08\0\0\0\xFF\xFF", 10)}) {
    Counting in(start);
    ReadImageHeader(in);
    EXPECT_LE(in.read, kImageHeaderBytes);
  }
}

// The files of a delivery on a document's placements: effective resolution from the size placed
// at, the PDF layer's proxy folded in, a file no placement names listed alone, and the findings.
TEST(LinkedFiles, FilesGiveEachPlacementItsPixelsColourAndEffectiveResolution) {
  const std::string rgb72 = Psd(1, 720, 360, 8, 3, Resource(0x03ED, Resolution(72, 72)));
  const std::string cmyk = Psd(1, 1200, 800, 8, 4, "");
  const std::map<std::string, std::string> disk = {{"/job/Links/photo.psd", cmyk}, {"/job/web.psd", rgb72},
                                                   {"/job/Links/extra.psd", cmyk}, {"/job/locked.psd", ""}};
  CheckFacts f;
  f.colourModel = "CMYK";
  using Status = delivery::ImageLocation::Status;
  f.links = {{"Macintosh HD:Links:photo.psd", Status::kLinks, "/job/Links/photo.psd"},
             {"web.psd", Status::kBeside, "/job/web.psd"},
             {"extra.psd", Status::kLinks, "/job/Links/extra.psd"},
             {"locked.psd", Status::kBeside, "/job/locked.psd"},
             {"gone.tif", Status::kMissing, ""}};
  const auto placement = [](const char* name, double w, double h) {
    Placed p;
    p.name = name;
    p.linked = true;
    p.placedWidthPt = w;
    p.placedHeightPt = h;
    p.source = Source::kNative;
    return p;
  };
  // photo.psd twice: 4 in wide (300 ppi), and turned a quarter, its own width drawn 2 in (600).
  f.placed = {placement("photo.psd", 288, 192), placement("/Users/x/photo.psd", 144, 96), placement("web.psd", 720, 360),
              placement("locked.psd", 100, 100), placement("gone.tif", 50, 50)};
  Placed proxy;  // the PDF layer's drawing of web.psd's preview
  proxy.widthPx = 200;
  proxy.heightPx = 100;
  proxy.color = "RGB";
  proxy.placedWidthPt = 720.4;
  proxy.placedHeightPt = 359.8;
  proxy.page = 1;
  proxy.source = Source::kPdf;
  Placed embedded = proxy;  // an image of the document's own
  embedded.placedWidthPt = 100;
  f.placed.push_back(proxy);
  f.placed.push_back(embedded);
  int opened = 0;
  AddLinkedFiles(f, [&](const CheckFacts::Link& l) -> std::unique_ptr<ImageBytes> {
    ++opened;
    const auto at = disk.find(l.found);
    if (at == disk.end() || at->second.empty()) return nullptr;
    return std::make_unique<MemoryBytes>(at->second);
  });
  EXPECT_EQ(opened, 4) << "one open per file found";

  const struct {
    const char* name;
    long long width;
    const char* color;
    double ppiX, ppiY;
    Source source;
    std::optional<int> page;
    bool problem;
  } want[] = {{"photo.psd", 1200, "CMYK", 300, 300, Source::kFile, {}, false},
              {"/Users/x/photo.psd", 1200, "CMYK", 600, 600, Source::kFile, {}, false},
              {"web.psd", 720, "RGB", 72, 72, Source::kFile, 1, false},
              {"locked.psd", 0, "", 0, 0, Source::kFile, {}, true},
              {"gone.tif", 0, "", 0, 0, Source::kNative, {}, false},
              {"", 200, "RGB", 0, 0, Source::kPdf, 1, false},
              {"extra.psd", 1200, "CMYK", 0, 0, Source::kFile, {}, false}};
  ASSERT_EQ(f.placed.size(), std::size(want));
  for (std::size_t i = 0; i < f.placed.size(); ++i) {
    const Placed& p = f.placed[i];
    SCOPED_TRACE(want[i].name);
    EXPECT_EQ(p.name.value_or(""), want[i].name);
    EXPECT_EQ(p.widthPx.value_or(0), want[i].width);
    EXPECT_EQ(p.color.value_or(""), want[i].color);
    EXPECT_NEAR(p.ppiX.value_or(0), want[i].ppiX, 0.01);
    EXPECT_NEAR(p.ppiY.value_or(0), want[i].ppiY, 0.01);
    EXPECT_EQ(p.source, want[i].source);
    EXPECT_EQ(p.page, want[i].page);
    EXPECT_EQ(p.file && p.file->problem.has_value(), want[i].problem);
  }
  AddDrawnFindings(f, Thresholds{});
  EXPECT_EQ(f.findings, (std::vector<std::string>{kFindingLowResolution, kFindingRgbImage}));
  EXPECT_EQ(PlacedFactsText(f.placed[2]), "PSD 720×360px RGB 72ppi");
  EXPECT_EQ(PlacedFactsText(f.placed[6]), "PSD 1200×800px CMYK");
}

}  // namespace
}  // namespace pelmora::preflight

namespace pelmora::preflight {
namespace {

// Only what lies inside the delivery is opened, reached without following a link on the way.
TEST(LinkedFiles, OpensOnlyFilesInsideTheDelivery) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("pelmora-linked-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(root / "job" / "Links");
  std::ofstream(root / "job" / "Links" / "in.psd", std::ios::binary) << ImageFileBytes("rgb16.psd");
  std::ofstream(root / "secret.psd", std::ios::binary) << ImageFileBytes("rgb16.psd");
  delivery::Delivery delivery;
  delivery.Add(root / "job");
  const auto text = [](const fs::path& p) { return base::PathText(p); };
  const auto in = OpenFound(delivery, text(root / "job" / "Links" / "in.psd"));
  ASSERT_TRUE(in);
  EXPECT_EQ(ReadImageHeader(*in).widthPx.value_or(0), 64);
  EXPECT_FALSE(OpenFound(delivery, text(root / "secret.psd")));
  EXPECT_FALSE(OpenFound(delivery, text(root / "job" / ".." / "secret.psd")));
  EXPECT_FALSE(OpenFound(delivery, text(root / "job" / "Links")));  // a folder is no image
  EXPECT_TRUE(OpenFound(delivery, text(root / "secret.psd"), true)) << "anywhere, at the user's word";
#ifndef _WIN32
  std::error_code ec;
  fs::create_symlink(root / "secret.psd", root / "job" / "link.psd", ec);
  EXPECT_FALSE(OpenFound(delivery, text(root / "job" / "link.psd")));
#endif
  std::error_code ec2;
  fs::remove_all(root, ec2);
}

}  // namespace
}  // namespace pelmora::preflight
