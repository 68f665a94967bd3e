#pragma once
// Output text of the command-line program: UTF-8 everywhere, whatever the platform's strings are.
#include <filesystem>
#include <string>
#include <string_view>

namespace pelmora::base {

// UTF-16 (Windows) or UTF-32 (elsewhere) to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// True when every byte is below 0x80: such text reads the same in UTF-8 and code page 932.
bool IsAscii(std::string_view bytes);

// Code page 932 text as UTF-8. ASCII, which most values are, is taken as it is: decoding costs a
// converter each.
std::string Cp932ToUtf8(std::string_view cp932);

// Invalid sequences become U+FFFD, one per byte that starts none.
std::wstring FromUtf8(std::string_view text);
std::string ValidUtf8(std::string_view bytes);

// A path as UTF-8 for display; file names that are not UTF-8 on POSIX systems still print.
std::string PathText(const std::filesystem::path& path);

// A decoded document string as a path of this platform.
std::filesystem::path PathFromWide(std::wstring_view text);

// Terminal columns: East Asian wide and fullwidth characters take two, combining marks none; with
// `ambiguousWide`, as a code page 932 console draws them, the ambiguous ones (×, …) two as well.
int DisplayWidth(std::string_view utf8, bool ambiguousWide = false);

// The code point at utf8[pos], advancing pos; a byte that starts no valid sequence gives U+FFFD.
char32_t NextCodePoint(std::string_view utf8, std::size_t& pos);

// Characters that act on a terminal or on how a line reads rather than print: C0 and C1 controls,
// DEL, bidi embeddings, overrides, isolates and marks, and the line and paragraph separators.
bool IsTerminalControl(char32_t c);

// Text from a document or a file name as it may reach a terminal: each character of
// IsTerminalControl becomes a visible '?', so that nothing a delivery contains can move the
// cursor, retitle the window, reorder or break a line.
std::string PrintableCell(std::string_view utf8);

// At most `chars` characters; `cut` tells whether any were dropped.
std::string CapChars(std::string_view utf8, std::size_t chars, bool& cut);

// The longest prefix of whole characters that fits in `columns`.
std::string FitWidth(std::string_view utf8, int columns);

// A JSON string literal of valid UTF-8 text; characters that act on a terminal are escaped.
std::string JsonString(std::string_view utf8);

}  // namespace pelmora::base
