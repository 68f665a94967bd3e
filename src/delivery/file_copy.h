#pragma once
// One placed image copied into the collection folder, so that the folder never holds a partial
// copy under a real name and nothing in it is ever replaced.
#include <filesystem>
#include <string>

namespace pelmora::delivery {

struct CopyResult {
  enum class Outcome { kCopied, kExists, kFailed };
  Outcome outcome = Outcome::kFailed;
  std::string reason;  // UTF-8, for kFailed
};

// Copies the regular file `from` to `to`: written under a temporary name in the same folder and
// then given its name without replacing anything that has it by then (kExists). The new file gets
// the permissions any new file gets there; none of the source's mode bits or owner. A source
// larger than the folder's free space is refused before anything is written, and on any failure
// the temporary file is removed.
CopyResult CopyNewFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Why a copy failed, in the words of the window program's messages where one fits.
std::string CopyFailure(int code);

// The platform's own text for an error number (errno, or a Windows error code), as UTF-8.
std::string SystemErrorText(int code);

}  // namespace pelmora::delivery
