#pragma once
// The temporary file a copy is writing. An interruption — Ctrl+C, SIGTERM, a closed terminal or
// console window — ends the program in the middle of a copy; without this it left a hidden
// ".pelmora-*.part" of up to the image's size in the folder.
#include <filesystem>

namespace pelmora::delivery {

// While one is in scope, an interruption removes its file before the program ends. One at a time
// (the program copies one file at a time).
class PartFile {
 public:
  explicit PartFile(const std::filesystem::path& temp);
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;
};

// Installs the handlers (POSIX: SIGINT, SIGTERM, SIGHUP, unless ignored at start; Windows: the
// console's control events). Once, at the start of the program.
void RemovePartFilesOnInterrupt();

// What the handlers do first: removes the file of the PartFile in scope, if any. Safe in a
// signal handler. On Windows the file must be open with FILE_SHARE_DELETE: it is then removed as
// its last handle closes, which ending the process does.
void RemovePartFileNow();

}  // namespace pelmora::delivery
