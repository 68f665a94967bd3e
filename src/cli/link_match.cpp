#include "cli/link_match.h"

#include <cstdint>
#include <list>
#include <system_error>
#include <unordered_map>

#include "cli/image_collect.h"
#include "cli/text_utf8.h"

namespace pelmora::cli {

namespace fs = std::filesystem;

namespace {

// Precomposed voiced and semi-voiced kana and their bases.
constexpr std::wstring_view kVoiced =
    L"がぎぐげござじずぜぞだぢづでどばびぶべぼゔガギグゲゴザジズゼゾダヂヅデドバビブベボヴヷヸヹヺ";
constexpr std::wstring_view kVoicedBase =
    L"かきくけこさしすせそたちつてとはひふへほうカキクケコサシスセソタチツテトハヒフヘホウワヰヱヲ";
constexpr std::wstring_view kSemiVoiced = L"ぱぴぷぺぽパピプペポ";
constexpr std::wstring_view kSemiVoicedBase = L"はひふへほハヒフヘホ";
// Latin-1 letters with accents and their bases (a decomposed name has the base and a mark).
constexpr std::wstring_view kAccented = L"ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝàáâãäåçèéêëìíîïñòóôõöùúûüýÿ";
constexpr std::wstring_view kAccentBase = L"AAAAAACEEEEIIIINOOOOOUUUUYaaaaaaceeeeiiiinooooouuuuyy";

constexpr wchar_t kVoicedMark = 0x3099, kSemiVoicedMark = 0x309A;

bool IsMark(wchar_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x3099 && c <= 0x309C);
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; }

// Kana decomposed: base followed by its combining mark, so NFC and NFD forms compare equal.
std::wstring Decomposed(std::wstring_view s) {
  std::wstring out;
  for (wchar_t c : s) {
    if (const auto v = kVoiced.find(c); v != std::wstring_view::npos) {
      out += kVoicedBase[v];
      out += kVoicedMark;
    } else if (const auto p = kSemiVoiced.find(c); p != std::wstring_view::npos) {
      out += kSemiVoicedBase[p];
      out += kSemiVoicedMark;
    } else if (c == 0x309B) {
      out += kVoicedMark;  // the spacing marks some writers use
    } else if (c == 0x309C) {
      out += kSemiVoicedMark;
    } else {
      out += c;
    }
  }
  return out;
}

// Every mark left out, accents too.
std::wstring Bare(std::wstring_view s) {
  std::wstring out;
  for (wchar_t c : Decomposed(s)) {
    if (IsMark(c)) continue;
    if (const auto a = kAccented.find(c); a != std::wstring_view::npos) c = kAccentBase[a];
    c = Lower(c);
    out += c;
  }
  return out;
}

}  // namespace

NameMatch MatchNames(std::wstring_view a, std::wstring_view b) {
  if (a == b) return NameMatch::kExact;
  if (Decomposed(a) == Decomposed(b)) return NameMatch::kNormalised;
  if (Bare(a) == Bare(b)) return NameMatch::kMarksLost;
  return NameMatch::kNone;
}

std::vector<std::wstring> MergeLinkNames(const std::vector<std::wstring>& header, const std::vector<std::wstring>& xmp) {
  std::vector<std::wstring> out = header;
  std::vector<bool> replaced(out.size(), false);
  for (const std::wstring& name : xmp) {
    const std::wstring bare = Bare(LastNameComponent(name));
    bool merged = false;
    for (std::size_t i = 0; i < header.size() && !merged; ++i) {
      if (replaced[i]) continue;
      const std::wstring h = Bare(LastNameComponent(header[i]));
      // A header name cut short by its writer still names the start of the file's name.
      const bool cut = h.size() >= 8 && bare.size() > h.size() && bare.compare(0, h.size(), h) == 0;
      if (h == bare || cut) {
        out[i] = name;
        replaced[i] = merged = true;
      }
    }
    if (merged) continue;
    bool listed = false;
    for (const std::wstring& o : out) listed = listed || o == name;
    if (!listed) out.push_back(name);
  }
  return out;
}

namespace {

// The entries of the few folders met last, by the name with every mark left out: the documents
// of a delivery share their folders, and listing a folder of thousands for each link of each
// document would cost more than the whole scan. A folder's listing is renewed when it changes;
// a folder larger than kIndexedEntries is searched entry by entry instead of held.
constexpr std::size_t kIndexedFolders = 4;
constexpr std::size_t kIndexedEntries = 20000;

struct FolderIndex {
  fs::path folder;
  fs::file_time_type changed;
  bool exists = true;
  std::uint64_t round = 0;  // checked against the folder in this round already
  std::unordered_multimap<std::wstring, std::wstring> byBare;  // bare name -> name
};

std::uint64_t currentRound = 1;

std::list<FolderIndex>& Indexes() {
  static std::list<FolderIndex> indexes;  // the program is single-threaded
  return indexes;
}

const FolderIndex* IndexOf(const fs::path& folder) {
  auto& indexes = Indexes();
  for (auto it = indexes.begin(); it != indexes.end(); ++it) {
    if (it->folder != folder || it->round != currentRound) continue;
    indexes.splice(indexes.begin(), indexes, it);
    return &indexes.front();
  }
  std::error_code ec;
  const fs::file_time_type changed = fs::last_write_time(folder, ec);
  for (auto it = indexes.begin(); it != indexes.end(); ++it) {
    if (it->folder != folder) continue;
    if (!ec && it->exists && it->changed == changed) {
      it->round = currentRound;
      indexes.splice(indexes.begin(), indexes, it);
      return &indexes.front();
    }
    indexes.erase(it);
    break;
  }
  FolderIndex index{folder, changed, !ec, currentRound, {}};
  if (!index.exists) {
    // A folder that is not there (a document without a Links folder) holds nothing, this round.
    indexes.push_front(std::move(index));
    if (indexes.size() > kIndexedFolders) indexes.pop_back();
    return &indexes.front();
  }
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (index.byBare.size() == kIndexedEntries) return nullptr;
    std::wstring name = FromUtf8(PathText(it->path().filename()));
    index.byBare.emplace(Bare(name), std::move(name));
  }
  if (ec) return nullptr;
  indexes.push_front(std::move(index));
  if (indexes.size() > kIndexedFolders) indexes.pop_back();
  return &indexes.front();
}

}  // namespace

void NewLookupRound() { ++currentRound; }

FolderMatch FindInFolder(const fs::path& folder, std::wstring_view file) {
  std::error_code ec;
  const fs::path direct = folder / PathFromWide(file);
  FolderMatch best;
  const FolderIndex* index = IndexOf(folder);
  if (index && !index->exists) return best;
  if (!index && fs::symlink_status(direct, ec).type() != fs::file_type::not_found && !ec) return {direct, NameMatch::kExact};
  const auto consider = [&](const std::wstring& name, const fs::path& path) {
    const NameMatch how = MatchNames(file, name);
    if (how != NameMatch::kNone && (best.how == NameMatch::kNone || how < best.how)) best = {path, how};
  };
  if (index) {
    // The exact name is among them too, as the folder listed it.
    const auto [from, to] = index->byBare.equal_range(Bare(file));
    for (auto it = from; it != to; ++it) consider(it->second, folder / PathFromWide(it->second));
    return best;
  }
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) consider(FromUtf8(PathText(it->path().filename())), it->path());
  return best;
}

}  // namespace pelmora::cli
