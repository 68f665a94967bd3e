// Fuzzes the placed-image header readers behind the type dispatch (PSD/PSB resources, TIFF, JPEG,
// PNG, EPS): no crash, no read past the bound, and pixels only where both sides are known.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <string_view>

#include "preflight/image_header.h"

namespace {

using namespace pelmora::preflight;

// The input as a file whose start it is, followed by as much again of itself: a reader that
// trusts a length reads on, and the bound must stop it.
class Repeating final : public ImageBytes {
 public:
  explicit Repeating(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.empty() ? 0 : std::uint64_t{1} << 32; }
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    read += size;
    for (std::size_t done = 0; done < size;) {
      const std::size_t at = static_cast<std::size_t>((offset + done) % bytes_.size());
      const std::size_t n = std::min(size - done, bytes_.size() - at);
      std::memcpy(buffer + done, bytes_.data() + at, n);
      done += n;
    }
    return size;
  }
  std::uint64_t read = 0;

 private:
  std::string_view bytes_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Every type's reader, whatever the first bytes say: the dispatch is fuzzed with the rest.
  static const char* const kHeads[] = {"", "8BPS\0\1", "8BPS\0\2", "II*\0", "MM\0+", "\xFF\xD8\xFF", "\x89PNG\r\n\x1A\n", "%!PS-Adobe-3.0 EPSF-3.0\n"};
  const std::size_t pick = size == 0 ? 0 : data[0] % std::size(kHeads);
  const std::string_view head = pick == 0 ? std::string_view() : std::string_view(kHeads[pick], pick <= 2 ? 6 : std::char_traits<char>::length(kHeads[pick]));
  std::string input(head);
  input.append(bytes.substr(size == 0 ? 0 : 1));

  MemoryBytes plain(input);
  const ImageHeader a = ReadImageHeader(plain);
  if (a.widthPx.has_value() != a.heightPx.has_value() || (a.widthPx && *a.widthPx < 1)) std::abort();
  if (!input.empty()) {
    Repeating endless(input);
    ReadImageHeader(endless);
    if (endless.read > kImageHeaderBytes) std::abort();
  }
  IccDescription(bytes);
  return 0;
}
