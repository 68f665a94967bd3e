#pragma once
// Paths over MAX_PATH on Windows: the plain Win32 calls stop at 260 characters unless the system
// has long paths enabled and the program declares itself long-path aware; the extended-length
// form (\\?\C:\..., \\?\UNC\server\share\...) passes either way. Decided here, without windows.h.
#include <string>
#include <string_view>

namespace pelmora::launch {

// Below this length a path is passed as it is, so that short paths keep every convenience of the
// plain form; from it on (the limit of a folder's path), the extended-length form is used.
inline constexpr std::size_t kLongPathFrom = 248;

// `full` is a full path as GetFullPathNameW gives it (no "." or ".." left, backslashes only).
// A drive path becomes \\?\C:\..., a UNC path \\?\UNC\server\share\...; a path already in a
// \\?\ or device (\\.\) form, a relative one, or one shorter than kLongPathFrom is returned as is.
std::wstring ExtendedLengthPath(std::wstring_view full);

}  // namespace pelmora::launch
