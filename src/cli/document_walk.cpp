#include "cli/document_walk.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <system_error>

#include "analysis/run_error.h"

namespace pelmora::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDocumentExtensions[] = {".ai", ".ait", ".eps", ".epsf", ".epsi", ".epi", ".ps"};

std::int32_t FolderErrorNumber(const std::error_code& ec) {
  return ec == std::errc::permission_denied ? err::kPermissionDenied : err::kPathFileAccessError;
}

class Walker {
 public:
  explicit Walker(bool allFiles) : allFiles_(allFiles) {}

  void Named(const fs::path& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) {
      Folder(path);
    } else if (fs::is_regular_file(st)) {
      Add({WalkItem::Kind::kDocument, path});
    } else {
      Add({WalkItem::Kind::kMissing, path});
    }
  }

  std::vector<WalkItem> Take() { return std::move(items_); }

 private:
  void Folder(const fs::path& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    std::vector<fs::directory_entry> entries;
    for (; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) {
      Add({WalkItem::Kind::kUnreadableFolder, dir, FolderErrorNumber(ec)});
      return;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return a.path().filename().native() < b.path().filename().native();
    });
    for (const fs::directory_entry& e : entries) {
      const fs::path name = e.path().filename();
      if (!name.native().empty() && name.native()[0] == '.') continue;
      std::error_code stEc;
      // A linked folder is not followed: it may lead back up the tree.
      if (e.is_directory(stEc) && !e.is_symlink(stEc)) {
        Folder(e.path());
      } else if (e.is_regular_file(stEc) && (allFiles_ || HasDocumentExtension(name))) {
        Add({WalkItem::Kind::kDocument, e.path()});
      }
    }
  }

  void Add(WalkItem item) {
    if (seen_.insert(item.path.lexically_normal()).second) items_.push_back(std::move(item));
  }

  bool allFiles_;
  std::vector<WalkItem> items_;
  std::set<fs::path> seen_;
};

}  // namespace

bool HasDocumentExtension(const fs::path& path) {
  const fs::path extension = path.extension();
  const auto& ext = extension.native();
  return std::any_of(std::begin(kDocumentExtensions), std::end(kDocumentExtensions), [&](std::string_view known) {
    return ext.size() == known.size() && std::equal(ext.begin(), ext.end(), known.begin(), [](auto a, char b) {
             return (a >= 'A' && a <= 'Z' ? a + ('a' - 'A') : a) == static_cast<unsigned char>(b);
           });
  });
}

std::vector<WalkItem> ListDocuments(const std::vector<fs::path>& paths, bool allFiles) {
  Walker walker(allFiles);
  for (const fs::path& p : paths) walker.Named(p);
  return walker.Take();
}

}  // namespace pelmora::cli
