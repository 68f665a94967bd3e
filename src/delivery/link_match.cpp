#include "delivery/link_match.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <system_error>
#include <unordered_set>

#include "delivery/image_collect.h"
#include "base/text_utf8.h"

#ifdef _WIN32
#include <windows.h>

#include "delivery/open_beneath.h"
#include "win32/raii.h"
#else
#include <dirent.h>

#include <cerrno>
#include <cstring>
#endif

namespace pelmora::delivery {

using namespace base;

namespace fs = std::filesystem;

namespace {

// Precomposed voiced and semi-voiced kana and their bases.
constexpr std::wstring_view kVoiced =
    L"がぎぐげござじずぜぞだぢづでどばびぶべぼゔガギグゲゴザジズゼゾダヂヅデドバビブベボヴヷヸヹヺ";
constexpr std::wstring_view kVoicedBase =
    L"かきくけこさしすせそたちつてとはひふへほうカキクケコサシスセソタチツテトハヒフヘホウワヰヱヲ";
constexpr std::wstring_view kSemiVoiced = L"ぱぴぷぺぽパピプペポ";
constexpr std::wstring_view kSemiVoicedBase = L"はひふへほハヒフヘホ";
// Latin-1 letters with accents, their bases and their combining marks.
constexpr std::wstring_view kAccented = L"ÀÁÂÃÄÅÇÈÉÊËÌÍÎÏÑÒÓÔÕÖÙÚÛÜÝàáâãäåçèéêëìíîïñòóôõöùúûüýÿ";
constexpr std::wstring_view kAccentBase = L"AAAAAACEEEEIIIINOOOOOUUUUYaaaaaaceeeeiiiinooooouuuuyy";
constexpr std::wstring_view kAccentMark =
    L"\u0300\u0301\u0302\u0303\u0308\u030A\u0327\u0300\u0301\u0302\u0308\u0300\u0301\u0302\u0308\u0303\u0300\u0301\u0302\u0303\u0308\u0300\u0301\u0302\u0308\u0301\u0300\u0301\u0302\u0303\u0308\u030A\u0327\u0300\u0301\u0302\u0308\u0300\u0301\u0302\u0308\u0303\u0300\u0301\u0302\u0303\u0308\u0300\u0301\u0302\u0308\u0301\u0308";
static_assert(kAccented.size() == kAccentBase.size() && kAccented.size() == kAccentMark.size());

constexpr wchar_t kVoicedMark = 0x3099, kSemiVoicedMark = 0x309A;

bool IsMark(wchar_t c) {
  return (c >= 0x0300 && c <= 0x036F) || (c >= 0x3099 && c <= 0x309C);
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? c + (L'a' - L'A') : c; }

// A precomposed character as its base and combining mark (0 for none; the spacing marks some
// writers use have no base). Most characters of a name decompose to themselves: they are ruled
// out by range before any table is searched.
struct Parts {
  wchar_t base, mark;
};
Parts Decompose(wchar_t c) {
  if (c < 0xC0) return {c, 0};
  if (c <= 0xFF) {
    const auto a = kAccented.find(c);
    return a == std::wstring_view::npos ? Parts{c, 0} : Parts{kAccentBase[a], kAccentMark[a]};
  }
  if (c < 0x3040 || c > 0x30FF) return {c, 0};
  if (const auto v = kVoiced.find(c); v != std::wstring_view::npos) return {kVoicedBase[v], kVoicedMark};
  if (const auto p = kSemiVoiced.find(c); p != std::wstring_view::npos) return {kSemiVoicedBase[p], kSemiVoicedMark};
  if (c == 0x309B) return {0, kVoicedMark};
  if (c == 0x309C) return {0, kSemiVoicedMark};
  return {c, 0};
}

// Decomposed, so that NFC and NFD forms compare equal.
std::wstring Decomposed(std::wstring_view s) {
  std::wstring out;
  out.reserve(s.size() + 4);
  for (wchar_t c : s) {
    const Parts d = Decompose(c);
    if (d.base) out += d.base;
    if (d.mark) out += d.mark;
  }
  return out;
}

// Every mark left out, accents too, and ASCII letters in lower case.
std::wstring Bare(std::wstring_view s) {
  std::wstring out;
  out.reserve(s.size());
  for (wchar_t c : s) {
    const wchar_t base = Decompose(c).base;
    if (base && !IsMark(base)) out += Lower(base);
  }
  return out;
}

// A hash of Bare(s), made without building it: a look-up for a name that is not there, as most
// are in a delivery with missing links, then allocates nothing.
std::uint64_t BareHash(std::wstring_view s) {
  std::uint64_t h = 0xcbf29ce484222325;  // FNV-1a
  for (wchar_t c : s) {
    const wchar_t base = Decompose(c).base;
    if (!base || IsMark(base)) continue;
    h = (h ^ static_cast<std::uint64_t>(Lower(base))) * 0x100000001b3;
  }
  return h;
}

// Windows finds a file whatever the letter case of its name: there a difference of case alone is
// none, and calling it a lost mark would mislead.
bool SameName(std::wstring_view a, std::wstring_view b) {
#ifdef _WIN32
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return Lower(x) == Lower(y); });
#else
  return a == b;
#endif
}

// True when `onDisk` is `inDocument` with marks that the list lost put back: every character of
// the document's name stands in the file's in order, and what the file's name has besides are
// marks, counted in `restored`. The other way round — marks in the list that the file lacks — is
// another name: パス.png in the list is never ハス.png on disk. Both are decomposed.
bool MarksLostFrom(std::wstring_view inDocument, std::wstring_view onDisk, std::size_t& restored) {
  std::size_t i = 0;
  restored = 0;
  for (const wchar_t c : onDisk) {
    if (i < inDocument.size() && Lower(inDocument[i]) == Lower(c)) {
      ++i;
    } else if (IsMark(c)) {
      ++restored;
    } else {
      return false;
    }
  }
  return i == inDocument.size();
}

// MatchNames, and for a lost-marks match how many marks the file's name has that the list lost.
NameMatch Match(std::wstring_view inDocument, std::wstring_view onDisk, std::size_t& restored) {
  restored = 0;
  if (SameName(inDocument, onDisk)) return NameMatch::kExact;
  // Composed and decomposed forms are the same text: a Mac decomposes a file's name, another
  // program may compose it again, and neither is a different name.
  const std::wstring document = Decomposed(inDocument), disk = Decomposed(onDisk);
  if (SameName(document, disk)) return NameMatch::kNormalised;
  if (MarksLostFrom(document, disk, restored)) return NameMatch::kMarksLost;
  return NameMatch::kNone;
}

}  // namespace

NameMatch MatchNames(std::wstring_view inDocument, std::wstring_view onDisk) {
  std::size_t restored;
  return Match(inDocument, onDisk, restored);
}

const char* MatchKey(NameMatch how) {
  switch (how) {
    case NameMatch::kNormalised: return "nfc_nfd";
    case NameMatch::kMarksLost: return "marks_lost";
    default: return nullptr;
  }
}

const char* MatchText(NameMatch how) {
  switch (how) {
    case NameMatch::kNormalised: return "NFC/NFD の違いを無視して一致";
    case NameMatch::kMarksLost: return "濁点・半濁点の欠落や大文字・小文字の違いを無視して一致";
    default: return "";
  }
}

std::vector<std::wstring> MergeLinkNames(const std::vector<std::wstring>& header, const std::vector<std::wstring>& xmp) {
  std::vector<std::wstring> out = header;
  std::vector<bool> replaced(out.size(), false);
  // Each header name's forms, made once: the lists may hold hundreds of names each.
  std::vector<std::wstring> forms, bares;
  for (const std::wstring& h : header) {
    forms.push_back(Decomposed(LastNameComponent(h)));
    bares.push_back(Bare(LastNameComponent(h)));
  }
  std::unordered_set<std::wstring> listed(out.begin(), out.end());
  for (const std::wstring& name : xmp) {
    const std::wstring_view file = LastNameComponent(name);
    const std::wstring form = Decomposed(file), bare = Bare(file);
    bool merged = false;
    for (std::size_t i = 0; i < header.size() && !merged; ++i) {
      if (replaced[i]) continue;
      // The header's Shift-JIS name may have lost the marks the manifest's has, never the other
      // way round; and a header name cut short by its writer still names the start of the file's.
      std::size_t restored;
      const bool same = SameName(forms[i], form) || MarksLostFrom(forms[i], form, restored);
      const bool cut = bares[i].size() >= 8 && bare.size() > bares[i].size() && bare.compare(0, bares[i].size(), bares[i]) == 0;
      if (same || cut) {
        out[i] = name;
        listed.insert(name);
        replaced[i] = merged = true;
      }
    }
    if (!merged && listed.insert(name).second) out.push_back(name);
  }
  return out;
}

namespace {

// The entries of the few folders met last, by the name with every mark left out: the documents
// of a delivery share their folders, and listing a folder of thousands for each link of each
// document would cost more than the whole scan. A listing is trusted for kFreshFor, then checked
// against the folder's time of change (a stat per look-up would again cost more than the rest of
// a document's check). Every folder is indexed, however large: searching one entry by entry for
// each missing name made a folder of 100,000 entries cost a minute.
constexpr std::size_t kIndexedFolders = 4;
constexpr auto kFreshFor = std::chrono::milliseconds(500);

using Clock = std::chrono::steady_clock;
using Native = fs::path::string_type;

// A name as the matching reads it.
std::wstring Wide(std::basic_string_view<fs::path::value_type> name) {
#ifdef _WIN32
  return std::wstring(name);
#else
  return FromUtf8(name);
#endif
}

#ifdef _WIN32
using Stamp = std::uint64_t;  // FILETIME: the library's clock stops at MAX_PATH too
#else
using Stamp = fs::file_time_type;
#endif

struct FolderIndex {
  fs::path folder;
  Stamp changed{};
  bool exists = true;
  Clock::time_point checked;
  // The entries' names end to end, as the file system gave them: one string per entry would cost
  // a folder of a million entries several times the bytes of its names.
  Native pool;
  std::vector<std::uint32_t> ends;  // where each name ends in `pool`
  // The names' BareHash values, open-addressed: a look-up for a name that is not there, as most
  // are in a delivery with missing links, touches one slot and no name. Node-based maps cost a
  // cache miss per node here, more than the rest of the look-up.
  struct Slot {
    std::uint64_t hash = 0;  // 0: empty
    std::uint32_t name = 0;
  };
  std::vector<Slot> slots;  // a power of two, at most half full

  static std::uint64_t Key(std::uint64_t hash) { return hash ? hash : 1; }

  std::basic_string_view<fs::path::value_type> Name(std::uint32_t n) const {
    const std::uint32_t begin = n == 0 ? 0 : ends[n - 1];
    return std::basic_string_view<fs::path::value_type>(pool).substr(begin, ends[n] - begin);
  }

  bool Add(std::basic_string_view<fs::path::value_type> name) {
    if (pool.size() + name.size() > UINT32_MAX) return false;
    pool.append(name);
    ends.push_back(static_cast<std::uint32_t>(pool.size()));
    return true;
  }

  void Build() {
    std::size_t size = 16;
    while (size < 2 * ends.size()) size *= 2;
    slots.assign(size, {});
    for (std::uint32_t n = 0; n < ends.size(); ++n) {
      const std::uint64_t key = Key(BareHash(Wide(Name(n))));
      std::size_t i = key & (size - 1);
      while (slots[i].hash) i = (i + 1) & (size - 1);
      slots[i] = {key, n};
    }
  }

  // Calls `f` with each name whose bare form may equal `file`'s.
  template <typename F>
  void ForEachCandidate(std::wstring_view file, F&& f) const {
    if (slots.empty()) return;
    const std::uint64_t key = Key(BareHash(file));
    for (std::size_t i = key & (slots.size() - 1); slots[i].hash; i = (i + 1) & (slots.size() - 1)) {
      if (slots[i].hash == key) f(Name(slots[i].name));
    }
  }
};

// The names of `folder`'s entries; false when it cannot be listed.
bool ListNames(const fs::path& folder, FolderIndex& index) {
#ifdef _WIN32
  // Through the extended-length form: the library's listing stops at MAX_PATH, which a delivery
  // copied into a deep folder passes.
  std::wstring pattern = folder.native();
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' && pattern.back() != L':') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW d;
  const win32::UniqueFind find(::FindFirstFileExW(Win32Path(fs::path(pattern)).c_str(), FindExInfoBasic, &d,
                                                  FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root has not even "."
  do {
    const std::wstring_view name(d.cFileName);
    if (name == L"." || name == L"..") continue;
    if (!index.Add(name)) return false;
  } while (::FindNextFileW(find.get(), &d));
  return ::GetLastError() == ERROR_NO_MORE_FILES;
#else
  // The directory stream itself: the library's iterator builds a path per entry, which costs more
  // than the rest of indexing it.
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return false;
  errno = 0;
  while (const dirent* e = readdir(dir.get())) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (!index.Add(e->d_name)) return false;
  }
  return errno == 0;
#endif
}

// The folder's time of change; false when it is not there or cannot be asked.
bool ChangedAt(const fs::path& folder, Stamp& changed) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Win32Path(folder).c_str(), GetFileExInfoStandard, &data)) return false;
  changed = (static_cast<Stamp>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  return true;
#else
  std::error_code ec;
  changed = fs::last_write_time(folder, ec);
  return !ec;
#endif
}

// Whether a name is there at all, link or not.
bool Present(const fs::path& path) {
#ifdef _WIN32
  return ::GetFileAttributesW(Win32Path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
#endif
}

// One folder under two spellings.
bool SameFolder(const fs::path& a, const fs::path& b) {
#ifdef _WIN32
  const auto open = [](const fs::path& p) {
    return win32::UniqueFile(::CreateFileW(Win32Path(p).c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  };
  const auto ha = open(a), hb = open(b);
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return ha && hb && ::GetFileInformationByHandle(ha.get(), &ia) && ::GetFileInformationByHandle(hb.get(), &ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
#else
  std::error_code ec;
  return fs::equivalent(a, b, ec);
#endif
}

std::list<FolderIndex>& Indexes() {
  static std::list<FolderIndex> indexes;  // the program is single-threaded
  return indexes;
}

const FolderIndex* Keep(FolderIndex index) {
  auto& indexes = Indexes();
  indexes.push_front(std::move(index));
  if (indexes.size() > kIndexedFolders) indexes.pop_back();
  return &indexes.front();
}

const FolderIndex* IndexOf(const fs::path& folder, Clock::time_point now) {
  auto& indexes = Indexes();
  // The same spelling, not the same path: comparing paths component by component costs more than
  // a look-up, and a folder spelt two ways is merely listed twice.
  auto it = std::find_if(indexes.begin(), indexes.end(), [&](const FolderIndex& i) { return i.folder.native() == folder.native(); });
  if (it != indexes.end() && now - it->checked < kFreshFor) {
    indexes.splice(indexes.begin(), indexes, it);
    return &indexes.front();
  }
  Stamp changed{};
  const bool exists = ChangedAt(folder, changed);
  if (it != indexes.end()) {
    if (exists && it->exists && it->changed == changed) {
      it->checked = now;
      indexes.splice(indexes.begin(), indexes, it);
      return &indexes.front();
    }
    indexes.erase(it);
  }
  // A folder that is not there (a document without a Links folder) holds nothing, for now.
  FolderIndex index{folder, changed, exists, now, {}, {}, {}};
  if (!index.exists) return Keep(std::move(index));
  if (!ListNames(folder, index)) return nullptr;
  index.Build();
  return Keep(std::move(index));
}

}  // namespace

void ForgetFolders() { Indexes().clear(); }

void ForgetFolder(const fs::path& folder) {
  // Named perhaps otherwise than the documents' walk named it: the same folder is forgotten.
  Indexes().remove_if([&](const FolderIndex& i) { return i.folder == folder || (i.exists && SameFolder(i.folder, folder)); });
}

FolderMatch FindInFolder(const fs::path& folder, std::wstring_view file, Clock::time_point now) {
  FolderMatch best;
  const FolderIndex* index = IndexOf(folder, now);
  if (!index) {
    // A folder that cannot be listed may still open a name it holds.
    const fs::path direct = folder / PathFromWide(file);
    if (Present(direct)) return {direct, NameMatch::kExact};
    return best;
  }
  // The exact name is among the candidates too, as the folder listed it; a name that merely
  // shares the hash matches nothing. Of the other forms, the closer one wins (composed or not
  // before marks put back, fewer marks before more); two entries equally close leave the choice
  // open, and neither is taken.
  std::size_t bestRestored = 0;
  index->ForEachCandidate(file, [&](std::basic_string_view<fs::path::value_type> name) {
    std::size_t restored;
    const NameMatch how = Match(file, Wide(name), restored);
    if (how == NameMatch::kNone) return;
    if (best.how == NameMatch::kNone || how < best.how || (how == best.how && restored < bestRestored)) {
      best = {folder / fs::path(Native(name)), how, false};
      bestRestored = restored;
    } else if (how == best.how && restored == bestRestored && how != NameMatch::kExact) {
      best.ambiguous = true;
    }
  });
  return best;
}

}  // namespace pelmora::delivery
