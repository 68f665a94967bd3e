#include "cli/scan_report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "analysis/ansi_text.h"
#include "analysis/dsc_comments.h"
#include "base/text_utf8.h"
#include "preflight/linked_files.h"
#include "preflight/version_name.h"

namespace pelmora::cli {

using namespace base;
using namespace delivery;
using namespace preflight;

namespace {

constexpr const char* kYes = "あり";  // the result window's words for the MacBinary field
constexpr const char* kNo = "なし";
constexpr std::string_view kGap = "  ";
constexpr std::string_view kImageIndent = "    ";
constexpr std::string_view kCutMark = "…";

enum Column { kFile, kKind, kVersion, kMac, kPdf, kImages, kCreator, kColumns };
static_assert(kColumns == TableWriter::kColumns);
constexpr std::array<const char*, kColumns> kHeadings = {"ファイル名", "種類", "バージョン", "MacBinary", "PDF", "配置画像", "保存形式"};
// Between the placed images and the creator; the counts among them are right-aligned too.
constexpr std::array<const char*, TableWriter::kCheckColumns> kCheckHeadings = {"フォント", "カラー", "特色",
                                                                                 "サイズ(mm)", "透明効果", "指摘"};
constexpr std::array<bool, TableWriter::kCheckColumns> kCheckCount = {true, false, true, false, false, false};
constexpr std::string_view kFindingGap = "、";

bool RightAligned(int column, bool check) {
  if (column == kImages) return true;
  return check && column > kImages && column <= kImages + TableWriter::kCheckColumns && kCheckCount[column - kImages - 1];
}

std::string VersionCell(const DocumentRow& row) {
  if (row.versionName.empty()) return row.creatorVersion;
  return row.creatorVersion + " (" + row.versionName + ")";
}

// The PDF column: with the check, what became of the PDF layer too.
const char* PdfCell(const DocumentRow& row) {
  if (!row.pdf) return kNo;
  if (!row.check) return kYes;
  switch (row.check->pdfLayer) {
    case PdfLayer::kPlaceholder: return "なし (PDF 互換オフで保存)";
    case PdfLayer::kUnreadable: return "あり (読めない)";
    case PdfLayer::kEncrypted: return "あり (暗号化)";
    default: return kYes;
  }
}

// Illustrator's placeholder page is no PDF of the art: the document is not PDF compatible.
bool PdfCompatible(const DocumentRow& row) {
  return row.pdf && !(row.check && row.check->pdfLayer == PdfLayer::kPlaceholder);
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
  // "(MATLAB, The MathWorks, Inc. Version 8.5.0.197613 \\(R2015a\\).)" says its text as PostScript.
  const auto unwrapped = analysis::PostScriptString(analysis::TrimBlanks(result.vstrVersionString));
  row.creator = capped(Cp932ToUtf8(unwrapped ? *unwrapped : result.vstrVersionString));
  row.creatorVersion = capped(Cp932ToUtf8(result.vstrCreatorVersion));
  row.versionName = IllustratorVersionName(result.vstrCreatorVersion);
  row.macBinary = result.vblnMac;
  row.pdf = pdf;
  const auto count = static_cast<std::size_t>(std::max<std::int32_t>(result.vlngLinkImage, 0));
  for (std::size_t i = 0; i < count && i < result.rastrLinkImage.size(); ++i) {
    if (!result.rastrLinkImage[i].empty()) row.images.push_back(capped(Cp932ToUtf8(result.rastrLinkImage[i])));
  }
  row.cut = cut;
  return row;
}

void AddCheck(DocumentRow& row, CheckFacts facts) {
  const auto cap = [&row](std::vector<std::string>& list) {
    for (std::string& v : list) {
      bool c;
      std::string out = CapChars(v, kValueChars, c);
      if (c) {
        out += kCutMark;
        row.cut = true;
      }
      v = std::move(out);
    }
  };
  for (Font& font : facts.fonts) {
    std::vector<std::string> one = {std::move(font.name)};
    cap(one);
    font.name = std::move(one[0]);
  }
  for (Placed& p : facts.placed) {
    if (!p.name) continue;
    std::vector<std::string> one = {std::move(*p.name)};
    cap(one);
    p.name = std::move(one[0]);
  }
  cap(facts.processColours);
  cap(facts.spotColours);
  for (CheckFacts::Link& l : facts.links) {
    std::vector<std::string> both = {std::move(l.name), std::move(l.found)};
    cap(both);
    l.name = std::move(both[0]);
    l.found = std::move(both[1]);
  }
  if (facts.cut) row.cut = true;
  row.check = std::move(facts);
}

std::vector<std::string> HeadingCells(bool check) {
  std::vector<std::string> cells(kHeadings.begin(), kHeadings.end() - 1);
  if (check) cells.insert(cells.end(), kCheckHeadings.begin(), kCheckHeadings.end());
  cells.push_back(kHeadings[kCreator]);
  return cells;
}

std::vector<std::string> RowCells(const DocumentRow& r, bool check) {
  std::vector<std::string> cells = {PrintableCell(r.path), PrintableCell(r.kind), PrintableCell(VersionCell(r)),
                                    r.macBinary ? kYes : kNo, PdfCell(r), std::to_string(r.images.size())};
  if (check) {
    if (r.check) {
      const CheckFacts& f = *r.check;
      std::string findings;
      for (const std::string& word : f.findings) {
        if (!findings.empty()) findings += kFindingGap;
        findings += word;
      }
      cells.push_back(std::to_string(f.fonts.size()));
      cells.push_back(f.colourModel.value_or(""));
      cells.push_back(std::to_string(f.spotColours.size()));
      cells.push_back(SizeText(f));
      cells.push_back(!f.transparency ? "" : *f.transparency ? kYes : kNo);
      cells.push_back(findings);
    } else {
      cells.resize(cells.size() + TableWriter::kCheckColumns);
    }
  }
  cells.push_back(PrintableCell(r.creator));
  return cells;
}

TableWriter::TableWriter(bool images, std::size_t blockBytes, bool check, ConsoleFit fit)
    : images_(images), check_(check), blockBytes_(blockBytes), fit_(fit) {
  Held head;
  head.cells = HeadingCells(check);
  head.heading = true;
  width_.assign(head.cells.size(), 0);
  Keep(std::move(head));
}

void TableWriter::Keep(Held held) {
  held.used.assign(held.cells.size(), 0);
  for (std::size_t c = 0; c < held.cells.size(); ++c) {
    width_[c] = std::max(width_[c], held.used[c] = DisplayWidth(held.cells[c], fit_.ambiguousWide));
    kept_ += held.cells[c].size();
  }
  for (const std::string& line : held.images) kept_ += line.size();
  held_.push_back(std::move(held));
}

void TableWriter::KeepRow(const DocumentRow& r) {
  Held h;
  h.cells = RowCells(r, check_);
  if (images_ && check_ && r.check) {
    // The merged names, each with where it was found.
    // The merged names, each with where it was found and what the file is.
    const CheckFacts& f = *r.check;
    std::vector<bool> shown(f.placed.size(), false);
    for (const CheckFacts::Link& l : f.links) {
      std::string line = std::string(kImageIndent) + PrintableCell(l.name) + "  [" + StatusText(l.status);
      if (*MatchText(l.how)) line += std::string("、") + MatchText(l.how);
      line += "]";
      // A file placed many times at one size is one line; other sizes follow as lines of their own.
      std::string first;
      int same = 0;
      for (std::size_t i = 0; i < f.placed.size(); ++i) {
        if (shown[i] || !PlacementOf(f.placed[i], l)) continue;
        const std::string text = PlacedFactsText(f.placed[i]);
        if (same == 0) first = text;
        if (same > 0 && text != first) continue;
        shown[i] = true;
        ++same;
      }
      if (!first.empty()) line += "  " + PrintableCell(first);
      if (same > 1) line += "  (" + std::to_string(same) + " か所)";
      h.images.push_back(line);
    }
    // The further placements of a file, and the images the document holds itself; a placement
    // with nothing known beyond its name is already listed among the links.
    // Alike ones (a logo repeated on every card) are one line with their count.
    std::vector<std::pair<std::string, int>> rest;
    for (std::size_t i = 0; i < f.placed.size(); ++i) {
      if (shown[i]) continue;
      const Placed& p = f.placed[i];
      if (p.linked && PlacedFactsText(p).empty()) continue;
      std::string line = std::string(kImageIndent) + (p.name && !p.name->empty() ? PrintableCell(*p.name) : "(埋め込み画像)");
      if (p.page) line += "  p." + std::to_string(*p.page);
      if (const std::string text = PlacedFactsText(p); !text.empty()) line += "  " + PrintableCell(text);
      const auto seen = std::find_if(rest.begin(), rest.end(), [&](const auto& r) { return r.first == line; });
      if (seen != rest.end()) {
        ++seen->second;
      } else {
        rest.emplace_back(std::move(line), 1);
      }
    }
    for (auto& [line, count] : rest) h.images.push_back(count > 1 ? line + "  (" + std::to_string(count) + " か所)" : line);
  } else if (images_) {
    for (const std::string& name : r.images) h.images.push_back(std::string(kImageIndent) + PrintableCell(name));
  }
  Keep(std::move(h));
}

void TableWriter::WriteBlock(std::string& out, const Held& h) {
  const std::vector<std::string> labels = HeadingCells(check_);
  if (wroteBlock_) out += '\n';
  wroteBlock_ = true;
  EndLine(out, h.cells[0]);
  for (std::size_t c = 1; c < h.cells.size() && c < labels.size(); ++c) {
    const std::string& value = h.cells[c];
    if (value.empty()) continue;
    const std::string label = std::string(kImageIndent.substr(2)) + labels[c] + ": ";
    if (check_ && labels[c] == kCheckHeadings.back()) {
      // One finding a line: they are what the operator acts on.
      for (std::size_t at = 0; at <= value.size();) {
        const std::size_t end = std::min(value.find(kFindingGap, at), value.size());
        EndLine(out, label + value.substr(at, end - at));
        at = end + kFindingGap.size();
      }
      continue;
    }
    EndLine(out, label + value);
  }
  for (const std::string& image : h.images) EndLine(out, image);
}

std::string TableWriter::Flush() {
  std::string out;
  if (fit_.columns > 0 && !blocks_) {
    int total = 0;
    for (const int w : width_) total += w;
    total += static_cast<int>(kGap.size()) * (static_cast<int>(width_.size()) - 1);
    blocks_ = total >= fit_.columns;  // a line as wide as the console leaves its own blank line
  }
  if (blocks_) {
    for (const Held& h : held_) {
      if (!h.heading) WriteBlock(out, h);
    }
    held_.clear();
    kept_ = 0;
    return out;
  }
  for (const Held& h : held_) {
    std::string line;
    const int columns = static_cast<int>(h.cells.size());
    for (int c = 0; c < columns; ++c) {
      const int w = h.used[c];
      const bool right = RightAligned(c, check_) && !h.heading;  // counts read best right-aligned
      if (right) Pad(line, width_[c], w);
      line += h.cells[c];
      if (c + 1 < columns) {
        if (!right) Pad(line, width_[c], w);
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


std::string FormatJson(const DocumentRow& row) {
  std::string out = "{\"path\":" + JsonString(row.path);
  out += ",\"kind\":" + JsonString(row.kind);
  out += ",\"creator\":" + JsonString(row.creator);
  out += ",\"creator_version\":" + JsonString(row.creatorVersion);
  out += ",\"version_name\":" + JsonString(row.versionName);
  out += std::string(",\"macbinary\":") + (row.macBinary ? "true" : "false");
  out += std::string(",\"pdf\":") + (PdfCompatible(row) ? "true" : "false");
  out += ",\"images\":[";
  for (std::size_t i = 0; i < row.images.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonString(row.images[i]);
  }
  out += ']';
  if (row.check) {
    const CheckFacts& f = *row.check;
    const auto list = [&out](const char* key, const std::vector<std::string>& values) {
      out += std::string(",\"") + key + "\":[";
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ',';
        out += JsonString(values[i]);
      }
      out += ']';
    };
    const auto number = [](const std::optional<double>& v) {
      return v ? MmText(*v) : std::string("null");
    };
    const auto optional_number = [](const std::optional<double>& v) {
      return v ? MmText(*v) : std::string("null");
    };
    const auto optional_bool = [](const std::optional<bool>& v) {
      return std::string(!v ? "null" : *v ? "true" : "false");
    };
    const auto optional_text = [](const std::optional<std::string>& v) {
      return v ? JsonString(*v) : std::string("null");
    };
    const auto source = [](Source s) {
      const char* key = SourceKey(s);
      return key ? "\"" + std::string(key) + "\"" : std::string("null");
    };
    out += ",\"fonts\":[";
    for (std::size_t i = 0; i < f.fonts.size(); ++i) {
      if (i > 0) out += ',';
      out += "{\"name\":" + JsonString(f.fonts[i].name) + ",\"embedded\":" + optional_bool(f.fonts[i].embedded) + "}";
    }
    out += ']';
    out += ",\"color_model\":" + (f.colourModel ? JsonString(*f.colourModel) : std::string("null"));
    list("process_colors", f.processColours);
    list("spot_colors", f.spotColours);
    // The size column's figures: the first artboard, else the art's box.
    const bool board = !f.artboards.empty();
    out += ",\"width_mm\":" + (board ? MmText(f.artboards[0].widthMm) : number(f.widthMm)) +
           ",\"height_mm\":" + (board ? MmText(f.artboards[0].heightMm) : number(f.heightMm));
    out += ",\"art_box_mm\":" + (f.widthMm && f.heightMm
                                      ? "{\"width\":" + MmText(*f.widthMm) + ",\"height\":" + MmText(*f.heightMm) + "}"
                                      : std::string("null"));
    out += ",\"artboards\":[";
    for (std::size_t i = 0; i < f.artboards.size(); ++i) {
      const Artboard& a = f.artboards[i];
      if (i > 0) out += ',';
      out += "{\"width_mm\":" + MmText(a.widthMm) + ",\"height_mm\":" + MmText(a.heightMm) + ",\"bleed_mm\":";
      out += a.bleedMm ? "{\"left\":" + MmText(a.bleedMm->left) + ",\"right\":" + MmText(a.bleedMm->right) +
                             ",\"top\":" + MmText(a.bleedMm->top) + ",\"bottom\":" + MmText(a.bleedMm->bottom) + "}"
                       : std::string("null");
      out += ",\"source\":" + source(a.source) + "}";
    }
    out += ']';
    out += std::string(",\"transparency\":") + (!f.transparency ? "null" : *f.transparency ? "true" : "false");
    out += ",\"links\":[";
    for (std::size_t i = 0; i < f.links.size(); ++i) {
      const CheckFacts::Link& l = f.links[i];
      if (i > 0) out += ',';
      const char* how = MatchKey(l.how);
      out += "{\"name\":" + JsonString(l.name) + ",\"status\":\"" + StatusKey(l.status) + "\",\"found\":" +
             (l.found.empty() ? std::string("null") : JsonString(l.found)) +
             ",\"match\":" + (how ? "\"" + std::string(how) + "\"" : std::string("null")) + "}";
    }
    out += ']';
    out += ",\"placed\":[";
    for (std::size_t i = 0; i < f.placed.size(); ++i) {
      const Placed& p = f.placed[i];
      if (i > 0) out += ',';
      const auto count = [](const std::optional<long long>& v) { return v ? std::to_string(*v) : std::string("null"); };
      out += "{\"name\":" + optional_text(p.name) + ",\"linked\":" + (p.linked ? "true" : "false") +
             ",\"width_px\":" + count(p.widthPx) + ",\"height_px\":" + count(p.heightPx) +
             ",\"color\":" + optional_text(p.color) + (p.colorBase ? ",\"color_base\":" + JsonString(*p.colorBase) : "") +
             ",\"ppi_x\":" + optional_number(p.ppiX) +
             ",\"ppi_y\":" + optional_number(p.ppiY) + ",\"page\":" + (p.page ? std::to_string(*p.page) : "null") +
             ",\"source\":" + source(p.source);
      if (p.file) {
        const ImageFile& file = *p.file;
        out += ",\"file\":{\"type\":" + (file.type.empty() ? std::string("null") : JsonString(file.type)) +
               ",\"bits\":" + (file.bits ? std::to_string(*file.bits) : "null") + ",\"icc\":" + optional_text(file.icc) +
               ",\"own_ppi_x\":" + optional_number(file.ownPpiX) + ",\"own_ppi_y\":" + optional_number(file.ownPpiY) + ",\"problem\":" + optional_text(file.problem) + "}";
      }
      out += '}';
    }
    out += ']';
    list("findings", f.findings);
    out += ",\"output_intent\":" + optional_text(f.outputIntent);
    out += ",\"pdf_layer\":" + (PdfLayerKey(f.pdfLayer) ? "\"" + std::string(PdfLayerKey(f.pdfLayer)) + "\"" : std::string("null"));
  }
  if (row.cut) out += ",\"truncated\":true";
  out += "}\n";
  return out;
}

std::string FormatJsonError(const std::string& path, std::int32_t number, const std::string& message) {
  // An entry that is no file (a pipe, a link to nothing) has a reason but no error number.
  return "{\"path\":" + JsonString(path) + ",\"error\":{\"number\":" + (number != 0 ? std::to_string(number) : "null") +
         ",\"message\":" + JsonString(message) + "}}\n";
}

std::string ArtboardText(const Artboard& a) {
  std::string text = MmText(a.widthMm) + "×" + MmText(a.heightMm);
  if (a.bleedMm) {
    text += " 塗り足し 上 " + MmText(a.bleedMm->top) + " 下 " + MmText(a.bleedMm->bottom) + " 左 " +
            MmText(a.bleedMm->left) + " 右 " + MmText(a.bleedMm->right);
  }
  return text;
}

std::string LinkText(const CheckFacts::Link& l) {
  std::string text = PrintableCell(l.name) + " [" + StatusText(l.status);
  if (*MatchText(l.how)) text += std::string("、") + MatchText(l.how);
  return text + "]";
}

std::string PlacedText(const Placed& p) {
  std::string text = p.name ? PrintableCell(*p.name) : std::string(p.page ? "埋め込み画像" : "画像");
  if (p.page) text += " (" + std::to_string(*p.page) + " ページ)";
  std::string facts;
  const auto add = [&facts](const std::string& fact) {
    if (fact.empty()) return;
    if (!facts.empty()) facts += ' ';
    facts += fact;
  };
  if (p.file) add(PrintableCell(p.file->type));
  if (p.widthPx && p.heightPx) add(std::to_string(*p.widthPx) + "×" + std::to_string(*p.heightPx) + " px");
  if (p.color) add(PrintableCell(*p.color) + (p.bits == 1 ? " 1 bit" : ""));
  if (p.ppiX && p.ppiY) add(std::to_string(std::lround(*p.ppiX)) + "×" + std::to_string(std::lround(*p.ppiY)) + " ppi");
  return facts.empty() ? text : text + ": " + facts;
}

std::vector<std::string> CsvHeadingCells(bool check, bool images) {
  std::vector<std::string> cells = HeadingCells(check);
  const std::string creator = cells.back();
  cells.pop_back();
  // The names after the count they explain.
  const auto after = [&cells](const char* heading, const char* names) {
    const auto at = std::find(cells.begin(), cells.end(), heading);
    cells.insert(at + 1, names);
  };
  after(kHeadings[kImages], "配置画像の名前");
  if (check) {
    after("フォント", "フォント名");
    after("特色", "特色名");
    after("サイズ(mm)", "アートボード");
    after("透明効果", "リンク");
    after("リンク", "画像");
  }
  if (images) {
    cells.push_back("画像の名前");
    if (check) cells.insert(cells.end(), {"状態", "画像の形式", "画像のピクセル", "画像のカラー", "実効解像度(ppi)"});
  }
  cells.push_back(creator);
  return cells;
}

std::vector<std::vector<std::string>> CsvRows(const DocumentRow& r, bool check, bool images) {
  std::vector<std::string> cells = RowCells(r, check);
  const std::string creator = cells.back();
  cells.pop_back();
  const auto joined = [](const auto& list, auto text) {
    std::string out;
    for (const auto& item : list) {
      if (!out.empty()) out += '\n';  // a name holds no line break: PrintableCell made it '?'
      out += text(item);
    }
    return out;
  };
  const auto printable = [](const std::string& s) { return PrintableCell(s); };
  cells.insert(cells.begin() + kImages + 1, joined(r.images, printable));
  if (check) {
    // The table's check columns follow the names column: fonts, colour, spots, size, transparency, findings.
    const std::size_t base = kImages + 2;
    const CheckFacts empty;
    const CheckFacts& f = r.check ? *r.check : empty;
    cells.insert(cells.begin() + base + 1, joined(f.fonts, [](const Font& font) {
      return PrintableCell(font.name) + (font.embedded == false ? " (埋め込みなし)" : "");
    }));
    cells.insert(cells.begin() + base + 4, joined(f.spotColours, printable));
    cells.insert(cells.begin() + base + 6, joined(f.artboards, [](const Artboard& a) { return ArtboardText(a); }));
    cells.insert(cells.begin() + base + 8, joined(f.links, [](const CheckFacts::Link& l) { return LinkText(l); }));
    cells.insert(cells.begin() + base + 9, joined(f.placed, [](const Placed& p) { return PlacedText(p); }));
  }
  std::vector<std::vector<std::string>> rows;
  const auto emit = [&](std::vector<std::string> extra) {
    std::vector<std::string> row = cells;
    row.insert(row.end(), extra.begin(), extra.end());
    row.push_back(creator);
    rows.push_back(std::move(row));
  };
  if (!images) {
    emit({});
  } else if (check && r.check && !r.check->links.empty()) {
    for (const CheckFacts::Link& l : r.check->links) {
      // The drawn image that is this link, where the facts name it.
      const Placed* drawn = nullptr;
      for (const Placed& p : r.check->placed) {
        if (p.linked && p.name == l.name) drawn = &p;
      }
      std::vector<std::string> extra = {PrintableCell(l.name), StatusText(l.status), "", "", "", ""};
      if (*MatchText(l.how)) extra[1] += std::string("、") + MatchText(l.how);
      if (drawn) {
        if (drawn->file) extra[2] = PrintableCell(drawn->file->type);
        if (drawn->widthPx && drawn->heightPx) extra[3] = std::to_string(*drawn->widthPx) + "×" + std::to_string(*drawn->heightPx);
        if (drawn->color) extra[4] = PrintableCell(*drawn->color);
        if (drawn->ppiX && drawn->ppiY)
          extra[5] = std::to_string(std::lround(*drawn->ppiX)) + "×" + std::to_string(std::lround(*drawn->ppiY));
      }
      emit(std::move(extra));
    }
  } else if (!check && !r.images.empty()) {
    for (const std::string& name : r.images) emit({PrintableCell(name)});
  } else {
    emit(std::vector<std::string>(check ? 6 : 1));
  }
  return rows;
}

std::string FormatCsvStart() { return "\xEF\xBB\xBF"; }

std::string FormatCsvLine(const std::vector<std::string>& cells) {
  std::string out;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) out += ',';
    const std::string& cell = cells[i];
    // A spreadsheet runs a cell that starts like a formula; a document's text must not.
    const bool formula = !cell.empty() && std::string_view("=+-@\t\r").find(cell[0]) != std::string_view::npos;
    const bool count = !cell.empty() && std::all_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (count) {
      out += cell;
      continue;
    }
    out += '"';
    if (formula) out += '\'';
    for (const char c : cell) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += "\r\n";
  return out;
}

}  // namespace pelmora::cli
