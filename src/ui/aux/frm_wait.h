#pragma once
#include <string>

#include "win32/form.h"

namespace pelmora::ui {

// The progress window: which document is read while the start-up scans the larger windows. It is
// never given the message loop while shown, so it paints itself before the scans begin.
class FrmWait final : public win32::Form {
 public:
  // Shows the path (an empty one leaves the label as it was) and paints at once. Failures pass on
  // to the caller.
  void ShowEdit(const std::wstring& strFile);
  // Looks at the thread's messages without taking any off the queue, then paints what needs it.
  void KeepAnswering() const;

 protected:
  win32::FormSpec Spec() const override;
  std::span<const win32::ControlSpec> Controls() const override;
  void OnLoad() override;

 private:
  void Form_Load();
};

FrmWait& frmWait();

}  // namespace pelmora::ui
