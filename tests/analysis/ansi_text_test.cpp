#include "analysis/ansi_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pelmora::analysis {
namespace {

TEST(CharLength, PairsALeadByteOnlyWithATrailByte) {
  struct Case {
    std::string text;
    std::size_t pos, length;
  };
  const Case cases[] = {
      {"A", 0, 1},         {"\x83\x45", 0, 2},  {"\xE0\x40", 0, 2},  {"\xFC\xFC", 0, 2},
      {"\x83", 0, 1},      {"\x83%", 0, 1},     {"\x83\x7F", 0, 1},  {"\x83\r", 0, 1},
      {"\xB1\x45", 0, 1},  {"\xA0\x45", 0, 1},  {"\xFD\x45", 0, 1},  {"a\x83\x45", 1, 2},
      {"\x83\x45", 2, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CharLength(c.text, c.pos), c.length) << testing::PrintToString(c.text);
}

TEST(TrimBlanks, RemovesOnlyBlanksAtBothEnds) {
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  EXPECT_EQ(TrimBlanks("\ta\r\n"), "\ta\r\n");
  EXPECT_EQ(TrimBlanks("\x81\x40" "a\x81\x40"), "\x81\x40" "a\x81\x40");  // the ideographic space stays
}

TEST(EqualsIgnoreCase, FoldsLatinLettersOfSingleByteCharactersOnly) {
  struct Case {
    std::string a, b;
    bool equal;
  };
  const Case cases[] = {
      {"C:\\IMG\\B.TIF", "c:\\img\\b.tif", true},
      {"", "", true},
      {"abc", "abd", false},
      {"abc", "ab", false},
      {"\x83\x41", "\x83\x61", false},  // two different katakana, not 'A' and 'a'
      {"\x83\x41", "\x83\x41", true},
      {"X\x83\x41y", "x\x83\x41Y", true},
      {"\x83 A", "\x83 a", true},  // a lone lead byte: the letter after the blank is its own
      {"@", "`", false},
      {"[", "{", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << testing::PrintToString(c.a) << " " << testing::PrintToString(c.b);
    EXPECT_EQ(EqualsIgnoreCase(c.b, c.a), c.equal);
  }
}

TEST(FindCharsIgnoreCase, MatchesWholeCharactersOnly) {
  struct Case {
    std::string text;
    std::size_t pos;
  };
  const std::size_t npos = std::string_view::npos;
  const Case cases[] = {
      {"EPSF", 0},
      {"-3.0 epsf-3.0", 5},
      {"\x83" "EPSF", npos},       // 0x83 0x45 is one character
      {"\x83\x83" "EPSF", 2},        // 0x83 0x83 is one character, then comes 'E'
      {"\x83\x83\x83" "EPSF", npos},  // 83 83 | 83 45 | P S F
      {"\x83" "EPSF EPSF", 6},
      {"\x83 EPSF", 2},
      {"EPS", npos},
      {"EPEPSF", 2},
      {"", npos},
  };
  for (const Case& c : cases) EXPECT_EQ(FindCharsIgnoreCase(c.text, "EPSF"), c.pos) << testing::PrintToString(c.text);
}

TEST(DecodeAnsi, DecodesCodePage932) {
  struct Case {
    std::string text;
    std::wstring wide;
  };
  const Case cases[] = {
      {"AZ\\~ \r\n", L"AZ\\~ \r\n"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
      {"\x93\xFA\x96\x7B", L"日本"},
      {"\xB1", L"\uFF71"},                     // half-width katakana
      {"\x87\x40\x81\x60", L"\u2460\uFF5E"},   // the code page's own extensions and mappings
      {"A\x83", L"A\u30FB"},                   // lead byte at the end
      {"\x83\r\n", L"\u30FB\r\n"},             // lead byte without trail byte
      {"\x85\x40x", L"\u30FBx"},               // unassigned pair: one character, not two
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeAnsi(c.text), c.wide) << testing::PrintToString(c.text);
}

}  // namespace
}  // namespace pelmora::analysis
