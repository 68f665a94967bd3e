#include "ui/aux/frm_dummy.h"

#include <array>

#include "analysis/run_error.h"
#include "ui/aux/aux_ids.h"
#include "ui/aux/aux_texts.h"
#include "ui/aux/sys_info.h"
#include "win32/platform.h"

namespace pelmora::ui {

namespace {

using win32::ControlKind;
using win32::ControlSpec;
namespace id = aux_ids::dummy;

constexpr int kLineId = 0;  // drawn by the window, not a control

// Tab order is the table's order.
constexpr std::array kControls{
    ControlSpec{id::cmdOK, ControlKind::Button, L"OK", 4290, 2625, 1425, 345, win32::kDefault | win32::kCancel},
    ControlSpec{id::Text1, ControlKind::TextBox, kAboutContact, 240, 2640, 3855, 1035,
                win32::kReadOnly | win32::kMultiLine | win32::kNoTabStop | win32::kNoBorder},
    ControlSpec{id::picIcon, ControlKind::Picture, L"", 270, 240, 540, 540},
    ControlSpec{id::cmdSysInfo, ControlKind::Button, kAboutSysInfo, 4290, 3075, 1425, 345},
    // Black whatever the system's text colour: the layout fixes it for these two.
    ControlSpec{id::lblDescription, ControlKind::Label, kAboutDescription, 1080, 1125, 4005, 1170, win32::kNone,
                nullptr, 0, RGB(0, 0, 0)},
    ControlSpec{id::lblTitle, ControlKind::Label, L"ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", 1080, 240, 3885, 480, win32::kNone, nullptr, 0,
                RGB(0, 0, 0)},
    ControlSpec{id::lblVersion, ControlKind::Label, L"ﾊﾞｰｼﾞｮﾝ", 1080, 780, 3885, 225},
    // Line1: from (120, 2445) to (5684, 2445).
    ControlSpec{kLineId, ControlKind::Line, nullptr, 120, 2445, 5684 - 120, 0, win32::kNone, nullptr, 0,
                RGB(0x80, 0x80, 0x80)},
};

// The registry as the About window reads it; the platform's trap is StartSysInfo's own.
class Win32SysInfoHost final : public SysInfoHost {
 public:
  bool GetKeyValue(const std::wstring& KeyName, const std::wstring& SubKeyRef, std::wstring& KeyVal) override {
    return FrmDummy::GetKeyValue(HKEY_LOCAL_MACHINE, KeyName, SubKeyRef, KeyVal);
  }
  bool FileExists(const std::wstring& path) override { return win32::FindNormalFile(Native(path)).has_value(); }
  void Start(const std::wstring& given) override {
    if (given.empty()) throw RunError(err::kFileNotFound);
    const std::wstring path = Native(given);
    // Quoted, so a folder name with blanks cannot be taken for the program and its arguments.
    win32::StartProcess(path.front() == L'"' ? path : L"\"" + path + L"\"");
  }
  void Message(const std::wstring& text, int style) override {
    win32::MessageBoxApp(text, static_cast<UINT>(style));
  }

 private:
  static std::wstring Native(const std::wstring& path) {
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return path;
    wchar_t windows[MAX_PATH];
    const UINT n = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
    return NativeSystemPath(path, n > 0 && n < MAX_PATH ? std::wstring(windows, n) : std::wstring(), true);
  }
};

}  // namespace

FrmDummy& frmDummy() {
  static FrmDummy instance;
  return instance;
}

win32::FormSpec FrmDummy::Spec() const {
  return {L"バージョン情報", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 5985, 3795,
          win32::StartPosition::CentreScreen, WS_EX_DLGMODALFRAME};
}

std::span<const ControlSpec> FrmDummy::Controls() const { return kControls; }

int FrmDummy::InitialFocus() const { return id::cmdOK; }

void FrmDummy::OnLoad() {
  win32::Trap([this] { Form_Load(); });
}

void FrmDummy::OnCommand(int cmd) {
  switch (cmd) {
    case id::cmdOK: cmdOk_Click(); break;
    case id::cmdSysInfo: cmdSysInfo_Click(); break;
  }
}

void FrmDummy::Form_Load() {
  const base::ProgramVersion& version = win32::Version();
  SetCaption(AboutCaption(version));
  SetText(id::lblVersion, VersionLine(version));
  SetText(id::lblTitle, version.title);

  SetIconForDpi();
}

// Its own rather than the result window's: that one changes with its own monitor's DPI.
void FrmDummy::SetIconForDpi() {
  win32::UniqueIcon icon(win32::LoadProgramIcon(SM_CXICON, dpi()));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.get()));
  ::SendMessageW(Control(id::picIcon), STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
  icon_ = std::move(icon);
}

void FrmDummy::OnDpiChanged() { SetIconForDpi(); }

void FrmDummy::cmdOk_Click() { Unload(); }

void FrmDummy::cmdSysInfo_Click() { StartSysInfo(); }

void FrmDummy::StartSysInfo() {
  Win32SysInfoHost host;
  ui::StartSysInfo(host);
}

bool FrmDummy::GetKeyValue(HKEY KeyRoot, const std::wstring& KeyName, const std::wstring& SubKeyRef,
                           std::wstring& KeyVal) {
  // Read-only: a request for write rights fails under HKEY_LOCAL_MACHINE for every standard user.
  // The 64-bit view, where 64-bit Windows keeps the system's own tool: the MSInfo key is one key
  // for both views there, but Shared Tools Location is redirected, and the 32-bit program would
  // read WOW6432Node's, which names no 64-bit tool (the flag changes nothing on shared keys, for
  // the 64-bit program or on 32-bit Windows). Wine redirects both keys.
  win32::UniqueKey key;
  if (::RegOpenKeyExW(KeyRoot, KeyName.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }
  std::array<unsigned char, kKeyValueBytes> buffer{};
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(buffer.size());
  if (::RegQueryValueExW(key.get(), SubKeyRef.c_str(), nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }
  KeyValueText(type, buffer, KeyVal);
  return true;
}

}  // namespace pelmora::ui
