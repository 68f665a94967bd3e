#pragma once
// What the collection of placed images hands to the shell's file copy.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::ui {

// The shell's list form: each name of slots 1..count (code page 932 bytes, decoded) followed by
// a NUL, then one more NUL. Empty names are left out, since a NUL at the start would end the
// list before any name, and so are names holding the wildcards '*' or '?', which name no file
// and which the shell would expand; with no name left the result is empty and nothing is to be
// copied.
std::wstring BuildCopySource(const std::vector<std::string>& names, std::int32_t count);

// The chosen folder with exactly one trailing "\" (a drive root already has it).
std::wstring CopyDestination(std::wstring_view folder);

}  // namespace pelmora::ui
