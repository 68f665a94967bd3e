#pragma once
// Copies placed images into one folder. Placed-image names are often stale: written on another
// machine, as a Windows or Mac path. Nothing in the folder is ever overwritten.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::cli {

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
  std::string reason;    // why a copy failed
};

struct CollectSummary {
  int found = 0;    // distinct files located
  int copied = 0;   // copied now
  int present = 0;  // the same content was already in the folder: nothing to do
  std::vector<CollectEntry> conflicts;  // a different file of the same name is in the folder
  std::vector<CollectEntry> failed;     // the copy itself failed
  std::vector<CollectEntry> missing;    // found nowhere
  bool Complete() const { return conflicts.empty() && failed.empty() && missing.empty(); }
};

class ImageCollector {
 public:
  explicit ImageCollector(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // `images` are the decoded placed-image names of one document.
  void Collect(const std::filesystem::path& document, const std::vector<std::wstring>& images);

  const CollectSummary& summary() const { return summary_; }

 private:
  std::filesystem::path folder_;
  CollectSummary summary_;
  std::set<std::filesystem::path> handled_;  // a file placed in several documents counts once
};

// True when both files hold the same bytes.
bool SameContent(const std::filesystem::path& a, const std::filesystem::path& b);

// The summary as text: counts, then what was not copied and why.
std::string FormatCollectSummary(const CollectSummary& summary);
std::string FormatCollectJson(const CollectSummary& summary);

}  // namespace pelmora::cli
