#include "analysis/dsc_comments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <unordered_set>

#include "analysis/ansi_text.h"

namespace pelmora::analysis {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Lines of the document in pieces of at most kDscLineBytes; CR, LF and CR LF end a line.
class LineReader {
 public:
  explicit LineReader(const DocumentPath& path) : reader_(OpenDocument(path)) {}

  // False at the end of the document.
  bool Next(std::string& line, bool& cut) {
    line.clear();
    cut = false;
    bool any = false;
    while (true) {
      if (pos_ == size_ && !Fill()) return any || !line.empty();
      any = true;
      const char* begin = data_ + pos_;
      const char* end = data_ + size_;
      const char* eol = std::find_if(begin, end, [](char c) { return c == '\r' || c == '\n'; });
      const std::size_t room = kDscLineBytes - std::min(kDscLineBytes, line.size());
      const std::size_t take = std::min<std::size_t>(eol - begin, room);
      line.append(begin, take);
      if (static_cast<std::size_t>(eol - begin) > take) cut = true;
      consumed_ += eol - begin;
      pos_ += eol - begin;
      if (eol == end) continue;
      // The line end: CR LF counts as one, even across two reads.
      const char c = data_[pos_++];
      ++consumed_;
      if (c == '\r') {
        if (pos_ == size_) Fill();
        if (pos_ < size_ && data_[pos_] == '\n') {
          ++pos_;
          ++consumed_;
        }
      }
      return true;
    }
  }

  // Consumes the document up to and including the first `marker` (ASCII, starting with a
  // character that occurs in it only once, ignoring letter case), within `limit` bytes. A marker
  // may stand anywhere, also deep inside a binary preview that has no line ends.
  bool SkipPast(std::string_view marker, std::size_t limit) {
    std::size_t matched = 0;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    while (consumed_ < limit) {
      if (pos_ == size_ && !Fill()) return false;
      const char c = lower(data_[pos_++]);
      ++consumed_;
      if (c == lower(marker[matched])) {
        if (++matched == marker.size()) return true;
      } else {
        matched = c == lower(marker[0]) ? 1 : 0;
      }
    }
    return false;
  }

  std::size_t consumed() const { return consumed_; }

 private:
  bool Fill() {
    if (lent_) return false;
    if (const auto lent = reader_->Lend()) {
      lent_ = true;
      data_ = lent->data();
      size_ = lent->size();
      pos_ = 0;
      return size_ > 0;
    }
    if (!buffer_) buffer_ = std::make_unique<char[]>(kChunk);
    size_ = reader_->Read(buffer_.get(), kChunk);
    data_ = buffer_.get();
    pos_ = 0;
    return size_ > 0;
  }

  std::unique_ptr<DocumentReader> reader_;
  std::unique_ptr<char[]> buffer_;
  const char* data_ = nullptr;
  std::size_t size_ = 0, pos_ = 0, consumed_ = 0;
  bool lent_ = false;
};

// `key` is ASCII: a lead byte in the line never equals one of its bytes, so comparing byte by
// byte gives the answer that comparing character by character would, at a fraction of the cost.
bool StartsWith(std::string_view line, std::string_view key) {
  if (line.size() < key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (line[i] == key[i]) continue;
    const char folded = static_cast<char>(line[i] | 0x20);
    if (folded < 'a' || folded > 'z' || folded != (key[i] | 0x20)) return false;
  }
  return true;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Words and PostScript strings of a value.
std::vector<std::string> Tokens(std::string_view value) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < value.size()) {
    if (Blank(value[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    if (value[i] == '(') {
      int depth = 0;
      while (end < value.size()) {
        const unsigned char c = static_cast<unsigned char>(value[end]);
        if (IsLeadByte(c)) {
          end += CharLength(value, end);
          continue;
        }
        if (c == '\\') {
          end += 2;
          continue;
        }
        if (c == '(') ++depth;
        ++end;
        if (c == ')' && --depth == 0) break;
      }
      end = std::min(end, value.size());
      const auto text = PostScriptString(value.substr(i, end - i));
      out.push_back(text ? *text : std::string(value.substr(i, end - i)));
    } else {
      while (end < value.size() && !Blank(value[end])) end += CharLength(value, end);
      end = std::min(end, value.size());
      out.emplace_back(value.substr(i, end - i));
    }
    i = end;
  }
  return out;
}

// Four numbers; a PostScript string or anything else is no box. Read where they stand: a box is
// in every document, and splitting it into strings first cost more than the rest of the header.
std::optional<std::array<double, 4>> Box(std::string_view value) {
  std::array<double, 4> box{};
  std::size_t i = 0;
  for (int k = 0; k < 4; ++k) {
    while (i < value.size() && Blank(value[i])) ++i;
    std::size_t end = i;
    while (end < value.size() && !Blank(value[end])) ++end;
    std::string_view number = value.substr(i, end - i);
    if (number.size() > 1 && number[0] == '+' && number[1] != '-') number.remove_prefix(1);  // PostScript allows it
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), box[k]);
    if (number.empty() || ec != std::errc() || ptr != number.data() + number.size()) return std::nullopt;
    // "nan", "inf" and numbers past any page are no box: they would make no size, nor valid JSON.
    if (!(std::fabs(box[k]) <= kDscLargestCoordinate)) return std::nullopt;
    i = end;
  }
  while (i < value.size() && Blank(value[i])) ++i;
  if (i != value.size()) return std::nullopt;
  return box;
}

enum class Key {
  kNone, kFonts, kNeededFonts, kNeededResources, kProcessColors, kCustomColors, kCmykCustom, kRgbCustom,
  kBoundingBox, kHiResBoundingBox, kFiles, kColorModel, kCount
};

struct KeyName {
  Key key;
  std::string_view text;
};
constexpr KeyName kKeys[] = {
    {Key::kFonts, "%%DocumentFonts:"},          {Key::kNeededFonts, "%%DocumentNeededFonts:"},
    {Key::kNeededResources, "%%DocumentNeededResources:"}, {Key::kProcessColors, "%%DocumentProcessColors:"},
    {Key::kCustomColors, "%%DocumentCustomColors:"}, {Key::kCmykCustom, "%%CMYKCustomColor:"},
    {Key::kRgbCustom, "%%RGBCustomColor:"},      {Key::kHiResBoundingBox, "%%HiResBoundingBox:"},
    {Key::kBoundingBox, "%%BoundingBox:"},       {Key::kFiles, "%%DocumentFiles:"},
    {Key::kColorModel, "%AI9_ColorModel:"},
};

class Collector {
 public:
  explicit Collector(DscFacts& facts) : f_(facts) {}

  // One line of the header or trailer; `trailer` takes only what the header deferred. True when
  // the line gave a value.
  bool Line(std::string_view line, bool trailer) {
    if (StartsWith(line, "%%+")) {
      if (last_ == Key::kNone) return false;
      Value(last_, line.substr(3), true);
      return true;
    }
    last_ = Key::kNone;
    if (!trailer && (StartsWith(line, "%AI") || StartsWith(line, "%%AI"))) f_.illustrator = true;
    for (const KeyName& k : kKeys) {
      if (!StartsWith(line, k.text)) continue;
      const std::string_view value = TrimBlanks(line.substr(k.text.size()));
      const bool atend = EqualsIgnoreCase(value, "(atend)");
      auto& deferred = atend_[static_cast<int>(k.key)];
      if (trailer) {
        if (!deferred || atend) return false;
        // A later trailer (the document's own comes last) replaces what an earlier one said.
        if (!seenInTrailer_[static_cast<int>(k.key)]) Reset(k.key);
        seenInTrailer_[static_cast<int>(k.key)] = true;
      } else if (atend) {
        deferred = true;
        return false;
      } else if (seen_[static_cast<int>(k.key)]) {
        return false;  // the first occurrence counts
      }
      seen_[static_cast<int>(k.key)] = true;
      last_ = k.key;
      Value(k.key, value, false);
      return true;
    }
    return false;
  }

  void NewTrailer() { seenInTrailer_ = {}; last_ = Key::kNone; }
  bool AnyDeferred() const { return std::find(atend_.begin(), atend_.end(), true) != atend_.end(); }

 private:
  void Reset(Key key) {
    switch (key) {
      case Key::kFonts: case Key::kNeededFonts: case Key::kNeededResources: break;  // lists add up
      case Key::kBoundingBox: f_.boundingBox.reset(); break;
      case Key::kHiResBoundingBox: f_.hiResBoundingBox.reset(); break;
      default: break;
    }
  }

  // The names a list has taken: a trailer of millions of "%%+" lines costs one look-up each.
  std::unordered_set<std::string>& SeenFor(const std::vector<std::string>& list) {
    if (&list == &f_.fonts) return seen_names_[0];
    if (&list == &f_.processColours) return seen_names_[1];
    if (&list == &f_.spotColours) return seen_names_[2];
    return seen_names_[3];
  }

  void Add(std::vector<std::string>& list, std::string name) {
    if (name.empty()) return;
    auto& seen = SeenFor(list);
    if (seen.count(name)) return;
    if (list.size() >= kDscNames) {
      f_.cut = true;
      return;
    }
    seen.insert(name);
    list.push_back(std::move(name));
  }

  // A list that is full and already marked cut can take nothing more: its lines need no reading.
  bool Closed(Key key) const {
    const std::vector<std::string>* list = nullptr;
    switch (key) {
      case Key::kFonts: case Key::kNeededFonts: case Key::kNeededResources: list = &f_.fonts; break;
      case Key::kProcessColors: list = &f_.processColours; break;
      case Key::kCustomColors: case Key::kCmykCustom: case Key::kRgbCustom: list = &f_.spotColours; break;
      case Key::kFiles: list = &f_.files; break;
      default: return false;
    }
    return f_.cut && list->size() >= kDscNames;
  }

  void Value(Key key, std::string_view value, bool continuation) {
    if (Closed(key)) return;
    value = TrimBlanks(value);
    switch (key) {
      case Key::kFonts:
        for (std::string& t : Tokens(value)) Add(f_.fonts, std::move(t));
        break;
      case Key::kNeededFonts:
        for (std::string& t : Tokens(value)) {
          Add(f_.neededFonts, t);
          Add(f_.fonts, std::move(t));
        }
        break;
      case Key::kNeededResources: {
        // "font A B", "procset P 1.0 0", ...: each line names its resources' type first.
        std::vector<std::string> t = Tokens(value);
        if (!t.empty() && EqualsIgnoreCase(t[0], "font")) {
          for (std::size_t i = 1; i < t.size(); ++i) {
            Add(f_.neededFonts, t[i]);
            Add(f_.fonts, std::move(t[i]));
          }
        }
        break;
      }
      case Key::kProcessColors:
        for (std::string& t : Tokens(value)) Add(f_.processColours, std::move(t));
        break;
      case Key::kCustomColors:
        for (std::string& t : Tokens(value)) Add(f_.spotColours, std::move(t));
        break;
      case Key::kCmykCustom:
      case Key::kRgbCustom: {
        // Tints first, then the name: "0 1 0.8 0 (PANTONE 186 C)".
        const std::size_t tints = key == Key::kCmykCustom ? 4 : 3;
        std::vector<std::string> t = Tokens(value);
        if (t.size() > tints) Add(f_.spotColours, std::move(t[tints]));
        break;
      }
      case Key::kBoundingBox:
        if (!continuation) f_.boundingBox = Box(value);
        break;
      case Key::kHiResBoundingBox:
        if (!continuation) f_.hiResBoundingBox = Box(value);
        break;
      case Key::kFiles:
        Add(f_.files, std::string(value));
        break;
      case Key::kColorModel:
        if (value == "1" || value == "2") f_.colourModel = value[0] - '0';
        break;
      default: break;
    }
  }

  DscFacts& f_;
  Key last_ = Key::kNone;
  std::array<bool, static_cast<int>(Key::kCount)> seen_{}, atend_{}, seenInTrailer_{};
  std::array<std::unordered_set<std::string>, 4> seen_names_;
};

}  // namespace

bool PostScriptEscape(std::string_view value, std::size_t& i, std::string& out) {
  if (i + 1 >= value.size()) return false;
  const char e = value[i + 1];
  i += 2;
  switch (e) {
    case 'n': out += '\n'; break;
    case 'r': out += '\r'; break;
    case 't': out += '\t'; break;
    case 'b': out += '\b'; break;
    case 'f': out += '\f'; break;
    case '\r':
      if (i < value.size() && value[i] == '\n') ++i;
      break;
    case '\n': break;
    default:
      if (e >= '0' && e <= '7') {
        int code = e - '0';
        for (int k = 0; k < 2 && i < value.size() && value[i] >= '0' && value[i] <= '7'; ++k) code = code * 8 + (value[i++] - '0');
        out += static_cast<char>(code & 0xFF);
      } else {
        out += e;  // \\ \( \) and, as PostScript says, any other character stands for itself
      }
  }
  return true;
}

std::optional<std::string> PostScriptString(std::string_view value) {
  if (value.size() < 2 || value.front() != '(' || value.back() != ')') return std::nullopt;
  std::string out;
  int depth = 1;
  std::size_t i = 1;
  while (i < value.size()) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    if (IsLeadByte(c)) {
      const std::size_t n = CharLength(value, i);
      out.append(value.substr(i, n));
      i += n;
      continue;
    }
    if (c == '\\') {
      if (!PostScriptEscape(value, i, out)) return std::nullopt;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return i + 1 == value.size() ? std::optional<std::string>(out) : std::nullopt;
    out += static_cast<char>(c);
    ++i;
  }
  return std::nullopt;
}

DscFacts ReadDscComments(const DocumentPath& path) {
  DscFacts facts;
  Collector collect(facts);
  LineReader lines(path);
  std::string line;
  bool cut = false;
  // The header: from the line holding "%!PS-Adobe" (wherever it stands in it) to %%EndComments
  // or the first line that is no comment.
  facts.header = lines.SkipPast("%!PS-Adobe", kDscSearchBytes);
  if (!facts.header) return facts;
  lines.Next(line, cut);  // the rest of the marker's own line: the version, EPSF or not
  // What is kept of each line counts towards the header's bound, not what is skipped: a long
  // title is passed over at reading speed, and the comments after it still count.
  std::size_t kept = 0;
  while (kept < kDscHeaderBytes && lines.Next(line, cut)) {
    kept += line.size() + 1;
    if (line.empty()) continue;
    if (StartsWith(line, "%%EndComments") || line[0] != '%') break;
    if (collect.Line(line, false)) facts.cut = facts.cut || cut;
  }
  if (!collect.AnyDeferred()) return facts;
  bool inTrailer = false;
  while (lines.Next(line, cut)) {
    if (StartsWith(line, "%%Trailer")) {
      inTrailer = true;
      collect.NewTrailer();
    } else if (inTrailer && collect.Line(line, true)) {
      facts.cut = facts.cut || cut;
    }
  }
  return facts;
}

}  // namespace pelmora::analysis
