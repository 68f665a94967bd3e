// The result window built in this process, where its menu can be read.
#include <gtest/gtest.h>

#include "ui/main/frm_select.h"
#include "ui/main/select_ids.h"
#include "win32/form.h"

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

int LineHeight(HFONT font) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return tm.tmHeight;
}

// The controls have the dialog font, and each single-line box holds a line of it inside its edge,
// here and at the other usual settings (120 and 144 dpi): the layout's boxes are 270 twips high,
// 14 pixels inside at 96 dpi, where a taller face would clip the text.
TEST(ResultWindowFont, EverySingleLineBoxHoldsALineOfTheDialogFont) {
  ui::frmSelect().ShowEdit(analysis::AnalysisResult{});
  HWND w = ui::frmSelect().hwnd();
  const int dpi = ui::frmSelect().dpi();
  int boxes = 0;
  for (HWND c = ::GetWindow(w, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    ::GetClassNameW(c, cls, 16);
    if (lstrcmpiW(cls, L"Edit") || (::GetWindowLongW(c, GWL_STYLE) & ES_MULTILINE)) continue;
    ++boxes;
    SCOPED_TRACE(::GetDlgCtrlID(c));
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(c, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof(lf), &lf);
    EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
    RECT outer{}, inner{};
    ::GetWindowRect(c, &outer);
    ::GetClientRect(c, &inner);
    EXPECT_GE(inner.bottom, LineHeight(font));
    const int twips = ::MulDiv(outer.bottom - outer.top, 1440, dpi);
    const int edges = (outer.bottom - outer.top) - inner.bottom;
    for (int other : {96, 120, 144}) {
      const LOGFONTW at = win32::DialogFont(other);
      HFONT f = ::CreateFontIndirectW(&at);
      EXPECT_GE(win32::TwipsToPixels(twips, other) - ::MulDiv(edges, other, dpi), LineHeight(f)) << other << " dpi";
      ::DeleteObject(f);
    }
  }
  EXPECT_EQ(boxes, 5);
  ui::frmSelect().Unload();
}

}  // namespace
