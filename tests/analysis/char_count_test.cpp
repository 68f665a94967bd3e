#include "analysis/char_count.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "analysis/ansi_text.h"

namespace pelmora::analysis {
namespace {

// One character at a time, as the code page defines them.
CharStep OneByOne(const std::string& s, std::int64_t room, bool final) {
  std::size_t i = 0;
  std::int64_t chars = 0;
  while (i < s.size() && chars < room) {
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      if (i + 1 == s.size() && !final) break;
      i += (i + 1 < s.size() && IsTrailByte(static_cast<unsigned char>(s[i + 1]))) ? 2 : 1;
    } else {
      ++i;
    }
    ++chars;
  }
  return {i, chars};
}

// Runs of lead bytes decide the pairing far from where they start, and the blocks of 64 bytes
// cut through pairs and runs: texts of every length up to a few blocks, from alphabets that make
// long runs, short runs and random bytes, with the room ending anywhere.
TEST(TakeChars, CountsLikeOneCharacterAtATime) {
  struct Alphabet {
    const char* name;
    std::string bytes;
  };
  const Alphabet alphabets[] = {
      {"edges", "a\x81\x9F\xE0\xFC\x40\x7F\x80\xA0\xFD\x41\x93"},
      {"long lead runs", "\x88\x88\x88\x88\x88\x88\x88" "a"},
      {"pairs and ascii", "\x82\xA0\x83\x45 \r\n%"},
      {"any byte", ""},
  };
  std::mt19937 rng(20);
  for (const Alphabet& a : alphabets) {
    SCOPED_TRACE(a.name);
    for (int t = 0; t < 20000; ++t) {
      std::string text(rng() % 300, '\0');
      for (char& c : text) c = a.bytes.empty() ? static_cast<char>(rng()) : a.bytes[rng() % a.bytes.size()];
      const std::int64_t room = rng() % 2 ? std::int64_t{1} << 40 : rng() % 300;
      const bool final = rng() % 2;
      const CharStep got = TakeChars(text.data(), text.size(), room, final);
      const CharStep want = OneByOne(text, room, final);
      ASSERT_EQ(got.bytes, want.bytes) << t;
      ASSERT_EQ(got.chars, want.chars) << t;
    }
  }
}

}  // namespace
}  // namespace pelmora::analysis
