#pragma once
#include <cstdint>
#include <deque>
#include <exception>
#include <string>
#include <vector>

#include "analysis/analysis_result.h"
#include "ui/main/drop_target.h"
#include "win32/form.h"

namespace pelmora::ui {

// The result window: the one window that stays open; the process lives as long as it is loaded.
class FrmSelect final : public win32::Form {
 public:
  // Fills the fields and shows the window modeless. Failures pass on to the caller.
  void ShowEdit(const analysis::AnalysisResult& result);

  const std::vector<std::string>& LinkImages() const { return mastrLinkImage; }
  std::int32_t LinkImageCount() const { return mlngLinkImage; }

 protected:
  win32::FormSpec Spec() const override;
  std::span<const win32::ControlSpec> Controls() const override;
  HMENU CreateMenuBar() override;
  void OnCreated() override;
  void OnLoad() override;
  void OnCommand(int id) override;
  void OnDestroy() override;
  void OnDpiChanged() override;
  int InitialFocus() const override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  void Form_Load();
  void cmdCancel_Click();
  void cmdType_Click();
  void mnu_Type_Click();
  void mnu_version_Click();
  void cmdFolder_Click();
  // Dragged data over the window: copy when it brings a file list and the source allows a copy,
  // else refused.
  void Form_OLEDragOver(IDataObject* Data, DWORD& Effect);
  // Takes the dropped paths and leaves the rest to StartDropped, posted: the source's drag waits
  // for this call, so nothing here may wait for the user.
  void Form_OLEDragDrop(IDataObject* Data);
  // Each dropped document goes to a new instance of the program; this window then closes.
  void StartDropped();
  // The title bar's and the task bar's icons at the window's DPI.
  void LoadIcons();

  std::vector<std::string> mastrLinkImage;
  std::int32_t mlngLinkImage = 0;
  win32::UniqueIcon icon_;
  win32::UniqueIcon smallIcon_;
  DropRegistration dropTarget_;
  // Drops taken but not started yet: the paths, or the failure met while taking them.
  struct Dropped {
    std::vector<std::wstring> paths;
    std::exception_ptr failure;
  };
  std::deque<Dropped> dropped_;
};

FrmSelect& frmSelect();

}  // namespace pelmora::ui
