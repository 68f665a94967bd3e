#include "ui/aux/aux_windows.h"

namespace pelmora::ui {

void ShowWaitWindow(const std::wstring&) {}
void UnloadWaitWindow() {}
void ShowTypeWindow() {}
void ShowAboutWindow() {}

}  // namespace pelmora::ui
