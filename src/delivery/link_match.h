#pragma once
// Placed-image names as a delivery has them: the header's Shift-JIS list and the XMP manifest's
// Unicode paths, merged; and files found by names that a Mac decomposed (NFD) or whose list lost
// the voiced-sound marks (パ written as ハ) on the way to code page 932.
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::delivery {

// How a file name matched the name in the document.
enum class NameMatch {
  kNone,
  kExact,
  kNormalised,   // the same text, composed (NFC) on one side and decomposed (NFD) on the other
  kMarksLost,    // the file's name with marks (voiced-sound marks, accents) that the document's lost, or
                 // (outside Windows) in other letter case
};

// Tolerant only in the direction names are damaged: marks dropped from the document's list, never
// added to it, so that a list's パス.png never finds a ハス.png.
NameMatch MatchNames(std::wstring_view inDocument, std::wstring_view onDisk);

const char* MatchKey(NameMatch how);   // JSON: null for an exact match
const char* MatchText(NameMatch how);  // Japanese note, "" for an exact match

// The header's names (in its order) and the manifest's linked (not embedded) paths. Where both
// name the same file — the same last component, matched as above, or the header's cut short —
// the manifest's Unicode name takes the header name's place; the manifest's others follow.
std::vector<std::wstring> MergeLinkNames(const std::vector<std::wstring>& header, const std::vector<std::wstring>& xmp);

// In `folder`, the entry that `file` names: itself when it exists, else the one that matches
// best; `ambiguous` when another matches as well but not exactly, and then neither may be taken.
// Never looks outside the folder; an unreadable folder gives at most the name itself. Constant
// time per look-up at any folder size, once the folder is listed.
struct FolderMatch {
  std::filesystem::path path;
  NameMatch how = NameMatch::kNone;
  bool ambiguous = false;
};
FolderMatch FindInFolder(const std::filesystem::path& folder, std::wstring_view file,
                         std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

// FindInFolder keeps listings of the folders met last and trusts each for a moment; a run starts
// afresh, and a writer into a folder forgets them so that its own files are seen at once.
void ForgetFolders();
void ForgetFolder(const std::filesystem::path& folder);

}  // namespace pelmora::delivery
