#include "analysis/char_count.h"

#include <array>
#include <cstring>

#include "analysis/ansi_text.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define PELMORA_SSE2 1
#endif

namespace pelmora::analysis {

namespace {

constexpr std::size_t kBlock = 64;

struct ByteTables {
  std::array<unsigned char, 256> lead{}, trail{};
  constexpr ByteTables() {
    for (int b = 0; b < 256; ++b) {
      lead[b] = IsLeadByte(static_cast<unsigned char>(b)) ? 1 : 0;
      trail[b] = IsTrailByte(static_cast<unsigned char>(b)) ? 1 : 0;
    }
  }
};
constexpr ByteTables kTables;

// Bit k: text[k] is a lead byte and text[k + 1] a trail byte, for the 64 bytes of the block (the
// 65th byte must be readable). Returns 0 at once for a block of ASCII only.
#ifdef PELMORA_SSE2
std::uint64_t PairStarts(const unsigned char* text) {
  __m128i any = _mm_setzero_si128();
  __m128i v[4];
  for (int k = 0; k < 4; ++k) {
    v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * k));
    any = _mm_or_si128(any, v[k]);
  }
  if (_mm_movemask_epi8(any) == 0) return 0;
  // v in [lo, hi] as unsigned bytes is one signed compare after adding 0x80 - lo.
  auto in = [](__m128i v, int lo, int hi) {
    return _mm_cmplt_epi8(_mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - lo))),
                          _mm_set1_epi8(static_cast<char>(hi - lo + 1 - 128)));
  };
  const __m128i del = _mm_set1_epi8(0x7F);
  std::uint64_t starts = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * k + 1));
    const __m128i lead = _mm_or_si128(in(v[k], 0x81, 0x9F), in(v[k], 0xE0, 0xFC));
    const __m128i trail = _mm_andnot_si128(_mm_cmpeq_epi8(next, del), in(next, 0x40, 0xFC));
    const auto bits = static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_and_si128(lead, trail)));
    starts |= std::uint64_t{bits} << (16 * k);
  }
  return starts;
}
#else
std::uint64_t PairStarts(const unsigned char* text) {
  std::uint64_t any = 0;
  for (std::size_t k = 0; k < kBlock; k += 8) {
    std::uint64_t w;
    std::memcpy(&w, text + k, sizeof w);
    any |= w;
  }
  if ((any & 0x8080808080808080ull) == 0) return 0;
  std::uint64_t starts = 0;
  for (std::size_t k = 0; k < kBlock; ++k) {
    starts |= std::uint64_t{static_cast<unsigned>(kTables.lead[text[k]] & kTables.trail[text[k + 1]])} << k;
  }
  return starts;
}
#endif

// The second bytes of two-byte characters among the block's bytes, given where pairs may start.
// A pair can only start on a byte that is not itself a second byte, so in a run of possible
// starts every other byte is a second byte, counted from the run's first byte (the technique
// JSON parsers use for runs of backslashes). `second` carries into and out of the block: whether
// its first byte, and then the next block's, is a second byte.
std::uint64_t SecondBytes(std::uint64_t starts, std::uint64_t& second) {
  constexpr std::uint64_t kEven = 0x5555555555555555ull;
  starts &= ~second;
  const std::uint64_t follows = (starts << 1) | second;
  const std::uint64_t odd_run_starts = starts & ~kEven & ~follows;
  const std::uint64_t sum = odd_run_starts + starts;
  second = sum < starts ? 1 : 0;
  const std::uint64_t runs_from_even = sum << 1;
  return (kEven ^ runs_from_even) & follows;
}

// Without a POPCNT instruction in the baseline x86-64 target, std::popcount is a library call.
int Ones(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ull;
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}

}  // namespace

CharStep TakeChars(const char* text, std::size_t size, std::int64_t room, bool final) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  std::size_t i = 0;
  std::int64_t chars = 0;
  std::uint64_t second = 0;
  // Whole blocks while the byte after the block is there and the room cannot run out inside.
  while (size - i > kBlock && room - chars >= static_cast<std::int64_t>(kBlock)) {
    const std::uint64_t starts = PairStarts(p + i);
    if ((starts | second) != 0) chars -= Ones(SecondBytes(starts, second));
    chars += static_cast<std::int64_t>(kBlock);
    i += kBlock;
  }
  i += static_cast<std::size_t>(second);  // the second byte of a pair counted in the last block
  while (i < size && chars < room) {
    if (kTables.lead[p[i]]) {
      if (i + 1 == size && !final) break;
      i += (i + 1 < size && kTables.trail[p[i + 1]]) ? 2 : 1;
    } else {
      ++i;
    }
    ++chars;
  }
  return {i, chars};
}

}  // namespace pelmora::analysis
