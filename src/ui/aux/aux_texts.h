#pragma once
// The fixed texts of the auxiliary windows and the texts built from the program's version.
#include <string>

#include "base/program_version.h"

namespace pelmora::ui {

// Progress window.
inline constexpr wchar_t kWaitLabel1[] = L"以下のファイルを分析中...";
inline constexpr wchar_t kWaitFilePlaceholder[] = L"Label2";

// Version-notes window.
inline constexpr wchar_t kTypeCaption[] = L"形式とバージョンについて";
inline constexpr wchar_t kTypeFrameCaption[] = L"Illustratorで作成したファイルのバージョン表記について";
inline constexpr wchar_t kTypeClose[] = L"閉じる(&C)";
// Eleven lines, each ended by CR LF; the fixed-pitch font keeps lines 5 to 11 in columns.
extern const wchar_t kTypeNotes[];

// The two faces of the notes window, at 9.75 pt (tenths of a point, rounded up).
inline constexpr wchar_t kPGothic[] = L"ＭＳ Ｐゴシック";
inline constexpr wchar_t kGothic[] = L"ＭＳ ゴシック";
inline constexpr int kNotesFontTenthsPt = 98;

// About window.
inline constexpr wchar_t kAboutDescription[] = L"EPSとAIファイルの作成ソフトを調べます。";
inline constexpr wchar_t kAboutSysInfo[] = L"ｼｽﾃﾑ情報(&S)...";
// Five lines, each ended by CR LF; the address ends in one blank.
extern const wchar_t kAboutContact[];

// Title + "のバージョン情報".
std::wstring AboutCaption(const base::ProgramVersion& version);
// "バージョン 3.1  (build 21)": numbers in plain decimal.
std::wstring VersionLine(const base::ProgramVersion& version);

}  // namespace pelmora::ui
