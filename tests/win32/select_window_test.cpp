// The result window built in this process, where its menu can be read.
#include <gtest/gtest.h>

#include "ui/main/frm_select.h"
#include "ui/main/select_ids.h"

namespace {

using namespace pelmora;
namespace id = ui::select_ids;

std::wstring MenuText(HMENU menu, UINT item, UINT by) {
  wchar_t text[128] = {};
  ::GetMenuStringW(menu, item, text, 128, by);
  return text;
}

TEST(ResultWindowMenu, HelpMenuHoldsTheNotesAndAboutItems) {
  ui::frmSelect().ShowEdit(analysis::AnalysisResult{});
  HMENU bar = ::GetMenu(ui::frmSelect().hwnd());
  ASSERT_TRUE(bar);
  EXPECT_EQ(::GetMenuItemCount(bar), 1);
  EXPECT_EQ(MenuText(bar, 0, MF_BYPOSITION), L"ヘルプ(&H)");
  HMENU help = ::GetSubMenu(bar, 0);
  ASSERT_TRUE(help);
  EXPECT_EQ(::GetMenuItemCount(help), 2);
  EXPECT_EQ(MenuText(help, 0, MF_BYPOSITION), L"保存形式のバージョン番号について");
  EXPECT_EQ(::GetMenuItemID(help, 0), static_cast<UINT>(id::mnu_Type));
  EXPECT_EQ(MenuText(help, 1, MF_BYPOSITION), L"バージョン情報(&V)");
  EXPECT_EQ(::GetMenuItemID(help, 1), static_cast<UINT>(id::mnu_version));

  // Loading again after an unload starts from the design-time state, caption set anew.
  ui::frmSelect().Unload();
  EXPECT_FALSE(ui::frmSelect().IsLoaded());
  ui::frmSelect().Unload();  // a second unload does nothing
  ui::frmSelect().Load();
  wchar_t caption[64] = {};
  ::GetWindowTextW(ui::frmSelect().hwnd(), caption, 64);
  EXPECT_STREQ(caption, L"Pelmora 3.1");
  ui::frmSelect().Unload();
}

}  // namespace
