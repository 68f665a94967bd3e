#include "ui/aux/aux_texts.h"

namespace pelmora::ui {

const wchar_t kTypeNotes[] =
    L"「保存形式」や「ソフトのバージョン」欄に見慣れない\r\n"
    L"バージョン番号が表示される事がありますが、以下を参\r\n"
    L"考に置き換えて判断してください。\r\n"
    L"\r\n"
    L"値    公式バージョン名\r\n"
    L"-----------------------\r\n"
    L"X  -> 10.0\r\n"
    L"11 -> CS\r\n"
    L"12 -> CS2\r\n"
    L"13 -> CS3 \r\n"
    L"14 -> CS4\r\n";

const wchar_t kAboutContact[] =
    L"お問い合わせは\r\n"
    L"\r\n"
    L"https://pelmora.example.jp/ \r\n"
    L"\r\n"
    L"までお願いします。\r\n";

std::wstring AboutCaption(const base::ProgramVersion& version) { return version.title + L"のバージョン情報"; }

std::wstring VersionLine(const base::ProgramVersion& version) {
  return L"バージョン " + std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"  (build " +
         std::to_wstring(version.revision) + L")";
}

}  // namespace pelmora::ui
