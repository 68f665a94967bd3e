#pragma once
// Text of documents as the program reads it: bytes of code page 932, where a lead byte
// (0x81-0x9F, 0xE0-0xFC) and a following trail byte (0x40-0x7E, 0x80-0xFC) form one character.
// A lead byte not followed by a trail byte is a character of its own. '%', CR, LF and the blank
// are never trail bytes, so markers and line ends can be found in the bytes.
#include <cstddef>
#include <string>
#include <string_view>

namespace pelmora::analysis {

constexpr bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Length in bytes of the character that starts at text[pos].
std::size_t CharLength(std::string_view text, std::size_t pos);

// Removes leading and trailing blanks (U+0020) only.
std::string_view TrimBlanks(std::string_view text);

// Compares ignoring the case of Latin letters in single-byte characters; trail bytes are
// compared exactly (0x83 0x41 and 0x83 0x61 are different characters).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Finds `needle` (ASCII) as a sequence of whole characters, ignoring the case of Latin letters.
// Returns the byte position or npos.
std::size_t FindCharsIgnoreCase(std::string_view text, std::string_view needle);

// Decodes document text for display. Each platform supplies it; a lead byte without its trail
// byte, and a pair the code page does not assign, become U+30FB.
std::wstring DecodeAnsi(std::string_view text);

}  // namespace pelmora::analysis
