#include "delivery/document_walk.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <unordered_map>
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

}  // namespace

// Depth first, each folder's entries in name order, with a stack of its own rather than the
// program's: a tree may be thousands of folders deep, and Windows gives a program 1 MB of stack.
class Walker {
 public:
  using Native = WalkList::Native;
  using Entry = WalkList::Entry;

  Walker(bool allFiles, bool dedupe) : allFiles_(allFiles), dedupe_(dedupe) {}

  void Named(const fs::path& path) {
#ifdef _WIN32
    const PathKind kind = PathKindWin32(path);
    if (kind == PathKind::kFolder) return Walk(path);
    if (kind == PathKind::kFile) return Add({WalkItem::Kind::kDocument, WalkItem::Other::kNone, 0, WalkList::kNone, path.native()});
#else
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) return Walk(path);
    if (fs::is_regular_file(st)) return Add({WalkItem::Kind::kDocument, WalkItem::Other::kNone, 0, WalkList::kNone, path.native()});
#endif
    NotADocument(path, WalkList::kNone, path.native(), WalkItem::Other::kNone);
  }

  WalkList Take() { return std::move(list_); }

 private:
  struct Child {
    Native name;
    bool folder;
    bool file;
  };
  struct Frame {
    std::uint32_t folder;
    std::vector<Child> children;
    std::size_t next = 0;
  };

  void Walk(const fs::path& top) {
    list_.folders_.push_back({WalkList::kNone, top.native()});
    std::vector<Frame> stack;
    Open(static_cast<std::uint32_t>(list_.folders_.size() - 1), stack);
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next == frame.children.size()) {
        stack.pop_back();
        continue;
      }
      Child c = std::move(frame.children[frame.next++]);
      const std::uint32_t folder = frame.folder;
      if (!c.name.empty() && c.name[0] == '.') continue;
      if (c.folder) {
        list_.folders_.push_back({folder, std::move(c.name)});
        Open(static_cast<std::uint32_t>(list_.folders_.size() - 1), stack);  // `frame` may move
      } else if (allFiles_ || HasDocumentExtension(c.name)) {
        // Left out silently, a pipe or a link to nothing would hide a document that should be there.
        if (c.file) {
          Add({WalkItem::Kind::kDocument, WalkItem::Other::kNone, 0, folder, std::move(c.name)});
        } else {
          const fs::path path = list_.FolderPath(folder) / c.name;
          NotADocument(path, folder, std::move(c.name), WalkItem::Other::kUnknown);
        }
      }
    }
  }

  // Lists the folder onto the stack, or notes it as unreadable.
  void Open(std::uint32_t id, std::vector<Frame>& stack) {
    const fs::path dir = list_.FolderPath(id);
    std::vector<Child> children;
#ifdef _WIN32
    const std::int32_t error = ListFolderWin32(dir, [&](fs::path p, bool folder, bool file) {
      children.push_back({p.filename().native(), folder, file});
    });
    if (error) {
      Add({WalkItem::Kind::kUnreadableFolder, WalkItem::Other::kNone, error, id, {}});
      return;
    }
#else
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code typeEc;
      // A linked folder is not followed: it may lead back up the tree.
      const bool folder = it->is_directory(typeEc) && !it->is_symlink(typeEc);
      const Native& text = it->path().native();
      const auto sep = text.rfind('/');
      children.push_back({text.substr(sep == Native::npos ? 0 : sep + 1), folder, !folder && it->is_regular_file(typeEc)});
    }
    if (ec) {
      Add({WalkItem::Kind::kUnreadableFolder, WalkItem::Other::kNone, FolderErrorNumber(ec), id, {}});
      return;
    }
#endif
    std::sort(children.begin(), children.end(), [](const Child& a, const Child& b) { return a.name < b.name; });
    stack.push_back({id, std::move(children)});
  }

  // A name that is no regular file nor folder: reported for what it is, or as missing when nothing
  // has it (`otherwise` for an entry that a listing showed, which does exist).
  void NotADocument(const fs::path& path, std::uint32_t folder, Native name, WalkItem::Other otherwise) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) return;  // a linked folder met in a walk, not followed
    WalkItem::Other other = WhatItIs(path, st, ec);
    if (other == WalkItem::Other::kNone) other = otherwise;
    if (other == WalkItem::Other::kNone) return Add({WalkItem::Kind::kMissing, other, 0, folder, std::move(name)});
    Add({WalkItem::Kind::kNotAFile, other, 0, folder, std::move(name)});
  }

  // One named path lists no file twice (linked folders are not followed); only overlapping
  // arguments can, and only then is the cost of normalising every path paid. The paths are
  // remembered by a hash, and compared whole only when two hashes meet.
  void Add(Entry entry) {
    if (dedupe_) {
      const Native key = list_.PathOf(entry).lexically_normal().native();
      const std::size_t hash = std::hash<Native>{}(key);
      const auto [from, to] = seen_.equal_range(hash);
      for (auto it = from; it != to; ++it) {
        if (list_.PathOf(list_.entries_[it->second]).lexically_normal().native() == key) return;
      }
      seen_.emplace(hash, static_cast<std::uint32_t>(list_.entries_.size()));
    }
    list_.entries_.push_back(std::move(entry));
  }

  bool allFiles_;
  bool dedupe_;
  WalkList list_;
  std::unordered_multimap<std::size_t, std::uint32_t> seen_;
};

fs::path WalkList::FolderPath(std::uint32_t folder) const {
  std::vector<std::uint32_t> chain;
  for (std::uint32_t f = folder; f != kNone; f = folders_[f].parent) chain.push_back(f);
  fs::path path(folders_[chain.back()].name);
  for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) path /= folders_[*it].name;
  return path;
}

fs::path WalkList::PathOf(const Entry& e) const {
  if (e.folder == kNone) return fs::path(e.name);
  fs::path path = FolderPath(e.folder);
  if (!e.name.empty()) path /= e.name;
  return path;
}

WalkItem WalkList::operator[](std::size_t i) const {
  const Entry& e = entries_[i];
  return {e.kind, PathOf(e), e.error, e.other};
}

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

WalkList ListDocuments(const std::vector<fs::path>& paths, bool allFiles) {
  Walker walker(allFiles, paths.size() > 1);
  for (const fs::path& p : paths) walker.Named(p);
  return walker.Take();
}

}  // namespace pelmora::delivery
