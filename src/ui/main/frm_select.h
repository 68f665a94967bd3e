#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "launch/analysis_run.h"
#include "ui/main/drop_target.h"
#include "win32/form.h"

namespace pelmora::ui {

// The result window: the one window that stays open; the process lives as long as it is loaded.
class FrmSelect final : public win32::Form {
 public:
  // Fills the fields and shows the window modeless. Failures pass on to the caller.
  void ShowEdit(const launch::AnalysisResult& result);

  const std::vector<std::string>& LinkImages() const { return mastrLinkImage; }
  std::int32_t LinkImageCount() const { return mlngLinkImage; }
  // The 32×32 icon the About window shows; null until the window has been loaded.
  HICON Icon() const { return icon_.get(); }

 protected:
  win32::FormSpec Spec() const override;
  std::span<const win32::ControlSpec> Controls() const override;
  HMENU CreateMenuBar() override;
  void OnCreated() override;
  void OnLoad() override;
  void OnCommand(int id) override;
  void OnDestroy() override;

 private:
  void Form_Load();
  void cmdCancel_Click();
  void cmdType_Click();
  void mnu_Type_Click();
  void mnu_version_Click();
  void cmdFolder_Click();
  // Dragged data over the window: copy when it brings a file list, else refused.
  void Form_OLEDragOver(IDataObject* Data, DWORD& Effect);
  // Each dropped document goes to a new instance of the program; this window then closes.
  void Form_OLEDragDrop(IDataObject* Data);

  std::vector<std::string> mastrLinkImage;
  std::int32_t mlngLinkImage = 0;
  win32::UniqueIcon icon_;
  win32::UniqueIcon smallIcon_;
  DropRegistration dropTarget_;
};

FrmSelect& frmSelect();

}  // namespace pelmora::ui
