#pragma once
// What a document says of itself in its document structuring comments: fonts, colours, size and
// placed files, for a print shop's preflight. The header comments after "%!PS-Adobe" are read
// with their "%%+" continuation lines, and where the header defers a value with "(atend)", the
// trailer is read too: the document streams past in pieces, so its size costs time, not memory.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/document_file.h"

namespace pelmora::analysis {

// "%!PS-Adobe" is looked for in this many bytes at most (the header scan's largest window).
inline constexpr std::size_t kDscSearchBytes = 40'960'000;
// Header text kept at most after it, counting what is kept of each line: a header never comes
// near this, and a long line that is skipped does not end the header.
inline constexpr std::size_t kDscHeaderBytes = 1024 * 1024;
// Bytes of one line kept; the rest of a longer line is skipped unread into memory.
inline constexpr std::size_t kDscLineBytes = 16 * 1024;
// A box coordinate beyond this (in points, about 350 km) is taken for no box at all.
inline constexpr double kDscLargestCoordinate = 1e9;
// Names kept per list: a list of thousands says no more to a print shop than its first ones.
inline constexpr std::size_t kDscNames = 600;

// Values are code page 932 text as written; PostScript strings are unwrapped and unescaped.
struct DscFacts {
  bool header = false;         // "%!PS-Adobe" was found
  bool illustrator = false;    // a header line of Illustrator's own ("%AI...", "%%AI...")
  std::vector<std::string> fonts;  // %%DocumentFonts, %%DocumentNeededFonts, fonts of %%DocumentNeededResources
  std::vector<std::string> neededFonts;  // of those, the ones the document asks the printer for (the last two)
  std::vector<std::string> processColours;  // %%DocumentProcessColors
  std::vector<std::string> spotColours;     // %%DocumentCustomColors, %%CMYKCustomColor, %%RGBCustomColor
  std::optional<int> colourModel;           // %AI9_ColorModel: 1 RGB, 2 CMYK
  std::optional<std::array<double, 4>> boundingBox, hiResBoundingBox;
  std::vector<std::string> files;  // %%DocumentFiles
  bool cut = false;                // a list was longer than kDscNames, or a line read for a value than kDscLineBytes
};

DscFacts ReadDscComments(const DocumentPath& path);

// The text of a PostScript string literal that makes up the whole value ("(a \(b\))" gives
// "a (b)"), or nothing when the value is not one. Escapes are those of PostScript: \n \r \t \b
// \f \\ \( \) and up to three octal digits; a backslash before a line end joins the lines. A
// trail byte of code page 932 that happens to be '\' or a parenthesis is part of its character.
std::optional<std::string> PostScriptString(std::string_view value);

// The escape whose backslash stands at value[i], decoded onto `out`, with `i` moved past it; false
// where the backslash ends the value.
bool PostScriptEscape(std::string_view value, std::size_t& i, std::string& out);

}  // namespace pelmora::analysis
