#pragma once
// The program's title and version, as its version resource gives them; the windows' captions and
// the About window show them.
#include <string>

namespace pelmora::base {

struct ProgramVersion {
  std::wstring title = L"Pelmora";
  int major = 3;
  int minor = 1;
  int revision = 21;
};

}  // namespace pelmora::base
