#include "ui/aux/frm_wait.h"

#include <array>

#include "ui/aux/aux_ids.h"
#include "ui/aux/aux_texts.h"
#include "win32/platform.h"

namespace pelmora::ui {

namespace {

using win32::ControlKind;
using win32::ControlSpec;
namespace id = aux_ids::wait;

constexpr std::array kControls{
    ControlSpec{id::Label1, ControlKind::Label, kWaitLabel1, 360, 480, 5295, 255},
    // One line high: a long path is shortened in its middle so the file name stays in sight.
    ControlSpec{id::lblFile, ControlKind::Label, kWaitFilePlaceholder, 360, 1080, 5415, 255, win32::kEllipsisPath},
};

}  // namespace

FrmWait& frmWait() {
  static FrmWait instance;
  return instance;
}

win32::FormSpec FrmWait::Spec() const {
  return {L"frmWait", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 6090, 2040,
          win32::StartPosition::PlatformDefault};
}

std::span<const ControlSpec> FrmWait::Controls() const { return kControls; }

// No trap: a failure here reaches ShowEdit, whose caller reports it.
void FrmWait::OnLoad() { Form_Load(); }

void FrmWait::Form_Load() {
  SetCaption(win32::Version().title);
  Refresh();
}

void FrmWait::KeepAnswering() const {
  // Before the window is shown there is nothing the system could take for hung.
  if (!IsLoaded()) return;
  // A look at the queue is what the system counts as answering. Nothing is removed: a click or
  // key pressed meanwhile (the close box among them) waits for the message loop after the scan,
  // and no handler of the program runs in the middle of it. Messages other threads send are
  // handled here, as they must be for the senders not to hang in turn.
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD);
  ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void FrmWait::ShowEdit(const std::wstring& strFile) {
  if (!strFile.empty()) {
    Load();
    SetText(id::lblFile, strFile);
  }
  Show();
  Refresh();
  // What showing it left to be painted (the system's word that it is on screen comes as a
  // message) is painted before the reading goes on.
  KeepAnswering();
}

}  // namespace pelmora::ui
