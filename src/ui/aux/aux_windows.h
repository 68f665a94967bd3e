#pragma once
// The auxiliary windows as the start-up and the result window open them.
#include <string>

namespace pelmora::ui {

// Progress window: shows the path and paints it at once; failures pass on to the caller.
void ShowWaitWindow(const std::wstring& strFile);
void UnloadWaitWindow();

// Version-notes window, modal.
void ShowTypeWindow();

// About window, modal.
void ShowAboutWindow();

}  // namespace pelmora::ui
