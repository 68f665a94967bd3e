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

enum Column { kFile, kKind, kVersion, kMac, kPdf, kImages, kCreator, kColumns };
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
  row.path = std::move(path);
  row.kind = result.strFiletype;
  row.creator = Decoded(result.vstrVersionString);
  row.creatorVersion = Decoded(result.vstrCreatorVersion);
  row.versionName = IllustratorVersionName(result.vstrCreatorVersion);
  row.macBinary = result.vblnMac;
  row.pdf = pdf;
  const auto count = static_cast<std::size_t>(std::max<std::int32_t>(result.vlngLinkImage, 0));
  for (std::size_t i = 0; i < count && i < result.rastrLinkImage.size(); ++i) {
    if (!result.rastrLinkImage[i].empty()) row.images.push_back(Decoded(result.rastrLinkImage[i]));
  }
  return row;
}

std::string FormatTable(const std::vector<DocumentRow>& rows, bool images) {
  std::vector<std::array<std::string, kColumns>> cells;
  cells.reserve(rows.size() + 1);
  std::array<std::string, kColumns> head;
  std::copy(kHeadings.begin(), kHeadings.end(), head.begin());
  cells.push_back(head);
  for (const DocumentRow& r : rows) {
    cells.push_back({PrintableCell(r.path), PrintableCell(r.kind), PrintableCell(VersionCell(r)),
                     r.macBinary ? kYes : kNo, r.pdf ? kYes : kNo, std::to_string(r.images.size()),
                     PrintableCell(r.creator)});
  }
  std::vector<std::array<int, kColumns>> used(cells.size());
  std::array<int, kColumns> width{};
  for (std::size_t i = 0; i < cells.size(); ++i) {
    for (int c = 0; c < kColumns; ++c) width[c] = std::max(width[c], used[i][c] = DisplayWidth(cells[i][c]));
  }

  std::string out;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    std::string line;
    for (int c = 0; c < kColumns; ++c) {
      const int w = used[i][c];
      if (c == kImages && i > 0) Pad(line, width[c], w);  // counts read best right-aligned
      line += cells[i][c];
      if (c + 1 < kColumns) {
        if (c != kImages || i == 0) Pad(line, width[c], w);
        line += kGap;
      }
    }
    EndLine(out, std::move(line));
    if (images && i > 0) {
      for (const std::string& name : rows[i - 1].images) EndLine(out, std::string(kImageIndent) + PrintableCell(name));
    }
  }
  return out;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
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
  out += "]}\n";
  return out;
}

}  // namespace pelmora::cli
