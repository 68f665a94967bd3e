#pragma once
// One placed image copied into the collection folder, so that the folder never holds a partial
// copy under a real name and nothing in it is ever replaced.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "delivery/open_beneath.h"

namespace pelmora::delivery {

struct CopyResult {
  enum class Outcome { kCopied, kExists, kFailed };
  Outcome outcome = Outcome::kFailed;
  std::string reason;  // UTF-8, for kFailed
};

// Copies the regular file open as `from`, from its start, to `to`: written under a temporary
// name in the same folder and then given its name without replacing anything that has it by then
// (kExists). The new file gets the permissions any new file gets there; none of the source's mode
// bits or owner. A source larger than the folder's free space is refused before anything is
// written, and on any failure the temporary file is removed.
CopyResult CopyNewFile(const OpenFile& from, const std::filesystem::path& to);
// The same for the file that `from` names.
CopyResult CopyNewFile(const std::filesystem::path& from, const std::filesystem::path& to);

// From the file's current position: the number of bytes read, 0 at its end, -1 on failure.
long long ReadSome(const OpenFile& file, char* buffer, std::size_t size);
bool Rewind(const OpenFile& file);
// Random access for readers of headers: `size` bytes or fewer from `offset` (the file's position
// moves), -1 on failure; and the file's size.
long long ReadAt(const OpenFile& file, std::uint64_t offset, char* buffer, std::size_t size);
std::optional<std::uint64_t> FileSize(const OpenFile& file);

// Whether anything has the name: a file, a folder, a link even to nothing, or a name that cannot
// be checked.
bool NameTaken(const std::filesystem::path& path);
// Whether `path` names the very file open as `file` (not merely the same bytes).
bool SameFile(const OpenFile& file, const std::filesystem::path& path);

// The folder copies go to, created with its parents where missing; false when it is no folder.
bool PrepareFolder(const std::filesystem::path& folder);
bool IsFolder(const std::filesystem::path& path);

// Why a copy failed, in the words of the window program's messages where one fits.
std::string CopyFailure(int code);

// The platform's own text for an error number (errno, or a Windows error code), as UTF-8.
std::string SystemErrorText(int code);

}  // namespace pelmora::delivery
