// The header scan streams the window through a fixed buffer. Markers, CR and LF are found in the
// bytes ('%', CR and LF are never trail bytes in code page 932); characters are counted only to
// know where the window and the header text end. Only the values and the header text are kept.
#include "analysis/header_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "analysis/ansi_text.h"
#include "analysis/char_count.h"
#include "analysis/read_buffer.h"
#include "analysis/run_error.h"

namespace pelmora::analysis {

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
// A value longer than this is not kept during the pass but read again once its end is known, so
// that a line running on for megabytes cannot inflate memory.
constexpr std::size_t kValueKeep = 64 * 1024;

constexpr std::string_view kPsAdobe = "%!PS-Adobe";
constexpr std::string_view kCreatorVersion = "%%AI8_CreatorVersion:";
constexpr std::string_view kCreator = "%%Creator:";
constexpr std::array<std::string_view, 3> kMarkers = {kPsAdobe, kCreatorVersion, kCreator};
enum { kKind = 0, kVersion = 1, kCreatorValue = 2 };
constexpr std::size_t kTailSize = 20;  // longest marker less one: enough for any straddling match

constexpr unsigned char Fold(unsigned char b) { return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b; }

bool MatchAt(std::string_view text, std::size_t pos, std::string_view marker) {
  if (pos + marker.size() > text.size()) return false;
  for (std::size_t k = 0; k < marker.size(); ++k) {
    if (Fold(static_cast<unsigned char>(text[pos + k])) != Fold(static_cast<unsigned char>(marker[k]))) return false;
  }
  return true;
}

// Hands out the window as segments of whole characters. A lead byte at the end of a read is held
// back until the next byte tells whether it begins a two-byte character. A document the reader
// holds in memory is one segment, scanned in place.
class WindowReader {
 public:
  WindowReader(DocumentReader& reader, std::int64_t chars)
      : reader_(reader), limit_(chars), lent_(reader.Lend()), buffer_(ThreadBuffer()), eof_(lent_.has_value()) {}

  // The next segment, or an empty view once the window (or the document) has ended.
  std::string_view Next() {
    if (done_) return {};
    if (lent_) {
      done_ = true;  // the whole document was at hand: the window ends in it or with it
      return lent_->substr(0, Count(lent_->data(), lent_->size()));
    }
    if (held_) buffer_[0] = buffer_[held_at_];
    std::size_t size = held_;
    for (;;) {
      // A full buffer or the document's end before counting: knowing that nothing follows often
      // spares the count.
      while (!eof_ && size < kBufferSize + 1) {
        const std::size_t got = reader_.Read(buffer_ + size, kBufferSize - size + 1);
        if (got == 0) eof_ = true;
        size += got;
      }
      const std::size_t used = Count(buffer_, size);
      if (chars_ >= limit_ || (eof_ && used == size)) done_ = true;
      held_ = size - used;
      held_at_ = used;
      if (used > 0 || done_) return {buffer_, used};
      // Only a held-back lead byte so far: it is at the front already, read on.
    }
  }

  // True once the segment handed out last is the window's last.
  bool Ended() const { return done_; }

 private:
  // Counts whole characters in data[0, size) up to the window's limit; returns their bytes.
  // A lead byte at the end waits for the next read unless the document has ended.
  std::size_t Count(const char* data, std::size_t size) {
    // The rest of the document has no more characters than bytes: when those fit, all of it is
    // in the window and no count is needed, as nothing follows that would use it.
    if (eof_ && size <= static_cast<std::uint64_t>(limit_ - chars_)) return size;
    const CharStep step = TakeChars(data, size, limit_ - chars_, eof_);
    chars_ += step.chars;
    return step.bytes;
  }

  // One per thread, kept: an aligned block this size is mapped and unmapped at every allocation,
  // and the page faults of a fresh one cost a small document more than its whole scan.
  static char* ThreadBuffer() {
    thread_local const ReadBuffer buffer = MakeReadBuffer(kBufferSize + 1);
    return buffer.get();
  }

  DocumentReader& reader_;
  const std::int64_t limit_;
  std::int64_t chars_ = 0;
  const std::optional<std::string_view> lent_;  // the whole rest of the document, when lent
  char* const buffer_;
  std::size_t held_ = 0;
  std::size_t held_at_ = 0;
  bool eof_;
  bool done_ = false;
};

// A marker's first occurrence and the value after it, up to the first CR or LF.
struct Value {
  bool found = false;
  bool ended = false;
  std::uint64_t start = 0;  // byte offset of the value
  std::uint64_t end = 0;    // byte offset of its line end
  std::string bytes;
  bool spilled = false;  // longer than kValueKeep: read again after the pass
  bool more = false;     // text beyond the kept bytes of a spilled value, which the limit left out
  bool Present() const { return ended && end > start; }
};

struct Findings {
  std::array<Value, 3> values;
  bool eps = false;  // "EPSF" in the rest of the "%!PS-Adobe" line
  std::string header;
};

class Scanner {
 public:
  // Takes the next segment of the window; segments arrive in order and hold whole characters.
  // `last`: the window ends with this segment.
  void Feed(std::string_view seg, bool last) {
    FindMarkers(seg);
    Value& kind = f_.values[kKind];
    for (int id : {kVersion, kCreatorValue}) {
      if (f_.values[id].found && !f_.values[id].ended) TakeValue(f_.values[id], seg, true);
    }
    if (kind.found) {
      if (!header_done_) TakeHeader(seg, last);
      if (!kind.ended) {
        const std::size_t from = Local(kind.start);
        TakeValue(kind, seg, false);
        TestEpsf(seg.substr(0, kind.ended ? kind.end - base_ : seg.size()), from);
        // Without a rest of the line the kind stays open and the header text is not wanted.
        if (kind.ended && !kind.Present()) header_done_ = true;
      }
    }
    base_ += seg.size();
    tail_.append(seg.substr(seg.size() - std::min(seg.size(), kTailSize)));
    if (tail_.size() > kTailSize) tail_.erase(0, tail_.size() - kTailSize);
  }

  // True when no further byte of the window can change a result.
  bool Settled() const {
    for (const Value& v : f_.values) {
      if (!v.ended) return false;
    }
    return header_done_;
  }

  Findings& findings() { return f_; }

 private:
  std::size_t Local(std::uint64_t offset) const {
    return offset > base_ ? static_cast<std::size_t>(offset - base_) : 0;
  }

  void Found(int id, std::uint64_t marker_end) {
    f_.values[id].found = true;
    f_.values[id].start = marker_end;
    ++found_;
  }

  void FindMarkers(std::string_view seg) {
    if (found_ == kMarkers.size()) return;
    // Matches that began in earlier segments and end in this one.
    if (!tail_.empty()) {
      std::string joint = tail_;
      joint.append(seg.substr(0, std::min(seg.size(), kTailSize)));
      for (std::size_t p = 0; p < tail_.size(); ++p) {
        if (joint[p] != '%') continue;
        for (std::size_t id = 0; id < kMarkers.size(); ++id) {
          const std::size_t end = p + kMarkers[id].size();
          if (!f_.values[id].found && end > tail_.size() && MatchAt(joint, p, kMarkers[id])) {
            Found(static_cast<int>(id), base_ - tail_.size() + end);
          }
        }
      }
    }
    for (const char* hit = static_cast<const char*>(std::memchr(seg.data(), '%', seg.size()));
         hit != nullptr && found_ < kMarkers.size();) {
      const std::size_t p = static_cast<std::size_t>(hit - seg.data());
      for (std::size_t id = 0; id < kMarkers.size(); ++id) {
        if (!f_.values[id].found && MatchAt(seg, p, kMarkers[id])) {
          Found(static_cast<int>(id), base_ + p + kMarkers[id].size());
        }
      }
      hit = static_cast<const char*>(std::memchr(hit + 1, '%', seg.size() - p - 1));
    }
  }

  void TakeValue(Value& v, std::string_view seg, bool keep) {
    const std::size_t from = Local(v.start);
    if (from >= seg.size()) return;
    const char* begin = seg.data() + from;
    std::size_t len = seg.size() - from;
    if (const void* cr = std::memchr(begin, '\r', len)) len = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
    if (const void* lf = std::memchr(begin, '\n', len)) len = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
    if (keep && !v.spilled) {
      if (v.bytes.size() + len > kValueKeep) {
        v.spilled = true;
        v.bytes.clear();
        v.bytes.shrink_to_fit();
      } else {
        v.bytes.append(begin, len);
      }
    }
    if (from + len < seg.size()) {
      v.ended = true;
      v.end = base_ + from + len;
    }
  }

  // Looks for "EPSF" as whole single-byte characters in line[from, end).
  void TestEpsf(std::string_view line, std::size_t from) {
    static constexpr std::string_view kEpsf = "epsf";
    for (std::size_t i = from; i < line.size() && !f_.eps;) {
      const std::size_t len = CharLength(line, i);
      const unsigned char c = Fold(static_cast<unsigned char>(line[i]));
      if (len == 1 && c == kEpsf[epsf_matched_]) {
        if (++epsf_matched_ == kEpsf.size()) f_.eps = true;
      } else {
        epsf_matched_ = (len == 1 && c == kEpsf[0]) ? 1 : 0;
      }
      i += len;
    }
  }

  void TakeHeader(std::string_view seg, bool last) {
    const std::size_t from = Local(f_.values[kKind].start);
    if (from >= seg.size()) return;
    const std::size_t rest = seg.size() - from;
    // In the window's last segment, bytes that cannot outnumber the characters still wanted are
    // all taken uncounted; no later segment would need the count.
    if (last && rest <= static_cast<std::size_t>(kHeaderTextChars - header_chars_)) {
      f_.header.append(seg.substr(from));
      return;
    }
    // Segments hold whole characters, so a lead byte at the end is one.
    const CharStep step = TakeChars(seg.data() + from, rest, kHeaderTextChars - header_chars_, true);
    f_.header.append(seg.substr(from, step.bytes));
    header_chars_ += static_cast<std::int32_t>(step.chars);
    if (header_chars_ == kHeaderTextChars) header_done_ = true;
  }

  Findings f_;
  std::size_t found_ = 0;
  std::uint64_t base_ = 0;  // byte offset of the segment being fed
  std::string tail_;        // the window's last bytes before the segment
  std::size_t epsf_matched_ = 0;
  std::int32_t header_chars_ = 0;
  bool header_done_ = false;
};

// Reads again the values too long to keep during the pass; their ends are known by now. Leading
// blanks are skipped as the trim would drop them, and at most `limit` bytes are kept.
void ReadSpilled(const DocumentPath& path, std::array<Value, 3>& values, std::size_t limit) {
  std::uint64_t last = 0;
  for (const Value& v : values) {
    if (v.spilled && v.Present()) last = std::max(last, v.end);
  }
  if (last == 0) return;
  auto reader = OpenDocument(path);
  std::vector<char> buffer(kBufferSize);
  for (std::uint64_t base = 0; base < last;) {
    const std::size_t got = reader->Read(buffer.data(), buffer.size());
    if (got == 0) throw RunError(err::kDeviceIoError);  // the document shrank under us
    for (Value& v : values) {
      if (!v.spilled || !v.Present()) continue;
      const std::uint64_t from = std::max(v.start, base), to = std::min(v.end, base + got);
      if (from >= to) continue;
      std::string_view part(buffer.data() + (from - base), static_cast<std::size_t>(to - from));
      if (v.bytes.empty()) part.remove_prefix(std::min(part.size(), part.find_first_not_of(' ')));
      const std::size_t room = limit - v.bytes.size();
      v.bytes.append(part.substr(0, room));
      if (part.size() > room && part.find_first_not_of(' ', room) != std::string_view::npos) v.more = true;
    }
    base += got;
  }
}

}  // namespace

std::optional<std::string> ScanHeader(const DocumentPath& vstrPath, std::int32_t vlngChars,
                                      std::string& strCreatorVersion, std::string& strFiletype,
                                      std::string& strHeader, std::size_t valueBytes) {
  strCreatorVersion.clear();
  strFiletype.clear();
  if (vlngChars <= 0) return std::nullopt;
  try {
    Scanner scanner;
    {
      auto document = OpenDocument(vstrPath);
      WindowReader window(*document, vlngChars);
      while (!scanner.Settled()) {
        const std::string_view seg = window.Next();
        if (seg.empty()) break;
        scanner.Feed(seg, window.Ended());
      }
    }
    Findings& f = scanner.findings();
    if (!f.values[kKind].found) return std::nullopt;
    ReadSpilled(vstrPath, f.values, valueBytes);
    // A value cut short keeps its trailing blanks: they are not its end.
    const auto finished = [valueBytes](const Value& v) {
      std::string text(v.more ? std::string_view(v.bytes) : TrimBlanks(v.bytes));
      if (text.size() > valueBytes) text.resize(valueBytes);
      return text;
    };

    std::string version;
    if (f.values[kVersion].Present()) version = finished(f.values[kVersion]);
    std::optional<std::string> creator;
    if (f.values[kCreatorValue].Present()) creator.emplace(finished(f.values[kCreatorValue]));

    // Every result is known: hand them over in steps that cannot fail.
    strCreatorVersion = std::move(version);
    if (f.values[kKind].Present()) {
      strFiletype = f.eps ? "EPS" : "AI";
      strHeader = std::move(f.header);
    }
    return creator;
  } catch (const std::exception&) {
    // RunError from opening or reading, bad_alloc, ...: the caller scans on with what it had.
    strCreatorVersion.clear();
    strFiletype.clear();
    return std::nullopt;
  }
}

std::string NullToStr(const std::optional<std::string>& varValue) { return varValue.value_or(std::string()); }

}  // namespace pelmora::analysis
