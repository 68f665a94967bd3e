#pragma once
// Copies placed images into one folder. Placed-image names are often stale: written on another
// machine, as a Windows or Mac path. They are also whatever a stranger wrote: unless told
// otherwise, an image is taken only from inside the delivery, and a name that leads elsewhere
// is neither opened nor looked up. Nothing in the folder is ever overwritten.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "delivery/link_match.h"
#include "delivery/open_beneath.h"

namespace pelmora::delivery {

// The file name at the end of a placed-image name, after its last '\', '/' or ':'.
std::wstring_view LastNameComponent(std::wstring_view name);

// Where to look, in order: as the document says (a relative name from the document's folder),
// then by file name in the document's folder, then in a "Links" folder beside the document.
std::vector<std::filesystem::path> ImageCandidates(const std::filesystem::path& document, std::wstring_view name);

struct CollectEntry {
  std::string document;  // UTF-8, as listed
  std::string image;     // the name in the document
  std::string source;    // the file found, if any
  std::string target;    // the file in the folder that blocked or failed the copy
  std::string reason;    // why a copy failed, or how a name in another form matched
  std::string match;     // the latter's JSON key
};

// True for a name that, joined to a folder, names an entry of that folder and nothing else: no
// separator, and not ".", ".." or another name of dots and blanks, which Windows trims to those.
bool PlainEntryName(std::wstring_view name);

// True for a name that cannot be a file's: NUL or another control character, or the wildcards
// '*' and '?' (which would name many files or none), apart from the "\\?\" prefix of Windows.
bool InvalidImageName(std::wstring_view name);

// The folders a delivery consists of: images are taken from inside them only. Each is held open
// for as long as any copy of the Delivery lives.
class Delivery {
 public:
  void Add(const std::filesystem::path& folder);
  // `candidate` as written, before any look-up: true when it may lie inside.
  bool MayContain(const std::filesystem::path& candidate) const;
  // `path`, which MayContain, opened from the delivery's folder that holds it by name: a link on
  // the way, even to elsewhere inside, is kLink, and so is a path outside every folder.
  Reached Open(const std::filesystem::path& path, OpenFor what) const;
  // Where a document's images are looked for: its folder ("." for a document named without
  // one), the Links folder in it, and whether a plain-named entry of either may lie inside; for
  // those inside, what each folder is when reached from the delivery (a folder may be listed only
  // when kOpened: a linked Links folder is neither opened nor listed).
  struct DocumentFolders {
    std::filesystem::path folder, links;
    bool inside = false;
    Reached::Kind folderReached = Reached::Kind::kOpened, linksReached = Reached::Kind::kOpened;
  };
  // The answer is kept for the folder met last: one delivery's documents share their folders, and
  // taking paths apart costs more than a document's look-ups.
  std::shared_ptr<const DocumentFolders> FoldersOf(const std::filesystem::path& document) const;

 private:
  std::vector<std::shared_ptr<const DeliveryRoot>> roots_;
  // FoldersOf's last answer, by the document's path without its name (single-threaded).
  mutable std::filesystem::path::string_type lastKey_;
  mutable std::shared_ptr<const DocumentFolders> last_;
};

// Where a placed image was found, looked for as ImageCandidates says; in each folder, a name
// that differs only in its form (NFC/NFD) or in lost voiced-sound marks is found too.
// kAmbiguous: no file has the name, and two or more have it in another form equally well.
struct ImageLocation {
  enum class Status { kWritten, kBeside, kLinks, kMissing, kOutside, kInvalid, kAmbiguous };
  Status status = Status::kMissing;
  std::filesystem::path found;     // as named in the delivery
  std::filesystem::path resolved;  // with links followed
  NameMatch how = NameMatch::kNone;
  OpenFile file;   // found, for a search made for reading: the file judged, to be read
  int error = 0;   // found, but it could not be opened for reading: why
};

// The look-ups of one document's placed images. What does not change from one name to the next
// (the document's folders, and whether they lie inside the delivery) is worked out once: a
// delivery's documents name few images each, and path arithmetic per name costs more than the
// rest of the check.
class ImageSearch {
 public:
  // `delivery` must outlive the search. With `anywhere`, names may lead outside the delivery.
  // `what`: kLooking, or kReading to have each image found held open in its location.
  ImageSearch(const std::filesystem::path& document, const Delivery& delivery, bool anywhere,
              OpenFor what = OpenFor::kLooking);
  ImageLocation Locate(std::wstring_view name) const;

 private:
  // One place to look: a folder, the name there, whether it may lie inside the delivery, and what
  // the folder is when reached from the delivery (for a folder inside).
  // The folder is the document's own, its Links folder, or one the search holds: never copied.
  struct Attempt {
    const std::filesystem::path& folder;
    std::wstring file;
    bool inside;
    ImageLocation::Status status;
    Reached::Kind reached;
  };
  FolderMatch Match(const Attempt& a, bool& leadsOutside) const;
  bool Take(const Attempt& a, FolderMatch match, ImageLocation& where, bool& leadsOutside) const;

  std::shared_ptr<const Delivery::DocumentFolders> folders_;
  const Delivery& delivery_;
  bool anywhere_;
  OpenFor what_;
  // One document's look-ups share a moment: the time is asked once, not once per folder listed.
  std::chrono::steady_clock::time_point now_;
};

// The images of one kind that were not collected. Only the first kListedEntries are kept with
// their names, so that a delivery whose documents name thousands of images each cannot fill
// memory; `unlisted` counts the rest.
inline constexpr std::size_t kListedEntries = 1000;
struct EntryList : std::vector<CollectEntry> {
  std::size_t unlisted = 0;
  std::size_t total() const { return size() + unlisted; }
  void Note(CollectEntry entry) {
    if (size() < kListedEntries) {
      push_back(std::move(entry));
    } else {
      ++unlisted;
    }
  }
};

struct CollectSummary {
  int found = 0;    // distinct files located
  int copied = 0;   // copied now
  int present = 0;  // the same content was already in the folder: nothing to do
  EntryList conflicts;  // a different file of the same name is in the folder
  EntryList failed;     // the copy itself failed
  EntryList missing;    // found nowhere
  EntryList outside;    // named only outside the delivery: not read
  EntryList invalid;    // the name can be no file's: not read
  EntryList matched;    // found under a name in another form (reason: how): collected, but worth a look
  EntryList collected;  // every distinct file found (source: the file), for what the summary says of each
  bool Complete() const {
    return conflicts.empty() && failed.empty() && missing.empty() && outside.empty() && invalid.empty();
  }
};

class ImageCollector {
 public:
  // With `anywhere`, images are taken from wherever their names lead, network shares included.
  ImageCollector(std::filesystem::path folder, Delivery delivery, bool anywhere = false)
      : folder_(std::move(folder)), delivery_(std::move(delivery)), anywhere_(anywhere) {}

  // `images` are the decoded placed-image names of one document.
  void Collect(const std::filesystem::path& document, const std::vector<std::wstring>& images);

  const CollectSummary& summary() const { return summary_; }

 private:
  std::filesystem::path folder_;
  Delivery delivery_;
  bool anywhere_;
  CollectSummary summary_;
  std::set<std::filesystem::path> handled_;  // a file placed in several documents counts once
};

// Why an image was not taken when several files match its name equally well (a missing one's
// reason in the summary).
inline constexpr const char* kAmbiguousText = "別の表記で一致するファイルが複数あり、どれとも決められません";

// True when both files hold the same bytes.
bool SameContent(const std::filesystem::path& a, const std::filesystem::path& b);
bool SameContent(const OpenFile& a, const OpenFile& b);  // both read from their start

}  // namespace pelmora::delivery
