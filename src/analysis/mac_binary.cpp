#include <array>
#include <new>

#include "analysis/header_scan.h"
#include "analysis/run_error.h"

namespace pelmora::analysis {

bool IsMacBinary(const DocumentPath& vstrPath) {
  std::array<unsigned char, 128> header{};  // a short document leaves the rest zero
  try {
    auto document = OpenDocument(vstrPath);
    std::size_t size = 0;
    while (size < header.size()) {
      const std::size_t got = document->Read(reinterpret_cast<char*>(header.data()) + size, header.size() - size);
      if (got == 0) break;
      size += got;
    }
  } catch (const std::bad_alloc&) {
    throw RunError(err::kOutOfMemory);  // the caller's trap reports numbers only
  }
  return header[0] == 0 && header[74] == 0 && header[82] == 0 && header[1] >= 1 && header[1] <= 63;
}

}  // namespace pelmora::analysis
