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

// The walk's findings, kept as a table of folders and one name per entry: a path object of this
// library holds each of its components as a path of its own, so that keeping every document's
// path cost documents times depth (10,000 documents 1,000 folders deep took 300 MB). Each item's
// path is made when it is asked for.
class WalkList {
 public:
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  WalkItem operator[](std::size_t i) const;

  class Iterator {
   public:
    Iterator(const WalkList& list, std::size_t at) : list_(&list), at_(at) {}
    WalkItem operator*() const { return (*list_)[at_]; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return at_ != o.at_; }

   private:
    const WalkList* list_;
    std::size_t at_;
  };
  Iterator begin() const { return {*this, 0}; }
  Iterator end() const { return {*this, entries_.size()}; }

 private:
  friend class Walker;
  using Native = std::filesystem::path::string_type;
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct Folder {
    std::uint32_t parent;  // kNone for a folder named as given
    Native name;           // its name in its parent, or the path as given
  };
  struct Entry {
    WalkItem::Kind kind;
    WalkItem::Other other;
    std::int32_t error;
    std::uint32_t folder;  // kNone for a path as given
    Native name;           // empty for the folder itself
  };
  std::filesystem::path FolderPath(std::uint32_t folder) const;
  std::filesystem::path PathOf(const Entry& e) const;

  std::vector<Folder> folders_;
  std::vector<Entry> entries_;
};

// Extensions that EPS and Illustrator documents carry, ignoring case; `name` is a file name.
bool HasDocumentExtension(NameView name);

// The named documents as given, and the documents under the named folders, each folder's entries
// sorted by name so that a delivery lists the same way on every run. Names starting with "." are
// left out of folders (the "._" companions a Mac copies along are not documents). Entries that a
// folder would list as documents by name but that are no regular file (a link to nothing, a pipe,
// a device), and such named paths, are kept as kNotAFile with what they are; a named path that
// does not exist is kept as missing; a path met twice is listed once.
WalkList ListDocuments(const std::vector<std::filesystem::path>& paths, bool allFiles);

}  // namespace pelmora::delivery
