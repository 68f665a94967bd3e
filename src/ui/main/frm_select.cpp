#include "ui/main/frm_select.h"

#include <array>

#include "analysis/run_error.h"
#include "ui/aux/aux_windows.h"
#include "ui/main/bas_file.h"
#include "ui/main/collect_list.h"
#include "ui/main/drop_command.h"
#include "ui/main/select_fields.h"
#include "ui/main/select_ids.h"
#include "win32/platform.h"

namespace pelmora::ui {

namespace {

using win32::ControlKind;
using win32::ControlSpec;
namespace id = select_ids;

// Tab order is the table's order.
constexpr std::array kControls{
    ControlSpec{id::cmdCancel, ControlKind::Button, L"終了", 5400, 4860, 1455, 375, win32::kCancel},
    ControlSpec{id::txtVersionString, ControlKind::TextBox, L"", 2040, 1200, 3735, 270, win32::kReadOnly},
    ControlSpec{id::Label1, ControlKind::Label, L"保存形式", 480, 1260, 1695, 255},
    ControlSpec{id::txtCreatorVersion, ControlKind::TextBox, L"", 2040, 1620, 1335, 270, win32::kReadOnly},
    ControlSpec{id::Label2, ControlKind::Label, L"作成時に使用した", 480, 1680, 1815, 255},
    ControlSpec{id::txtFile, ControlKind::TextBox, L"", 2040, 360, 4815, 270, win32::kReadOnly},
    ControlSpec{id::Label3, ControlKind::Label, L"ファイル名", 480, 420, 1215, 255},
    ControlSpec{id::txtEpsorAI, ControlKind::TextBox, L"", 2040, 780, 4815, 270, win32::kReadOnly},
    ControlSpec{id::Label4, ControlKind::Label, L"ファイルの種類", 480, 840, 1695, 255},
    ControlSpec{id::Label5, ControlKind::Label, L"ソフトのバージョン", 480, 1920, 1815, 255},
    ControlSpec{id::txtMac, ControlKind::TextBox, L"", 2040, 2160, 1335, 270, win32::kReadOnly},
    ControlSpec{id::Label7, ControlKind::Label, L"Macバイナリ", 480, 2220, 1815, 255},
    ControlSpec{id::Label6, ControlKind::Label, L"配置画像（.ai または .pdf 形式のみ）", 480, 2640, 4455, 255},
    ControlSpec{id::txtImage, ControlKind::TextBox, L"", 480, 2940, 6375, 1590,
                win32::kReadOnly | win32::kMultiLine | win32::kVScroll},
    ControlSpec{id::cmdFolder, ControlKind::Button, L"フォルダへ収集(&F)...", 5160, 2520, 1695, 375},
    ControlSpec{id::cmdType, ControlKind::Button, L"説明(&A)...", 5880, 1140, 975, 375},
};

// Posted by the drop, handled once the source's drag has returned.
constexpr UINT kStartDropped = WM_APP + 1;

}  // namespace

FrmSelect& frmSelect() {
  static FrmSelect instance;
  return instance;
}

win32::FormSpec FrmSelect::Spec() const {
  return {L"Form1", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 7380, 5595};
}

std::span<const ControlSpec> FrmSelect::Controls() const { return kControls; }

// First in the tab order, so Enter right after start-up closes the window as Esc does.
int FrmSelect::InitialFocus() const { return id::cmdCancel; }

HMENU FrmSelect::CreateMenuBar() {
  HMENU bar = ::CreateMenu();
  HMENU help = ::CreatePopupMenu();
  ::AppendMenuW(help, MF_STRING, id::mnu_Type, L"保存形式のバージョン番号について");
  ::AppendMenuW(help, MF_STRING, id::mnu_version, L"バージョン情報(&V)");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"ヘルプ(&H)");
  return bar;
}

void FrmSelect::LoadIcons() {
  win32::UniqueIcon big(win32::LoadProgramIcon(SM_CXICON, dpi()));
  win32::UniqueIcon small(win32::LoadProgramIcon(SM_CXSMICON, dpi()));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  // The old ones go only now that the window no longer shows them.
  icon_ = std::move(big);
  smallIcon_ = std::move(small);
}

void FrmSelect::OnDpiChanged() { LoadIcons(); }

void FrmSelect::OnCreated() {
  LoadIcons();
  // Without OLE on this thread the window simply accepts no drops; the rest still works.
  // Both run inside the source's drag, which waits for them: no message box there. A data object
  // that cannot be asked means no drop.
  dropTarget_.Register(
      hwnd(),
      [this](IDataObject* data, DWORD& effect) {
        try {
          Form_OLEDragOver(data, effect);
        } catch (...) {
          effect = DROPEFFECT_NONE;
        }
      },
      [this](IDataObject* data, DWORD&) { Form_OLEDragDrop(data); });
}

void FrmSelect::OnLoad() {
  win32::Trap([this] { Form_Load(); });
}

void FrmSelect::OnDestroy() {
  dropTarget_.reset();
  dropped_.clear();
}

bool FrmSelect::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg != kStartDropped) return false;
  win32::Trap([this] { StartDropped(); });
  result = 0;
  return true;
}

void FrmSelect::Form_Load() { SetCaption(SelectCaption(win32::Version())); }

void FrmSelect::ShowEdit(const analysis::AnalysisResult& result) {
  mastrLinkImage = result.rastrLinkImage;
  mlngLinkImage = result.vlngLinkImage;
  Load();
  std::wstring fileName;
  if (!result.strFile.empty()) fileName = win32::FindNormalFile(result.strFile).value_or(L"");
  const SelectFields f = BuildSelectFields(result, fileName);
  SetText(id::txtFile, f.txtFile);
  SetText(id::txtVersionString, f.txtVersionString);
  SetText(id::txtCreatorVersion, f.txtCreatorVersion);
  SetText(id::txtEpsorAI, f.txtEpsorAI);
  SetText(id::txtMac, f.txtMac);
  SetText(id::txtImage, f.txtImage);
  Show();
}

void FrmSelect::OnCommand(int cmd) {
  switch (cmd) {
    case id::cmdCancel: cmdCancel_Click(); break;
    case id::cmdType: cmdType_Click(); break;
    case id::mnu_Type: mnu_Type_Click(); break;
    case id::mnu_version: mnu_version_Click(); break;
    case id::cmdFolder: cmdFolder_Click(); break;
  }
}

void FrmSelect::cmdCancel_Click() { Unload(); }
void FrmSelect::cmdType_Click() { ShowTypeWindow(hwnd()); }
void FrmSelect::mnu_Type_Click() { ShowTypeWindow(hwnd()); }
void FrmSelect::mnu_version_Click() { ShowAboutWindow(hwnd()); }

void FrmSelect::cmdFolder_Click() {
  const std::wstring folder = BrowseFolder(L"収集先のフォルダを指定して下さい", hwnd());
  if (folder.empty()) return;
  const std::wstring strTo = CopyDestination(folder);
  const CopySource source = BuildCopySource(mastrLinkImage, mlngLinkImage);
  constexpr UINT kBox = MB_OK | MB_ICONEXCLAMATION;
  // Said before the copy, which would stop at the first path too long for it with a bare code.
  if (!source.list.empty() && DestinationTooLong(strTo, source.list)) {
    win32::MessageBoxApp(kDestinationTooLong, kBox);
    return;
  }
  if (!source.leftOut.empty()) win32::MessageBoxApp(LeftOutMessage(source.leftOut), kBox);
  const CopyResult copied = CopyFiles(hwnd(), source.list, strTo);
  // The shell may have shown a report of its own; a copy that stopped short is said all the same.
  if (const auto failure = CopyFailureMessage(copied.code, copied.aborted)) win32::MessageBoxApp(*failure, kBox);
}

void FrmSelect::Form_OLEDragOver(IDataObject* Data, DWORD& Effect) {
  Effect = DragOverEffect(OffersFileList(Data), ::IsWindowEnabled(hwnd()) != FALSE, Effect);
}

void FrmSelect::Form_OLEDragDrop(IDataObject* Data) {
  Dropped drop;
  try {
    if (!OffersFileList(Data)) return;
    drop.paths = DroppedFiles(Data);
  } catch (...) {
    drop.failure = std::current_exception();
  }
  dropped_.push_back(std::move(drop));
  ::PostMessageW(hwnd(), kStartDropped, 0, 0);
}

void FrmSelect::StartDropped() {
  if (dropped_.empty()) return;
  const Dropped drop = std::move(dropped_.front());
  dropped_.pop_front();
  if (drop.failure) std::rethrow_exception(drop.failure);
  const std::wstring program = win32::ModulePath();
  for (const std::wstring& path : drop.paths) {
    win32::StartProcess(DropCommandLine(program, path));
    // Only the first unload closes the window; the later ones find it gone.
    Unload();
  }
}

}  // namespace pelmora::ui
