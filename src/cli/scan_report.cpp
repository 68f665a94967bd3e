#include "cli/scan_report.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "analysis/ansi_text.h"
#include "cli/text_utf8.h"
#include "cli/version_name.h"

namespace pelmora::cli {

namespace {

constexpr const char* kYes = "あり";  // the result window's words for the MacBinary field
constexpr const char* kNo = "なし";
constexpr std::string_view kGap = "  ";
constexpr std::string_view kImageIndent = "    ";
constexpr std::string_view kCutMark = "…";

enum Column { kFile, kKind, kVersion, kMac, kPdf, kImages, kCreator, kColumns };
static_assert(kColumns == TableWriter::kColumns);
constexpr std::array<const char*, kColumns> kHeadings = {"ファイル名", "種類", "バージョン", "Mac", "PDF", "配置画像", "保存形式"};

// Code page 932 keeps ASCII as it is; most values are ASCII, and decoding costs a converter each.
std::string Decoded(std::string_view cp932) {
  if (IsAscii(cp932)) return std::string(cp932);
  return ToUtf8(analysis::DecodeAnsi(cp932));
}

std::string VersionCell(const DocumentRow& row) {
  if (row.versionName.empty()) return row.creatorVersion;
  return row.creatorVersion + " (" + row.versionName + ")";
}

void Pad(std::string& line, int width, int used) { line.append(static_cast<std::size_t>(std::max(0, width - used)), ' '); }

void EndLine(std::string& out, std::string line) {
  line.erase(line.find_last_not_of(' ') + 1);
  out += line;
  out += '\n';
}

}  // namespace

DocumentRow MakeRow(std::string path, const launch::AnalysisResult& result, bool pdf) {
  DocumentRow row;
  bool cut = false;
  // A cut value ends in a mark, so that the start shown is not taken for the whole.
  const auto capped = [&](std::string text) {
    bool c;
    std::string out = CapChars(text, kValueChars, c);
    if (c) out += kCutMark;
    cut = cut || c;
    return out;
  };
  row.path = capped(std::move(path));
  row.kind = result.strFiletype;
  row.creator = capped(Decoded(result.vstrVersionString));
  row.creatorVersion = capped(Decoded(result.vstrCreatorVersion));
  row.versionName = IllustratorVersionName(result.vstrCreatorVersion);
  row.macBinary = result.vblnMac;
  row.pdf = pdf;
  const auto count = static_cast<std::size_t>(std::max<std::int32_t>(result.vlngLinkImage, 0));
  for (std::size_t i = 0; i < count && i < result.rastrLinkImage.size(); ++i) {
    if (!result.rastrLinkImage[i].empty()) row.images.push_back(capped(Decoded(result.rastrLinkImage[i])));
  }
  row.cut = cut;
  return row;
}

TableWriter::TableWriter(bool images, std::size_t blockBytes) : images_(images), blockBytes_(blockBytes) {
  Held head;
  std::copy(kHeadings.begin(), kHeadings.end(), head.cells.begin());
  head.heading = true;
  Keep(std::move(head));
}

void TableWriter::Keep(Held held) {
  for (int c = 0; c < kColumns; ++c) {
    width_[c] = std::max(width_[c], held.used[c] = DisplayWidth(held.cells[c]));
    kept_ += held.cells[c].size();
  }
  for (const std::string& line : held.images) kept_ += line.size();
  held_.push_back(std::move(held));
}

void TableWriter::KeepRow(const DocumentRow& r) {
  Held h;
  h.cells = {PrintableCell(r.path), PrintableCell(r.kind), PrintableCell(VersionCell(r)), r.macBinary ? kYes : kNo,
             r.pdf ? kYes : kNo, std::to_string(r.images.size()), PrintableCell(r.creator)};
  if (images_) {
    for (const std::string& name : r.images) h.images.push_back(std::string(kImageIndent) + PrintableCell(name));
  }
  Keep(std::move(h));
}

std::string TableWriter::Flush() {
  std::string out;
  for (const Held& h : held_) {
    std::string line;
    for (int c = 0; c < kColumns; ++c) {
      const int w = h.used[c];
      if (c == kImages && !h.heading) Pad(line, width_[c], w);  // counts read best right-aligned
      line += h.cells[c];
      if (c + 1 < kColumns) {
        if (c != kImages || h.heading) Pad(line, width_[c], w);
        line += kGap;
      }
    }
    EndLine(out, std::move(line));
    for (const std::string& image : h.images) EndLine(out, image);
  }
  held_.clear();
  kept_ = 0;
  return out;
}

std::string FormatTable(const std::vector<DocumentRow>& rows, bool images) {
  TableWriter table(images, static_cast<std::size_t>(-1));
  for (const DocumentRow& r : rows) table.Add(r, [](const std::string&) {});
  return table.Flush();
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  const auto escape = [&out](char32_t c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
    out += buf;
  };
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[pos]);
    if (b >= 0x80) {
      // JSON allows these raw, but a reader that prints them acts on them: escaped, they read the same.
      const std::size_t at = pos;
      const char32_t c = NextCodePoint(utf8, pos);
      if (IsTerminalControl(c)) {
        escape(c);
      } else {
        out.append(utf8.substr(at, pos - at));
      }
      continue;
    }
    ++pos;
    switch (b) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (b < 0x20 || b == 0x7F) {
          escape(b);
        } else {
          out += static_cast<char>(b);
        }
    }
  }
  out += '"';
  return out;
}

std::string FormatJson(const DocumentRow& row) {
  std::string out = "{\"path\":" + JsonString(row.path);
  out += ",\"kind\":" + JsonString(row.kind);
  out += ",\"creator\":" + JsonString(row.creator);
  out += ",\"creator_version\":" + JsonString(row.creatorVersion);
  out += ",\"version_name\":" + JsonString(row.versionName);
  out += std::string(",\"macbinary\":") + (row.macBinary ? "true" : "false");
  out += std::string(",\"pdf\":") + (row.pdf ? "true" : "false");
  out += ",\"images\":[";
  for (std::size_t i = 0; i < row.images.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonString(row.images[i]);
  }
  out += ']';
  if (row.cut) out += ",\"truncated\":true";
  out += "}\n";
  return out;
}

}  // namespace pelmora::cli
