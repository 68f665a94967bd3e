#include "cli/collect_report.h"

#include "base/text_utf8.h"
#include "preflight/linked_files.h"

namespace pelmora::cli {

using delivery::CollectEntry;
using delivery::CollectSummary;
using delivery::EntryList;
using namespace base;

namespace {

// `arrow`: the file shown after the name, if any.
std::string Entries(const char* title, const EntryList& list, std::string CollectEntry::*arrow) {
  if (list.empty()) return {};
  std::string out = std::string(title) + "\n";
  for (const CollectEntry& e : list) {
    out += "  " + PrintableCell(e.document) + ": " + PrintableCell(e.image);
    if (arrow) out += " → " + PrintableCell(e.*arrow);
    if (!e.reason.empty()) out += " (" + PrintableCell(e.reason) + ")";
    out += '\n';
  }
  if (list.unlisted > 0) out += "  ほか " + std::to_string(list.unlisted) + " 件\n";
  return out;
}

std::string JsonEntries(const EntryList& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CollectEntry& e = list[i];
    if (i > 0) out += ',';
    out += "{\"document\":" + JsonString(e.document) + ",\"image\":" + JsonString(e.image);
    if (!e.source.empty()) out += ",\"source\":" + JsonString(e.source);
    if (!e.target.empty()) out += ",\"target\":" + JsonString(e.target);
    if (!e.match.empty()) {
      out += ",\"match\":" + JsonString(e.match);
    } else if (!e.reason.empty()) {
      out += ",\"reason\":" + JsonString(e.reason);
    }
    out += '}';
  }
  return out + "]";
}

std::string Count(const std::optional<long long>& v) { return v ? std::to_string(*v) : std::string("null"); }

// "PSD 1200×800px CMYK", or why nothing is known.
std::string ImageText(const preflight::ImageHeader& h) {
  preflight::Placed p;
  p.file = h.file;
  if (!h.problem.empty()) p.file->problem = h.problem;
  p.widthPx = h.widthPx;
  p.heightPx = h.heightPx;
  p.color = h.color;
  p.bits = h.file.bits;
  return preflight::PlacedFactsText(p);
}

}  // namespace

std::vector<preflight::ImageHeader> ReadCollected(const CollectSummary& s, const delivery::Delivery& delivery,
                                                  bool anywhere) {
  std::vector<preflight::ImageHeader> out;
  for (const CollectEntry& e : s.collected) {
    preflight::ImageHeader h;
    if (const auto bytes = preflight::OpenFound(delivery, e.source, anywhere)) {
      h = preflight::ReadImageHeader(*bytes);
    } else {
      h.problem = "開けません";
    }
    out.push_back(std::move(h));
  }
  return out;
}

std::string FormatCollectSummary(const CollectSummary& s, const std::vector<preflight::ImageHeader>& images) {
  std::string out = "配置画像: 見つかった " + std::to_string(s.found) + " / コピーした " + std::to_string(s.copied) +
                    " / 同じファイルが既にある " + std::to_string(s.present) + " / 同名の別ファイルがある " +
                    std::to_string(s.conflicts.total()) + " / コピーできない " + std::to_string(s.failed.total()) +
                    " / 見つからない " + std::to_string(s.missing.total()) + " / フォルダー外 " +
                    std::to_string(s.outside.total()) + " / 無効な名前 " + std::to_string(s.invalid.total()) + "\n";
  out += Entries("同名の別ファイルがあるためコピーしなかった画像:", s.conflicts, &CollectEntry::target);
  out += Entries("コピーできなかった画像:", s.failed, &CollectEntry::target);
  out += Entries("見つからない画像:", s.missing, nullptr);
  out += Entries("調べるフォルダーの外を指すため読まなかった画像:", s.outside, nullptr);
  out += Entries("ファイル名として無効なため読まなかった画像:", s.invalid, nullptr);
  out += Entries("名前の表記の違いを補って見つけた画像:", s.matched, &CollectEntry::source);
  if (!images.empty()) {
    out += "見つかった画像の形式、ピクセル数、カラー:\n";
    for (std::size_t i = 0; i < images.size() && i < s.collected.size(); ++i) {
      out += "  " + PrintableCell(s.collected[i].source) + ": " + PrintableCell(ImageText(images[i])) + "\n";
    }
    if (s.collected.unlisted > 0) out += "  ほか " + std::to_string(s.collected.unlisted) + " 件\n";
  }
  return out;
}

std::string FormatCollectJson(const CollectSummary& s, const std::vector<preflight::ImageHeader>& images) {
  std::string files = "[";
  for (std::size_t i = 0; i < images.size() && i < s.collected.size(); ++i) {
    const preflight::ImageHeader& h = images[i];
    if (i > 0) files += ',';
    files += "{\"source\":" + JsonString(s.collected[i].source) +
             ",\"type\":" + (h.file.type.empty() ? std::string("null") : JsonString(h.file.type)) +
             ",\"width_px\":" + Count(h.widthPx) + ",\"height_px\":" + Count(h.heightPx) +
             ",\"color\":" + (h.color ? JsonString(*h.color) : std::string("null")) +
             ",\"bits\":" + (h.file.bits ? std::to_string(*h.file.bits) : std::string("null")) +
             ",\"problem\":" + (h.problem.empty() ? std::string("null") : JsonString(h.problem)) + "}";
  }
  files += "]";
  return "{\"collect\":{\"found\":" + std::to_string(s.found) + ",\"copied\":" + std::to_string(s.copied) +
         ",\"present\":" + std::to_string(s.present) + ",\"conflicts\":" + JsonEntries(s.conflicts) +
         ",\"failed\":" + JsonEntries(s.failed) + ",\"missing\":" + JsonEntries(s.missing) + ",\"outside\":" + JsonEntries(s.outside) +
         ",\"invalid\":" + JsonEntries(s.invalid) + ",\"matched\":" + JsonEntries(s.matched) + ",\"unlisted\":" +
         std::to_string(s.conflicts.unlisted + s.failed.unlisted + s.missing.unlisted + s.outside.unlisted + s.invalid.unlisted +
                        s.matched.unlisted) +
         ",\"images\":" + files + "}}\n";
}

}  // namespace pelmora::cli
