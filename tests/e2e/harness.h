#pragma once
// Drives the real pelmora.exe from another process: starts it, finds its windows by caption,
// reads and presses their controls, reads message boxes and takes screenshots. Every wait polls
// with a deadline; nothing sleeps for a fixed time.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace e2e {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// A Linux path as the Windows programs under Wine see it (drive Z: is the root).
std::wstring WinPath(std::string_view unixPath);
// The third-party sample corpus (see documents/samples.h) and the project's own test documents.
std::wstring CorpusFile(std::string_view name);
std::wstring DocumentFile(std::string_view name);
std::wstring PelmoraExe();
// A new empty folder for one test, removed by the caller if it wishes.
std::wstring NewTempDir();
void WriteFileBytes(const std::wstring& path, std::string_view bytes);
std::string ReadFileBytes(const std::wstring& path);

class App {
 public:
  // Starts `exe` with the argument text after its quoted path, as a user's shortcut would.
  explicit App(const std::wstring& args, const std::wstring& exe = PelmoraExe());
  App(const App&) = delete;
  App& operator=(const App&) = delete;
  ~App();
  DWORD pid() const { return pid_; }
  bool WaitExit(int timeoutMs = 10000);
  bool Running() const;

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

struct ControlInfo {
  HWND hwnd = nullptr;
  int id = 0;
  std::wstring cls;
  std::wstring text;
  RECT rect{};  // in the client coordinates of the top-level window
  DWORD style = 0;
  bool visible = false;
  bool enabled = false;
};

// The visible top-level window of `pid` with exactly this caption, or nullptr at the deadline.
HWND WaitWindow(DWORD pid, std::wstring_view caption, int timeoutMs = 20000);
HWND FindTopWindow(DWORD pid, std::wstring_view caption);
std::vector<HWND> TopWindows(DWORD pid);
bool WaitGone(HWND hwnd, int timeoutMs = 10000);

std::wstring Text(HWND hwnd);
std::vector<ControlInfo> Children(HWND top);  // in tab (z) order
ControlInfo Child(HWND top, int id);
SIZE ClientSize(HWND top);
int ScreenDpi();
int Twips(int twips);  // at the screen's DPI

// Posted, so a click that opens a modal window does not block the test.
void Click(HWND button);
// The control of `top`'s thread that has the keyboard focus.
HWND FocusOf(HWND top);
// Clicks into `control` until it has the focus, or the deadline passes: a posted click is handled
// only once the window is active, and a sent message (WaitIdle) overtakes posted ones, so one
// click and a wait may look before the click was handled.
bool ClickUntilFocused(HWND top, HWND control, int timeoutMs = 10000);
// A real key press through the system's input queue, with Shift and Ctrl held as asked; it goes
// to the foreground window, which `top` is made first. Returns once `top`'s thread has handled it.
void TypeKey(HWND top, WORD vk, bool shift = false, bool ctrl = false);
// Presses Tab (with Shift when `back`, with Ctrl when `ctrl`) `times` times and returns the
// control identifier that has the focus after each press.
std::vector<int> TabWalk(HWND top, int times, bool back = false, bool ctrl = false);
// A key press delivered to whatever control of `top`'s thread has the focus.
void Key(HWND top, WORD vk);
void MenuCommand(HWND top, int id);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;
  bool hasIcon = false;
};
// The first message box of `pid` (dialog class #32770 holding a static text 0xFFFF).
MessageBoxInfo WaitMessageBox(DWORD pid, int timeoutMs = 20000);
void CloseMessageBox(const MessageBoxInfo& box);  // presses its first button

// Returns when the window's thread has handled everything sent to it so far.
void WaitIdle(HWND hwnd);

// Saves the window's screen image as <screenshots>/<name>.bmp and returns the path.
std::string Screenshot(HWND hwnd, const std::string& name);
// Colour of one pixel of the window's client area, read from the screen.
COLORREF ClientPixel(HWND hwnd, int x, int y);


// Windows of any process: the visible top-level windows with exactly this caption.
std::vector<HWND> TopWindowsWithCaption(std::wstring_view caption);
DWORD WindowPid(HWND hwnd);
// Closes the windows of a process this test did not start and waits for it to end.
bool CloseProcess(DWORD pid, int timeoutMs = 10000);

// A real OLE drag from a small window of the test's own: the left button is pressed there with
// synthesized input, DoDragDrop runs on the calling thread, and the pointer is moved onto
// `target` until the source hears feedback from there; then the button is released.
struct DragResult {
  HRESULT hr = E_FAIL;            // what DoDragDrop returned
  DWORD effect = 0;               // its final effect
  bool reachedTarget = false;     // the source heard feedback with the pointer over the target
  DWORD effectOverTarget = ~0u;   // the first feedback over the target
};
DragResult DragFiles(const std::vector<std::wstring>& paths, HWND target);
DragResult DragText(const std::wstring& text, HWND target);

// The shell's folder browser of `pid`: a dialog holding a static text equal to `title`.
HWND WaitFolderBrowser(DWORD pid, std::wstring_view title, int timeoutMs = 20000);
// Selects a folder in the browser, as its owner program would, by BFFM_SETSELECTIONW.
bool SelectBrowserFolder(HWND browser, const std::wstring& folder);
// The text of the browser's selected tree item (a folder's display name).
std::wstring BrowserSelection(HWND browser);
// Selects, as a click would, the item just below the browser's root whose text is `text`.
bool SelectBrowserItem(HWND browser, std::wstring_view text);
// All dialog windows (#32770) of `pid`, message boxes included.
std::vector<HWND> Dialogs(DWORD pid);

}  // namespace e2e
