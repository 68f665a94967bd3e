#include "delivery/image_collect.h"

#include <algorithm>
#include <array>
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

#ifdef _WIN32
// A path that the Win32 calls take only in the extended-length form: std::filesystem fails on it.
bool ExtendedOnly(const fs::path& p) {
  const std::wstring& text = p.native();
  return text.rfind(L"\\\\?\\", 0) != 0 && Win32Path(p).rfind(L"\\\\?\\", 0) == 0;
}
#endif

bool Under(const fs::path& p, const fs::path& root) {
  const fs::path rel = Folded(p).lexically_relative(Folded(root));
  return !rel.empty() && *rel.begin() != ".." && rel != ".";
}

// A path that is absolute in the notation of Windows or of a Mac/Unix system.
bool AbsoluteElsewhere(std::wstring_view name) {
  if (!name.empty() && (name[0] == L'/' || name[0] == L'\\')) return true;
  return name.size() >= 3 && ((name[0] | 0x20) >= L'a' && (name[0] | 0x20) <= L'z') && name[1] == L':' &&
         (name[2] == L'\\' || name[2] == L'/');
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

bool SameContent(const OpenFile& a, const OpenFile& b) {
  if (!Rewind(a) || !Rewind(b)) return false;
  std::array<char, 64 * 1024> ba, bb;
  // Read until either ends: a short read of one need not be the end of it.
  long long haveA = 0, haveB = 0;
  for (;;) {
    if (haveA == 0) haveA = ReadSome(a, ba.data(), ba.size());
    if (haveB == 0) haveB = ReadSome(b, bb.data(), bb.size());
    if (haveA < 0 || haveB < 0) return false;
    if (haveA == 0 || haveB == 0) return haveA == haveB;
    const long long n = std::min(haveA, haveB);
    if (!std::equal(ba.begin(), ba.begin() + n, bb.begin())) return false;
    std::copy(ba.begin() + n, ba.begin() + haveA, ba.begin());
    std::copy(bb.begin() + n, bb.begin() + haveB, bb.begin());
    haveA -= n;
    haveB -= n;
  }
}

bool SameContent(const fs::path& a, const fs::path& b) {
  const Reached fa = OpenAnywhere(a, OpenFor::kReading), fb = OpenAnywhere(b, OpenFor::kReading);
  return fa.kind == Reached::Kind::kOpened && fb.kind == Reached::Kind::kOpened && SameContent(fa.file, fb.file);
}

CopyResult CopyNewFile(const fs::path& from, const fs::path& to) {
  const Reached source = OpenAnywhere(from, OpenFor::kReading);
  if (source.kind == Reached::Kind::kOpened) return CopyNewFile(source.file, to);
  if (source.kind == Reached::Kind::kNotAFile) return {CopyResult::Outcome::kFailed, "通常のファイルではありません"};
  return {CopyResult::Outcome::kFailed, CopyFailure(source.error)};
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
  auto root = std::make_shared<DeliveryRoot>();
  root->lexical = std::move(lexical);
  OpenRoot(*root);
  roots_.push_back(std::move(root));
}

bool Delivery::MayContain(const fs::path& candidate) const {
  // "D:name" is relative to drive D's own current folder, which making it absolute may look up:
  // never inside.
  if (candidate.has_root_name() && !candidate.has_root_directory()) return false;
  std::error_code ec;
  const fs::path p = fs::absolute(candidate, ec).lexically_normal();
  return !ec && std::any_of(roots_.begin(), roots_.end(), [&](const auto& root) { return Under(p, root->lexical); });
}

Reached Delivery::Open(const fs::path& path, OpenFor what) const {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec).lexically_normal();
  if (ec) return {Reached::Kind::kLink};
  if (!p.has_filename()) p = p.parent_path();  // "dir/." is "dir/" by now
  for (const auto& root : roots_) {
    if (Folded(p) != Folded(root->lexical) && !Under(p, root->lexical)) continue;
    // The names below the root as written here (on Windows perhaps in another case than the root's).
    auto name = p.begin();
    for (auto r = root->lexical.begin(); r != root->lexical.end() && name != p.end(); ++r) ++name;
    fs::path relative;
    for (; name != p.end(); ++name) relative /= *name;
    return OpenBeneath(*root, relative, what);
  }
  return {Reached::Kind::kLink};
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
  if (f.inside) {
    f.folderReached = Open(f.folder, OpenFor::kListing).kind;
    f.linksReached = Open(f.links, OpenFor::kListing).kind;
  }
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

ImageSearch::ImageSearch(const fs::path& document, const Delivery& delivery, bool anywhere, OpenFor what)
    : folders_(delivery.FoldersOf(document)),
      delivery_(delivery),
      anywhere_(anywhere),
      what_(what),
      now_(std::chrono::steady_clock::now()) {}

FolderMatch ImageSearch::Match(const Attempt& a, bool& leadsOutside) const {
  if (!anywhere_ && !a.inside) {
    leadsOutside = true;
    return {};
  }
  if (!anywhere_ && a.reached != Reached::Kind::kOpened) {
    leadsOutside = leadsOutside || a.reached == Reached::Kind::kLink;  // a link to elsewhere is not even listed
    return {};
  }
  // Only a folder of the delivery is listed for a name in another form.
  if (!a.inside) return {a.folder / PathFromWide(a.file), NameMatch::kExact};
  FolderMatch match = FindInFolder(a.folder, a.file, now_);
#ifdef _WIN32
  // A folder that cannot be listed even in the long form still has the name itself opened.
  if (match.how == NameMatch::kNone && !match.ambiguous && ExtendedOnly(a.folder)) {
    match = {a.folder / PathFromWide(a.file), NameMatch::kExact};
  }
#endif
  return match;
}

bool ImageSearch::Take(const Attempt& a, FolderMatch match, ImageLocation& where, bool& leadsOutside) const {
  // Judged by what is opened, not by a name that could be swapped for a link meanwhile.
  Reached found = anywhere_ ? OpenAnywhere(match.path, what_) : delivery_.Open(match.path, what_);
  switch (found.kind) {
    case Reached::Kind::kOpened:
    case Reached::Kind::kFailed: break;
    case Reached::Kind::kLink: leadsOutside = true; return false;  // a link in the delivery, to elsewhere
    case Reached::Kind::kMissing:
    case Reached::Kind::kNotAFile: return false;
  }
  where.status = a.status;
  where.found = std::move(match.path);
  where.resolved = found.kind == Reached::Kind::kOpened ? std::move(found.resolved) : where.found;
  where.how = match.how;
  where.file = std::move(found.file);
  where.error = found.error;
  return true;
}

ImageLocation ImageSearch::Locate(std::wstring_view name) const {
  ImageLocation where;
  if (InvalidImageName(name)) {
    where.status = ImageLocation::Status::kInvalid;
    return where;
  }
  const auto& f = *folders_;
  const fs::path& folder = f.folder;
  const fs::path& links = f.links;
  const bool inside = f.inside;
  bool leadsOutside = false;
  const std::wstring_view file = LastNameComponent(name);
  const bool plain = PlainEntryName(file);
  // Where to look, in order. As written first; whether it may lie inside is decided on the name
  // alone: looking up a name such as \\host\share\x.tif would already contact the host, and on
  // Windows offer it the user's login.
  fs::path parent;  // of a path written with folders; its attempt refers to it
  std::vector<Attempt> attempts;
  attempts.reserve(3);
  bool besideTried = false;
  const fs::path written = PathFromWide(name);
  if (!written.is_absolute() && AbsoluteElsewhere(name)) {
    // Absolute in the other system's notation (C:\… or \\host\… here, a Mac's /Users/… on
    // Windows): a place on the machine that made the document, outside the delivery just as this
    // system's own absolute paths are, so that the same link reads the same wherever it is checked.
    leadsOutside = !anywhere_;
  } else if (PlainEntryName(name)) {
    attempts.push_back({folder, std::wstring(name), inside, ImageLocation::Status::kWritten, f.folderReached});
    besideTried = name == file;
  } else {
    const fs::path path = written.is_absolute() ? written : folder / written;
    const bool pathInside = delivery_.MayContain(path);
    if (!path.has_filename()) {
      leadsOutside = !anywhere_ && !pathInside;
    } else {
      // A folder named on the way may be a link: judged before it is listed.
      parent = path.parent_path();
      const Reached::Kind reached = pathInside && !anywhere_ ? delivery_.Open(parent, OpenFor::kListing).kind
                                                             : Reached::Kind::kOpened;
      attempts.push_back(
          {parent, FromUtf8(PathText(path.filename())), pathInside, ImageLocation::Status::kWritten, reached});
    }
  }
  if (!file.empty()) {
    const bool inFolder = plain ? inside : delivery_.MayContain(folder / PathFromWide(file));
    const bool inLinks = plain ? inside : delivery_.MayContain(links / PathFromWide(file));
    if (!besideTried) attempts.push_back({folder, std::wstring(file), inFolder, ImageLocation::Status::kBeside, f.folderReached});
    attempts.push_back({links, std::wstring(file), inLinks, ImageLocation::Status::kLinks, f.linksReached});
  }
  std::vector<FolderMatch> matches;
  for (const Attempt& a : attempts) matches.push_back(Match(a, leadsOutside));
  // The name itself anywhere in the search order beats another form of it anywhere: パ.png beside
  // the document is taken before a decomposed パ.png where the list says. Among other forms, the
  // closer form, then the search order; where two files match equally well, neither is.
  for (const NameMatch how : {NameMatch::kExact, NameMatch::kNormalised, NameMatch::kMarksLost}) {
    for (std::size_t i = 0; i < attempts.size(); ++i) {
      if (matches[i].how != how) continue;
      if (matches[i].ambiguous) {
        where.status = ImageLocation::Status::kAmbiguous;
        return where;
      }
      if (Take(attempts[i], std::move(matches[i]), where, leadsOutside)) return where;
    }
  }
  where.status = leadsOutside ? ImageLocation::Status::kOutside : ImageLocation::Status::kMissing;
  return where;
}

void ImageCollector::Collect(const fs::path& document, const std::vector<std::wstring>& images) {
  const ImageSearch search(document, delivery_, anywhere_, OpenFor::kReading);
  for (const std::wstring& name : images) {
    // A list deferred to a trailer that named nothing: no file.
    if (name.empty() || name == L"(atend)") continue;
    CollectEntry entry{PathText(document), ToUtf8(name)};
    const ImageLocation where = search.Locate(name);
    if (where.status == ImageLocation::Status::kInvalid) {
      summary_.invalid.Note(std::move(entry));
      continue;
    }
    if (where.status == ImageLocation::Status::kAmbiguous) {
      entry.reason = kAmbiguousText;
      summary_.missing.Note(std::move(entry));
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
    if (!where.file.valid()) {
      entry.reason = CopyFailure(where.error);
      summary_.failed.Note(std::move(entry));
      continue;
    }
    // A link there counts as a file, even one to nothing; a name that cannot be checked, too.
    bool exists = NameTaken(target);
    if (!exists) {
      const CopyResult copy = CopyNewFile(where.file, target);
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
    const Reached there = OpenAnywhere(target, OpenFor::kReading);
    if (SameFile(where.file, target) ||
        (there.kind == Reached::Kind::kOpened && SameContent(where.file, there.file))) {
      ++summary_.present;
    } else {
      entry.target = PathText(target);
      summary_.conflicts.Note(std::move(entry));
    }
  }
}

}  // namespace pelmora::delivery
