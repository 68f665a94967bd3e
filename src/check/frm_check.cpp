#include "check/frm_check.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>

#include "base/text_utf8.h"
#include "check/check_plan.h"
#include "cli/scan_run.h"
#include "win32/platform.h"

namespace pelmora::check {

namespace {

using win32::ControlKind;
using win32::ControlSpec;

enum Id { lblTitle = 1, prgScan, lblFile, cmdCancel };
constexpr UINT kStepMessage = WM_APP + 1;
constexpr UINT kDoneMessage = WM_APP + 2;

constexpr std::array kControls{
    ControlSpec{lblTitle, ControlKind::Label, L"入稿チェックをしています...", 240, 240, 5520, 255},
    ControlSpec{prgScan, ControlKind::Progress, L"", 240, 600, 5520, 300},
    // One line: a long path is shortened in its middle so the file name stays in sight.
    ControlSpec{lblFile, ControlKind::Label, L"", 240, 1020, 5520, 255, win32::kEllipsisPath},
    ControlSpec{cmdCancel, ControlKind::Button, L"中止", 4560, 1440, 1200, 375, win32::kCancel},
};

// What the scan writes goes nowhere but the report and, for unreadable documents, a summary.
class WindowConsole final : public cli::Console {
 public:
  explicit WindowConsole(FrmCheck& form) : form_(form) {}
  void Out(std::string_view) override {}
  void Err(std::string_view utf8) override { form_.AddError(std::string(utf8)); }
  bool ErrIsTerminal() override { return false; }
  void Step(std::size_t index, std::size_t total, const std::string& path) override {
    form_.Step(index, total, base::FromUtf8(path));
  }

 private:
  FrmCheck& form_;
};

}  // namespace

FrmCheck::FrmCheck(std::vector<std::filesystem::path> selected, std::filesystem::path report)
    : selected_(std::move(selected)), report_(std::move(report)) {}

FrmCheck::~FrmCheck() {
  if (worker_.joinable()) worker_.join();
}

win32::FormSpec FrmCheck::Spec() const {
  return {L"Pelmora 入稿チェック", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 6000, 2040,
          win32::StartPosition::CentreScreen};
}

std::span<const ControlSpec> FrmCheck::Controls() const { return kControls; }

void FrmCheck::OnLoad() {
  const std::vector<std::filesystem::path> args = ScanArguments(selected_, report_);
  worker_ = std::thread([this, args] {
    WindowConsole console(*this);
    int status = cli::kExitSomeFailed;
    try {
      status = cli::RunScan(args, console);
    } catch (...) {
      AddError("入稿チェックを最後まで行えませんでした\n");
    }
    ::PostMessageW(hwnd(), kDoneMessage, static_cast<WPARAM>(status), 0);
  });
}

void FrmCheck::Step(std::size_t index, std::size_t total, const std::wstring& name) {
  {
    const std::lock_guard lock(mutex_);
    index_ = index;
    total_ = total;
    step_ = ProgressText(index, total, name);
  }
  ::PostMessageW(hwnd(), kStepMessage, 0, 0);
}

void FrmCheck::AddError(const std::string& utf8) {
  const std::lock_guard lock(mutex_);
  // A delivery of many unreadable documents must not grow the message without bound.
  if (errors_.size() < 4096) errors_ += utf8;
}

void FrmCheck::OnCommand(int id) {
  // The scan only reads; ending the process leaves nothing behind but a partial page in the
  // user's temporary folder.
  if (id == cmdCancel) ::ExitProcess(1);
}

bool FrmCheck::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg == kStepMessage) {
    std::wstring text;
    std::size_t index, total;
    {
      const std::lock_guard lock(mutex_);
      text = step_;
      index = index_;
      total = total_;
    }
    ::SendMessageW(Control(prgScan), PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    ::SendMessageW(Control(prgScan), PBM_SETPOS, static_cast<WPARAM>(index), 0);
    SetText(lblFile, text);
    result = 0;
    return true;
  }
  if (msg == kDoneMessage) {
    Finished(static_cast<int>(wp));
    result = 0;
    return true;
  }
  if (msg == WM_CLOSE) {
    ::ExitProcess(1);
  }
  return false;
}

void FrmCheck::Finished(int status) {
  if (worker_.joinable()) worker_.join();
  ::SendMessageW(Control(prgScan), PBM_SETRANGE32, 0, 1);
  ::SendMessageW(Control(prgScan), PBM_SETPOS, 1, 0);
  std::string errors;
  {
    const std::lock_guard lock(mutex_);
    errors = errors_;
  }
  std::error_code ec;
  if (status == cli::kExitUsage || !std::filesystem::exists(report_, ec)) {
    win32::MessageBoxApp(L"入稿チェックの結果を書き出せませんでした。\r\n\r\n" + base::FromUtf8(errors), MB_ICONEXCLAMATION);
  } else {
    // The page itself says which documents could not be read; the browser shows it.
    const auto opened = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(hwnd(), L"open", report_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened <= 32) {
      win32::MessageBoxApp(L"入稿チェックの結果を開けませんでした。\r\n" + report_.wstring(), MB_ICONEXCLAMATION);
    }
  }
  Unload();
}

}  // namespace pelmora::check
