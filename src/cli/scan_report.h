#pragma once
// How one document's analysis is written out: as a table row or as one JSON line.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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
};

// Decodes the document strings; a placed-image slot without a name is left out, as it names no
// file to look for.
DocumentRow MakeRow(std::string path, const launch::AnalysisResult& result, bool pdf);

// Aligned columns, headed, two blanks apart; the creator comes last so that its long values
// widen no other column. With `images`, each document's placed images follow its row, indented.
// A value that was cut ends in "…" (MakeRow).
//
// Rows are held only until they fill `blockBytes` of text; then they are written with the widths
// met so far, which later rows only widen. A delivery of any size thus takes bounded memory, and
// any that fits one block is aligned throughout.
class TableWriter {
 public:
  TableWriter(bool images, std::size_t blockBytes);
  // `out` receives the text as it is ready.
  template <typename Out>
  void Add(const DocumentRow& row, Out&& out) {
    KeepRow(row);
    if (kept_ >= blockBytes_) out(Flush());
  }
  std::string Flush();  // the rows held, the headings first of all

  static constexpr int kColumns = 7;

 private:
  void KeepRow(const DocumentRow& row);
  struct Held {
    std::array<std::string, kColumns> cells;
    std::array<int, kColumns> used{};  // display columns of each cell
    std::vector<std::string> images;   // lines under the row
    bool heading = false;
  };
  void Keep(Held held);

  bool images_;
  std::size_t blockBytes_;
  std::size_t kept_ = 0;
  std::vector<Held> held_;
  std::array<int, kColumns> width_{};
};

// The whole table at once.
std::string FormatTable(const std::vector<DocumentRow>& rows, bool images);

// A JSON string literal of valid UTF-8 text.
std::string JsonString(std::string_view utf8);

// One line, ending in LF.
std::string FormatJson(const DocumentRow& row);

}  // namespace pelmora::cli
