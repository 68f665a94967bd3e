#pragma once
// The command line that hands one dropped document to a new instance of the program.
#include <string>
#include <string_view>

namespace pelmora::ui {

// `programPath` is the running program's full path as the platform reports it. The result is
// its folder, "\", its file name without extension and ".exe", in double quotes, then a blank and
// the dropped path in double quotes. The separator is added even after a drive root.
std::wstring DropCommandLine(std::wstring_view programPath, std::wstring_view droppedPath);

}  // namespace pelmora::ui
