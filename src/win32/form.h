#pragma once
// A top-level window built from a twips layout table, with the lifetime the program's windows
// share: one instance per window for the whole run; Load creates it (and runs OnLoad), Unload
// destroys it, and the next Load starts again from the design-time state.
#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "win32/raii.h"

namespace pelmora::win32 {

enum class ControlKind { Label, TextBox, Button, Frame, Picture, Line, Progress };

// Control options beyond the kind's usual look.
enum ControlFlags : unsigned {
  kNone = 0,
  kReadOnly = 1u << 0,    // locked text box on the button-face colour
  kMultiLine = 1u << 1,
  kVScroll = 1u << 2,
  kNoTabStop = 1u << 3,
  kDefault = 1u << 4,     // Enter presses it
  kCancel = 1u << 5,      // Esc presses it
  kEllipsisPath = 1u << 6,
  kNoBorder = 1u << 7,    // text box drawn without an edge
  kFontCellHeight = 1u << 8,  // fontTenthsPt is the line pitch (cell height), not the em height
};

// One row of a window's layout: position and size in twips, relative to the client area.
// For kind Line, width and height are the end point's offsets from (left, top).
struct ControlSpec {
  int id;
  ControlKind kind;
  const wchar_t* text;
  int left, top, width, height;
  unsigned flags = kNone;
  const wchar_t* fontFace = nullptr;  // nullptr: the window's default dialog font
  int fontTenthsPt = 0;
  COLORREF color = CLR_INVALID;        // a line's pen, a label's text (else the system's)
};

enum class StartPosition { PlatformDefault, CentreScreen, CentreOwner };

struct FormSpec {
  const wchar_t* caption;
  DWORD style;    // WS_* of the frame (border, boxes)
  int clientWidth, clientHeight;  // twips
  StartPosition position = StartPosition::PlatformDefault;
  DWORD exStyle = 0;  // WS_EX_* of the frame
};

int TwipsToPixels(int twips, int dpi);

// The platform's dialog font at `dpi`, which every control without a face of its own uses.
LOGFONTW DialogFont(int dpi);

// The origin that centres a window of `size` on `on`, moved back inside `bounds` where it would
// stick out (bounds may lie at negative coordinates, left of or above the primary monitor).
POINT CentredOrigin(const RECT& on, SIZE size, const RECT& bounds);

// Runs a handler; a run-time failure inside it is reported through ShowError and goes no
// further, so nothing is thrown through a window procedure.
void Trap(const std::function<void()>& handler);

class Form {
 public:
  Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  HWND hwnd() const { return hwnd_; }
  bool IsLoaded() const { return hwnd_ != nullptr; }
  int dpi() const { return dpi_; }

  // Creates the window hidden, owned by `owner`, and runs OnLoad, unless it is loaded already.
  // A failure while the window or its controls are created leaves it unloaded and is thrown.
  void Load(HWND owner = nullptr);
  // Destroys the window; unloading an unloaded window does nothing.
  void Unload();
  // Modeless: shows and activates, returns at once.
  void Show();
  // Modal, owned by the caller's window `owner` so that it stays above it: the program's other
  // windows take no input until this one is unloaded; then the focus goes back where it was.
  void ShowModal(HWND owner);

  HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
  void SetText(int id, const std::wstring& text) const;
  void SetCaption(const std::wstring& text) const;
  // Paints the window and its controls now, without the message loop.
  void Refresh() const;

  // The program's loaded forms take Enter, Esc and Tab here before dispatch.
  static bool PreTranslate(MSG& msg);
  static int LoadedCount();

 protected:
  virtual FormSpec Spec() const = 0;
  virtual std::span<const ControlSpec> Controls() const = 0;
  virtual HMENU CreateMenuBar() { return nullptr; }
  virtual void OnLoad() {}
  virtual void OnCommand(int /*id*/) {}
  virtual void OnCreated() {}   // after the controls exist, before OnLoad
  virtual void OnDestroy() {}
  // The control that takes the focus when the window is first activated (0: the window itself);
  // a window that names one also gets back the focused control when it is activated again.
  virtual int InitialFocus() const { return 0; }
  // Handles what the base does not; return true with `result` set to consume the message.
  virtual bool OnMessage(UINT /*msg*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

  HFONT font() const { return font_.get(); }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  // Sizes the window and its controls from the twips table at `dpi`, its top left at (x, y).
  void Relayout(int dpi, int x, int y);
  void PressButton(int id);
  bool HandleDialogKey(const MSG& msg);
  void MoveFocus(HWND to);
  void EnableDisabledByModal();

  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  UniqueFont font_;
  int defaultId_ = 0;
  int cancelId_ = 0;
  HWND lastFocus_ = nullptr;
  std::span<const ControlSpec> controls_;
  std::vector<HWND> disabledByModal_;   // what ShowModal disabled, enabled again before unloading
  std::exception_ptr createFailure_;    // thrown by Load once CreateWindowEx has given up
};

// The message loop of the process: runs while any form is loaded.
void RunMessageLoop();

}  // namespace pelmora::win32
