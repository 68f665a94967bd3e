// DecodeAnsi for systems with glibc's iconv. The text is split into characters here, not by
// iconv, so that a broken byte costs exactly the character it belongs to.
#include <cerrno>
#include <iconv.h>

#include "analysis/ansi_text.h"

namespace pelmora::analysis {

namespace {

constexpr wchar_t kReplacement = L'\u30FB';

class Cp932Decoder {
 public:
  Cp932Decoder() : cd_(::iconv_open("WCHAR_T", "CP932")) {}
  ~Cp932Decoder() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) ::iconv_close(cd_);
  }
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;

  // The one character of `len` bytes at `bytes`, or U+30FB when the code page assigns none.
  wchar_t Decode(const char* bytes, std::size_t len) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return kReplacement;
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    wchar_t out[2];
    char* in = const_cast<char*>(bytes);
    char* outp = reinterpret_cast<char*>(out);
    std::size_t inleft = len, outleft = sizeof out;
    if (::iconv(cd_, &in, &inleft, &outp, &outleft) == static_cast<std::size_t>(-1) || inleft != 0 ||
        outleft != sizeof out - sizeof(wchar_t)) {
      return kReplacement;
    }
    return out[0];
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::wstring DecodeAnsi(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  // Opening a converter costs far more than most texts take to convert: one per thread, kept.
  thread_local Cp932Decoder decoder;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t len = CharLength(text, i);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));  // code page 932 keeps ASCII as it is, 0x5C included
    } else if (len == 1 && IsLeadByte(b)) {
      out.push_back(kReplacement);  // a lead byte whose trail byte is missing
    } else {
      out.push_back(decoder.Decode(text.data() + i, len));
    }
    i += len;
  }
  return out;
}

}  // namespace pelmora::analysis
