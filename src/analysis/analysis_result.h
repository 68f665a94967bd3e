#pragma once
// One document's analysis as the result window receives it, from whichever program part ran it.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::analysis {

// Document strings stay in the document's code page (932) until the window decodes them.
struct AnalysisResult {
  std::wstring strFile;
  std::string vstrVersionString;
  std::string vstrCreatorVersion;
  bool vblnMac = false;
  std::string strFiletype;
  std::vector<std::string> rastrLinkImage;
  std::int32_t vlngLinkImage = 0;
};

}  // namespace pelmora::analysis
