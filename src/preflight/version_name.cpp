#include "preflight/version_name.h"

#include <iterator>

#include "analysis/ansi_text.h"

namespace pelmora::preflight {


namespace {

constexpr int kAnyMinor = -1;

struct Release {
  int major;
  int minor;
  const char* name;
};

// Before the yearly names. A specific minor version comes before its major's general entry.
constexpr Release kReleases[] = {
    {11, kAnyMinor, "CS"},      {12, kAnyMinor, "CS2"},     {13, kAnyMinor, "CS3"},
    {14, kAnyMinor, "CS4"},     {15, 1, "CS5.1"},           {15, kAnyMinor, "CS5"},
    {16, kAnyMinor, "CS6"},     {17, kAnyMinor, "CC"},      {18, kAnyMinor, "CC 2014"},
    {19, kAnyMinor, "CC 2015"}, {20, kAnyMinor, "CC 2015.3"}, {21, kAnyMinor, "CC 2017"},
    {22, kAnyMinor, "CC 2018"}, {23, kAnyMinor, "CC 2019"},
};

// From 24 on the version number is the release year less 1996.
constexpr int kFirstYearly = 24;
constexpr int kYearBase = 1996;
// Beyond this the value is garbage rather than a future release.
constexpr int kLastYearly = 99;

// Digits at text[pos] as a number, at most four of them; -1 when there are none or more.
int ReadNumber(std::string_view text, std::size_t& pos) {
  int value = 0, digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (++digits > 4) return -1;
    value = value * 10 + (text[pos++] - '0');
  }
  return digits == 0 ? -1 : value;
}

}  // namespace

std::string IllustratorVersionName(std::string_view creatorVersion) {
  const std::string_view text = analysis::TrimBlanks(creatorVersion);
  std::size_t pos = 0;
  const int major = ReadNumber(text, pos);
  if (major < 0) return {};
  int minor = kAnyMinor;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    minor = ReadNumber(text, pos);
  }
  if (major >= kFirstYearly && major <= kLastYearly) return std::to_string(kYearBase + major);
  for (const Release& r : kReleases) {
    if (r.major == major && (r.minor == kAnyMinor || r.minor == minor)) return r.name;
  }
  return {};
}

}  // namespace pelmora::preflight
