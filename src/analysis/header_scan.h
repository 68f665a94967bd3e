#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "analysis/document_file.h"

namespace pelmora::analysis {

// Length cap of the header text handed to the placed-image list, in characters.
inline constexpr std::int32_t kHeaderTextChars = 100500;

// No limit on the values' length: the window program shows them whole.
inline constexpr std::size_t kWholeValue = static_cast<std::size_t>(-1);

// Reads the first `vlngChars` characters of the document and returns the "%%Creator:" value, or
// no value. Fills the version and kind; sets the header text only when the kind is decided and
// otherwise leaves it as the caller had it. Never throws: a failure to read yields no value.
// All strings are code page 932 bytes. The creator and version keep at most `valueBytes` bytes
// (trimmed first), so that a line of many megabytes need not be held by a caller that shows
// only its start.
std::optional<std::string> ScanHeader(const DocumentPath& vstrPath, std::int32_t vlngChars,
                                      std::string& strCreatorVersion, std::string& strFiletype,
                                      std::string& strHeader, std::size_t valueBytes = kWholeValue);

std::string NullToStr(const std::optional<std::string>& varValue);

// True when the first 128 bytes have the shape of a MacBinary header. Throws RunError when the
// document cannot be opened or read.
bool IsMacBinary(const DocumentPath& vstrPath);

}  // namespace pelmora::analysis
