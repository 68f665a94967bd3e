#pragma once
// What the collection of placed images hands to the shell's file copy, and what it tells the user
// about the copy.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::ui {

// The shell's list form of slots 1..count (code page 932 bytes, decoded): each name followed by
// a NUL, then one more NUL; with no name left the list is empty and nothing is to be copied.
// Empty names are left out, since a NUL at the start would end the list before any name. Names
// the shell must not be handed are left out too and kept in `leftOut`, as decoded, so that the
// user can be told: names holding the wildcards '*' or '?', which name no file and which the
// shell would expand, and names that start with two separators (\\host\share, \\?\, \\.\),
// through which the shell would contact a host of the document's choosing with the user's logon.
struct CopySource {
  std::wstring list;
  std::vector<std::wstring> leftOut;
};
CopySource BuildCopySource(const std::vector<std::string>& names, std::int32_t count);

// The chosen folder with exactly one trailing "\" (a drive root already has it).
std::wstring CopyDestination(std::wstring_view folder);

// The shell's copy works in buffers of this many characters, the terminating NUL included, and
// fails past them whatever the system allows elsewhere.
inline constexpr std::size_t kShellPathChars = 260;

// Whether copying the list `from` into `to` (as CopyDestination gives it) would make a target path
// (the folder, then each name's last part) that the shell cannot handle.
bool DestinationTooLong(std::wstring_view to, std::wstring_view from);

// The box to show after a shell copy that answered `result` and `aborted` (any operation
// aborted), or nothing: nothing after success, and nothing after the user's own cancel.
std::optional<std::wstring> CopyFailureMessage(int result, bool aborted);

// The box shown before the copy when names were left out of it: one name a line, at most
// kLeftOutShown of them, each at most kLeftOutNameChars long, control characters shown as '?'.
inline constexpr std::size_t kLeftOutShown = 10;
inline constexpr std::size_t kLeftOutNameChars = 120;
std::wstring LeftOutMessage(const std::vector<std::wstring>& leftOut);

inline constexpr wchar_t kDestinationTooLong[] =
    L"収集先のフォルダのパスが長すぎるため、画像をコピーできません。\r\n"
    L"もっと短いパスのフォルダを指定して下さい。";

}  // namespace pelmora::ui
