#include "cli/preflight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/ansi_text.h"
#include "cli/text_utf8.h"

namespace pelmora::cli {

namespace {

std::string Decoded(const std::string& cp932) {
  return IsAscii(cp932) ? cp932 : ToUtf8(analysis::DecodeAnsi(cp932));
}

void AddOnce(std::vector<std::string>& list, std::string name) {
  if (!name.empty() && std::find(list.begin(), list.end(), name) == list.end()) list.push_back(std::move(name));
}

constexpr double kMmPerPoint = 25.4 / 72;

}  // namespace

CheckFacts MergeFacts(const analysis::DscFacts& dsc, const std::optional<analysis::XmpFacts>& xmp,
                      const std::string& kind, const std::string& creator) {
  CheckFacts f;
  for (const std::string& n : dsc.fonts) AddOnce(f.fonts, Decoded(n));
  for (const std::string& n : dsc.processColours) AddOnce(f.processColours, Decoded(n));
  for (const std::string& n : dsc.spotColours) AddOnce(f.spotColours, Decoded(n));
  if (dsc.colourModel) f.colourModel = *dsc.colourModel == 1 ? "RGB" : "CMYK";
  if (const auto& box = dsc.hiResBoundingBox ? dsc.hiResBoundingBox : dsc.boundingBox) {
    f.widthMm = std::abs((*box)[2] - (*box)[0]) * kMmPerPoint;
    f.heightMm = std::abs((*box)[3] - (*box)[1]) * kMmPerPoint;
  }
  if (xmp) {
    for (const std::string& n : xmp->fonts) AddOnce(f.fonts, ValidUtf8(n));
    for (const std::string& n : xmp->spotColours) AddOnce(f.spotColours, ValidUtf8(n));
    if (!f.widthMm && xmp->widthMm) {
      f.widthMm = xmp->widthMm;
      f.heightMm = xmp->heightMm;
    }
    f.transparency = xmp->visibleTransparency;
  }
  f.illustrator = dsc.illustrator || creator.find("Illustrator") != std::string::npos;
  f.cut = dsc.cut;

  if (!f.fonts.empty()) f.findings.push_back(kFindingFonts);
  if (f.colourModel == "RGB") f.findings.push_back(kFindingRgb);
  if (!f.spotColours.empty()) f.findings.push_back(kFindingSpot);
  if (f.transparency == true) f.findings.push_back(kFindingTransparency);
  // The window program calls every document without "EPSF" an AI one; one that carries nothing
  // of Illustrator's is plain PostScript, which a print shop treats differently.
  if (dsc.header && kind != "EPS" && !f.illustrator) f.findings.push_back(kFindingPostScript);
  return f;
}

CheckFacts CheckDocument(const std::filesystem::path& document, const std::string& kind, const std::string& creator) {
  const analysis::DscFacts dsc = analysis::ReadDscComments(document);
  std::optional<analysis::XmpFacts> xmp;
  if (const auto packet = analysis::FindXmpPacket(document); packet && !packet->tooLong) {
    xmp = analysis::ReadXmp(packet->text);
  }
  return MergeFacts(dsc, xmp, kind, creator);
}

std::string SizeText(const CheckFacts& f) {
  if (!f.widthMm || !f.heightMm) return "";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f×%.1f", *f.widthMm, *f.heightMm);
  return buf;
}

}  // namespace pelmora::cli
