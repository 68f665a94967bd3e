#pragma once
// The command line that hands one dropped document to a new instance of the program.
#include <cstdint>
#include <string>
#include <string_view>

namespace pelmora::ui {

// `programPath` is the running program's full path as the platform reports it. The result is
// its folder, "\", its file name without extension and ".exe", in double quotes, then a blank and
// the dropped path in double quotes. The separator is added even after a drive root.
std::wstring DropCommandLine(std::wstring_view programPath, std::wstring_view droppedPath);

// Drop effects as the platform numbers them.
inline constexpr std::uint32_t kEffectNone = 0;
inline constexpr std::uint32_t kEffectCopy = 1;

// The answer to a drag over the window, from the effects the source allows (a mask): copy when
// the data brings a file list, the window takes input and the source allows a copy, else none.
// Any other answer is one the source did not offer. A window disabled by a modal one refuses:
// a drop would close it under the modal window.
std::uint32_t DragOverEffect(bool offersFileList, bool windowEnabled, std::uint32_t allowed);

}  // namespace pelmora::ui
