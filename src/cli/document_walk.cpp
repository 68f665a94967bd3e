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
    } else {
      Add({WalkItem::Kind::kMissing, path});
    }
  }

  std::vector<WalkItem> Take() { return std::move(items_); }

 private:
  void Folder(const fs::path& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    // Names taken once: a path's filename() is built anew at every call.
    std::vector<std::pair<fs::path, fs::directory_entry>> entries;
    for (; !ec && it != end; it.increment(ec)) entries.emplace_back(it->path().filename(), *it);
    if (ec) {
      Add({WalkItem::Kind::kUnreadableFolder, dir, FolderErrorNumber(ec)});
      return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first.native() < b.first.native(); });
    for (const auto& [name, e] : entries) {
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
  Walker walker(allFiles, paths.size() > 1);
  for (const fs::path& p : paths) walker.Named(p);
  return walker.Take();
}

}  // namespace pelmora::cli
