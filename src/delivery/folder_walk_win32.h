#pragma once
// pelmora-scan's view of the file system on Windows. GCC's std::filesystem there follows junctions,
// cannot see the hidden and system flags and stops at MAX_PATH; these use the Win32 calls instead.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace pelmora::delivery {

// Calls `entry` for each entry of the folder (unsorted), leaving out ".", "..", hidden and system
// entries, and links to elsewhere (junctions, symbolic links, mount points: a walk through them
// may loop or leave the delivery). Cloud placeholders are kept: they are the user's documents.
// Returns 0, or the run-time error number when the folder cannot be read.
std::int32_t ListFolderWin32(const std::filesystem::path& dir,
                             const std::function<void(std::filesystem::path, bool folder, bool file)>& entry);

enum class PathKind { kMissing, kFile, kFolder };
// What a named path is; paths of any length.
PathKind PathKindWin32(const std::filesystem::path& path);

// cmd hands `*.eps` to the program unexpanded: each argument holding * or ? in its last part
// becomes the matching names (hidden and system ones left out), in name order, written with the
// folder as typed. An argument that matches nothing, or that looks like an option, stays as it is.
std::vector<std::filesystem::path> ExpandWildcards(const std::vector<std::filesystem::path>& args);

}  // namespace pelmora::delivery
