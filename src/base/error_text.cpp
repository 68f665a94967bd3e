#include "base/error_text.h"

#include <algorithm>
#include <iterator>

namespace pelmora::base {

namespace {

constexpr std::int64_t kObjectDefinedFirst = -2147221504;  // 0x80040000
constexpr std::int64_t kObjectDefinedLast = -2147155969;   // 0x8004FFFF

struct Description {
  std::int32_t number;
  const wchar_t* text;
};

// The numbers that opening and reading documents, drag and drop, the shell's file copy and the
// windows can raise; sorted by number.
constexpr Description kDescriptions[] = {
    {5, L"処理の呼び出し方、または渡された値に誤りがあります"},
    {6, L"数値が扱える範囲を超えました"},
    {7, L"処理に必要なメモリを確保できませんでした"},
    {9, L"配列の範囲の外にある要素を指定しました"},
    {11, L"ゼロで割ろうとしました"},
    {13, L"値の種類が合っていません"},
    {52, L"ファイルの名前または番号に誤りがあります"},
    {53, L"指定されたファイルは存在しません"},
    {55, L"このファイルはすでに使用中です"},
    {57, L"装置との読み書きに失敗しました"},
    {61, L"ディスクに空きがありません"},
    {62, L"ファイルの終わりより先を読もうとしました"},
    {67, L"同時に開いているファイルが多すぎます"},
    {68, L"装置を利用できません"},
    {70, L"アクセスする権限がありません"},
    {71, L"ディスクを読み取る準備ができていません"},
    {75, L"ファイルまたはフォルダーにアクセスできません"},
    {76, L"指定されたフォルダーは存在しません"},
    {91, L"対象のオブジェクトがまだ用意されていません"},
    {400, L"表示中のウィンドウを改めてモーダルで表示しようとしました"},
    {424, L"オブジェクトが必要な箇所にオブジェクトがありません"},
    {429, L"部品のオブジェクトを作れませんでした"},
    {453, L"呼び出そうとした外部関数が見つかりません"},
};

constexpr const wchar_t* kGenericDescription = L"プログラムまたは部品の内部で問題が起きました";

}  // namespace

std::wstring ErrorNumberText(std::int32_t number) {
  if (number >= kObjectDefinedFirst && number <= kObjectDefinedLast) {
    return L"N" + std::to_wstring(static_cast<std::int64_t>(number) - kObjectDefinedFirst);
  }
  return std::to_wstring(number);
}

std::wstring ErrorDescription(std::int32_t number) {
  const auto it = std::lower_bound(std::begin(kDescriptions), std::end(kDescriptions), number,
                                   [](const Description& d, std::int32_t n) { return d.number < n; });
  return (it != std::end(kDescriptions) && it->number == number) ? it->text : kGenericDescription;
}

std::wstring ErrorMessage(std::int32_t number) {
  return ErrorDescription(number) + L" (エラー番号:" + ErrorNumberText(number) + L")";
}

}  // namespace pelmora::base
