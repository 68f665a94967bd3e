#include "ui/main/select_fields.h"

#include <algorithm>

#include "analysis/ansi_text.h"

namespace pelmora::ui {

std::wstring KindText(std::string_view strFiletype) {
  if (strFiletype == "EPS") return L"EPSファイル (EPS)";
  if (strFiletype == "AI") return L"Illustrator形式ファイル (AI)";
  return L"（不明）";
}

std::wstring ImageListText(const std::vector<std::string>& names, std::int32_t count) {
  std::wstring text;
  const std::size_t n = count < 1 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), names.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) text += L"\r\n";
    text += analysis::DecodeAnsi(names[i]);
  }
  const auto first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

SelectFields BuildSelectFields(const analysis::AnalysisResult& result, const std::wstring& fileName) {
  SelectFields f;
  if (!result.strFile.empty()) {
    f.txtFile = fileName;
    f.txtVersionString = analysis::DecodeAnsi(result.vstrVersionString);
    f.txtCreatorVersion = analysis::DecodeAnsi(result.vstrCreatorVersion);
  }
  f.txtEpsorAI = KindText(result.strFiletype);
  f.txtMac = result.vblnMac ? L"あり" : L"なし";
  f.txtImage = ImageListText(result.rastrLinkImage, result.vlngLinkImage);
  return f;
}

std::wstring SelectCaption(const base::ProgramVersion& version) {
  return version.title + L" " + std::to_wstring(version.major) + L"." + std::to_wstring(version.minor);
}

}  // namespace pelmora::ui
