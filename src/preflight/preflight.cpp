#include "preflight/preflight.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <type_traits>
#include <unordered_set>

#include "analysis/ansi_text.h"
#include "base/text_utf8.h"

namespace pelmora::preflight {

using namespace base;
using namespace delivery;

namespace {

// "[Registration]", "[None]" and their translations are Illustrator's own: every plate or none.
bool OwnColour(std::string_view name) { return name.size() >= 2 && name.front() == '[' && name.back() == ']'; }

// One list merged from both sources, de-duplicated by a set and held to the readers' cap. Fonts
// are kept with room for what the PDF layer later says of their embedding.
template <typename Item>
class MergedList {
 public:
  MergedList(std::vector<Item>& list, bool& cut) : list_(list), cut_(cut) {}
  void Add(std::string name) {
    if (name.empty() || seen_.count(name)) return;
    if (list_.size() >= analysis::kDscNames) {
      cut_ = true;
      return;
    }
    seen_.insert(name);
    if constexpr (std::is_same_v<Item, std::string>) {
      list_.push_back(std::move(name));
    } else {
      list_.push_back({std::move(name), {}});
    }
  }

 private:
  std::vector<Item>& list_;
  bool& cut_;
  std::unordered_set<std::string> seen_;
};

void AddFindingOnce(std::vector<std::string>& findings, const char* word) {
  if (std::find(findings.begin(), findings.end(), word) == findings.end()) findings.push_back(word);
}

constexpr double kMmPerPoint = 25.4 / 72;

}  // namespace

std::optional<analysis::XmpFacts> ReadXmpFacts(const std::filesystem::path& document) {
  const auto packet = analysis::FindXmpPacket(document);
  if (!packet || packet->tooLong) return std::nullopt;
  analysis::XmpFacts facts = analysis::ReadXmp(packet->text);
  if (!facts.wellFormed) return std::nullopt;
  return facts;
}

namespace {
constexpr std::wstring_view kAtEnd = L"(atend)";
}  // namespace

bool ListAtEnd(const std::vector<std::wstring>& header) {
  return std::find(header.begin(), header.end(), kAtEnd) != header.end();
}

std::vector<std::wstring> LinkNames(const std::vector<std::wstring>& header, const analysis::DscFacts* dsc,
                                    const std::optional<analysis::XmpFacts>& xmp) {
  std::vector<std::wstring> names;
  for (const std::wstring& n : header) {
    if (n == kAtEnd) {
      // The names the trailer gives, in the list's place; without them, no file.
      if (dsc) {
        for (const std::string& f : dsc->files) names.push_back(analysis::DecodeAnsi(f));
      }
    } else if (!n.empty()) {
      names.push_back(n);
    }
  }
  // The window's header text ends at its scan window, so a long line before the list hides the
  // list from it; the comments' reader passes over such a line, and what it found there counts.
  if (dsc && !ListAtEnd(header)) {
    std::unordered_set<std::wstring> listed(names.begin(), names.end());
    for (const std::string& f : dsc->files) {
      std::wstring name = analysis::DecodeAnsi(f);
      if (!name.empty() && name != kAtEnd && listed.insert(name).second) names.push_back(std::move(name));
    }
  }
  if (!xmp) return names;
  std::vector<std::wstring> linked, byReference;
  for (const auto& link : xmp->links) (link.embedded ? byReference : linked).push_back(FromUtf8(link.path));
  // Illustrator writes linked files as "EmbedByReference" too: their paths give a header name its
  // marks back, but add none of their own, as a copy inside the document needs no file.
  if (!byReference.empty()) {
    const std::size_t listed = names.size();
    names = MergeLinkNames(names, byReference);
    names.resize(listed);
  }
  return MergeLinkNames(names, linked);
}

std::vector<CheckFacts::Link> LocateLinks(const std::filesystem::path& document, const std::vector<std::wstring>& names,
                                          const Delivery& delivery) {
  std::vector<CheckFacts::Link> links;
  const ImageSearch search(document, delivery, false);
  for (const std::wstring& name : names) {
    const ImageLocation where = search.Locate(name);
    links.push_back({ToUtf8(name), where.status, where.found.empty() ? "" : PathText(where.found), where.how});
  }
  return links;
}

const char* StatusText(ImageLocation::Status status) {
  switch (status) {
    case ImageLocation::Status::kWritten: return "元のパス";
    case ImageLocation::Status::kBeside: return "文書と同じフォルダー";
    case ImageLocation::Status::kLinks: return "Links フォルダー";
    case ImageLocation::Status::kMissing: return "見つからない";
    case ImageLocation::Status::kOutside: return "フォルダー外";
    case ImageLocation::Status::kInvalid: return "無効な名前";
    case ImageLocation::Status::kAmbiguous: return "候補が複数";
  }
  return "";
}

const char* StatusKey(ImageLocation::Status status) {
  switch (status) {
    case ImageLocation::Status::kWritten: return "found_where_written";
    case ImageLocation::Status::kBeside: return "found_beside_document";
    case ImageLocation::Status::kLinks: return "found_in_links_folder";
    case ImageLocation::Status::kMissing: return "missing";
    case ImageLocation::Status::kOutside: return "outside_delivery";
    case ImageLocation::Status::kInvalid: return "invalid_name";
    case ImageLocation::Status::kAmbiguous: return "ambiguous";
  }
  return "";
}

CheckFacts MergeFacts(const analysis::DscFacts& dsc, const std::optional<analysis::XmpFacts>& xmp,
                      const std::string& kind, const std::string& creator, std::vector<CheckFacts::Link> links) {
  CheckFacts f;
  f.links = std::move(links);
  f.cut = dsc.cut || (xmp && xmp->cut);
  MergedList<Font> fonts(f.fonts, f.cut);
  MergedList<std::string> process(f.processColours, f.cut), spots(f.spotColours, f.cut);
  for (const std::string& n : dsc.fonts) fonts.Add(Cp932ToUtf8(n));
  for (const std::string& n : dsc.processColours) process.Add(Cp932ToUtf8(n));
  for (const std::string& n : dsc.spotColours) {
    if (!OwnColour(n)) spots.Add(Cp932ToUtf8(n));
  }
  if (dsc.colourModel) f.colourModel = *dsc.colourModel == 1 ? "RGB" : "CMYK";
  if (const auto& box = dsc.hiResBoundingBox ? dsc.hiResBoundingBox : dsc.boundingBox) {
    f.widthMm = std::abs((*box)[2] - (*box)[0]) * kMmPerPoint;
    f.heightMm = std::abs((*box)[3] - (*box)[1]) * kMmPerPoint;
  }
  if (xmp) {
    for (const std::string& n : xmp->fonts) fonts.Add(ValidUtf8(n));
    for (const std::string& n : xmp->spotColours) {
      if (!OwnColour(n)) spots.Add(ValidUtf8(n));
    }
    if (!f.widthMm && xmp->widthMm) {
      f.widthMm = xmp->widthMm;
      f.heightMm = xmp->heightMm;
    }
    f.transparency = xmp->visibleTransparency;
  }
  f.illustrator = dsc.illustrator || creator.find("Illustrator") != std::string::npos;
  // A font another writer's document asks the printer for is not in it. Illustrator lists every
  // font as needed, embedded or not, and says more in its native data.
  if (!f.illustrator) {
    for (const std::string& n : dsc.neededFonts) {
      const std::string name = Cp932ToUtf8(n);
      for (Font& font : f.fonts) {
        if (font.name == name) font.embedded = false;
      }
    }
  }

  if (!f.fonts.empty()) f.findings.push_back(kFindingFonts);
  if (f.colourModel == "RGB") f.findings.push_back(kFindingRgb);
  if (!f.spotColours.empty()) f.findings.push_back(kFindingSpot);
  if (f.transparency == true) f.findings.push_back(kFindingTransparency);
  // Outside the delivery or unusable is as missing to the print shop as not there at all.
  if (std::any_of(f.links.begin(), f.links.end(), [](const CheckFacts::Link& l) {
        return l.status == ImageLocation::Status::kMissing || l.status == ImageLocation::Status::kOutside ||
               l.status == ImageLocation::Status::kInvalid || l.status == ImageLocation::Status::kAmbiguous;
      })) {
    f.findings.push_back(kFindingMissingLinks);
  }
  // A link found only under another form of its name works, but the document's list no longer
  // names its file: "no findings" says that every name matched as written.
  if (std::any_of(f.links.begin(), f.links.end(), [](const CheckFacts::Link& l) {
        return l.how == NameMatch::kNormalised || l.how == NameMatch::kMarksLost;
      })) {
    f.findings.push_back(kFindingNameVariant);
  }
  // The window program calls every document without "EPSF" an AI one; one that carries nothing
  // of Illustrator's is plain PostScript, which a print shop treats differently.
  if (dsc.header && kind != "EPS" && !f.illustrator) f.findings.push_back(kFindingPostScript);
  return f;
}

std::string MmText(double mm) {
  // The readers bound every size, so 40 characters always hold it.
  char buf[40];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, mm, std::chars_format::fixed, 1);
  return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

std::string SizeText(const CheckFacts& f) {
  if (!f.artboards.empty()) {
    const Artboard& a = f.artboards.front();
    std::string text = MmText(a.widthMm) + "×" + MmText(a.heightMm);
    if (f.artboards.size() > 1) text += " +" + std::to_string(f.artboards.size() - 1);
    return text;
  }
  if (!f.widthMm || !f.heightMm) return "";
  return MmText(*f.widthMm) + "×" + MmText(*f.heightMm);
}

const char* FindingAdvice(std::string_view finding) {
  static constexpr struct {
    const char* word;
    const char* advice;
  } kAdvice[] = {
      {kFindingFonts, "文字をアウトライン化するか、使っているフォントを添えて再入稿してください。"},
      {kFindingRgb, "ドキュメントのカラーモードを CMYK にし、色を確かめてから再入稿してください。"},
      {kFindingSpot, "特色の版を刷るか、プロセスカラー (CMYK) に置き換えるかを確かめてください。"},
      {kFindingTransparency, "透明効果の分割・統合で仕上がりが変わらないか確かめてください。"},
      {kFindingMissingLinks, "見つからない配置画像を入稿データに加えて再入稿してください。"},
      {kFindingPostScript, "Illustrator 形式か EPS 形式で保存し直して再入稿してください。"},
      {kFindingBleed, "仕上がりの外側に塗り足しを付けてください (既定 3 mm 以上)。"},
      {kFindingLowResolution, "実効解像度の足りない画像を、解像度の高い画像に差し替えてください。"},
      {kFindingRgbImage, "RGB の画像を CMYK に変換して再入稿してください。"},
  };
  for (const auto& a : kAdvice) {
    if (finding == a.word) return a.advice;
  }
  return "";
}

const char* SourceKey(Source source) {
  switch (source) {
    case Source::kNative: return "native";
    case Source::kPdf: return "pdf";
    case Source::kComments: return "comments";
    case Source::kXmp: return "xmp";
    case Source::kFile: return "file";
    case Source::kUnknown: break;
  }
  return nullptr;
}

const char* PdfLayerKey(PdfLayer layer) {
  switch (layer) {
    case PdfLayer::kRead: return "read";
    case PdfLayer::kPlaceholder: return "placeholder";
    case PdfLayer::kUnreadable: return "unreadable";
    case PdfLayer::kEncrypted: return "encrypted";
    case PdfLayer::kNone: break;
  }
  return nullptr;
}

void AddDrawnFindings(CheckFacts& f, const Thresholds& limits) {
  // A bleed the document does not state is not a shortfall it can be blamed for.
  if (std::any_of(f.artboards.begin(), f.artboards.end(), [&](const Artboard& a) {
        return a.bleedMm && std::min({a.bleedMm->left, a.bleedMm->right, a.bleedMm->top, a.bleedMm->bottom}) <
                                limits.minBleedMm - 0.05;  // the tenth shown is what counts
      })) {
    AddFindingOnce(f.findings, kFindingBleed);
  }
  if (std::any_of(f.placed.begin(), f.placed.end(), [&](const Placed& p) {
        const double need = p.bits == 1 ? 2 * limits.minPpi : limits.minPpi;
        return (p.ppiX && *p.ppiX < need - 0.5) || (p.ppiY && *p.ppiY < need - 0.5);
      })) {
    AddFindingOnce(f.findings, kFindingLowResolution);
  }
  if (f.colourModel == "CMYK" && std::any_of(f.placed.begin(), f.placed.end(), [](const Placed& p) {
        // An indexed image's palette decides; one of unknown colours is taken for RGB, as most are.
        return p.color == "RGB" || (p.color == "Indexed" && (!p.colorBase || p.colorBase == "RGB"));
      })) {
    AddFindingOnce(f.findings, kFindingRgbImage);
  }
}

}  // namespace pelmora::preflight
