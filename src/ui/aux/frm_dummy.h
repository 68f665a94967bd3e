#pragma once
#include <windows.h>

#include <string>

#include "win32/form.h"
#include "win32/raii.h"

namespace pelmora::ui {

// The About window, with the start of the platform's system-information tool.
class FrmDummy final : public win32::Form {
 public:
  // Reads one value read-only: true when read (KeyVal set by its type); false, with KeyVal
  // emptied, when the key or value is missing, unreadable or longer than 1024 bytes.
  static bool GetKeyValue(HKEY KeyRoot, const std::wstring& KeyName, const std::wstring& SubKeyRef,
                          std::wstring& KeyVal);
  static void StartSysInfo();

 protected:
  win32::FormSpec Spec() const override;
  std::span<const win32::ControlSpec> Controls() const override;
  void OnLoad() override;
  void OnCommand(int id) override;
  int InitialFocus() const override;
  void OnDpiChanged() override;

 private:
  void Form_Load();
  void cmdOk_Click();
  void cmdSysInfo_Click();
  // The program's icon at the window's DPI, in the title bar and the picture box.
  void SetIconForDpi();

  win32::UniqueIcon icon_;
};

FrmDummy& frmDummy();

}  // namespace pelmora::ui
