#pragma once
// How one document's analysis is written out: as a table row or as one JSON line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "preflight/preflight.h"
#include "launch/analysis_run.h"

namespace pelmora::cli {

// Characters of one value shown at most; a document may hold a line of any length.
inline constexpr std::size_t kValueChars = 4096;
// Bytes of the creator and version that the analysis keeps: each character of code page 932 takes
// one or two, so this holds one character more than is shown whenever the value is longer.
inline constexpr std::size_t kValueBytes = 2 * kValueChars + 1;

// One document's fields, as UTF-8 text, each at most kValueChars characters.
struct DocumentRow {
  std::string path;
  std::string kind;  // "EPS", "AI" or ""
  std::string creator;
  std::string creatorVersion;
  std::string versionName;
  bool macBinary = false;
  bool pdf = false;
  std::vector<std::string> images;
  bool cut = false;  // some value was longer: it ends in "…"
  std::optional<preflight::CheckFacts> check;  // with --check
};

// Decodes the document strings; a placed-image slot without a name is left out, as it names no
// file to look for. A creator written as a PostScript string is shown as the string's text.
DocumentRow MakeRow(std::string path, const launch::AnalysisResult& result, bool pdf);

// Caps the check's values like the others (the names come from the document too).
void AddCheck(DocumentRow& row, preflight::CheckFacts facts);

// The cells of one row, as the table and the CSV show them; with `check`, the preflight columns
// stand before the creator, which stays last.
std::vector<std::string> RowCells(const DocumentRow& row, bool check);
std::vector<std::string> HeadingCells(bool check);

// Aligned columns, headed, two blanks apart; the creator comes last so that its long values
// widen no other column. With `images`, each document's placed images follow its row, indented.
// A value that was cut ends in "…" (MakeRow).
//
// Rows are held only until they fill `blockBytes` of text; then they are written with the widths
// met so far, which later rows only widen. A delivery of any size thus takes bounded memory, and
// any that fits one block is aligned throughout.
// A terminal's width, where the text goes to one: a table wider than it becomes one block per
// document (its name, then one fact or finding a line), since wrapped rows cannot be read.
struct ConsoleFit {
  int columns = 0;             // 0: a file or pipe, which keeps the table however wide
  bool ambiguousWide = false;  // a code page 932 console draws ×, … two columns wide
};

class TableWriter {
 public:
  TableWriter(bool images, std::size_t blockBytes, bool check = false, ConsoleFit fit = {});
  // `out` receives the text as it is ready.
  template <typename Out>
  void Add(const DocumentRow& row, Out&& out) {
    KeepRow(row);
    if (kept_ >= blockBytes_) out(Flush());
  }
  std::string Flush();  // the rows held, the headings first of all

  static constexpr int kColumns = 7;
  static constexpr int kCheckColumns = 6;

 private:
  void KeepRow(const DocumentRow& row);
  struct Held {
    std::vector<std::string> cells;
    std::vector<int> used;            // display columns of each cell
    std::vector<std::string> images;  // lines under the row
    bool heading = false;
  };
  void Keep(Held held);
  void WriteBlock(std::string& out, const Held& held);

  bool images_;
  bool check_;
  std::size_t blockBytes_;
  std::size_t kept_ = 0;
  std::vector<Held> held_;
  std::vector<int> width_;
  ConsoleFit fit_;
  bool blocks_ = false;  // once a block was written, every later document is one too
  bool wroteBlock_ = false;
};

// The whole table at once.
std::string FormatTable(const std::vector<DocumentRow>& rows, bool images);


// One line, ending in LF. Values the check could not find are null.
std::string FormatJson(const DocumentRow& row);

// The one record of a document that could not be read.
std::string FormatJsonError(const std::string& path, std::int32_t number, const std::string& message);

// For Excel: UTF-8 after a byte-order mark (which FormatCsvStart gives), lines ending in CR LF.
// Every cell but a count is quoted, so that no separator a spreadsheet is told to split on (a
// semicolon, a tab) splits a value; a cell that a spreadsheet would take for a formula is written
// with a leading apostrophe.
std::string FormatCsvStart();
std::string FormatCsvLine(const std::vector<std::string>& cells);

// The CSV's own columns: the table's, with the names behind each count, one per line in its cell.
// With `images`, one row per placed image (or one with empty image cells for a document without),
// the document's cells repeated, so that a sheet can be filtered by image.
std::vector<std::string> CsvHeadingCells(bool check, bool images);
std::vector<std::vector<std::string>> CsvRows(const DocumentRow& row, bool check, bool images);

// One line each, as the CSV, the console's blocks and the HTML report say them.
std::string ArtboardText(const preflight::Artboard& artboard);  // "297.0×210.0 塗り足し 上 3.0 下 3.0 左 3.0 右 3.0"
std::string LinkText(const preflight::CheckFacts::Link& link);   // "name [Links フォルダー、…]"
std::string PlacedText(const preflight::Placed& placed);         // "name: TIFF 2480×3508 px CMYK 350×350 ppi"

}  // namespace pelmora::cli
