#include "cli/html_report.h"

#include <algorithm>

#include "base/text_utf8.h"
#include "preflight/preflight.h"

namespace pelmora::cli {

using namespace base;
using namespace preflight;

namespace {

constexpr const char* kStyle = R"(
:root{color-scheme:light;font-family:"Yu Gothic UI","Meiryo","Hiragino Sans","Noto Sans CJK JP",sans-serif;font-size:14px;color:#222}
body{margin:0;padding:16px;display:flex;flex-direction:column;gap:12px;max-width:60rem;margin-inline:auto}
h1{font-size:1.3rem;margin:0}
.summary{order:-1;border:1px solid #999;border-radius:6px;padding:8px 12px;background:#f4f4f4}
.summary dl{display:flex;flex-wrap:wrap;gap:4px 24px;margin:6px 0 0}
.summary dt{font-weight:bold}.summary dd{margin:0}
.doc{border:1px solid #bbb;border-radius:6px;padding:10px;display:grid;grid-template-columns:minmax(0,180px) minmax(0,1fr);gap:10px;break-inside:avoid}
.doc h2{font-size:1.05rem;margin:0 0 4px;overflow-wrap:anywhere;grid-column:1/-1}
.thumb img{max-width:100%;height:auto;border:1px solid #ddd;background:#fff}
.thumb .none{color:#777;font-size:.85rem}
table{border-collapse:collapse;width:100%}
th{text-align:left;vertical-align:top;white-space:nowrap;padding:2px 8px 2px 0;color:#444;font-weight:normal}
td{padding:2px 0;overflow-wrap:anywhere}
ul{margin:0;padding-left:1.2em}
.badge{display:inline-block;border-radius:4px;padding:1px 6px;margin:2px 4px 2px 0;background:#c62828;color:#fff;font-weight:bold}
.ok{color:#2e7d32;font-weight:bold}
.findings li{list-style:none;margin-left:-1.2em}
.failed{border-color:#c62828}
@media (max-width:600px){.doc{grid-template-columns:1fr}.thumb{max-width:240px}}
@page{size:A4;margin:12mm}
@media print{body{padding:0;max-width:none}.doc{page-break-inside:avoid}}
)";

std::string Item(const char* label, const std::string& html) {
  if (html.empty()) return {};
  return std::string("<tr><th>") + label + "</th><td>" + html + "</td></tr>\n";
}

template <typename List, typename Text>
std::string Bullets(const List& list, Text text) {
  if (list.empty()) return {};
  std::string out = "<ul>";
  for (const auto& item : list) out += "<li>" + text(item) + "</li>";
  return out + "</ul>";
}

bool Missing(const CheckFacts::Link& l) {
  return l.status == delivery::ImageLocation::Status::kMissing || l.status == delivery::ImageLocation::Status::kOutside ||
         l.status == delivery::ImageLocation::Status::kInvalid;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

}  // namespace

std::string HtmlText(std::string_view utf8) {
  const std::string printable = PrintableCell(utf8);
  std::string out;
  out.reserve(printable.size());
  for (const char c : printable) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string HtmlReport::Begin(const std::string& title) const {
  return std::string("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n") +
         // Nothing but the page itself: no script, no font, no picture from anywhere but the page.
         "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
         "style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'\">\n"
         "<meta name=\"referrer\" content=\"no-referrer\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>入稿チェック: " + HtmlText(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
}

std::string HtmlReport::Document(const DocumentRow& r, const std::optional<Thumbnail>& thumbnail) {
  ++documents_;
  const CheckFacts empty;
  const CheckFacts& f = r.check ? *r.check : empty;
  if (!f.findings.empty()) ++withFindings_;
  missingLinks_ += static_cast<std::size_t>(std::count_if(f.links.begin(), f.links.end(), Missing));

  std::string out = "<section class=\"doc\">\n<h2>" + HtmlText(r.path) + "</h2>\n<div class=\"thumb\">";
  if (thumbnail) {
    out += "<img alt=\"プレビュー\" src=\"data:" + thumbnail->mime + ";base64," + Base64(thumbnail->bytes) + "\">";
  } else {
    out += "<span class=\"none\">プレビューなし</span>";
  }
  out += "</div>\n<table>\n";
  std::string version = HtmlText(r.creatorVersion);
  if (!r.versionName.empty()) version += " (" + HtmlText(r.versionName) + ")";
  out += Item("種類", HtmlText(r.kind.empty() ? "不明" : r.kind) + (r.pdf ? "、PDF 互換" : "") +
                          (r.macBinary ? "、MacBinary" : ""));
  out += Item("バージョン", version);
  out += Item("保存形式", HtmlText(r.creator));
  if (!f.artboards.empty()) {
    out += Item("アートボード", Bullets(f.artboards, [](const Artboard& a) { return HtmlText(ArtboardText(a)) + " mm"; }));
  } else {
    out += Item("サイズ", HtmlText(SizeText(f)) + (SizeText(f).empty() ? "" : " mm"));
  }
  out += Item("フォント", Bullets(f.fonts, [](const Font& font) {
                return HtmlText(font.name) + (font.embedded == true ? "（埋め込み）" : font.embedded == false ? "（埋め込みなし）" : "");
              }));
  std::string colours = HtmlText(f.colourModel.value_or(""));
  if (!f.spotColours.empty()) {
    colours += (colours.empty() ? "" : "、") + std::string("特色: ");
    for (std::size_t i = 0; i < f.spotColours.size(); ++i) colours += (i ? "、" : "") + HtmlText(f.spotColours[i]);
  }
  out += Item("カラー", colours);
  out += Item("透明効果", !f.transparency ? "" : *f.transparency ? "あり" : "なし");
  out += Item("リンク", Bullets(f.links, [](const CheckFacts::Link& l) { return HtmlText(LinkText(l)); }));
  out += Item("画像", Bullets(f.placed, [](const Placed& p) { return HtmlText(PlacedText(p)); }));
  std::string findings;
  if (!r.check) {
    findings = "";
  } else if (f.findings.empty()) {
    findings = "<span class=\"ok\">指摘なし</span>";
  } else {
    findings = "<ul class=\"findings\">";
    for (const std::string& word : f.findings) {
      findings += "<li><span class=\"badge\">" + HtmlText(word) + "</span>" + HtmlText(FindingAdvice(word)) + "</li>";
    }
    findings += "</ul>";
  }
  out += Item("指摘", findings);
  return out + "</table>\n</section>\n";
}

std::string HtmlReport::Failure(const std::string& path, const std::string& message) {
  ++failed_;
  return "<section class=\"doc failed\">\n<h2>" + HtmlText(path) + "</h2>\n<p><span class=\"badge\">読めません</span>" +
         HtmlText(message) + "</p>\n</section>\n";
}

std::string HtmlReport::End() const {
  const auto entry = [](const char* label, std::size_t n) {
    return std::string("<div><dt>") + label + "</dt><dd>" + std::to_string(n) + "</dd></div>";
  };
  return "<section class=\"summary\">\n<h1>入稿チェック</h1>\n<dl>" + entry("文書", documents_ + failed_) +
         entry("指摘のある文書", withFindings_) + entry("リンク切れ", missingLinks_) + entry("読めなかった文書", failed_) +
         "</dl>\n</section>\n</body>\n</html>\n";
}

}  // namespace pelmora::cli
