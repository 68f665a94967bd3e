#include <windows.h>

#include "analysis/ansi_text.h"

namespace pelmora::analysis {

namespace {
constexpr UINT kCodePage = 932;
constexpr wchar_t kUnmapped = L'\x30FB';

void AppendRun(std::wstring& out, std::string_view run) {
  if (run.empty()) return;
  const int n = ::MultiByteToWideChar(kCodePage, 0, run.data(), static_cast<int>(run.size()), nullptr, 0);
  const std::size_t at = out.size();
  out.resize(at + n);
  ::MultiByteToWideChar(kCodePage, 0, run.data(), static_cast<int>(run.size()), out.data() + at, n);
}
}  // namespace

std::wstring DecodeAnsi(std::string_view text) {
  // Characters are split here, not by the platform, so a broken pair decodes the same on every
  // system: the lone lead byte becomes one U+30FB and the next byte starts a character.
  std::wstring out;
  out.reserve(text.size());
  std::size_t runStart = 0, pos = 0;
  while (pos < text.size()) {
    const auto b = static_cast<unsigned char>(text[pos]);
    if (IsLeadByte(b) && (pos + 1 >= text.size() || !IsTrailByte(static_cast<unsigned char>(text[pos + 1])))) {
      AppendRun(out, text.substr(runStart, pos - runStart));
      out.push_back(kUnmapped);
      runStart = ++pos;
      continue;
    }
    pos += CharLength(text, pos);
  }
  AppendRun(out, text.substr(runStart));
  return out;
}

}  // namespace pelmora::analysis
