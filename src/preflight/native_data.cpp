#include "preflight/native_data.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "analysis/ansi_text.h"
#include "analysis/dsc_comments.h"
#include "base/text_utf8.h"

namespace pelmora::preflight {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::string_view kZlibMarker = "%AI12_CompressedData";
constexpr std::string_view kZstdMarker = "%AI24_ZStandard_Data";
constexpr std::string_view kDataStream = "%AI9_DataStream";
// The window zstd may ask for: Illustrator's frames stay far below, and a larger one would break
// the memory bound on its own.
constexpr int kZstdWindowLog = 25;
// Gradients remembered with their spot colours.
constexpr std::size_t kGradients = 1000;
constexpr std::size_t kGradientSpots = 16;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<double> Number(std::string_view word) {
  if (word.size() > 1 && word[0] == '+') word.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc() || end != word.data() + word.size() || !(std::fabs(value) <= 1e9)) return std::nullopt;
  return value;
}

// Up to `n` numbers from the start of `text`, separated by blanks; fewer where a word is no number.
std::vector<double> Numbers(std::string_view text, std::size_t n) {
  std::vector<double> out;
  std::size_t i = 0;
  while (out.size() < n) {
    while (i < text.size() && Blank(text[i])) ++i;
    std::size_t end = i;
    while (end < text.size() && !Blank(text[end]) && text[end] != ']' && text[end] != '[') ++end;
    const auto v = Number(text.substr(i, end - i));
    if (!v) break;
    out.push_back(*v);
    i = end;
  }
  return out;
}

// A PostScript string's body with its escapes resolved; a lone backslash at its end stays.
std::string Unescape(std::string_view body) {
  std::string out;
  for (std::size_t i = 0; i < body.size();) {
    if (body[i] != '\\' || !analysis::PostScriptEscape(body, i, out)) out += body[i++];
  }
  return out;
}

// The first PostScript string of a line, unescaped. Illustrator writes UTF-8 from CS on, where a
// byte of a character is never a parenthesis or backslash; before, code page 932, whose trail
// bytes can be, and which only the comments' reader takes apart (tried at the first few closing
// parentheses: a hostile line of thousands must not cost thousands of tries).
std::optional<std::string> FirstString(std::string_view line) {
  const std::size_t open = line.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const std::string_view rest = line.substr(open);
  const bool utf8 = base::IsAscii(rest) || base::ValidUtf8(rest) == rest;
  if (!utf8) {
    int tries = 0;
    for (std::size_t close = rest.find(')'); close != std::string_view::npos && tries < 8; close = rest.find(')', close + 1), ++tries) {
      if (auto text = analysis::PostScriptString(rest.substr(0, close + 1))) return text;
    }
    return std::nullopt;
  }
  int depth = 0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '\\') {
      ++i;
    } else if (rest[i] == '(') {
      ++depth;
    } else if (rest[i] == ')' && --depth == 0) {
      return Unescape(rest.substr(1, i - 1));
    }
  }
  return std::nullopt;
}

// Names in native data are UTF-8 from CS on and code page 932 before; UTF-8 that decodes is
// taken for UTF-8, as code page 932 text almost never is.
std::string NameText(std::string_view bytes) {
  if (base::IsAscii(bytes)) return std::string(bytes);
  if (base::ValidUtf8(bytes) == bytes) return std::string(bytes);
  return base::Cp932ToUtf8(bytes);
}

// Illustrator's own colours, "[Registration]", "[None]" and their translations, print on every
// plate or none: they are no spot colour.
bool OwnColour(std::string_view name) { return name.size() >= 2 && name.front() == '[' && name.back() == ']'; }

void AddOnce(std::vector<std::string>& list, std::string name, bool& cut, std::size_t most = kNativeNames) {
  if (name.empty() || std::find(list.begin(), list.end(), name) != list.end()) return;
  if (list.size() >= most || name.size() > kNativeNameBytes) {
    cut = true;
    return;
  }
  list.push_back(std::move(name));
}

// The last word of a line: the operator of an art line.
std::string_view LastWord(std::string_view line) {
  line = Trim(line);
  const std::size_t blank = line.find_last_of(" \t");
  return blank == std::string_view::npos ? line : line.substr(blank + 1);
}

// What the native data's lines say, line by line.
class Collector {
 public:
  explicit Collector(NativeFacts& facts) : f_(facts) {}

  // Forgets what was collected: the compressed data says it all again.
  void Reset() {
    const NativeFormat format = f_.format;
    const std::uint64_t decoded = f_.decodedBytes;
    f_ = NativeFacts{};
    f_.format = format;
    f_.decodedBytes = decoded;
    s_ = State{};
    gradients_.clear();
    gradient_ = nullptr;
    place_ = {};
  }

  bool Line(std::string_view line) {
    if (line.empty()) return true;
    if (line[0] == '%') {
      if (line.size() > 2 && line[1] == 'A' && line[2] == 'I') f_.illustrator = true;
      Comment(line);
    } else if (s_.inPlace && line[0] == '[') {
      Placement(line);
    } else if (s_.inPlace && line[0] == '(') {
      if (const auto name = FirstString(line); name && name->size() <= kNativeNameBytes) place_.name = NameText(*name);
    } else if (s_.inHeader) {
      s_.inHeader = false;
      f_.headerRead = true;
    }
    if (s_.inGradient && LastWord(line) == "%_Bs") GradientStop(line);
    if (!InArt()) return true;
    // Most art lines are path operators; only these few set a colour by name.
    const char last = line.back();
    if (last != 'x' && last != 'X' && last != 's' && last != 'S' && last != 'k' && last != 'K' && last != 'g') return true;
    const std::string_view op = LastWord(line);
    if (op == "x" || op == "X" || op == "Xs" || op == "XS" || op == "Xk" || op == "XK" || op == "Xx" || op == "XX") {
      if (const auto name = FirstString(line); name && !OwnColour(*name)) AddOnce(f_.spotColours, NameText(*name), f_.cut);
    } else if (op == "Bg") {
      if (const auto name = FirstString(line)) {
        if (const auto it = gradients_.find(*name); it != gradients_.end()) {
          for (const std::string& s : it->second) AddOnce(f_.spotColours, s, f_.cut);
        }
      }
    }
    return true;
  }

  // False while only comment lines can say anything: before the art, outside a placement, a
  // gradient and the header. Another writer's PostScript is then passed over a '%' at a time.
  bool WantsEveryLine() const { return s_.inHeader || s_.inPlace || s_.inGradient || InArt(); }

  void End(bool complete) {
    if (s_.inHeader && complete) f_.headerRead = true;
    f_.artRead = complete && s_.sawSetupEnd;
  }

 private:
  bool InArt() const { return s_.sawSetupEnd && !s_.inPalette && !s_.nonPrinting; }

  void Comment(std::string_view line) {
    if (line.size() > 1 && line[1] == '%') {
      if (StartsWith(line, "%%+")) {
        if (s_.fontList) Fonts(line.substr(3));
        if (s_.colourList) CustomColours(line.substr(3));
        return;
      }
      s_.fontList = s_.colourList = false;
      if (s_.inHeader && (StartsWith(line, "%%DocumentFonts:") || StartsWith(line, "%%DocumentNeededFonts:"))) {
        s_.fontList = true;
        Fonts(line.substr(line.find(':') + 1));
      } else if (s_.inHeader && StartsWith(line, "%%DocumentCustomColors:")) {
        // Illustrator's own list of the spot colours its output uses, placed EPS files' included;
        // the %%CMYKCustomColor lines beside it define the palette's too.
        s_.colourList = true;
        CustomColours(line.substr(23));
      } else if (s_.inHeader && StartsWith(line, "%%HiResBoundingBox:")) {
        Box(line, f_.boundingBox);
        s_.hiRes = f_.boundingBox.has_value();
      } else if (s_.inHeader && !s_.hiRes && StartsWith(line, "%%BoundingBox:")) {
        Box(line, f_.boundingBox);
      } else if (StartsWith(line, "%%EndComments")) {
        if (s_.inHeader) f_.headerRead = true;
        s_.inHeader = false;
      } else if (StartsWith(line, "%%IncludeResource:")) {
        IncludedFont(line.substr(18));
      } else if (StartsWith(line, "%%EndSetup")) {
        s_.sawSetupEnd = true;
        s_.inPalette = s_.nonPrinting = s_.inGradient = false;
      }
      return;
    }
    s_.fontList = s_.colourList = false;
    if (line.size() > 1 && line[1] == '_') {
      Setting(Trim(line.substr(2)));
      return;
    }
    if (StartsWith(line, "%ImageData:")) {
      if (!f_.imageData) ImageData(line.substr(11));
      return;
    }
    if (!StartsWith(line, "%AI")) return;
    if (s_.inHeader && StartsWith(line, "%AI9_ColorModel:")) {
      const std::string_view v = Trim(line.substr(16));
      if (v == "1" || v == "2") f_.colourModel = v[0] - '0';
    } else if (s_.inHeader && StartsWith(line, "%AI3_Cropmarks:")) {
      Box(line, f_.cropmarks);
    } else if (StartsWith(line, "%AI5_BeginPlace")) {
      s_.inPlace = true;
      place_ = {};
    } else if (StartsWith(line, "%AI5_EndPlace")) {
      // A placement inside the palette or a non-printing definition draws nothing.
      if (s_.inPlace && !s_.inPalette && !s_.nonPrinting) {
        if (f_.placements.size() < kNativePlacements) {
          f_.placements.push_back(std::move(place_));
        } else {
          f_.cut = true;
        }
      }
      s_.inPlace = false;
    } else if (StartsWith(line, "%AI5_BeginPalette")) {
      s_.inPalette = true;
    } else if (StartsWith(line, "%AI5_EndPalette")) {
      s_.inPalette = false;
    } else if (StartsWith(line, "%AI5_Begin_NonPrinting")) {
      s_.nonPrinting = true;
    } else if (StartsWith(line, "%AI5_End_NonPrinting")) {
      s_.nonPrinting = false;
    } else if (StartsWith(line, "%AI5_BeginGradient:")) {
      s_.inGradient = false;
      if (const auto name = FirstString(line); name && gradients_.size() < kGradients) {
        gradient_ = &gradients_[*name];
        gradient_->clear();  // a later definition replaces an earlier one
        s_.inGradient = true;
      }
    } else if (StartsWith(line, "%AI5_EndGradient")) {
      s_.inGradient = false;
    }
  }

  // The document's own dictionaries, one entry a line, each value before its key. An artboard's
  // is the dictionary that has PositionPoint1 and 2 and a key only artboards have.
  void Setting(std::string_view v) {
    const auto endsWith = [&](std::string_view key) { return v.size() >= key.size() && v.substr(v.size() - key.size()) == key; };
    if (endsWith("/RealPointRelToROrigin")) {
      const std::vector<double> xy = Numbers(v, 2);
      s_.point = xy.size() == 2 ? std::optional<std::array<double, 2>>({xy[0], xy[1]}) : std::nullopt;
    } else if (v == "/Dictionary :") {
      s_.board = {};
    } else if (!v.empty() && v[0] == ';') {
      const Board& b = s_.board;
      if (b.artboard && b.p1 && b.p2) {
        if (f_.artboards.size() < kNativeArtboards) {
          f_.artboards.push_back({std::fabs((*b.p2)[0] - (*b.p1)[0]), std::fabs((*b.p2)[1] - (*b.p1)[1])});
        } else {
          f_.cut = true;
        }
      }
      s_.board = {};
    } else if (v == "(PositionPoint1) ,") {
      s_.board.p1 = s_.point;
    } else if (v == "(PositionPoint2) ,") {
      s_.board.p2 = s_.point;
    } else if (endsWith("(ArtboardUUID) ,") || endsWith("(IsArtboardSelected) ,") || endsWith("(IsArtboardDefaultName) ,")) {
      s_.board.artboard = true;
    } else if (endsWith("Value) ,") && v.find("/Real (Bleed") != std::string_view::npos) {
      constexpr std::string_view kSides[] = {"Left", "Right", "Top", "Bottom"};
      const std::vector<double> value = Numbers(v, 1);
      for (std::size_t side = 0; side < 4 && value.size() == 1; ++side) {
        if (!endsWith("(Bleed" + std::string(kSides[side]) + "Value) ,")) continue;
        s_.bleed[side] = value[0];
        s_.bleedSides |= 1u << side;
        if (s_.bleedSides == 0xF) f_.bleed = s_.bleed;
      }
    }
  }

  void Fonts(std::string_view value) { Fonts(value, f_.fonts); }

  void Fonts(std::string_view value, std::vector<std::string>& list) {
    for (std::size_t i = 0; i < value.size();) {
      while (i < value.size() && Blank(value[i])) ++i;
      std::size_t end = i;
      while (end < value.size() && !Blank(value[end])) ++end;
      if (end > i) AddOnce(list, NameText(FontWithoutCMap(value.substr(i, end - i))), f_.cut);
      i = end;
    }
  }

  void CustomColours(std::string_view value) {
    for (std::size_t open = value.find('('); open != std::string_view::npos; open = value.find('(', open + 1)) {
      value = value.substr(open);
      const auto name = FirstString(value);
      if (!name) return;
      if (!OwnColour(*name)) AddOnce(f_.spotColours, NameText(*name), f_.cut);
      open = 0;
      // Past this string: its closing parenthesis is the first one that balances.
      int depth = 0;
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
          ++i;
        } else if (value[i] == '(') {
          ++depth;
        } else if (value[i] == ')' && --depth == 0) {
          open = i;
          break;
        }
      }
    }
  }

  void IncludedFont(std::string_view value) {
    value = Trim(value);
    if (!StartsWith(value, "font ")) return;
    Fonts(value.substr(5), f_.includedFonts);
  }

  // Photoshop's "%ImageData: columns rows depth mode ...": mode 1 is grey (or a bitmap at depth
  // 1), 2 Lab, 3 RGB, 4 CMYK.
  void ImageData(std::string_view value) {
    const std::vector<double> v = Numbers(Trim(value), 4);
    if (v.size() < 4 || v[0] < 1 || v[1] < 1 || v[2] < 1 || v[2] > 16 || v[3] < 1 || v[3] > 4) return;
    NativeFacts::ImageData image;
    image.widthPx = static_cast<long long>(v[0]);
    image.heightPx = static_cast<long long>(v[1]);
    image.bits = static_cast<int>(v[2]);
    static constexpr const char* kModes[] = {"Gray", "Lab", "RGB", "CMYK"};
    image.color = image.bits == 1 && v[3] == 1 ? "Bitmap" : kModes[static_cast<int>(v[3]) - 1];
    f_.imageData = image;
  }

  static void Box(std::string_view line, std::optional<std::array<double, 4>>& box) {
    const std::vector<double> v = Numbers(line.substr(line.find(':') + 1), 4);
    if (v.size() == 4 && v[2] != v[0] && v[3] != v[1]) box = std::array<double, 4>{v[0], v[1], v[2], v[3]};
  }

  // "[a b c d tx ty] x1 y1 x2 y2 ...": the box in the image's own points, then the matrix that
  // places it. A side's drawn length is the box's side times the length of the matrix's column.
  void Placement(std::string_view line) {
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return;
    const std::vector<double> m = Numbers(line.substr(1, close - 1), 6);
    const std::vector<double> box = Numbers(line.substr(close + 1), 4);
    if (m.size() != 6 || box.size() != 4) return;
    const double w = std::fabs(box[2] - box[0]) * std::hypot(m[0], m[1]);
    const double h = std::fabs(box[3] - box[1]) * std::hypot(m[2], m[3]);
    if (std::isfinite(w) && std::isfinite(h) && w > 0 && h > 0) {
      place_.widthPt = w;
      place_.heightPt = h;
    }
  }

  void GradientStop(std::string_view line) {
    if (!gradient_) return;
    if (const auto name = FirstString(line); name && !OwnColour(*name)) {
      bool cut = false;
      AddOnce(*gradient_, NameText(*name), cut, kGradientSpots);
    }
  }

  struct Board {
    std::optional<std::array<double, 2>> p1, p2;
    bool artboard = false;
  };
  struct State {
    bool inHeader = true, hiRes = false, fontList = false, colourList = false;
    bool sawSetupEnd = false, inPalette = false, nonPrinting = false;
    bool inPlace = false, inGradient = false;
    std::optional<std::array<double, 2>> point;  // the last point value, for the key after it
    Board board;
    std::array<double, 4> bleed{};
    unsigned bleedSides = 0;
  };

  NativeFacts& f_;
  State s_;
  NativePlacement place_;
  std::map<std::string, std::vector<std::string>> gradients_;
  std::vector<std::string>* gradient_ = nullptr;
};

// Bytes in, lines out to the sink (whose Line returns false to stop): CR, LF and CR LF end a
// line; a line longer than kNativeLineBytes is cut there and the rest skipped.
template <typename Sink>
class LineSplitter {
 public:
  explicit LineSplitter(Sink& sink) : sink_(sink) {}

  // False once the sink wants no more.
  bool Put(std::string_view bytes) {
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    // The next CR and LF, each searched for again only once passed: two library searches outrun
    // one loop over both, and neither rescans what a line of the other kind already covered.
    const char* cr = nullptr;
    const char* lf = nullptr;
    const auto next = [&](const char*& at, char c) {
      if (!at || at < p) {
        at = static_cast<const char*>(std::memchr(p, c, end - p));
        if (!at) at = end;
      }
      return at;
    };
    while (p < end) {
      if (skipLf_) {
        skipLf_ = false;
        if (*p == '\n') {
          ++p;
          continue;
        }
      }
      if (line_.empty() && !long_ && !sink_.WantsEveryLine()) {
        // To the next line that starts with '%': most of a drawing holds none.
        const char* q = p;
        while (q < end && !(*q == '%' && (q == p ? atLineStart_ : (q[-1] == '\r' || q[-1] == '\n')))) {
          q = static_cast<const char*>(std::memchr(q + 1, '%', end - q - 1));
          if (!q) q = end;
        }
        if (q == end) {
          atLineStart_ = end[-1] == '\r' || end[-1] == '\n';
          skipLf_ = end[-1] == '\r';
          return true;
        }
        p = q;
      }
      atLineStart_ = false;
      const char* eol = std::min(next(cr, '\r'), next(lf, '\n'));
      if (eol == end) {
        Keep(p, eol);
        return true;
      }
      bool more;
      if (line_.empty() && !long_) {
        more = sink_.Line(std::string_view(p, eol - p).substr(0, kNativeLineBytes));
      } else {
        Keep(p, eol);
        more = sink_.Line(line_);
        line_.clear();
      }
      long_ = false;
      skipLf_ = *eol == '\r';
      p = eol + 1;
      atLineStart_ = true;
      if (!more) return false;
    }
    return true;
  }

  void Flush() {
    if (!line_.empty()) sink_.Line(line_);
    line_.clear();
    long_ = false;
  }

  void Reset() {
    line_.clear();
    long_ = skipLf_ = false;
    atLineStart_ = true;
  }

 private:
  void Keep(const char* p, const char* eol) {
    const std::size_t room = kNativeLineBytes - std::min(kNativeLineBytes, line_.size());
    const std::size_t n = std::min<std::size_t>(room, eol - p);
    line_.append(p, n);
    if (static_cast<std::size_t>(eol - p) > n) long_ = true;
  }

  Sink& sink_;
  std::string line_;
  bool long_ = false, skipLf_ = false, atLineStart_ = true;
};

// The concatenated native data: its plain start, then a marker that names the compression. The
// plain bytes are scanned as they come, so that data without a marker is read as it is; once a
// marker comes, what the plain start said is forgotten, as the compressed data says it again.
class NativeStream {
 public:
  explicit NativeStream(NativeFacts& facts) : f_(facts), collect_(facts), lines_(collect_) {}
  ~NativeStream() {
    if (zlibOpen_) inflateEnd(&z_);
    if (zstd_) ZSTD_freeDStream(zstd_);
  }
  NativeStream(const NativeStream&) = delete;
  NativeStream& operator=(const NativeStream&) = delete;

  // False once nothing more is wanted: the data ended, broke or reached a bound.
  bool Put(std::string_view bytes) {
    if (done_) return false;
    if (f_.format == NativeFormat::kNone) f_.format = NativeFormat::kPlain;
    if (f_.format == NativeFormat::kPlain) return Plain(bytes);
    if (f_.format == NativeFormat::kZstd) return Zstd(bytes);
    return Zlib(bytes);
  }

  // Raw zlib data from the start (an EPS data stream).
  void StartZlib() {
    f_.format = NativeFormat::kDataStream;
    OpenZlib();
  }

  bool ended() const { return ended_; }

  void Finish(bool broken) {
    if (f_.format == NativeFormat::kNone) f_.format = NativeFormat::kPlain;  // empty: plain, and whole
    if (done_ && !broken) {
      collect_.End(!f_.damaged);
      return;
    }
    if (broken) f_.damaged = true;
    // Plain data ends with the document; compressed data that stops before its end is cut.
    if (f_.format != NativeFormat::kPlain && !ended_) f_.damaged = true;
    lines_.Flush();
    collect_.End(!f_.damaged);
    done_ = true;
  }

 private:
  bool Plain(std::string_view bytes) {
    // Both markers are 20 bytes long and may straddle two pieces: the seam is searched in a copy.
    static_assert(kZlibMarker.size() == kZstdMarker.size());
    constexpr std::size_t kMarker = kZlibMarker.size();
    std::string seam = carry_;
    seam.append(bytes.substr(0, kMarker - 1));
    std::size_t at = std::string::npos, skip = 0;  // at: from the seam's start; skip: bytes of `bytes` up to the data
    NativeFormat format = NativeFormat::kPlain;
    for (const auto& [marker, kind] : {std::pair{kZlibMarker, NativeFormat::kZlib}, std::pair{kZstdMarker, NativeFormat::kZstd}}) {
      std::size_t found = seam.find(marker), after = 0;
      if (found != std::string::npos && found < carry_.size()) {
        after = found + kMarker - carry_.size();
      } else if (const std::size_t b = bytes.find(marker); b != std::string_view::npos) {
        found = b + carry_.size();
        after = b + kMarker;
      } else {
        continue;
      }
      if (found < at) {
        at = found;
        skip = after;
        format = kind;
      }
    }
    if (format == NativeFormat::kPlain) {
      lines_.Put(bytes);
      const std::string_view tail = std::string_view(seam).substr(seam.size() - std::min(seam.size(), kMarker - 1));
      carry_.assign(bytes.size() >= kMarker - 1 ? bytes.substr(bytes.size() - (kMarker - 1)) : tail);
      return Count(bytes.size());
    }
    carry_.clear();
    collect_.Reset();
    lines_.Reset();
    f_.format = format;
    if (format == NativeFormat::kZlib) {
      OpenZlib();
      return Zlib(bytes.substr(skip));
    }
    zstd_ = ZSTD_createDStream();
    if (!zstd_ || ZSTD_isError(ZSTD_DCtx_setParameter(zstd_, ZSTD_d_windowLogMax, kZstdWindowLog))) return Broke();
    return Zstd(bytes.substr(skip));
  }

  void OpenZlib() {
    z_ = {};
    zlibOpen_ = inflateInit(&z_) == Z_OK;
    if (!zlibOpen_) Broke();
  }

  bool Zlib(std::string_view in) {
    if (!zlibOpen_) return false;
    compressed_ += in.size();
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z_.avail_in = static_cast<uInt>(in.size());
    for (;;) {
      z_.next_out = reinterpret_cast<Bytef*>(out_);
      z_.avail_out = sizeof out_;
      const int rc = inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR) return Broke();
      if (!Emit(sizeof out_ - z_.avail_out)) return false;
      if (rc == Z_STREAM_END) return End();
      // A full buffer may leave more output waiting even when all input is taken.
      if (rc == Z_BUF_ERROR || (z_.avail_in == 0 && z_.avail_out != 0)) return true;
    }
  }

  bool Zstd(std::string_view in) {
    if (!zstd_) return false;
    compressed_ += in.size();
    ZSTD_inBuffer input{in.data(), in.size(), 0};
    for (;;) {
      ZSTD_outBuffer output{out_, sizeof out_, 0};
      const std::size_t rc = ZSTD_decompressStream(zstd_, &output, &input);
      if (ZSTD_isError(rc)) return Broke();
      if (!Emit(output.pos)) return false;
      ended_ = rc == 0;  // a frame ended; another may follow
      if (input.pos == input.size && output.pos < output.size) return true;
    }
  }

  bool Emit(std::size_t n) {
    if (n == 0) return true;
    lines_.Put(std::string_view(out_, n));
    return Count(n);
  }

  bool Count(std::size_t n) {
    f_.decodedBytes += n;
    const bool ratio = f_.format != NativeFormat::kPlain && f_.decodedBytes > kNativeRatio * compressed_ + kNativeRatioSlack;
    if (f_.decodedBytes > kNativeDecodedBytes || ratio) return Broke();
    return true;
  }

  bool End() {
    ended_ = true;
    lines_.Flush();
    done_ = true;
    return false;
  }

  bool Broke() {
    f_.damaged = true;
    lines_.Flush();
    collect_.End(false);
    done_ = true;
    return false;
  }

  NativeFacts& f_;
  Collector collect_;
  LineSplitter<Collector> lines_;
  std::string carry_;
  z_stream z_{};
  bool zlibOpen_ = false;
  ZSTD_DStream* zstd_ = nullptr;
  std::uint64_t compressed_ = 0;
  bool done_ = false, ended_ = false;
  char out_[64 * 1024];
};

// The document read in order, with bytes skipped unread where the reader can lend them.
class DocumentBytes {
 public:
  explicit DocumentBytes(const analysis::DocumentPath& path) : path_(path) { Open(); }

  int Get() {
    if (pos_ == size_ && !Fill()) return -1;
    return static_cast<unsigned char>(data_[pos_++]);
  }
  int Peek() {
    if (pos_ == size_ && !Fill()) return -1;
    return static_cast<unsigned char>(data_[pos_]);
  }
  std::uint64_t Offset() const { return base_ + pos_; }

  // Hands the next `n` bytes to `take` in pieces; false at an early end of the document or when
  // `take` wants no more.
  template <typename Take>
  bool Pass(std::uint64_t n, Take&& take) {
    while (n > 0) {
      if (pos_ == size_ && !Fill()) return false;
      const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - pos_));
      const bool more = take(std::string_view(data_ + pos_, k));
      pos_ += k;
      n -= k;
      if (!more) return false;
    }
    return true;
  }

  bool Skip(std::uint64_t n) {
    return Pass(n, [](std::string_view) { return true; });
  }

  // Moves to `offset`, from the document's start again when it lies behind.
  bool MoveTo(std::uint64_t offset) {
    if (offset < Offset()) {
      if (lent_) {
        pos_ = static_cast<std::size_t>(offset);
        return true;
      }
      Open();
    }
    return Skip(offset - Offset());
  }

  std::uint64_t bytesRead() const { return read_; }

  // The whole document, where the reader holds it in memory.
  std::optional<std::string_view> Whole() const {
    if (!lent_) return std::nullopt;
    return std::string_view(data_, size_);
  }

 private:
  void Open() {
    reader_ = analysis::OpenDocument(path_);
    base_ = pos_ = size_ = 0;
    data_ = nullptr;
    lent_ = false;
    if (const auto lent = reader_->Lend()) {
      lent_ = true;
      data_ = lent->data();
      size_ = lent->size();
    }
  }

  bool Fill() {
    if (lent_) return false;
    if (!buffer_) buffer_ = std::make_unique<char[]>(kChunk);
    base_ += size_;
    pos_ = 0;
    size_ = reader_->Read(buffer_.get(), kChunk);
    read_ += size_;
    data_ = buffer_.get();
    return size_ > 0;
  }

  const analysis::DocumentPath& path_;
  std::unique_ptr<analysis::DocumentReader> reader_;
  std::unique_ptr<char[]> buffer_;
  const char* data_ = nullptr;
  std::size_t size_ = 0, pos_ = 0;
  std::uint64_t base_ = 0, read_ = 0;
  bool lent_ = false;
};

// An optional sign and at most 18 digits, the whole word: nothing larger is an object number or a
// length a document can have.
std::optional<long long> SmallInteger(std::string_view w) {
  const bool negative = !w.empty() && w[0] == '-';
  if (negative) w.remove_prefix(1);
  if (w.empty() || w.size() > 18) return std::nullopt;
  long long v = 0;
  for (const char c : w) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return negative ? -v : v;
}

bool PdfWhite(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == 0; }
bool PdfDelimiter(int c) { return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{' || c == '}' || c == '/' || c == '%'; }

// The /AIPrivateData blocks of a PDF-based document, found in one pass over its objects and fed
// to the native stream in their numeric order. The pass skips every stream's contents by its
// length; blocks that come before their turn are fed in later passes, each of which starts over
// and moves forward only. Illustrator writes them in the order 1, 10, 11, ..., 2, 20, ..., so a
// few passes do.
class PdfPrivateData {
 public:
  PdfPrivateData(const analysis::DocumentPath& path, NativeStream& native) : path_(path), native_(native) {}

  // False where the document has no /AIPrivateData blocks at all.
  bool Run() {
    DocumentBytes src(path_);
    // Most documents of a delivery are held in memory: one without the key anywhere need not be
    // tokenized. The tokenizer reads names undecoded, so an escaped key is missed either way.
    if (const auto whole = src.Whole()) {
      constexpr std::string_view kKey = "/AIPrivateData";
      if (whole->find(kKey) == std::string_view::npos) return false;
    }
    Scan(src);
    if (refs_.empty()) return false;
    // Further passes, bounded: a hostile order would otherwise read the document once per block.
    const std::uint64_t budget = 8 * std::max<std::uint64_t>(src.Offset(), 1) + 1024 * 1024;
    std::uint64_t spent = 0;
    bool broken = false;
    std::optional<DocumentBytes> again;  // opened only for blocks stored before their turn
    while (!stopped_ && Next()) {
      const Block* b = Located(next_);
      if (!b) {
        broken = true;  // a block the dictionary names but the document lacks
        break;
      }
      if (!again) again.emplace(path_);
      const std::uint64_t before = again->bytesRead();
      if (!again->MoveTo(b->offset)) {
        broken = true;
        break;
      }
      if (!Feed(*again, *b)) break;
      spent += again->bytesRead() - before;
      if (spent > budget) {
        broken = true;
        break;
      }
    }
    native_.Finish(broken || truncated_);
    return true;
  }

 private:
  struct Block {
    std::uint64_t offset = 0;
    std::optional<std::uint64_t> length;
    std::optional<long long> lengthRef;
    std::optional<std::uint64_t> scanned;  // up to "endstream", where the length was a reference
  };

  enum class Tok { kNone, kInt, kName, kOther };
  // Names and words are kept to their first bytes: none that matters here is longer.
  struct Token {
    Tok type = Tok::kNone;
    long long value = 0;
    std::size_t length = 0;
    char text[32];
    std::string_view Text() const { return {text, length}; }
  };

  // The next block number still to feed; false when all are fed.
  bool Next() {
    if (refs_.count(next_)) return true;
    // A gap in the numbering: the data after it cannot be joined.
    if (!refs_.empty() && next_ <= refs_.rbegin()->first) truncated_ = true;
    return false;
  }

  const Block* Located(long long number) {
    const auto it = streams_.find(refs_[number]);
    if (it == streams_.end()) return nullptr;
    Block& b = it->second;
    if (!b.length && b.lengthRef) {
      if (const auto v = integers_.find(*b.lengthRef); v != integers_.end() && v->second >= 0) b.length = v->second;
    }
    if (!b.length) b.length = b.scanned;
    return b.length ? &b : nullptr;
  }

  bool Feed(DocumentBytes& src, const Block& b) {
    const std::uint64_t start = src.Offset();
    const bool whole = src.Pass(*b.length, [&](std::string_view piece) { return native_.Put(piece); });
    if (!whole) {
      // Either the native data wants no more, or the document ended inside the block.
      if (src.Offset() - start < *b.length && src.Peek() < 0) truncated_ = true;
      stopped_ = true;
      return false;
    }
    ++next_;
    return true;
  }

  // The three tokens last read, in a ring: back 0 is the latest.
  Token& NewToken(Tok type) {
    head_ = (head_ + 1) % 3;
    Token& t = ring_[head_];
    t.type = type;
    t.value = 0;
    t.length = 0;
    ++sinceObj_;
    return t;
  }
  const Token& Last(int back) const { return ring_[(head_ + 3 - back) % 3]; }

  // The rest of a name or word, after its first byte.
  static void ReadWord(DocumentBytes& src, Token& t) {
    for (int c; (c = src.Peek()) >= 0 && !PdfWhite(c) && !PdfDelimiter(c); src.Get()) {
      if (t.length < sizeof t.text) t.text[t.length++] = static_cast<char>(c);
    }
  }

  void Scan(DocumentBytes& src) {
    for (int c = src.Get(); c >= 0; c = src.Get()) {
      if (PdfWhite(c)) continue;
      if (c == '%') {
        while ((c = src.Peek()) >= 0 && c != '\r' && c != '\n') src.Get();
      } else if (c == '(') {
        SkipString(src);
        NewToken(Tok::kOther);
      } else if (c == '<') {
        if (src.Peek() == '<') {
          src.Get();
          ++depth_;
        } else {
          while ((c = src.Get()) >= 0 && c != '>') {}
          NewToken(Tok::kOther);
        }
      } else if (c == '>') {
        if (src.Peek() == '>') src.Get();
        if (depth_ > 0) --depth_;
      } else if (c == '/') {
        ReadWord(src, NewToken(Tok::kName));
      } else if (c == '[' || c == ']' || c == '{' || c == '}' || c == ')') {
        NewToken(Tok::kOther);
      } else {
        Token word;
        word.text[0] = static_cast<char>(c);
        word.length = 1;
        ReadWord(src, word);
        if (!Word(src, word)) return;
      }
    }
  }

  static void SkipString(DocumentBytes& src) {
    int depth = 1, c;
    while (depth > 0 && (c = src.Get()) >= 0) {
      if (c == '\\') {
        src.Get();
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      }
    }
  }

  // False to end the scan.
  bool Word(DocumentBytes& src, const Token& word) {
    const std::string_view w = word.Text();
    const char first = w[0];
    if ((first >= '0' && first <= '9') || first == '-' || first == '+') {
      // Most words are numbers: an integer is read here, anything else is passed over.
      // By hand: from_chars, called for every number of a drawing, cost a fifth of the scan.
      const auto v = SmallInteger(w.substr(first == '+'));
      if (v && word.length < sizeof word.text) {
        if (Last(0).type == Tok::kName && Last(0).Text() == "Length" && depth_ == 1) {
          length_ = *v >= 0 ? std::optional<std::uint64_t>(*v) : std::nullopt;
        }
        NewToken(Tok::kInt).value = *v;
      } else {
        NewToken(Tok::kOther);
      }
      return true;
    }
    if (first != 'o' && first != 'R' && first != 'e' && first != 's') {
      NewToken(Tok::kOther);
      return true;
    }
    const bool twoInts = Last(1).type == Tok::kInt && Last(0).type == Tok::kInt;
    if (w == "obj" && twoInts) {
      object_ = Last(1).value;
      depth_ = 0;
      length_.reset();
      lengthRef_.reset();
      NewToken(Tok::kOther);
      sinceObj_ = 0;
      return ++objects_ <= kNativeObjects;
    }
    if (w == "R" && twoInts) {
      if (Last(2).type == Tok::kName) {
        const std::string_view key = Last(2).Text();
        if (key == "Length" && depth_ == 1) {
          lengthRef_ = Last(1).value;
          length_.reset();
        } else if (StartsWith(key, "AIPrivateData") && key.size() > 13 && key.size() < 20) {
          long long n = 0;
          const auto [end, ec] = std::from_chars(key.data() + 13, key.data() + key.size(), n);
          if (ec == std::errc() && end == key.data() + key.size() && n >= 1 && refs_.size() < kNativeBlocks) refs_[n] = Last(1).value;
        }
      }
      NewToken(Tok::kOther);
      return true;
    }
    if (w == "endobj") {
      if (object_ && sinceObj_ == 1 && Last(0).type == Tok::kInt && integers_.size() < kNativeStreams) {
        integers_[*object_] = Last(0).value;
      }
      object_.reset();
      NewToken(Tok::kOther);
      return true;
    }
    if (w == "stream" && object_) return Stream(src);
    NewToken(Tok::kOther);
    return true;
  }

  bool Stream(DocumentBytes& src) {
    // "stream" ends its line with CR LF or LF (CR alone from careless writers).
    if (src.Peek() == '\r') {
      src.Get();
      if (src.Peek() == '\n') src.Get();
    } else if (src.Peek() == '\n') {
      src.Get();
    }
    Block b{src.Offset(), length_, lengthRef_};
    const long long number = *object_;
    object_.reset();
    depth_ = 0;
    if (streams_.size() < kNativeStreams) streams_[number] = b;
    // The next block in turn is fed as the pass reaches it.
    if (const auto it = refs_.find(next_); !stopped_ && b.length && it != refs_.end() && it->second == number) return Feed(src, b);
    if (b.length) return src.Skip(*b.length);
    return SkipToEndStream(src, number);
  }

  // A stream of an indirect length: its end is found by its keyword, for when the length's own
  // object is missing. The line end before the keyword belongs to the keyword.
  bool SkipToEndStream(DocumentBytes& src, long long number) {
    constexpr std::string_view kEnd = "endstream";
    const std::uint64_t start = src.Offset();
    std::size_t matched = 0;
    int last[11] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};  // the keyword and the two bytes before it
    for (int c = src.Get(); c >= 0; c = src.Get()) {
      std::copy(last + 1, last + 11, last);
      last[10] = c;
      matched = c == kEnd[matched] ? matched + 1 : (c == kEnd[0] ? 1 : 0);
      if (matched == kEnd.size()) {
        std::uint64_t length = src.Offset() - kEnd.size() - start;
        if (length > 0 && last[1] == '\n') --length;
        if (length > 0 && (last[1] == '\r' || (last[1] == '\n' && last[0] == '\r'))) --length;
        streams_[number].scanned = length;
        return true;
      }
    }
    return false;
  }

  const analysis::DocumentPath& path_;
  NativeStream& native_;
  std::map<long long, long long> refs_;  // block number → object number
  std::unordered_map<long long, Block> streams_;
  std::unordered_map<long long, long long> integers_;
  Token ring_[3];
  int head_ = 0;
  std::optional<long long> object_;
  std::optional<std::uint64_t> length_;
  std::optional<long long> lengthRef_;
  int depth_ = 0, sinceObj_ = 0;
  std::size_t objects_ = 0;
  long long next_ = 1;
  bool stopped_ = false, truncated_ = false;
};

// ASCII85, as the EPS data stream writes it: groups of five characters, "z" for four zero bytes,
// "~>" at the end.
class Ascii85 {
 public:
  // False when the data is no ASCII85; `end` is set at "~>".
  template <typename Out>
  bool Put(std::string_view text, bool& end, Out&& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '~') {
        end = true;
        return Tail(out);
      }
      if (Blank(c) || c == '\r' || c == '\n') continue;
      if (c == 'z' && n_ == 0) {
        bytes_.append(4, '\0');
      } else if (c >= '!' && c <= 'u') {
        group_ = group_ * 85 + static_cast<std::uint32_t>(c - '!');
        if (++n_ == 5) {
          if (group_ > 0xFFFFFFFFull) return false;
          for (int k = 3; k >= 0; --k) bytes_ += static_cast<char>((group_ >> (8 * k)) & 0xFF);
          group_ = 0;
          n_ = 0;
        }
      } else {
        return false;
      }
    }
    if (!bytes_.empty()) {
      const bool more = out(std::string_view(bytes_));
      bytes_.clear();
      return more;
    }
    return true;
  }

 private:
  template <typename Out>
  bool Tail(Out&& out) {
    if (n_ == 1) return false;
    if (n_ > 1) {
      const int have = n_;
      for (int k = n_; k < 5; ++k) group_ = group_ * 85 + 84;
      if (group_ > 0xFFFFFFFFull) return false;
      for (int k = 0; k < have - 1; ++k) bytes_ += static_cast<char>((group_ >> (8 * (3 - k))) & 0xFF);
    }
    n_ = 0;
    group_ = 0;
    const bool more = bytes_.empty() || out(std::string_view(bytes_));
    bytes_.clear();
    return more;
  }

  std::uint64_t group_ = 0;
  int n_ = 0;
  std::string bytes_;
};

// A PostScript document: read as plain native data (Illustrator 8 and earlier write nothing
// else) until a "%AI9_DataStream" line says the native data follows in comment lines.
class PostScriptNative {
 public:
  PostScriptNative(NativeFacts& plain, NativeFacts& stream) : plain_(plain), plainCollect_(plain), data_(stream) {}

  void Run(const analysis::DocumentPath& path) {
    DocumentBytes src(path);
    LineSplitter<PostScriptNative> lines(*this);
    ColourantScan colourants(plain_.bodyColourants, plain_.cut);
    // Passing the whole document ends in "the document ended", which is no reason to drop its
    // last line and last colour spaces; the sink asking for no more is.
    bool stopped = false;
    src.Pass(UINT64_MAX, [&](std::string_view bytes) {
      colourants.Put(bytes);
      stopped = !lines.Put(bytes);
      return !stopped;
    });
    if (!stopped) {
      lines.Flush();
      colourants.Finish();
    }
    plain_.format = NativeFormat::kPlain;
    plainCollect_.End(true);
    if (sawData_) data_.Finish(!dataEnded_);
  }

  bool WantsEveryLine() const { return inData_ || plainCollect_.WantsEveryLine(); }

  // False to stop reading.
  bool Line(std::string_view line) {
    if (!inData_) {
      if (!sawData_ && line.size() >= kDataStream.size() && line[1] == 'A' && StartsWith(line, kDataStream)) {
        inData_ = sawData_ = true;
        data_.StartZlib();
      } else {
        plainCollect_.Line(line);
      }
      return true;
    }
    if (line.empty()) return true;
    // Illustrator ends the last comment line with "~>"; a line of its own is as good.
    const bool closing = StartsWith(Trim(line), "~>");
    if (line[0] != '%' && !closing) {
      inData_ = false;  // the comment lines ended without "~>"
      return false;
    }
    bool end = false;
    if (!a85_.Put(closing ? Trim(line) : line.substr(1), end, [&](std::string_view bytes) { return data_.Put(bytes); })) {
      inData_ = false;
      dataEnded_ = data_.ended();  // the zlib data may end before its ASCII85 does
      return false;
    }
    if (end) {
      inData_ = false;
      dataEnded_ = true;
      return false;
    }
    return true;
  }

 private:
  NativeFacts& plain_;
  Collector plainCollect_;
  NativeStream data_;
  Ascii85 a85_;
  bool inData_ = false, sawData_ = false, dataEnded_ = false;
};

bool IsPdf(const analysis::DocumentPath& path) {
  // "%PDF" at the start, or after a MacBinary header.
  DocumentBytes src(path);
  char head[132] = {};
  std::size_t n = 0;
  for (int c; n < sizeof head && (c = src.Get()) >= 0;) head[n++] = static_cast<char>(c);
  const std::string_view h(head, n);
  return StartsWith(h, "%PDF") || (n >= 132 && h.substr(128, 4) == "%PDF");
}

// The CMaps Illustrator appends to a CID font's name, without their "-H" or "-V".
constexpr std::string_view kCMaps[] = {
    "-83pv-RKSJ", "-90ms-RKSJ", "-90msp-RKSJ", "-90pv-RKSJ", "-78-RKSJ", "-78ms-RKSJ", "-Add-RKSJ", "-Ext-RKSJ",
    "-RKSJ",      "-78-EUC",    "-Add-EUC",    "-EUC",       "-GBpc-EUC", "-GBK-EUC",  "-GBT-EUC",  "-GB-EUC",
    "-B5pc",      "-ETen-B5",   "-HKscs-B5",   "-CNS-EUC",   "-KSCpc-EUC", "-KSCms-UHC", "-KSC-EUC",
    "-UniJIS-UCS2", "-UniJIS-UCS2-HW", "-UniJIS-UTF16", "-UniJIS-UTF8", "-UniJIS-UTF32", "-UniJIS2004-UTF16",
    "-UniJIS2004-UTF8", "-UniJIS2004-UTF32", "-UniJISX0213-UTF32", "-UniJISX02132004-UTF32", "-UniGB-UCS2",
    "-UniGB-UTF16", "-UniGB-UTF8", "-UniGB-UTF32", "-UniCNS-UCS2", "-UniCNS-UTF16", "-UniCNS-UTF8",
    "-UniCNS-UTF32", "-UniKS-UCS2", "-UniKS-UTF16", "-UniKS-UTF8", "-UniKS-UTF32", "-Identity"};

}  // namespace

std::string FontWithoutCMap(std::string_view name) {
  if (name.size() < 3 || name[name.size() - 2] != '-' || (name.back() != 'H' && name.back() != 'V')) return std::string(name);
  const std::string_view stem = name.substr(0, name.size() - 2);
  std::size_t best = 0;
  for (const std::string_view cmap : kCMaps) {
    if (stem.size() > cmap.size() && stem.substr(stem.size() - cmap.size()) == cmap) best = std::max(best, cmap.size());
  }
  return std::string(best ? stem.substr(0, stem.size() - best) : name);
}

namespace {

// Room for a colour space's keyword and its names: a match nearer a piece's end is looked at again
// with the next piece.
constexpr std::size_t kColourSpaceBytes = 1024;
constexpr std::size_t kColourantsPerSpace = 32;

// PostScript's white space and delimiters are PDF's.
bool PsDelimiter(char c) { return PdfWhite(c) || PdfDelimiter(c); }

// A string or name literal at `i`, moving `i` past it; nothing for anything else (a variable, a
// procedure: what a procset's generic code has).
std::optional<std::string> Literal(std::string_view text, std::size_t& i) {
  while (i < text.size() && PdfWhite(text[i])) ++i;
  if (i >= text.size()) return std::nullopt;
  if (text[i] == '/') {
    const std::size_t start = ++i;
    while (i < text.size() && !PsDelimiter(text[i])) ++i;
    if (i == start) return std::nullopt;
    return std::string(text.substr(start, i - start));
  }
  if (text[i] != '(') return std::nullopt;
  int depth = 0;
  for (std::size_t k = i; k < text.size() && k - i < kNativeNameBytes; ++k) {
    if (text[k] == '\\') {
      ++k;
    } else if (text[k] == '(') {
      ++depth;
    } else if (text[k] == ')' && --depth == 0) {
      const std::string body = Unescape(text.substr(i + 1, k - i - 1));
      i = k + 1;
      return body;
    }
  }
  return std::nullopt;
}

bool ProcessOrNone(std::string_view name) {
  return name == "Cyan" || name == "Magenta" || name == "Yellow" || name == "Black" || name == "All" || name == "None";
}

}  // namespace

void ColourantScan::Put(std::string_view bytes) {
  constexpr std::size_t K = kColourSpaceBytes;
  if (bytes.size() < 2 * K) {
    // Small pieces gather until what is searched has its colour space's room behind it.
    tail_.append(bytes);
    if (tail_.size() >= 3 * K) {
      Search(tail_, tail_.size() - K);
      tail_.erase(0, tail_.size() - K);
    }
    return;
  }
  if (!tail_.empty()) {
    const std::size_t kept = tail_.size();
    tail_.append(bytes.substr(0, K));
    Search(tail_, kept);
  }
  Search(bytes, bytes.size() - K);
  tail_.assign(bytes.substr(bytes.size() - K));
}

void ColourantScan::Finish() {
  Search(tail_, tail_.size());
  tail_.clear();
}

void ColourantScan::Search(std::string_view text, std::size_t until) {
  constexpr std::string_view kSeparation = "/Separation", kDeviceN = "/DeviceN";
  const auto add = [&](std::optional<std::string> name) {
    if (name && !name->empty() && !ProcessOrNone(*name)) AddOnce(out_, NameText(*name), cut_);
  };
  const auto keyword = [&](std::size_t at, std::string_view word) {
    const std::size_t end = at + word.size();
    return text.substr(at, word.size()) == word && (end >= text.size() || PsDelimiter(text[end]));
  };
  // Two searches for single bytes, each repeated only once passed: a search for either byte went
  // a byte at a time, and cost more than the rest of the check.
  std::size_t slash = text.find('/'), percent = text.find('%');
  for (std::size_t at = std::min(slash, percent); at != std::string_view::npos && at < until; at = std::min(slash, percent)) {
    if (at == slash) {
      slash = text.find('/', at + 1);
    } else {
      percent = text.find('%', at + 1);
    }
    if (text[at] == '%') {
      // A procset's code sets up colour spaces for whatever it is handed, placeholders and all:
      // only the program's own count.
      const std::string_view line = text.substr(at, 64);
      if (line.starts_with("%%BeginResource:")) {
        const std::size_t type = line.find_first_not_of(' ', 16);
        if (type != std::string_view::npos && line.substr(type, 7) == "procset") inProcset_ = true;
      } else if (line.starts_with("%%BeginProcSet")) {
        inProcset_ = true;
      } else if (line.starts_with("%%EndResource") || line.starts_with("%%EndProcSet")) {
        inProcset_ = false;
      }
      continue;
    }
    if (inProcset_) continue;
    if (keyword(at, kSeparation)) {
      std::size_t i = at + kSeparation.size();
      add(Literal(text, i));
    } else if (keyword(at, kDeviceN)) {
      std::size_t i = at + kDeviceN.size();
      while (i < text.size() && PdfWhite(text[i])) ++i;
      if (i >= text.size() || text[i] != '[') continue;
      ++i;
      for (std::size_t n = 0; n < kColourantsPerSpace; ++n) {
        const auto name = Literal(text, i);
        if (!name) break;
        add(name);
      }
    }
  }
}

NativeFacts ScanNativeText(std::string_view text) {
  NativeFacts facts;
  NativeStream stream(facts);
  for (std::size_t i = 0; i < text.size(); i += kChunk) {
    if (!stream.Put(text.substr(i, kChunk))) break;
  }
  stream.Finish(false);
  return facts;
}

NativeFacts ReadNativeData(const analysis::DocumentPath& document) {
  NativeFacts facts;
  if (IsPdf(document)) {
    NativeStream stream(facts);
    if (!PdfPrivateData(document, stream).Run()) return NativeFacts{};
    return facts;
  }
  NativeFacts plain;
  PostScriptNative(plain, facts).Run(document);
  if (facts.format == NativeFormat::kNone) {
    // Without a data stream, the document is native data only when Illustrator wrote it as such.
    if (plain.illustrator) return plain;
    facts = NativeFacts{};
  }
  // What the PostScript itself says of its fonts and image, whoever wrote it.
  facts.includedFonts = std::move(plain.includedFonts);
  facts.bodyColourants = std::move(plain.bodyColourants);
  facts.imageData = plain.imageData;
  return facts;
}

namespace {

constexpr double kMmPerPoint = 25.4 / 72;

void AddFont(std::vector<Font>& list, std::string name, std::optional<bool> embedded) {
  if (name.empty()) return;
  for (Font& f : list) {
    if (f.name == name) {
      if (!f.embedded) f.embedded = embedded;
      return;
    }
  }
  list.push_back({std::move(name), embedded});
}

// The findings MergeFacts gives from fonts, colour model and spot colours, again after the native
// data changed them; the others keep their places after these three.
void RefreshFindings(CheckFacts& f) {
  std::vector<std::string> out;
  if (!f.fonts.empty()) out.push_back(kFindingFonts);
  if (f.colourModel == "RGB") out.push_back(kFindingRgb);
  if (!f.spotColours.empty()) out.push_back(kFindingSpot);
  for (std::string& w : f.findings) {
    if (w != kFindingFonts && w != kFindingRgb && w != kFindingSpot) out.push_back(std::move(w));
  }
  f.findings = std::move(out);
}

}  // namespace

void AddNativeData(CheckFacts& f, const NativeFacts& n, bool pdfBased) {
  const bool native = n.format != NativeFormat::kNone;
  // One name per font, without the CMap that made it a different name per writing direction.
  std::vector<Font> fonts;
  for (Font& font : f.fonts) AddFont(fonts, FontWithoutCMap(font.name), font.embedded);
  if (native) {
    for (const std::string& name : n.fonts) AddFont(fonts, name, std::nullopt);
  }
  for (const std::string& name : n.includedFonts) AddFont(fonts, name, false);  // the printer must supply it
  f.fonts = std::move(fonts);

  if (native && n.colourModel) f.colourModel = *n.colourModel == 1 ? "RGB" : "CMYK";
  // The art read to its end tells which spot colours print; a palette only offers them.
  if (native && n.artRead) f.spotColours = n.spotColours;
  // Without native data, the colour spaces the program sets up are all there is to go by.
  if (!native) {
    for (const std::string& name : n.bodyColourants) {
      if (std::find(f.spotColours.begin(), f.spotColours.end(), name) == f.spotColours.end()) f.spotColours.push_back(name);
    }
  }
  std::erase_if(f.spotColours, [](const std::string& name) { return OwnColour(name); });
  if (native) f.cut = f.cut || n.cut;

  for (const NativePlacement& p : n.placements) {
    Placed placed;
    if (!p.name.empty()) placed.name = p.name;
    placed.linked = true;
    placed.placedWidthPt = p.widthPt;
    placed.placedHeightPt = p.heightPt;
    placed.source = Source::kNative;
    f.placed.push_back(std::move(placed));
  }

  // A Photoshop EPS is its image: its colour is the document's, its box the size it is drawn at.
  if (n.imageData && !pdfBased) {
    const NativeFacts::ImageData& image = *n.imageData;
    if (!f.colourModel && (image.color == "RGB" || image.color == "CMYK")) f.colourModel = image.color;
    if (!f.colourModel && (image.color == "Gray" || image.color == "Bitmap")) f.colourModel = "Gray";
    Placed placed;
    placed.widthPx = image.widthPx;
    placed.heightPx = image.heightPx;
    placed.color = image.color;
    placed.bits = image.bits;
    placed.source = Source::kComments;
    if (f.widthMm && f.heightMm && *f.widthMm > 0 && *f.heightMm > 0) {
      placed.placedWidthPt = *f.widthMm / kMmPerPoint;
      placed.placedHeightPt = *f.heightMm / kMmPerPoint;
      placed.ppiX = static_cast<double>(image.widthPx) * 72 / *placed.placedWidthPt;
      placed.ppiY = static_cast<double>(image.heightPx) * 72 / *placed.placedHeightPt;
    }
    f.placed.push_back(std::move(placed));
  }

  // The artboard Illustrator keeps as its crop marks; an EPS without them has its bounding box.
  // A PDF layer that reads the pages replaces either.
  if (f.artboards.empty()) {
    // A PDF-based document's own artboards, for when its pages are not the art (saved without PDF
    // content); an EPS has one, its crop marks.
    if (native && pdfBased && !n.artboards.empty()) {
      std::optional<Bleed> bleed;
      if (n.bleed) bleed = Bleed{(*n.bleed)[0] * kMmPerPoint, (*n.bleed)[1] * kMmPerPoint, (*n.bleed)[2] * kMmPerPoint, (*n.bleed)[3] * kMmPerPoint};
      for (const auto& a : n.artboards) f.artboards.push_back({a[0] * kMmPerPoint, a[1] * kMmPerPoint, bleed, Source::kNative});
    } else if (native && n.cropmarks) {
      const auto& c = *n.cropmarks;
      f.artboards.push_back({std::fabs(c[2] - c[0]) * kMmPerPoint, std::fabs(c[3] - c[1]) * kMmPerPoint, std::nullopt, Source::kNative});
    } else if (!pdfBased && f.widthMm && f.heightMm) {
      f.artboards.push_back({*f.widthMm, *f.heightMm, std::nullopt, Source::kComments});
    }
  }
  RefreshFindings(f);
}

}  // namespace pelmora::preflight
