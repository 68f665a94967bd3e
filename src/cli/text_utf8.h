#pragma once
// Output text of the command-line program: UTF-8 everywhere, whatever the platform's strings are.
#include <filesystem>
#include <string>
#include <string_view>

namespace pelmora::cli {

// UTF-16 (Windows) or UTF-32 (elsewhere) to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// True when every byte is below 0x80: such text reads the same in UTF-8 and code page 932.
bool IsAscii(std::string_view bytes);

// Invalid sequences become U+FFFD, one per byte that starts none.
std::wstring FromUtf8(std::string_view text);
std::string ValidUtf8(std::string_view bytes);

// A path as UTF-8 for display; file names that are not UTF-8 on POSIX systems still print.
std::string PathText(const std::filesystem::path& path);

// A decoded document string as a path of this platform.
std::filesystem::path PathFromWide(std::wstring_view text);

// Terminal columns: East Asian wide and fullwidth characters take two, combining marks none.
int DisplayWidth(std::string_view utf8);

// Control characters would move the cursor or break the line of a table row.
std::string PrintableCell(std::string_view utf8);

// The longest prefix of whole characters that fits in `columns`.
std::string FitWidth(std::string_view utf8, int columns);

}  // namespace pelmora::cli
