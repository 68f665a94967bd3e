// Which paths go to the Win32 file calls in the extended-length form.
#include <gtest/gtest.h>

#include <string>

#include "launch/long_path.h"

namespace {

using pelmora::launch::ExtendedLengthPath;
using pelmora::launch::kLongPathFrom;

// A name that makes `head` exactly `length` characters long.
std::wstring Long(const std::wstring& head, std::size_t length = kLongPathFrom) {
  return head + std::wstring(length - head.size(), L'a');
}

TEST(ExtendedLengthPath, LongFullPathsGetTheirPrefixAndEverythingElseStays) {
  struct Case {
    std::wstring in, out;
  };
  const std::wstring drive = Long(L"C:\\入稿\\"), unc = Long(L"\\\\server\\share\\d\\");
  const Case cases[] = {
      // Up to the limit of a folder's path the plain form works everywhere.
      {L"C:\\a.eps", L"C:\\a.eps"},
      {Long(L"C:\\", kLongPathFrom - 1), Long(L"C:\\", kLongPathFrom - 1)},
      {drive, L"\\\\?\\" + drive},
      {Long(L"z:\\"), L"\\\\?\\" + Long(L"z:\\")},
      {unc, L"\\\\?\\UNC\\server\\share\\d\\" + unc.substr(17)},
      // Already in a form that the plain parsing does not touch.
      {L"\\\\?\\" + drive, L"\\\\?\\" + drive},
      {L"\\\\?\\UNC\\" + unc.substr(2), L"\\\\?\\UNC\\" + unc.substr(2)},
      {Long(L"\\\\.\\pipe\\"), Long(L"\\\\.\\pipe\\")},
      {Long(L"\\??\\C:\\"), Long(L"\\??\\C:\\")},
      // Not full paths: the prefix would change what they name.
      {Long(L"docs\\"), Long(L"docs\\")},
      {Long(L"C:docs\\"), Long(L"C:docs\\")},
      {Long(L"\\docs\\"), Long(L"\\docs\\")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtendedLengthPath(c.in), c.out) << c.in.size();
  }
}

}  // namespace
