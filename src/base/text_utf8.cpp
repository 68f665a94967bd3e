#include "base/text_utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "analysis/ansi_text.h"

namespace pelmora::base {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The code point at text[pos], advancing pos; a byte that starts no valid sequence (overlong,
// surrogate, beyond U+10FFFF, cut short) yields U+FFFD and advances by one.
char32_t Next(std::string_view text, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  std::size_t len = 0;
  char32_t c = 0, min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) len = 2, c = b0 & 0x1F, min = 0x80;
  else if (b0 >= 0xE0 && b0 <= 0xEF) len = 3, c = b0 & 0x0F, min = 0x800;
  else if (b0 >= 0xF0 && b0 <= 0xF4) len = 4, c = b0 & 0x07, min = 0x10000;
  if (len == 0 || pos + len > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[pos + k]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += len;
  return c;
}

struct Range {
  char32_t first, last;
};

// East Asian Width W and F, coarsened to blocks; halfwidth katakana (U+FF61-FF9F) stay narrow.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
    {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0x3099, 0x309A}, {0xFE00, 0xFE0F},
};

// East Asian Width A that code page 932 holds: a console of that code page draws them two columns
// wide (Latin-1 signs, Greek, Cyrillic, punctuation, arrows, maths, box drawing, shapes, circled
// and Roman numerals).
constexpr Range kAmbiguous[] = {
    {0x00A7, 0x00A8}, {0x00B0, 0x00B1}, {0x00B4, 0x00B4}, {0x00B6, 0x00B6}, {0x00D7, 0x00D7},
    {0x00F7, 0x00F7}, {0x0391, 0x03C9}, {0x0401, 0x0451}, {0x2010, 0x2010}, {0x2015, 0x2016},
    {0x2018, 0x2019}, {0x201C, 0x201D}, {0x2020, 0x2021}, {0x2025, 0x2026}, {0x2030, 0x2030},
    {0x2032, 0x2033}, {0x203B, 0x203B}, {0x2103, 0x2103}, {0x2116, 0x2116}, {0x2121, 0x2121},
    {0x212B, 0x212B}, {0x2160, 0x217F}, {0x2190, 0x2199}, {0x21D2, 0x21D4}, {0x2200, 0x22FF},
    {0x2312, 0x2312}, {0x2460, 0x24FF}, {0x2500, 0x257F}, {0x25A0, 0x25EF}, {0x2605, 0x2606},
    {0x2640, 0x2642}, {0x266A, 0x266F},
};

bool In(const Range* first, const Range* last, char32_t c) {
  const Range* it = std::upper_bound(first, last, c, [](char32_t v, const Range& r) { return v < r.first; });
  return it != first && c <= std::prev(it)->last;
}

int Width(char32_t c, bool ambiguousWide) {
  if (In(std::begin(kZeroWidth), std::end(kZeroWidth), c)) return 0;
  if (ambiguousWide && In(std::begin(kAmbiguous), std::end(kAmbiguous), c)) return 2;
  return In(std::begin(kWide), std::end(kWide), c) ? 2 : 1;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
        const auto low = static_cast<char32_t>(text[i + 1]);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    Append(out, c);
  }
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = Next(text, pos);
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
  return IsAscii(cp932) ? std::string(cp932) : ToUtf8(analysis::DecodeAnsi(cp932));
}

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string ValidUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) Append(out, Next(bytes, pos));
  return out;
}

std::string PathText(const std::filesystem::path& path) {
#ifdef _WIN32
  return ToUtf8(path.native());
#else
  return ValidUtf8(path.native());
#endif
}

std::filesystem::path PathFromWide(std::wstring_view text) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(text));
#else
  return std::filesystem::path(ToUtf8(text));
#endif
}

int DisplayWidth(std::string_view utf8, bool ambiguousWide) {
  int columns = 0;
  for (std::size_t pos = 0; pos < utf8.size();) {
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {  // most cells are ASCII: one column a byte
      ++columns;
      ++pos;
    } else {
      columns += Width(Next(utf8, pos), ambiguousWide);
    }
  }
  return columns;
}

char32_t NextCodePoint(std::string_view utf8, std::size_t& pos) { return Next(utf8, pos); }

bool IsTerminalControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string PrintableCell(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) return std::string(utf8);
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = Next(utf8, pos);
    Append(out, IsTerminalControl(c) ? U'?' : c);
  }
  return out;
}

std::string CapChars(std::string_view utf8, std::size_t chars, bool& cut) {
  cut = false;
  if (utf8.size() <= chars) return std::string(utf8);  // no more characters than bytes
  std::size_t pos = 0;
  for (std::size_t n = 0; n < chars && pos < utf8.size(); ++n) Next(utf8, pos);
  cut = pos < utf8.size();
  return std::string(utf8.substr(0, pos));
}

std::string FitWidth(std::string_view utf8, int columns) {
  int used = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::size_t next = pos;
    const int w = Width(Next(utf8, next), false);
    if (used + w > columns) break;
    used += w;
    pos = next;
  }
  return std::string(utf8.substr(0, pos));
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

}  // namespace pelmora::base
