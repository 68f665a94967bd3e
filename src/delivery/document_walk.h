#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace pelmora::delivery {

struct WalkItem {
  enum class Kind { kDocument, kMissing, kUnreadableFolder, kNotAFile };
  // What a kNotAFile entry is: it exists, or its name does, but holds no document to read.
  enum class Other { kNone, kDanglingLink, kPipe, kSocket, kDevice, kTooLong, kUnknown };
  Kind kind;
  std::filesystem::path path;
  std::int32_t error = 0;  // run-time error number of an unreadable folder
  Other other = Other::kNone;
};

using NameView = std::basic_string_view<std::filesystem::path::value_type>;

// Extensions that EPS and Illustrator documents carry, ignoring case; `name` is a file name.
bool HasDocumentExtension(NameView name);

// The named documents as given, and the documents under the named folders, each folder's entries
// sorted by name so that a delivery lists the same way on every run. Names starting with "." are
// left out of folders (the "._" companions a Mac copies along are not documents). Entries that a
// folder would list as documents by name but that are no regular file (a link to nothing, a pipe,
// a device), and such named paths, are kept as kNotAFile with what they are; a named path that
// does not exist is kept as missing; a path met twice is listed once.
std::vector<WalkItem> ListDocuments(const std::vector<std::filesystem::path>& paths, bool allFiles);

}  // namespace pelmora::delivery
