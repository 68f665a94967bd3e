#include "ui/main/drop_command.h"

namespace pelmora::ui {

namespace {

// The folder as the platform names it: no trailing separator, except that a drive root keeps
// its own ("C:\").
std::wstring_view ProgramFolder(std::wstring_view programPath, std::size_t slash) {
  if (slash == std::wstring_view::npos) return {};
  const std::wstring_view folder = programPath.substr(0, slash);
  if (folder.size() == 2 && folder[1] == L':') return programPath.substr(0, slash + 1);
  return folder;
}

}  // namespace

std::wstring DropCommandLine(std::wstring_view programPath, std::wstring_view droppedPath) {
  const std::size_t slash = programPath.find_last_of(L"\\/");
  std::wstring_view name = slash == std::wstring_view::npos ? programPath : programPath.substr(slash + 1);
  if (const std::size_t dot = name.rfind(L'.'); dot != std::wstring_view::npos) name = name.substr(0, dot);

  // Quoted: installed under "C:\Program Files" the new instance would otherwise take the rest of
  // its own path for the document.
  std::wstring line(L"\"");
  line += ProgramFolder(programPath, slash);
  line += L'\\';
  line += name;
  line += L".exe\" \"";
  line += droppedPath;
  line += L'"';
  return line;
}

std::uint32_t DragOverEffect(bool offersFileList, bool windowEnabled, std::uint32_t allowed) {
  return offersFileList && windowEnabled && (allowed & kEffectCopy) ? kEffectCopy : kEffectNone;
}

}  // namespace pelmora::ui
