#pragma once
// The auxiliary windows as the start-up and the result window open them.
#include <windows.h>

#include <string>

namespace pelmora::ui {

// Progress window: shows the path and paints it at once; failures pass on to the caller.
void ShowWaitWindow(const std::wstring& strFile);
void UnloadWaitWindow();

// Version-notes window, modal, owned by the caller's window.
void ShowTypeWindow(HWND owner);

// About window, modal, owned by the caller's window.
void ShowAboutWindow(HWND owner);

}  // namespace pelmora::ui
