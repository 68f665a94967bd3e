// The pictures documents carry of themselves: what the report shows, and nothing a stranger's
// preview can make it do beyond that.
#include "preflight/preview.h"

#include <gtest/gtest.h>

#include <png.h>

#include <vector>

namespace pelmora::preflight {
namespace {

// The PNG's pixels as grey levels, read back with libpng.
std::vector<int> Greys(const Thumbnail& t, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, t.bytes.data(), t.bytes.size())) return {};
  image.format = PNG_FORMAT_GRAY;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return {pixels.begin(), pixels.end()};
}

TEST(Preview, EpsiBitsBecomeAPngWithOneAsBlack) {
  const struct {
    const char* what;
    std::string text;
    std::vector<int> greys;  // empty: no picture
  } cases[] = {
      {"1 bit, comment lines", "%!PS\n%%BeginPreview: 2 2 1 2\n%80\n%40\n%%EndPreview\n", {0, 255, 255, 0}},
      {"8 bit grey", "%%BeginPreview: 2 1 8 1\r%00FF\r%%EndPreview\r", {255, 0}},
      {"stray characters passed over", "%%BeginPreview: 1 1 4 1\n% x F0 \n%%EndPreview", {0}},
      {"data cut short", "%%BeginPreview: 8 8 1 8\n%FF\n%%EndPreview", {}},
      {"depth 3 is none", "%%BeginPreview: 1 1 3 1\n%FF\n%%EndPreview", {}},
      {"a claim of 2^40 pixels reads nothing", "%%BeginPreview: 1048576 1048576 1 1\n%FF\n", {}},
      {"no numbers", "%%BeginPreview: \n%FF\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto t = EpsiThumbnail(c.text);
    ASSERT_EQ(t.has_value(), !c.greys.empty());
    if (!t) continue;
    EXPECT_EQ(t->mime, "image/png");
    int w = 0, h = 0;
    EXPECT_EQ(Greys(*t, w, h), c.greys);
  }
}

TEST(Preview, XmpThumbnailIsTakenOnlyWhenItIsAJpeg) {
  const auto packet = [](const std::string& image) {
    return "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
           "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmlns:xmpGImg=\"http://ns.adobe.com/xap/1.0/g/img/\">"
           "<xmp:Thumbnails><rdf:Alt><rdf:li rdf:parseType=\"Resource\"><xmpGImg:format>JPEG</xmpGImg:format>"
           "<xmpGImg:image>" + image + "</xmpGImg:image></rdf:li></rdf:Alt></xmp:Thumbnails>"
           "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
  };
  const auto jpeg = XmpThumbnail(packet("/9j/4AAQ&#xA;SkZJ"));  // FF D8 FF E0 00 10 4A 46 49, split by a line break
  ASSERT_TRUE(jpeg);
  EXPECT_EQ(jpeg->mime, "image/jpeg");
  EXPECT_EQ(jpeg->bytes, std::string("\xFF\xD8\xFF\xE0\x00\x10JFI", 9));
  EXPECT_FALSE(XmpThumbnail(packet("iVBORw0KGgo=")));      // a PNG is not what the property holds
  EXPECT_FALSE(XmpThumbnail(packet("/9j/<b>4AAQ</b>")));  // markup inside is no base64
  EXPECT_FALSE(XmpThumbnail(packet("")));
  EXPECT_FALSE(XmpThumbnail("<?xpacket begin=\"\"?><x:xmpmeta"));
}

TEST(Preview, DamagedTiffGivesNothing) {
  EXPECT_FALSE(TiffThumbnail(""));
  EXPECT_FALSE(TiffThumbnail(std::string("II*\0\x08\0\0\0\xFF\xFF", 10)));  // 65,535 entries claimed, none there
  EXPECT_FALSE(TiffThumbnail("MM\0*garbage"));
}

}  // namespace
}  // namespace pelmora::preflight
