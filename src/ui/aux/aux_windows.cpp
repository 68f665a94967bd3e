#include "ui/aux/aux_windows.h"

#include "ui/aux/frm_dummy.h"
#include "ui/aux/frm_type.h"
#include "ui/aux/frm_wait.h"

namespace pelmora::ui {

void ShowWaitWindow(const std::wstring& strFile) { frmWait().ShowEdit(strFile); }
void UnloadWaitWindow() { frmWait().Unload(); }
void KeepWaitWindowAnswering() { frmWait().KeepAnswering(); }
void ShowTypeWindow(HWND owner) { frmType().ShowModal(owner); }
void ShowAboutWindow(HWND owner) { frmDummy().ShowModal(owner); }

}  // namespace pelmora::ui
