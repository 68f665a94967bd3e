#pragma once
// Which run-time error number a Windows system error code becomes. Plain numbers, so the
// mapping is tested without Windows.
#include <cstdint>

namespace pelmora::analysis {

std::int32_t RunErrorFromWin32Code(std::uint32_t code);

}  // namespace pelmora::analysis
