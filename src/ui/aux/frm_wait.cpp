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

void FrmWait::ShowEdit(const std::wstring& strFile) {
  if (!strFile.empty()) {
    Load();
    SetText(id::lblFile, strFile);
  }
  Show();
  Refresh();
}

}  // namespace pelmora::ui
