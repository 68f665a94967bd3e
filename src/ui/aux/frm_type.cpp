#include "ui/aux/frm_type.h"

#include <array>

#include "ui/aux/aux_ids.h"
#include "ui/aux/aux_texts.h"

namespace pelmora::ui {

namespace {

using win32::ControlKind;
using win32::ControlSpec;
namespace id = aux_ids::type;

constexpr int kFrameLeft = 240, kFrameTop = 300;

// Tab order is the table's order. Text1 lies inside Frame1: its place is given from the frame's
// corner, as the layout measures it.
constexpr std::array kControls{
    ControlSpec{id::cmdClose, ControlKind::Button, kTypeClose, 2760, 3720, 1335, 435, win32::kDefault | win32::kCancel},
    ControlSpec{id::Frame1, ControlKind::Frame, kTypeFrameCaption, kFrameLeft, kFrameTop, 6255, 3015, win32::kNone,
                kPGothic, kNotesFontTenthsPt},
    // Sized by its line pitch: eleven lines must fit the box's height. ＭＳ ゴシック has no internal
    // leading, so on the target this is the very same font; a substitute face with leading stays
    // at the pitch instead of pushing the last line out of sight.
    ControlSpec{id::Text1, ControlKind::TextBox, kTypeNotes, kFrameLeft + 480, kFrameTop + 480, 5655, 2235,
                win32::kReadOnly | win32::kMultiLine | win32::kNoTabStop | win32::kNoBorder | win32::kFontCellHeight,
                kGothic, kNotesFontTenthsPt},
};

}  // namespace

FrmType& frmType() {
  static FrmType instance;
  return instance;
}

// Sizable, but nothing follows the border: the layout stays where the table puts it. Children are
// not clipped out of the background: it is what shows inside the frame.
win32::FormSpec FrmType::Spec() const {
  return {kTypeCaption, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, 6735, 4545,
          win32::StartPosition::CentreOwner};
}

std::span<const ControlSpec> FrmType::Controls() const { return kControls; }

int FrmType::InitialFocus() const { return id::cmdClose; }

void FrmType::OnCommand(int cmd) {
  if (cmd == id::cmdClose) cmdClose_Click();
}

void FrmType::cmdClose_Click() { Unload(); }

}  // namespace pelmora::ui
