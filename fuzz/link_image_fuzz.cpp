// Fuzzes the placed-image list against the same rules applied with the plain duplicate search.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/ansi_text.h"
#include "analysis/link_image.h"

namespace {

using namespace pelmora::analysis;

std::vector<std::string> Expected(std::string_view h) {
  std::vector<std::string> list;
  const std::size_t marker = FindCharsIgnoreCase(h, "%%DocumentFiles:");
  if (marker == std::string_view::npos) return list;
  std::size_t end = h.find_first_of("\r\n", marker + 16);
  if (end == std::string_view::npos) return list;
  list.emplace_back(TrimBlanks(h.substr(marker + 16, end - marker - 16)));
  for (;;) {
    std::size_t line = end + 1;
    if (h[end] == '\r' && line < h.size() && h[line] == '\n') ++line;
    if (line + 3 > h.size() || !EqualsIgnoreCase(h.substr(line, 3), "%%+")) break;
    const std::size_t start = line + 3;
    end = h.find_first_of("\r\n", start);
    if (end == std::string_view::npos || end == start) break;
    const std::string_view name = TrimBlanks(h.substr(start, end - start));
    if (!name.empty() && FindInArray(list, name) == -1) list.emplace_back(name);
  }
  return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view header(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> list = {"left over"};
  const std::int32_t count = GetLinkImage(list, header);
  if (count != static_cast<std::int32_t>(list.size()) || list != Expected(header)) std::abort();
  return 0;
}
