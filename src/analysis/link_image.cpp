#include "analysis/link_image.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <unordered_set>

#include "analysis/ansi_text.h"

namespace pelmora::analysis {

namespace {

constexpr std::string_view kDocumentFiles = "%%DocumentFiles:";
constexpr std::string_view kContinuation = "%%+";

// The key under which EqualsIgnoreCase sees a name: Latin letters of single-byte characters in
// lower case, two-byte characters as they are. Two names are equal ignoring case exactly when
// their keys are equal, which lets a large list test duplicates by hashing.
std::string CaseKey(std::string_view name) {
  std::string key(name);
  for (std::size_t i = 0; i < key.size();) {
    const std::size_t len = CharLength(key, i);
    if (len == 1 && key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] + ('a' - 'A'));
    i += len;
  }
  return key;
}

// The keys of the names kept so far. A document places a handful of images as a rule, and
// comparing with each is then cheaper than a hash set; a long list is hashed.
class NameKeys {
 public:
  explicit NameKeys(std::string first) { few_.push_back(std::move(first)); }

  // False when an equal key is there already.
  bool Insert(std::string key) {
    if (!many_.empty()) return many_.insert(std::move(key)).second;
    if (std::find(few_.begin(), few_.end(), key) != few_.end()) return false;
    few_.push_back(std::move(key));
    if (few_.size() > kFew) {
      many_.insert(std::make_move_iterator(few_.begin()), std::make_move_iterator(few_.end()));
      few_.clear();
    }
    return true;
  }

 private:
  static constexpr std::size_t kFew = 32;
  std::vector<std::string> few_;
  std::unordered_set<std::string> many_;
};

// Position of the first CR or LF at or after `from`, or npos.
std::size_t LineEnd(std::string_view text, std::size_t from) {
  // find_first_of would search the two-byte set once per character of the text.
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') return i;
  }
  return std::string_view::npos;
}

// Position right after the line end at `end` (CR LF, CR or LF).
std::size_t NextLine(std::string_view text, std::size_t end) {
  return (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2 : end + 1;
}

}  // namespace

std::int32_t GetLinkImage(std::vector<std::string>& rastrLinkImage, std::string_view vstrHeader) {
  rastrLinkImage.clear();
  try {
    const std::size_t marker = FindCharsIgnoreCase(vstrHeader, kDocumentFiles);
    if (marker == std::string_view::npos) return 0;
    std::size_t start = marker + kDocumentFiles.size();
    std::size_t end = LineEnd(vstrHeader, start);
    if (end == std::string_view::npos) return 0;

    // The first name is taken as it is, even empty; later names must differ from it too.
    rastrLinkImage.emplace_back(TrimBlanks(vstrHeader.substr(start, end - start)));
    NameKeys keys(CaseKey(rastrLinkImage.front()));
    for (;;) {
      const std::size_t line = NextLine(vstrHeader, end);
      if (!EqualsIgnoreCase(vstrHeader.substr(line, kContinuation.size()), kContinuation)) break;
      start = line + kContinuation.size();
      end = LineEnd(vstrHeader, start);
      // A line cut by the end of the text, or "%%+" alone, ends the list.
      if (end == std::string_view::npos || end == start) break;
      const std::string_view name = TrimBlanks(vstrHeader.substr(start, end - start));
      if (name.empty()) continue;
      if (keys.Insert(CaseKey(name))) rastrLinkImage.emplace_back(name);
    }
    return static_cast<std::int32_t>(rastrLinkImage.size());
  } catch (const std::exception&) {
    rastrLinkImage.clear();
    return 0;
  }
}

std::int32_t FindInArray(const std::vector<std::string>& rastrList, std::string_view vstrFind) {
  for (std::size_t i = 0; i < rastrList.size(); ++i) {
    if (EqualsIgnoreCase(rastrList[i], vstrFind)) return static_cast<std::int32_t>(i + 1);
  }
  return -1;
}

}  // namespace pelmora::analysis
