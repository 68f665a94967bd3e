#pragma once
// What each sample document holds, read off the files: the first "%!PS-Adobe" line (EPSF or
// not), and the "%%Creator:" and "%%AI8_CreatorVersion:" values. The window program's and the
// command-line program's suites check against the same list.
namespace e2e {

struct Sample {
  const char* file;
  const char* kind;
  const wchar_t* creator;
  const wchar_t* version;
};

inline constexpr Sample kSamples[] = {
#include "corpus_expectations.inc"
};

}  // namespace e2e
