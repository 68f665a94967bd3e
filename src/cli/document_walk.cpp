#include "cli/document_walk.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <utility>

#include "analysis/run_error.h"

namespace pelmora::cli {

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
#ifdef _WIN32
  // Beyond MAX_PATH a plain name fails as "not found" though the file may well be there.
  constexpr std::size_t kMaxPath = 260;
  if (path.native().size() >= kMaxPath && path.native().rfind(LR"(\\?\)", 0) != 0) return Other::kTooLong;
#endif
  std::error_code linkEc;
  if (fs::is_symlink(fs::symlink_status(path, linkEc))) return Other::kDanglingLink;
  return Other::kNone;
}

std::int32_t FolderErrorNumber(const std::error_code& ec) {
  return ec == std::errc::permission_denied ? err::kPermissionDenied : err::kPathFileAccessError;
}

class Walker {
 public:
  Walker(bool allFiles, bool dedupe) : allFiles_(allFiles), dedupe_(dedupe) {}

  void Named(const fs::path& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) {
      Folder(path);
    } else if (fs::is_regular_file(st)) {
      Add({WalkItem::Kind::kDocument, path});
    } else if (const WalkItem::Other other = WhatItIs(path, st, ec); other != WalkItem::Other::kNone) {
      Add({WalkItem::Kind::kNotAFile, path, 0, other});
    } else {
      Add({WalkItem::Kind::kMissing, path});
    }
  }

  std::vector<WalkItem> Take() { return std::move(items_); }

 private:
  void Folder(const fs::path& dir) {
    struct Entry {
      fs::path path;
      bool folder;
      bool file;
    };
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    std::vector<Entry> entries;
    std::size_t nameAt = 0;  // every entry is the folder's path and a name: the same prefix
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
    const auto name = [nameAt](const Entry& e) { return NameView(e.path.native()).substr(nameAt); };
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) { return name(a) < name(b); });
    for (Entry& e : entries) {
      const NameView n = name(e);
      if (!n.empty() && n[0] == '.') continue;
      if (e.folder) {
        Folder(e.path);
      } else if (allFiles_ || HasDocumentExtension(n)) {
        if (e.file) {
          Add({WalkItem::Kind::kDocument, std::move(e.path)});
        } else {
          // Left out silently, a pipe or a link to nothing would hide a document that should be there.
          std::error_code ec;
          const fs::file_status st = fs::status(e.path, ec);
          if (fs::is_directory(st)) continue;  // a linked folder, not followed
          const WalkItem::Other other = WhatItIs(e.path, st, ec);
          Add({WalkItem::Kind::kNotAFile, std::move(e.path), 0, other == WalkItem::Other::kNone ? WalkItem::Other::kUnknown : other});
        }
      }
    }
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

}  // namespace pelmora::cli
