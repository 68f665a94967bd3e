#pragma once
#include <cstdint>
#include <string>

namespace pelmora::base {

// "N513" for numbers of the object-defined range, the signed decimal number otherwise.
std::wstring ErrorNumberText(std::int32_t number);

// The program's own Japanese description of an error number; a generic text for the rest.
std::wstring ErrorDescription(std::int32_t number);

// Description + " (エラー番号:" + number text + ")".
std::wstring ErrorMessage(std::int32_t number);

}  // namespace pelmora::base
