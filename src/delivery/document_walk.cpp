#include "delivery/document_walk.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "analysis/run_error.h"
#ifdef _WIN32
#include "delivery/folder_walk_win32.h"
#endif

namespace pelmora::delivery {


namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDocumentExtensions[] = {".ai", ".ait", ".eps", ".epsf", ".epsi", ".epi", ".ps"};

// What a path that is neither a regular file nor a folder is; kNone when nothing has its name.
WalkItem::Other WhatItIs(const fs::path& path, const fs::file_status& st, const std::error_code& ec) {
  using Other = WalkItem::Other;
  switch (st.type()) {
    case fs::file_type::fifo: return Other::kPipe;
    case fs::file_type::socket: return Other::kSocket;
    case fs::file_type::block:
    case fs::file_type::character: return Other::kDevice;
    case fs::file_type::not_found:
    case fs::file_type::none: break;
    default: return Other::kUnknown;
  }
  if (ec == std::errc::filename_too_long) return Other::kTooLong;
  std::error_code linkEc;
  if (fs::is_symlink(fs::symlink_status(path, linkEc))) return Other::kDanglingLink;
  return Other::kNone;
}

#ifndef _WIN32
std::int32_t FolderErrorNumber(const std::error_code& ec) {
  return ec == std::errc::permission_denied ? err::kPermissionDenied : err::kPathFileAccessError;
}
#endif

class Walker {
 public:
  Walker(bool allFiles, bool dedupe) : allFiles_(allFiles), dedupe_(dedupe) {}

  void Named(const fs::path& path) {
#ifdef _WIN32
    const PathKind kind = PathKindWin32(path);
    if (kind == PathKind::kFolder) return Folder(path);
    if (kind == PathKind::kFile) return Add({WalkItem::Kind::kDocument, path});
#else
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) return Folder(path);
    if (fs::is_regular_file(st)) return Add({WalkItem::Kind::kDocument, path});
#endif
    NotADocument(path, WalkItem::Other::kNone);
  }

  std::vector<WalkItem> Take() { return std::move(items_); }

 private:
  void Folder(const fs::path& dir) {
    struct Entry {
      fs::path path;
      bool folder;
      bool file;
    };
    std::vector<Entry> entries;
    std::size_t nameAt = 0;  // every entry is the folder's path and a name: the same prefix
#ifdef _WIN32
    const std::int32_t error = ListFolderWin32(dir, [&](fs::path p, bool folder, bool file) {
      if (entries.empty()) nameAt = p.native().size() - p.filename().native().size();
      entries.push_back({std::move(p), folder, file});
    });
    if (error) {
      Add({WalkItem::Kind::kUnreadableFolder, dir, error});
      return;
    }
#else
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code typeEc;
      // A linked folder is not followed: it may lead back up the tree.
      const bool folder = it->is_directory(typeEc) && !it->is_symlink(typeEc);
      if (entries.empty()) nameAt = it->path().native().size() - it->path().filename().native().size();
      entries.push_back({it->path(), folder, !folder && it->is_regular_file(typeEc)});
    }
    if (ec) {
      Add({WalkItem::Kind::kUnreadableFolder, dir, FolderErrorNumber(ec)});
      return;
    }
#endif
    const auto name = [nameAt](const Entry& e) { return NameView(e.path.native()).substr(nameAt); };
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) { return name(a) < name(b); });
    for (Entry& e : entries) {
      const NameView n = name(e);
      if (!n.empty() && n[0] == '.') continue;
      if (e.folder) {
        Folder(e.path);
      } else if (allFiles_ || HasDocumentExtension(n)) {
        // Left out silently, a pipe or a link to nothing would hide a document that should be there.
        if (e.file) {
          Add({WalkItem::Kind::kDocument, std::move(e.path)});
        } else {
          NotADocument(std::move(e.path), WalkItem::Other::kUnknown);
        }
      }
    }
  }

  // A name that is no regular file nor folder: reported for what it is, or as missing when nothing
  // has it (`otherwise` for an entry that a listing showed, which does exist).
  void NotADocument(fs::path path, WalkItem::Other otherwise) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) return;  // a linked folder met in a walk, not followed
    WalkItem::Other other = WhatItIs(path, st, ec);
    if (other == WalkItem::Other::kNone) other = otherwise;
    if (other == WalkItem::Other::kNone) return Add({WalkItem::Kind::kMissing, std::move(path)});
    Add({WalkItem::Kind::kNotAFile, std::move(path), 0, other});
  }

  // One named path lists no file twice (linked folders are not followed); only overlapping
  // arguments can, and only then is the cost of normalising every path paid.
  void Add(WalkItem item) {
    if (!dedupe_ || seen_.insert(item.path.lexically_normal().native()).second) items_.push_back(std::move(item));
  }

  bool allFiles_;
  bool dedupe_;
  std::vector<WalkItem> items_;
  std::unordered_set<fs::path::string_type> seen_;
};

}  // namespace

bool HasDocumentExtension(NameView name) {
  // As a path's extension: from the last dot, unless that dot starts the name.
  const std::size_t dot = name.rfind('.');
  if (dot == NameView::npos || dot == 0) return false;
  const NameView ext = name.substr(dot);
  return std::any_of(std::begin(kDocumentExtensions), std::end(kDocumentExtensions), [&](std::string_view known) {
    return ext.size() == known.size() && std::equal(ext.begin(), ext.end(), known.begin(), [](auto a, char b) {
             return (a >= 'A' && a <= 'Z' ? a + ('a' - 'A') : a) == static_cast<unsigned char>(b);
           });
  });
}

std::vector<WalkItem> ListDocuments(const std::vector<fs::path>& paths, bool allFiles) {
  Walker walker(allFiles, paths.size() > 1);
  for (const fs::path& p : paths) walker.Named(p);
  return walker.Take();
}

}  // namespace pelmora::delivery
