// The findings measured on artboards and drawn images, against the thresholds a print shop sets.
#include <gtest/gtest.h>

#include "preflight/preflight.h"

namespace pelmora::preflight {
namespace {

bool Has(const CheckFacts& f, const char* word) {
  return std::find(f.findings.begin(), f.findings.end(), std::string(word)) != f.findings.end();
}

TEST(DrawnFindings, BleedResolutionAndRgbAgainstTheLimits) {
  const Thresholds limits;  // 3 mm, 300 ppi
  const struct {
    const char* what;
    std::optional<Bleed> bleed;
    std::optional<double> ppi;
    std::optional<int> bits;
    const char* color;
    const char* base;  // an indexed image's palette
    const char* model;
    bool bleedShort, lowRes, rgbImage;
  } cases[] = {
      {"3 mm everywhere, 350 ppi CMYK", Bleed{3, 3, 3, 3}, 350, 8, "CMYK", nullptr, "CMYK", false, false, false},
      {"2.9 mm on one side", Bleed{3, 3, 2.9, 3}, 350, 8, "CMYK", nullptr, "CMYK", true, false, false},
      {"2.96 mm shows as 3.0", Bleed{2.96, 3, 3, 3}, 300, 8, "CMYK", nullptr, "CMYK", false, false, false},
      {"bleed not stated", std::nullopt, 72, 8, "RGB", nullptr, "CMYK", false, true, true},
      {"1-bit at 400 ppi needs 600", Bleed{5, 5, 5, 5}, 400, 1, "Bitmap", nullptr, "CMYK", false, true, false},
      {"Indexed in CMYK, palette unknown", Bleed{3, 3, 3, 3}, 300, 8, "Indexed", nullptr, "CMYK", false, false, true},
      {"Indexed over RGB in CMYK", Bleed{3, 3, 3, 3}, 300, 8, "Indexed", "RGB", "CMYK", false, false, true},
      {"Indexed over CMYK in CMYK", Bleed{3, 3, 3, 3}, 300, 8, "Indexed", "CMYK", "CMYK", false, false, false},
      {"RGB in an RGB document", Bleed{3, 3, 3, 3}, 300, 8, "RGB", nullptr, "RGB", false, false, false},
      {"no resolution known", Bleed{3, 3, 3, 3}, std::nullopt, std::nullopt, nullptr, nullptr, "CMYK", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CheckFacts f;
    f.colourModel = c.model;
    f.artboards.push_back({210, 297, c.bleed, Source::kPdf});
    Placed p;
    p.ppiX = c.ppi;
    p.ppiY = c.ppi ? std::optional<double>(*c.ppi + 10) : std::nullopt;
    p.bits = c.bits;
    if (c.color) p.color = c.color;
    if (c.base) p.colorBase = c.base;
    f.placed.push_back(p);
    AddDrawnFindings(f, limits);
    AddDrawnFindings(f, limits);  // once each, however often asked
    EXPECT_EQ(Has(f, kFindingBleed), c.bleedShort);
    EXPECT_EQ(Has(f, kFindingLowResolution), c.lowRes);
    EXPECT_EQ(Has(f, kFindingRgbImage), c.rgbImage);
    EXPECT_EQ(f.findings.size(), std::size_t{c.bleedShort} + c.lowRes + c.rgbImage);
  }
}

TEST(DrawnFindings, SizeColumnShowsTheFirstArtboardAndHowManyMore) {
  CheckFacts f;
  f.widthMm = 292.7;
  f.heightMm = 202.9;
  EXPECT_EQ(SizeText(f), "292.7×202.9");
  f.artboards = {{297, 210, Bleed{3, 3, 3, 3}, Source::kPdf}, {91, 55, std::nullopt, Source::kPdf}};
  EXPECT_EQ(SizeText(f), "297.0×210.0 +1");
}

}  // namespace
}  // namespace pelmora::preflight
