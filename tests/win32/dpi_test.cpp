// The result window moved to a monitor of another DPI: laid out again from its twips table.
#include <gtest/gtest.h>

#include "ui/main/frm_select.h"
#include "ui/main/select_ids.h"
#include "win32/form.h"
#include "win32/platform.h"

namespace {

using namespace pelmora;
namespace id = ui::select_ids;

RECT ControlRect(HWND top, int control) {
  RECT r{};
  HWND h = ::GetDlgItem(top, control);
  ::GetWindowRect(h, &r);
  ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

LONG FontHeight(HWND control) {
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  return lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
}

TEST(ResultWindowDpi, LaidOutAgainFromTheTwipsTableWhenTheDpiChanges) {
  ui::frmSelect().ShowEdit(analysis::AnalysisResult{});
  HWND w = ui::frmSelect().hwnd();
  ASSERT_TRUE(w);
  const int start = ui::frmSelect().dpi();
  const LONG startFont = FontHeight(::GetDlgItem(w, id::txtFile));
  RECT before{};
  ::GetWindowRect(w, &before);

  for (const int dpi : {start * 2, 144, start}) {
    // What Windows sends when the window reaches the other monitor: the new DPI and a place.
    RECT suggested{before.left + 10, before.top + 20, before.left + 500, before.top + 400};
    ::SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(ui::frmSelect().dpi(), dpi);
    // Each control where the table puts it at the new DPI.
    for (const auto& [control, l, t, cx, cy] :
         {std::tuple{id::txtFile, 2040, 360, 4815, 270}, std::tuple{id::txtImage, 480, 2940, 6375, 1590},
          std::tuple{id::cmdCancel, 5400, 4860, 1455, 375}}) {
      const RECT r = ControlRect(w, control);
      EXPECT_EQ(r.left, win32::TwipsToPixels(l, dpi)) << control << " at " << dpi;
      EXPECT_EQ(r.top, win32::TwipsToPixels(t, dpi)) << control << " at " << dpi;
      EXPECT_EQ(r.right - r.left, win32::TwipsToPixels(cx, dpi)) << control << " at " << dpi;
      EXPECT_EQ(r.bottom - r.top, win32::TwipsToPixels(cy, dpi)) << control << " at " << dpi;
    }
    // Placed where Windows suggested, sized for the whole table (not the suggested size).
    RECT now{};
    ::GetWindowRect(w, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    RECT client{};
    ::GetClientRect(w, &client);
    EXPECT_GE(client.right, win32::TwipsToPixels(7380, dpi) - 1) << dpi;
    // Text at the new DPI: the font grows with it.
    EXPECT_NEAR(FontHeight(::GetDlgItem(w, id::txtFile)), ::MulDiv(startFont, dpi, start), 1) << dpi;
  }
  ui::frmSelect().Unload();
}

// Width and height of an icon's image.
SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return {};
  BITMAP bm{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return {bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
}

// The title bar's and the task bar's icons at the sizes the system uses at the new DPI.
TEST(ResultWindowDpi, IconsAreLoadedAgainAtTheNewDpisSizes) {
  ui::frmSelect().ShowEdit(analysis::AnalysisResult{});
  HWND w = ui::frmSelect().hwnd();
  ASSERT_TRUE(w);
  RECT at{};
  ::GetWindowRect(w, &at);
  const struct {
    int dpi, big, small;
  } cases[] = {{120, 40, 20}, {144, 48, 24}, {192, 64, 32}, {96, 32, 16}};
  for (const auto& c : cases) {
    ::SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(c.dpi, c.dpi), reinterpret_cast<LPARAM>(&at));
    const auto big = reinterpret_cast<HICON>(::SendMessageW(w, WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(::SendMessageW(w, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(IconSize(big).cx, c.big) << c.dpi;
    EXPECT_EQ(IconSize(big).cy, c.big) << c.dpi;
    EXPECT_EQ(IconSize(small).cx, c.small) << c.dpi;
    EXPECT_EQ(win32::MetricForDpi(SM_CXICON, c.dpi), c.big) << c.dpi;
    EXPECT_EQ(win32::MetricForDpi(SM_CXSMICON, c.dpi), c.small) << c.dpi;
  }
  ui::frmSelect().Unload();
}

}  // namespace
