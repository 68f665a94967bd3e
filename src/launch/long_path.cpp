#include "launch/long_path.h"

namespace pelmora::launch {

namespace {
bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
}  // namespace

std::wstring ExtendedLengthPath(std::wstring_view full) {
  if (full.size() < kLongPathFrom) return std::wstring(full);
  // \\?\..., \\.\... and \??\... already name the object without the plain form's parsing.
  if (full.size() >= 4 && IsSlash(full[0]) && (IsSlash(full[1]) || full[1] == L'?') &&
      (full[2] == L'?' || full[2] == L'.') && IsSlash(full[3])) {
    return std::wstring(full);
  }
  if (full.size() >= 3 && IsLetter(full[0]) && full[1] == L':' && IsSlash(full[2])) {
    return L"\\\\?\\" + std::wstring(full);
  }
  if (full.size() >= 3 && IsSlash(full[0]) && IsSlash(full[1]) && !IsSlash(full[2])) {
    return L"\\\\?\\UNC\\" + std::wstring(full.substr(2));
  }
  return std::wstring(full);  // relative or drive-relative: not a full path
}

}  // namespace pelmora::launch
