#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/document_file.h"

namespace pelmora::analysis {

// Length cap of the header text handed to the placed-image list, in characters.
inline constexpr std::int32_t kHeaderTextChars = 100500;

// Reads the first `vlngChars` characters of the document and returns the "%%Creator:" value, or
// no value. Fills the version and kind; sets the header text only when the kind is decided and
// otherwise leaves it as the caller had it. Never throws: a failure to read yields no value.
// All strings are code page 932 bytes.
std::optional<std::string> ScanHeader(const DocumentPath& vstrPath, std::int32_t vlngChars,
                                      std::string& strCreatorVersion, std::string& strFiletype,
                                      std::string& strHeader);

std::string NullToStr(const std::optional<std::string>& varValue);

// True when the first 128 bytes have the shape of a MacBinary header. Throws RunError when the
// document cannot be opened or read.
bool IsMacBinary(const DocumentPath& vstrPath);

}  // namespace pelmora::analysis
