#pragma once
#include <string>
#include <string_view>

namespace pelmora::preflight {

// The release name users know for an "%%AI8_CreatorVersion:" value ("22.1.0" → "CC 2018"), or ""
// when the value names no release from CS on.
std::string IllustratorVersionName(std::string_view creatorVersion);

}  // namespace pelmora::preflight
