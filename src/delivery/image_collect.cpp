#include "delivery/image_collect.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "delivery/file_copy.h"
#include "base/text_utf8.h"

namespace pelmora::delivery {

using namespace base;

namespace fs = std::filesystem;

namespace {

constexpr const char* kLinksFolder = "Links";

#ifdef _WIN32
// Windows names compare without regard to case: "z:\\job" and "Z:\\Job" are one folder.
fs::path Folded(const fs::path& p) {
  std::wstring s = p.native();
  for (wchar_t& c : s) c = (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c;
  return fs::path(s);
}
#else
const fs::path& Folded(const fs::path& p) { return p; }
#endif

bool Under(const fs::path& p, const fs::path& root) {
  const fs::path rel = Folded(p).lexically_relative(Folded(root));
  return !rel.empty() && *rel.begin() != ".." && rel != ".";
}

}  // namespace

std::wstring_view LastNameComponent(std::wstring_view name) {
  const auto sep = name.find_last_of(L"\\/:");
  return sep == std::wstring_view::npos ? name : name.substr(sep + 1);
}

std::vector<fs::path> ImageCandidates(const fs::path& document, std::wstring_view name) {
  std::vector<fs::path> out;
  const fs::path folder = document.parent_path();
  const auto add = [&](const fs::path& p) {
    if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  };
  const fs::path written = PathFromWide(name);
  add(written.is_absolute() ? written : folder / written);
  const std::wstring_view file = LastNameComponent(name);
  if (!file.empty()) {
    add(folder / PathFromWide(file));
    add(folder / kLinksFolder / PathFromWide(file));
  }
  return out;
}

bool SameContent(const fs::path& a, const fs::path& b) {
  std::error_code ec1, ec2;
  const auto sizeA = fs::file_size(a, ec1), sizeB = fs::file_size(b, ec2);
  if (ec1 || ec2 || sizeA != sizeB) return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::array<char, 64 * 1024> ba, bb;
  for (;;) {
    fa.read(ba.data(), ba.size());
    fb.read(bb.data(), bb.size());
    if (fa.gcount() != fb.gcount()) return false;
    if (!std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
    if (fa.gcount() == 0 || !fa || !fb) return fa.eof() && fb.eof();
  }
}

bool InvalidImageName(std::wstring_view name) {
  // Windows' prefix for names past its path length limit.
  const bool longPrefix = name.size() >= 4 && (name[0] == L'\\' || name[0] == L'/') && name[1] == name[0] &&
                          name[2] == L'?' && (name[3] == L'\\' || name[3] == L'/');
  for (std::size_t i = 0; i < name.size(); ++i) {
    const wchar_t c = name[i];
    if (c < 0x20 || (c >= 0x7F && c < 0xA0) || c == L'*' || (c == L'?' && !(longPrefix && i == 2))) return true;
  }
  return false;
}

void Delivery::Add(const fs::path& folder) {
  std::error_code ec;
  fs::path lexical = fs::absolute(folder, ec).lexically_normal();
  if (ec) return;
  if (!lexical.has_filename()) lexical = lexical.parent_path();  // "dir/" names the same folder as "dir"
  last_.reset();
  fs::path resolved = fs::weakly_canonical(lexical, ec);
  lexical_.push_back(std::move(lexical));
  if (!ec) resolved_.push_back(std::move(resolved));
}

bool Delivery::MayContain(const fs::path& candidate) const {
  // "D:name" is relative to drive D's own current folder, which making it absolute may look up:
  // never inside.
  if (candidate.has_root_name() && !candidate.has_root_directory()) return false;
  std::error_code ec;
  const fs::path p = fs::absolute(candidate, ec).lexically_normal();
  return !ec && std::any_of(lexical_.begin(), lexical_.end(), [&](const fs::path& root) { return Under(p, root); });
}

bool Delivery::Contains(const fs::path& resolved) const {
  return std::any_of(resolved_.begin(), resolved_.end(), [&](const fs::path& root) { return Under(resolved, root); });
}

std::shared_ptr<const Delivery::DocumentFolders> Delivery::FoldersOf(const fs::path& document) const {
  const auto& text = document.native();
#ifdef _WIN32
  const auto end = text.find_last_of(L"\\/:");
#else
  const auto end = text.rfind('/');
#endif
  const std::size_t keySize = end == text.npos ? 0 : end + 1;
  const std::basic_string_view<fs::path::value_type> key(text.data(), keySize);
  if (last_ && key == lastKey_) return last_;
  DocumentFolders f;
  f.folder = document.has_parent_path() ? document.parent_path() : fs::path(".");
  f.links = f.folder / kLinksFolder;
  f.inside = MayContain(f.folder / "x");
  lastKey_.assign(key);
  last_ = std::make_shared<const DocumentFolders>(std::move(f));
  return last_;
}

bool PlainEntryName(std::wstring_view name) {
  if (name.find_first_not_of(L". ") == std::wstring_view::npos) return false;
#ifdef _WIN32
  return name.find_first_of(L"\\/:") == std::wstring_view::npos;
#else
  return name.find(L'/') == std::wstring_view::npos;
#endif
}

ImageSearch::ImageSearch(const fs::path& document, const Delivery& delivery, bool anywhere)
    : folders_(delivery.FoldersOf(document)), delivery_(delivery), anywhere_(anywhere) {}

bool ImageSearch::Try(const fs::path& folder, std::wstring_view file, bool inside, ImageLocation::Status status,
                      ImageLocation& where, bool& leadsOutside) const {
  if (!anywhere_ && !inside) {
    leadsOutside = true;
    return false;
  }
  // Only a folder of the delivery is listed for a name in another form.
  FolderMatch match;
  if (inside) {
    match = FindInFolder(folder, file);
    if (match.how == NameMatch::kNone) return false;
  } else {
    match = {folder / PathFromWide(file), NameMatch::kExact};
  }
  std::error_code ec;
  const fs::path resolved = fs::canonical(match.path, ec);
  if (ec) return false;
  if (!anywhere_ && !delivery_.Contains(resolved)) {
    leadsOutside = true;  // a link in the delivery to a file outside it
    return false;
  }
  if (!fs::is_regular_file(resolved, ec)) return false;
  where.status = status;
  where.found = std::move(match.path);
  where.resolved = resolved;
  where.how = match.how;
  return true;
}

ImageLocation ImageSearch::Locate(std::wstring_view name) const {
  ImageLocation where;
  if (InvalidImageName(name)) {
    where.status = ImageLocation::Status::kInvalid;
    return where;
  }
  const auto& [folder, links, inside] = *folders_;
  bool leadsOutside = false;
  const std::wstring_view file = LastNameComponent(name);
  const bool plain = PlainEntryName(file);
  // As written. Whether it may lie inside is decided on the name alone: looking up a name such
  // as \\host\share\x.tif would already contact the host, and on Windows offer it the user's login.
  bool besideTried = false;
  if (PlainEntryName(name)) {
    if (Try(folder, name, inside, ImageLocation::Status::kWritten, where, leadsOutside)) return where;
    besideTried = name == file;
  } else {
    const fs::path written = PathFromWide(name);
    const fs::path path = written.is_absolute() ? written : folder / written;
    const bool pathInside = delivery_.MayContain(path);
    if (!path.has_filename()) {
      leadsOutside = !anywhere_ && !pathInside;
    } else if (Try(path.parent_path(), FromUtf8(PathText(path.filename())), pathInside, ImageLocation::Status::kWritten,
                   where, leadsOutside)) {
      return where;
    }
  }
  if (!file.empty()) {
    const bool inFolder = plain ? inside : delivery_.MayContain(folder / PathFromWide(file));
    const bool inLinks = plain ? inside : delivery_.MayContain(links / PathFromWide(file));
    if (!besideTried && Try(folder, file, inFolder, ImageLocation::Status::kBeside, where, leadsOutside)) return where;
    if (Try(links, file, inLinks, ImageLocation::Status::kLinks, where, leadsOutside)) return where;
  }
  where.status = leadsOutside ? ImageLocation::Status::kOutside : ImageLocation::Status::kMissing;
  return where;
}

void ImageCollector::Collect(const fs::path& document, const std::vector<std::wstring>& images) {
  const ImageSearch search(document, delivery_, anywhere_);
  for (const std::wstring& name : images) {
    // A list deferred to a trailer that named nothing: no file.
    if (name.empty() || name == L"(atend)") continue;
    CollectEntry entry{PathText(document), ToUtf8(name)};
    const ImageLocation where = search.Locate(name);
    if (where.status == ImageLocation::Status::kInvalid) {
      summary_.invalid.Note(std::move(entry));
      continue;
    }
    if (where.status == ImageLocation::Status::kOutside || where.status == ImageLocation::Status::kMissing) {
      (where.status == ImageLocation::Status::kOutside ? summary_.outside : summary_.missing).Note(std::move(entry));
      continue;
    }
    const fs::path& found = where.found;
    const fs::path& source = where.resolved;
    if (*MatchText(where.how)) {
      summary_.matched.Note({entry.document, entry.image, PathText(found), {}, MatchText(where.how), MatchKey(where.how)});
    }
    if (!handled_.insert(source).second) continue;
    ++summary_.found;
    entry.source = PathText(found);
    summary_.collected.Note(entry);
    const fs::path target = folder_ / found.filename();
    std::error_code ec;
    // A link there counts as a file, even one to nothing; a name that cannot be checked, too.
    bool exists = fs::symlink_status(target, ec).type() != fs::file_type::not_found;
    if (!exists) {
      const CopyResult copy = CopyNewFile(source, target);
      if (copy.outcome == CopyResult::Outcome::kCopied) {
        ++summary_.copied;
        ForgetFolder(folder_);
        continue;
      }
      exists = copy.outcome == CopyResult::Outcome::kExists;
      if (!exists) {
        entry.target = PathText(target);
        entry.reason = copy.reason;
        summary_.failed.Note(std::move(entry));
        continue;
      }
    }
    if (fs::equivalent(source, target, ec) || SameContent(source, target)) {
      ++summary_.present;
    } else {
      entry.target = PathText(target);
      summary_.conflicts.Note(std::move(entry));
    }
  }
}

}  // namespace pelmora::delivery
