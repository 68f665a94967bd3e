#pragma once
#include "win32/form.h"

namespace pelmora::ui {

// The version-notes window: fixed notes on how Illustrator's version numbers map to its official
// names. It has no code of its own beyond closing itself.
class FrmType final : public win32::Form {
 protected:
  win32::FormSpec Spec() const override;
  std::span<const win32::ControlSpec> Controls() const override;
  void OnCommand(int id) override;
  int InitialFocus() const override;

 private:
  void cmdClose_Click();
};

FrmType& frmType();

}  // namespace pelmora::ui
