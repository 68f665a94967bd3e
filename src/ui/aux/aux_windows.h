#pragma once
// The auxiliary windows as the start-up and the result window open them.
#include <windows.h>

#include <string>

namespace pelmora::ui {

// Progress window: shows the path and paints it at once; failures pass on to the caller.
void ShowWaitWindow(const std::wstring& strFile);
void UnloadWaitWindow();
// Between the blocks of a long read: the system sees the thread look at its messages, so it does
// not replace the progress window with its own "not responding" one; what was uncovered is
// painted again. The user's input stays queued for later.
void KeepWaitWindowAnswering();

// Version-notes window, modal, owned by the caller's window.
void ShowTypeWindow(HWND owner);

// About window, modal, owned by the caller's window.
void ShowAboutWindow(HWND owner);

}  // namespace pelmora::ui
