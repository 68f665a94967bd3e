#pragma once
// Control and menu identifiers of the result window, shared with the end-to-end tests.
namespace pelmora::ui::select_ids {
enum : int {
  cmdCancel = 101,
  txtVersionString,
  Label1,
  txtCreatorVersion,
  Label2,
  txtFile,
  Label3,
  txtEpsorAI,
  Label4,
  Label5,
  txtMac,
  Label7,
  Label6,
  txtImage,
  cmdFolder,
  cmdType,
  mnu_Type = 201,
  mnu_version,
};
}  // namespace pelmora::ui::select_ids
