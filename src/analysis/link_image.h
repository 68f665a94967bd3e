#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::analysis {

// Fills the list with the distinct placed-file names of the "%%DocumentFiles:" comment in the
// header text, in document order, and returns their number (the list's size). Never throws.
std::int32_t GetLinkImage(std::vector<std::string>& rastrLinkImage, std::string_view vstrHeader);

// 1-based number of the first entry equal to vstrFind ignoring letter case, or -1.
std::int32_t FindInArray(const std::vector<std::string>& rastrList, std::string_view vstrFind);

}  // namespace pelmora::analysis
