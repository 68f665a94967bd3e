#pragma once
// Counting characters of code page 932 text at memory speed: only the window's end and the
// header text's cap need character positions, everything else is found in the bytes.
#include <cstddef>
#include <cstdint>

namespace pelmora::analysis {

struct CharStep {
  std::size_t bytes;   // whole characters' bytes taken from the front
  std::int64_t chars;  // how many characters they are
};

// Takes whole characters from text[0, size), which starts on a character boundary, up to `room`
// characters. A lead byte as the last byte is taken as a character of its own only when `final`
// (nothing follows); otherwise it is left for the caller to complete with the next bytes.
CharStep TakeChars(const char* text, std::size_t size, std::int64_t room, bool final);

}  // namespace pelmora::analysis
