#include "analysis/ansi_text.h"

namespace pelmora::analysis {

namespace {

constexpr unsigned char Fold(unsigned char b) { return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b; }

unsigned char At(std::string_view text, std::size_t pos) { return static_cast<unsigned char>(text[pos]); }

}  // namespace

std::size_t CharLength(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  if (IsLeadByte(At(text, pos)) && pos + 1 < text.size() && IsTrailByte(At(text, pos + 1))) return 2;
  return 1;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return text.substr(text.size());
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Folding only changes bytes 'A'-'Z' into 'a'-'z', neither of which is a lead byte, so both
  // strings split into characters at the same places whenever they are equal.
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t len = CharLength(a, i);
    if (len == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (Fold(At(a, i)) != Fold(At(b, i))) {
      return false;
    }
    i += len;
  }
  return true;
}

std::size_t FindCharsIgnoreCase(std::string_view text, std::string_view needle) {
  if (needle.empty()) return 0;
  if (needle.size() > text.size()) return std::string_view::npos;
  const std::size_t last = text.size() - needle.size();
  // A first byte below 0x40 ('%' of every marker) is never a trail byte, so each such byte in the
  // text starts a character, and the ASCII bytes after it are characters of their own.
  if (static_cast<unsigned char>(needle[0]) < 0x40) {
    for (std::size_t i = text.find(needle[0]); i <= last; i = text.find(needle[0], i + 1)) {
      std::size_t k = 1;
      while (k < needle.size() && Fold(At(text, i + k)) == Fold(static_cast<unsigned char>(needle[k]))) ++k;
      if (k == needle.size()) return i;
    }
    return std::string_view::npos;
  }
  // An ASCII needle can only match single-byte characters, so a match that starts on a character
  // boundary consists of whole characters.
  for (std::size_t i = 0; i <= last; i += CharLength(text, i)) {
    std::size_t k = 0;
    while (k < needle.size() && Fold(At(text, i + k)) == Fold(static_cast<unsigned char>(needle[k]))) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

}  // namespace pelmora::analysis
