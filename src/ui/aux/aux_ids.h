#pragma once
// Control identifiers of the auxiliary windows, shared with the end-to-end tests.
namespace pelmora::ui::aux_ids {

namespace wait {
enum : int { Label1 = 301, lblFile };
}

namespace type {
enum : int { cmdClose = 401, Frame1, Text1 };
}

namespace dummy {
enum : int { cmdOK = 501, Text1, picIcon, cmdSysInfo, lblDescription, lblTitle, lblVersion };
}

}  // namespace pelmora::ui::aux_ids
