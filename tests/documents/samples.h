#pragma once
// What each test document holds: the first "%!PS-Adobe" line (EPSF or not), the "%%Creator:" and
// "%%AI8_CreatorVersion:" values and the MacBinary header. The window program's and the
// command-line program's suites check against the same lists.
//
// Two sets. The project's own documents are written at build time by make_documents.py into
// PELMORA_DOCUMENTS and are always there. The third-party sample corpus (PELMORA_CORPUS) lies
// beside the project on the team's machines and in CI only; its tests skip where it is absent.
#include <filesystem>
#include <string>
#include <system_error>

namespace e2e {

struct Sample {
  const char* file;
  const char* kind;
  const wchar_t* creator;
  const wchar_t* version;
  bool mac = false;
};

inline constexpr Sample kDocuments[] = {
#include "expectations.inc"
};

// Read off the files with a hex viewer.
inline constexpr Sample kSamples[] = {
#include "corpus_expectations.inc"
};

// What the preflight (--check) reports: a part of the document's JSON line, from "fonts" on.
struct CheckSample {
  const char* file;
  const char* json;
};

inline constexpr CheckSample kCheckDocuments[] = {
#define PELMORA_CHECK_OWN
#include "check_expectations.inc"
#undef PELMORA_CHECK_OWN
};

inline constexpr CheckSample kCheckSamples[] = {
#include "check_expectations.inc"
};

inline constexpr char kNoCorpus[] =
    "the sample corpus (" PELMORA_CORPUS ") is not beside this clone; it is there on the team's machines and in CI";

// A document of either set; names are UTF-8. Under Wine a Linux path resolves through the current
// drive, which maps the root file system.
inline std::filesystem::path SamplePath(const char* root, const char* file) {
  const std::string s = std::string(root) + "/" + file;
  return std::filesystem::path(std::u8string(s.begin(), s.end())).make_preferred();
}

// The window's start-up takes the path as wide text, which libstdc++ converts to a POSIX path for
// ASCII only; the Windows build of the same tests covers the other names.
inline bool StartupCanOpen([[maybe_unused]] const std::filesystem::path& p) {
#ifdef _WIN32
  return true;
#else
  for (const unsigned char c : p.native()) if (c >= 0x80) return false;
  return true;
#endif
}

inline bool CorpusPresent() {
  std::error_code ec;
  return std::filesystem::is_directory(SamplePath(PELMORA_CORPUS, "."), ec);
}

}  // namespace e2e
