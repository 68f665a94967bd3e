#include "preflight/pdf_layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <memory>
#include <set>
#include <stdexcept>

#include <qpdf/BufferInputSource.hh>
#include <qpdf/InputSource.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "analysis/run_error.h"
#include "base/text_utf8.h"
#include "preflight/pdf_content.h"

namespace pelmora::preflight {

namespace {

constexpr std::uint64_t kMacBinaryHeader = 128;
constexpr std::size_t kSourceBuffer = 16 * 1024;
constexpr std::size_t kTextChars = 256;  // of a name or output intent kept
constexpr double kMmPerPoint = 25.4 / 72;

// qpdf reads the document through the program's own reader, so that the same opener (and its
// failures, and the small-document cache) serve it as every other read. Reads go through a window
// of kSourceBuffer bytes: qpdf asks for a few bytes at a time while it parses objects.
class DocumentSource final : public InputSource {
 public:
  DocumentSource(std::unique_ptr<analysis::DocumentReader> reader, std::uint64_t base, std::uint64_t length)
      : reader_(std::move(reader)), base_(base), length_(length), buffer_(kSourceBuffer) {}

  qpdf_offset_t findAndSkipNextEOL() override {
    for (;;) {
      char ch;
      if (!Get(ch)) return Offset(pos_);
      if (ch == '\r' || ch == '\n') {
        const std::uint64_t eol = pos_ - 1;
        while (Get(ch)) {
          if (ch != '\r' && ch != '\n') {
            --pos_;
            break;
          }
        }
        return Offset(eol);
      }
    }
  }
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return Offset(pos_); }
  void seek(qpdf_offset_t offset, int whence) override {
    qpdf_offset_t from = 0;
    if (whence == SEEK_CUR) from = Offset(pos_);
    if (whence == SEEK_END) from = Offset(length_);
    if ((offset < 0 && -offset > from) || (offset > 0 && offset > std::numeric_limits<qpdf_offset_t>::max() - from)) {
      throw std::runtime_error("seek outside the document");
    }
    pos_ = static_cast<std::uint64_t>(from + offset);
  }
  void rewind() override { pos_ = 0; }
  size_t read(char* out, size_t length) override {
    last_offset = Offset(pos_);
    std::size_t done = 0;
    while (done < length && pos_ < length_) {
      if (pos_ >= start_ && pos_ < start_ + filled_) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length - done, start_ + filled_ - pos_));
        std::copy_n(buffer_.data() + (pos_ - start_), n, out + done);
        done += n;
        pos_ += n;
      } else if (!Fill()) {
        break;
      }
    }
    return done;
  }
  void unreadCh(char) override {
    if (pos_ > 0) --pos_;
  }

 private:
  static qpdf_offset_t Offset(std::uint64_t at) { return static_cast<qpdf_offset_t>(at); }

  bool Get(char& ch) {
    if (pos_ >= length_) return false;
    if (!(pos_ >= start_ && pos_ < start_ + filled_) && !Fill()) return false;
    ch = buffer_[pos_ - start_];
    ++pos_;
    return true;
  }

  bool Fill() {
    if (!reader_->Seek(base_ + pos_)) throw std::runtime_error("the document cannot be read at random");
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), length_ - pos_));
    std::size_t got = 0;
    while (got < want) {
      const std::size_t n = reader_->Read(buffer_.data() + got, want - got);
      if (n == 0) break;
      got += n;
    }
    start_ = pos_;
    filled_ = got;
    if (got < want) length_ = pos_ + got;  // shorter than it said: the end is where reading stops
    return got > 0;
  }

  std::unique_ptr<analysis::DocumentReader> reader_;
  std::uint64_t base_, length_;
  std::vector<char> buffer_;
  std::uint64_t start_ = 0;
  std::size_t filled_ = 0;
  std::uint64_t pos_ = 0;
  std::string name_ = "PDF layer";
};

// Thrown from inside qpdf's stream pipeline to stop it: qpdf catches it, ends the stream as
// failed, and returns.
struct StopStream : std::runtime_error {
  StopStream() : std::runtime_error("bound reached") {}
};

class ContentPipe final : public Pipeline {
 public:
  ContentPipe(ContentInterpreter& interpreter, std::uint64_t& bytes)
      : Pipeline("content", nullptr), interpreter_(interpreter), bytes_(bytes) {}
  void write(unsigned char const* data, size_t len) override {
    bytes_ += len;
    if (bytes_ > kPdfContentBytes || interpreter_.Stopped()) throw StopStream();
    interpreter_.Feed(std::string_view(reinterpret_cast<const char*>(data), len));
  }
  void finish() override {}

 private:
  ContentInterpreter& interpreter_;
  std::uint64_t& bytes_;
};

std::string NameText(const std::string& name) {
  std::string_view v = name;
  if (!v.empty() && v.front() == '/') v.remove_prefix(1);
  v = v.substr(0, kTextChars);
  // Japanese font names are written in Shift-JIS by older writers.
  const std::string valid = base::ValidUtf8(v);
  return valid == v ? valid : base::Cp932ToUtf8(v);
}

bool IsName(QPDFObjectHandle o, const char* name) { return o.isName() && o.getName() == name; }

std::optional<double> Number(QPDFObjectHandle o) {
  double v;
  if (!o.isInitialized() || !o.getValueAsNumber(v) || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<long long> Count(QPDFObjectHandle o) {
  const auto v = Number(o);
  if (!v || *v <= 0 || *v > 1e12) return std::nullopt;
  return static_cast<long long>(*v);
}

struct Box {
  double llx, lly, urx, ury;
};

std::optional<Box> ReadBox(QPDFObjectHandle o) {
  if (!o.isArray() || o.getArrayNItems() != 4) return std::nullopt;
  double v[4];
  for (int i = 0; i < 4; ++i) {
    const auto n = Number(o.getArrayItem(i));
    if (!n) return std::nullopt;
    v[i] = *n;
  }
  return Box{std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]), std::max(v[1], v[3])};
}

Box Within(Box b, const Box& media) {
  b.llx = std::clamp(b.llx, media.llx, media.urx);
  b.urx = std::clamp(b.urx, media.llx, media.urx);
  b.lly = std::clamp(b.lly, media.lly, media.ury);
  b.ury = std::clamp(b.ury, media.lly, media.ury);
  return b;
}

struct Colour {
  std::optional<std::string> color, base;
};

// A colour space as the check names it: ICC profiles by their component count, Indexed with its
// palette's space, spot-colour spaces as multichannel.
Colour Describe(QPDFObjectHandle cs, int depth = 0) {
  if (depth > 3) return {};
  if (cs.isName()) {
    const std::string n = cs.getName();
    if (n == "/DeviceRGB" || n == "/RGB" || n == "/CalRGB") return {"RGB", {}};
    if (n == "/DeviceCMYK" || n == "/CMYK") return {"CMYK", {}};
    if (n == "/DeviceGray" || n == "/G" || n == "/CalGray") return {"Gray", {}};
    if (n == "/Lab") return {"Lab", {}};
    return {};
  }
  if (!cs.isArray() || cs.getArrayNItems() < 1) return {};
  QPDFObjectHandle family = cs.getArrayItem(0);
  if (!family.isName()) return {};
  const std::string f = family.getName();
  if (f == "/ICCBased" && cs.getArrayNItems() >= 2 && cs.getArrayItem(1).isStream()) {
    QPDFObjectHandle dict = cs.getArrayItem(1).getDict();
    QPDFObjectHandle alternate = dict.getKey("/Alternate");
    if (IsName(alternate, "/Lab")) return {"Lab", {}};
    const auto n = Number(dict.getKey("/N"));
    if (n == 1.0) return {"Gray", {}};
    if (n == 3.0) return {"RGB", {}};
    if (n == 4.0) return {"CMYK", {}};
    return Describe(alternate, depth + 1);
  }
  if ((f == "/Indexed" || f == "/I") && cs.getArrayNItems() >= 2) {
    return {"Indexed", Describe(cs.getArrayItem(1), depth + 1).color};
  }
  if (f == "/Separation" || f == "/DeviceN") return {"Multichannel", {}};
  if (f == "/Lab") return {"Lab", {}};
  if (f == "/CalRGB") return {"RGB", {}};
  if (f == "/CalGray") return {"Gray", {}};
  if (cs.getArrayNItems() == 1) return Describe(family, depth + 1);
  return {};
}

bool IsSubset(std::string_view name) {
  return name.size() > 7 && name[6] == '+' &&
         std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool HasFontFile(QPDFObjectHandle font) {
  QPDFObjectHandle d = font.getKey("/FontDescriptor");
  return d.isDictionary() && (d.hasKey("/FontFile") || d.hasKey("/FontFile2") || d.hasKey("/FontFile3"));
}

class LayerReader {
 public:
  LayerReader(QPDF& pdf, InputSource& source, PdfLayerFacts& out) : pdf_(pdf), source_(source), out_(out) {}

  void Run() {
    QPDFObjectHandle root = pdf_.getRoot();
    ReadOutputIntent(root);
    std::vector<Page> pages;
    CollectPages(root.getKey("/Pages"), pages);
    for (std::size_t i = 0; i < pages.size(); ++i) {
      ReadPage(pages[i], static_cast<int>(i + 1));
      Drain();
    }
    // Illustrator's placeholder: one page that shows only its own words on saving with PDF
    // content, in a document that carries Illustrator's data. Real art paints, or places images.
    if (out_.nativeData && pages.size() == 1 && out_.images.empty() && firstPage_.painted == 0 &&
        firstPage_.textShown > 0 && firstPage_.text.find("Illustrator") != std::string::npos &&
        firstPage_.text.find("PDF") != std::string::npos) {
      out_.state = PdfLayer::kPlaceholder;
    }
  }

  void Drain() {
    out_.warnings += pdf_.getWarnings().size();
    if (out_.warnings > kPdfWarnings) throw std::runtime_error("too many warnings");
  }

 private:
  struct Page {
    QPDFObjectHandle dict;
    QPDFObjectHandle mediaBox, cropBox, rotate, resources;  // inherited ones where the page has none
  };

  // The page tree by hand rather than qpdf's own walk: its depth and breadth stay bounded, and a
  // tree that loops is read once.
  void CollectPages(QPDFObjectHandle node, std::vector<Page>& pages) {
    struct Item {
      QPDFObjectHandle node;
      Page inherited;
      std::size_t depth;
    };
    std::set<QPDFObjGen> seen;
    std::vector<Item> stack{{node, {}, 0}};
    while (!stack.empty()) {
      Item item = std::move(stack.back());
      stack.pop_back();
      QPDFObjectHandle n = item.node;
      if (!n.isDictionary()) continue;
      if (n.isIndirect() && !seen.insert(n.getObjGen()).second) continue;
      Page here = item.inherited;
      for (auto [key, slot] : {std::pair{"/MediaBox", &here.mediaBox}, std::pair{"/CropBox", &here.cropBox},
                               std::pair{"/Rotate", &here.rotate}, std::pair{"/Resources", &here.resources}}) {
        if (n.hasKey(key)) *slot = n.getKey(key);
      }
      QPDFObjectHandle kids = n.getKey("/Kids");
      if (!kids.isArray()) {
        if (pages.size() >= kPdfPages) {
          out_.cut = true;
          return;
        }
        here.dict = n;
        pages.push_back(here);
        continue;
      }
      if (item.depth >= kPdfPageTreeDepth) {
        out_.cut = true;
        continue;
      }
      const int count = kids.getArrayNItems();
      // Last first, so that the stack gives the pages in their order.
      for (int i = count - 1; i >= 0; --i) {
        if (stack.size() >= kPdfPages) {
          out_.cut = true;
          break;
        }
        stack.push_back({kids.getArrayItem(i), here, item.depth + 1});
      }
    }
  }

  void ReadOutputIntent(QPDFObjectHandle root) {
    QPDFObjectHandle intents = root.getKey("/OutputIntents");
    if (!intents.isArray()) return;
    for (int i = 0; i < std::min(intents.getArrayNItems(), 16); ++i) {
      QPDFObjectHandle intent = intents.getArrayItem(i);
      if (!intent.isDictionary()) continue;
      // A condition outside the registry is "Custom", and /Info names it.
      for (const char* key : {"/OutputConditionIdentifier", "/Info", "/OutputCondition"}) {
        QPDFObjectHandle v = intent.getKey(key);
        if (!v.isString()) continue;
        std::string text = base::ValidUtf8(v.getUTF8Value().substr(0, kTextChars));
        if (text.empty() || text == "Custom") continue;
        out_.outputIntent = std::move(text);
        return;
      }
    }
  }

  void ReadPage(const Page& page, int number) {
    QPDFObjectHandle dict = page.dict;
    if (number == 1) out_.nativeData = HasNativeData(dict) || HasNativeData(pdf_.getRoot());
    double unit = 1;
    if (const auto u = Number(dict.getKey("/UserUnit")); u && *u > 0 && *u < 1e4) unit = *u;
    if (const auto media = ReadBox(page.mediaBox)) {
      const Box crop = Within(ReadBox(page.cropBox).value_or(*media), *media);
      const Box trim = Within(ReadBox(dict.getKey("/TrimBox")).value_or(crop), *media);
      const Box bleed = Within(ReadBox(dict.getKey("/BleedBox")).value_or(*media), *media);
      int rotate = 0;
      if (const auto r = Number(page.rotate); r && std::fmod(*r, 90) == 0 && std::abs(*r) < 1e6) {
        rotate = ((static_cast<int>(*r) % 360) + 360) % 360;
      }
      // Sides in the page's own space, then turned as the page is shown (clockwise).
      const double left = std::max(0.0, trim.llx - bleed.llx) * unit, right = std::max(0.0, bleed.urx - trim.urx) * unit;
      const double bottom = std::max(0.0, trim.lly - bleed.lly) * unit, top = std::max(0.0, bleed.ury - trim.ury) * unit;
      PdfPage p;
      p.rotate = rotate;
      p.widthPt = (trim.urx - trim.llx) * unit;
      p.heightPt = (trim.ury - trim.lly) * unit;
      switch (rotate) {
        case 90: p.bleedPt = {bottom, top, left, right}; break;
        case 180: p.bleedPt = {right, left, bottom, top}; break;
        case 270: p.bleedPt = {top, bottom, right, left}; break;
        default: p.bleedPt = {left, right, top, bottom}; break;
      }
      if (rotate == 90 || rotate == 270) std::swap(p.widthPt, p.heightPt);
      out_.pages.push_back(p);
    }

    Matrix start;
    start.a = start.d = unit;
    std::deque<Work> work;
    work.push_back({dict.getKey("/Contents"), page.resources, start, 0});
    while (!work.empty()) {
      Work w = std::move(work.front());
      work.pop_front();
      Interpret(w, number, work);
    }
  }

  struct Work {
    QPDFObjectHandle contents;  // a stream, or an array of them (a page's)
    QPDFObjectHandle resources;
    Matrix ctm;
    int depth;
  };

  class KeepPlace {
   public:
    explicit KeepPlace(InputSource& source) : source_(source), at_(source.tell()) {}
    ~KeepPlace() { source_.seek(at_, SEEK_SET); }
    KeepPlace(const KeepPlace&) = delete;
    KeepPlace& operator=(const KeepPlace&) = delete;

   private:
    InputSource& source_;
    qpdf_offset_t at_;
  };

  class Sink final : public ContentSink {
   public:
    Sink(LayerReader& reader, Work& work, int page, std::deque<Work>& more)
        : reader_(reader), work_(work), page_(page), more_(more) {}
    // qpdf inflates a stream 10 KiB at a time from wherever its input stands; looking up an
    // object in between moves it, and the rest of the stream would be read from elsewhere.
    void Draw(std::string_view name, const Matrix& ctm) override {
      const KeepPlace keep(reader_.source_);
      reader_.Draw(work_, page_, name, ctm, more_);
    }
    void DrawInline(const InlineImage& image, const Matrix& ctm) override {
      const KeepPlace keep(reader_.source_);
      reader_.DrawInline(work_, page_, image, ctm);
    }

   private:
    LayerReader& reader_;
    Work& work_;
    int page_;
    std::deque<Work>& more_;
  };

  void Interpret(Work& w, int page, std::deque<Work>& more) {
    ReadFonts(w.resources);
    std::vector<QPDFObjectHandle> streams;
    if (w.contents.isStream()) {
      streams.push_back(w.contents);
    } else if (w.contents.isArray()) {
      const int n = std::min(w.contents.getArrayNItems(), 10'000);
      for (int i = 0; i < n; ++i) {
        if (w.contents.getArrayItem(i).isStream()) streams.push_back(w.contents.getArrayItem(i));
      }
    }
    Sink sink(*this, w, page, more);
    ContentInterpreter interpreter(sink, w.ctm, budget_);
    ContentPipe pipe(interpreter, contentBytes_);
    for (QPDFObjectHandle& s : streams) {
      bool filterable = false;
      s.pipeStreamData(nullptr, &filterable, 0, qpdf_dl_generalized, true);
      // A filter qpdf cannot undo would hand over the raw bytes: no drawing instructions there.
      if (!filterable && s.getDict().hasKey("/Filter")) {
        out_.cut = true;
        continue;
      }
      if (!s.pipeStreamData(&pipe, nullptr, 0, qpdf_dl_generalized, true)) out_.cut = true;
      // Streams of one page join at token boundaries.
      if (!interpreter.Stopped()) interpreter.Feed("\n");
    }
    interpreter.Finish();
    const ContentSummary& s = interpreter.summary();
    if (s.cut) out_.cut = true;
    if (page == 1) {
      firstPage_.painted += s.painted;
      firstPage_.textShown += s.textShown;
      if (firstPage_.text.size() < ContentSummary::kTextKept) firstPage_.text += s.text;
    }
  }

  void Draw(Work& w, int page, std::string_view name, const Matrix& ctm, std::deque<Work>& more) {
    QPDFObjectHandle xobjects = w.resources.isDictionary() ? w.resources.getKey("/XObject") : QPDFObjectHandle();
    if (!xobjects.isInitialized() || !xobjects.isDictionary()) return;
    QPDFObjectHandle x = xobjects.getKey("/" + std::string(name));
    if (!x.isStream()) return;
    QPDFObjectHandle dict = x.getDict();
    QPDFObjectHandle subtype = dict.getKey("/Subtype");
    if (IsName(subtype, "/Image")) {
      PdfImage image;
      image.widthPx = Count(dict.getKey("/Width"));
      image.heightPx = Count(dict.getKey("/Height"));
      bool mask = false;
      dict.getKey("/ImageMask").getValueAsBool(mask);
      if (const auto bits = Number(dict.getKey("/BitsPerComponent")); bits && *bits > 0 && *bits <= 32) {
        image.bits = static_cast<int>(*bits);
      }
      if (mask) {
        image.color = "Bitmap";
        image.bits = 1;
      } else {
        const Colour c = Describe(dict.getKey("/ColorSpace"));
        image.color = c.color;
        image.colorBase = c.base;
      }
      AddImage(std::move(image), page, ctm);
    } else if (IsName(subtype, "/Form")) {
      if (w.depth + 1 > kPdfFormDepth || ++forms_ > kPdfForms) {
        out_.cut = true;
        return;
      }
      Matrix m;
      QPDFObjectHandle matrix = dict.getKey("/Matrix");
      if (matrix.isArray() && matrix.getArrayNItems() == 6) {
        double v[6];
        bool ok = true;
        for (int i = 0; i < 6 && ok; ++i) {
          const auto n = Number(matrix.getArrayItem(i));
          ok = n.has_value();
          if (ok) v[i] = *n;
        }
        if (ok) m = {v[0], v[1], v[2], v[3], v[4], v[5]};
      }
      // A form without resources of its own uses its page's, as early writers left it.
      QPDFObjectHandle resources = dict.getKey("/Resources");
      if (!resources.isDictionary()) resources = w.resources;
      more.push_back({x, resources, m.Then(ctm), w.depth + 1});
    }
  }

  void DrawInline(Work& w, int page, const InlineImage& in, const Matrix& ctm) {
    PdfImage image;
    if (in.width > 0) image.widthPx = in.width;
    if (in.height > 0) image.heightPx = in.height;
    if (in.bits > 0) image.bits = in.bits;
    if (in.imageMask) {
      image.color = "Bitmap";
      image.bits = 1;
    } else if (!in.colourSpace.empty()) {
      const std::string& first = in.colourSpace.front();
      Colour c;
      if (in.colourSpace.size() >= 2 && (first == "I" || first == "Indexed")) {
        c = {"Indexed", Describe(QPDFObjectHandle::newName("/" + in.colourSpace[1])).color};
      } else if (in.colourSpace.size() == 1) {
        c = Describe(QPDFObjectHandle::newName("/" + first));
        // Otherwise a name of the page's colour spaces.
        if (!c.color && w.resources.isDictionary()) {
          QPDFObjectHandle spaces = w.resources.getKey("/ColorSpace");
          if (spaces.isDictionary()) c = Describe(spaces.getKey("/" + first));
        }
      } else {
        c = {"Multichannel", {}};
      }
      image.color = c.color;
      image.colorBase = c.base;
    }
    AddImage(std::move(image), page, ctm);
  }

  void AddImage(PdfImage image, int page, const Matrix& ctm) {
    if (out_.images.size() >= kPdfImages) {
      out_.cut = true;
      return;
    }
    image.page = page;
    image.drawnWidthPt = ctm.XLength();
    image.drawnHeightPt = ctm.YLength();
    // Under a thousandth of a point an image is not seen; its resolution would be meaningless.
    if (image.widthPx && image.drawnWidthPt > 1e-3) image.ppiX = static_cast<double>(*image.widthPx) * 72 / image.drawnWidthPt;
    if (image.heightPx && image.drawnHeightPt > 1e-3) image.ppiY = static_cast<double>(*image.heightPx) * 72 / image.drawnHeightPt;
    if (image.bits == 1 && image.color == "Gray") image.color = "Bitmap";
    out_.images.push_back(std::move(image));
  }

  void ReadFonts(QPDFObjectHandle resources) {
    if (!resources.isDictionary()) return;
    QPDFObjectHandle fonts = resources.getKey("/Font");
    if (!fonts.isDictionary()) return;
    if (fonts.isIndirect() && !fontDicts_.insert(fonts.getObjGen()).second) return;
    for (const std::string& key : fonts.getKeys()) {
      if (seenFonts_.size() >= kPdfFonts) {
        out_.cut = true;
        return;
      }
      QPDFObjectHandle font = fonts.getKey(key);
      if (!font.isDictionary()) continue;
      if (font.isIndirect() && !seenFonts_.insert(font.getObjGen()).second) continue;
      AddFont(font);
    }
  }

  void AddFont(QPDFObjectHandle font) {
    QPDFObjectHandle subtype = font.getKey("/Subtype");
    QPDFObjectHandle described = font;
    QPDFObjectHandle nameObject = font.getKey("/BaseFont");
    bool embedded = false;
    if (IsName(subtype, "/Type0")) {
      // The descendant carries the font itself; the Type0 name adds its CMap ("-90ms-RKSJ-H").
      QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
      if (descendants.isArray() && descendants.getArrayNItems() > 0 && descendants.getArrayItem(0).isDictionary()) {
        described = descendants.getArrayItem(0);
        if (described.getKey("/BaseFont").isName()) nameObject = described.getKey("/BaseFont");
      }
      embedded = HasFontFile(described);
    } else if (IsName(subtype, "/Type3")) {
      embedded = true;  // its glyphs are drawing instructions inside the document
      if (!nameObject.isName()) nameObject = font.getKey("/Name");
    } else {
      embedded = HasFontFile(font);
    }
    if (!nameObject.isName()) return;
    std::string name = NameText(nameObject.getName());
    const bool subset = IsSubset(name);
    if (subset) name.erase(0, 7);
    if (name.empty()) return;
    for (PdfFont& f : out_.fonts) {
      if (f.name != name) continue;
      // One copy left out is enough for the font to be missing where the document is printed.
      f.embedded = f.embedded && embedded;
      f.subset = f.subset || subset;
      return;
    }
    out_.fonts.push_back({std::move(name), embedded, subset});
  }

  static bool HasNativeData(QPDFObjectHandle dict) {
    if (!dict.isDictionary()) return false;
    QPDFObjectHandle piece = dict.getKey("/PieceInfo");
    if (!piece.isDictionary()) return false;
    QPDFObjectHandle ill = piece.getKey("/Illustrator");
    if (!ill.isDictionary()) return false;
    QPDFObjectHandle priv = ill.getKey("/Private");
    return priv.isDictionary() && priv.hasKey("/AIPrivateData1");
  }

  QPDF& pdf_;
  InputSource& source_;
  PdfLayerFacts& out_;
  ContentBudget budget_;
  std::uint64_t contentBytes_ = 0;
  std::size_t forms_ = 0;
  std::set<QPDFObjGen> seenFonts_, fontDicts_;
  ContentSummary firstPage_;
};

std::string ReadAt(InputSource& source, qpdf_offset_t at, std::size_t bytes) {
  std::string text(bytes, '\0');
  source.seek(at, SEEK_SET);
  text.resize(source.read(text.data(), text.size()));
  return text;
}

std::optional<double> NumberAfter(std::string_view text, std::string_view key) {
  const std::size_t at = text.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t i = at + key.size();
  while (i < text.size() && (text[i] == ' ' || text[i] == '\r' || text[i] == '\n' || text[i] == '\t')) ++i;
  double v = 0;
  bool digit = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && v < 1e15; ++i, digit = true) v = v * 10 + (text[i] - '0');
  if (!digit) return std::nullopt;
  return v;
}

enum class Ending { kWhole, kCutShort, kTooManyObjects };

// What the end of the PDF says before qpdf reads it. A PDF ends with "startxref" and an offset in its
// last KiB; without them the file was cut short (or only starts like a PDF), and qpdf would search all
// of it for objects to rebuild it from. The objects counted there bound what qpdf's cross-reference
// table will take in memory: the trailer's /Size, the xref stream's /Size, and the table's own length.
Ending CheckEnding(InputSource& source) {
  source.seek(0, SEEK_END);
  const qpdf_offset_t end = source.tell();
  const qpdf_offset_t from = std::max<qpdf_offset_t>(0, end - 1024);
  const std::string tail = ReadAt(source, from, static_cast<std::size_t>(end - from));
  source.seek(0, SEEK_SET);
  const std::size_t startxref = tail.rfind("startxref");
  if (startxref == std::string::npos) return Ending::kCutShort;
  const auto xref = NumberAfter(std::string_view(tail).substr(startxref), "startxref");
  const double limit = static_cast<double>(kPdfObjects);
  const std::size_t trailer = tail.rfind("trailer", startxref);
  if (trailer != std::string::npos) {
    const auto size = NumberAfter(std::string_view(tail).substr(trailer, startxref - trailer), "/Size");
    if (size && *size > limit) return Ending::kTooManyObjects;
    // Each entry of a table takes 20 bytes.
    if (xref && *xref < static_cast<double>(from + static_cast<qpdf_offset_t>(trailer)) &&
        (static_cast<double>(from) + static_cast<double>(trailer) - *xref) / 20 > limit) {
      return Ending::kTooManyObjects;
    }
  } else if (xref && *xref < static_cast<double>(end)) {
    const std::string head = ReadAt(source, static_cast<qpdf_offset_t>(*xref), 2048);
    source.seek(0, SEEK_SET);
    const auto size = NumberAfter(head, "/Size");
    if (size && *size > limit) return Ending::kTooManyObjects;
  }
  return Ending::kWhole;
}

PdfLayerFacts Read(const std::shared_ptr<InputSource>& source) {
  PdfLayerFacts out;
  try {
    const Ending ending = CheckEnding(*source);
    if (ending != Ending::kWhole) {
      out.state = PdfLayer::kUnreadable;
      out.cut = ending == Ending::kTooManyObjects;
      return out;
    }
    const bool small = [&] {
      source->seek(0, SEEK_END);
      const qpdf_offset_t size = source->tell();
      source->seek(0, SEEK_SET);
      return size <= kPdfRebuiltBytes;
    }();
    QPDF pdf;
    // Nothing of qpdf's reaches the output: its complaints are counted, never printed.
    const auto logger = QPDFLogger::create();
    logger->setInfo(logger->discard());
    logger->setWarn(logger->discard());
    logger->setError(logger->discard());
    pdf.setLogger(logger);
    pdf.setSuppressWarnings(true);
    // Rebuilding a damaged cross-reference table takes memory by the objects found: only for
    // small PDFs.
    pdf.setAttemptRecovery(small);
    pdf.processInputSource(source);
    out.state = PdfLayer::kRead;
    LayerReader reader(pdf, *source, out);
    reader.Drain();
    // The trailer's count, not qpdf's own: that one parses every object of the file first.
    QPDFObjectHandle trailer = pdf.getTrailer();
    const auto size = trailer.isDictionary() ? Number(trailer.getKey("/Size")) : std::nullopt;
    if (size && *size > static_cast<double>(kPdfObjects)) throw std::runtime_error("too many objects");
    reader.Run();
    reader.Drain();
  } catch (const RunError&) {
    throw;  // the document itself could not be read: reported as every failed read is
  } catch (const QPDFExc& e) {
    const std::size_t warnings = out.warnings;
    out = {};
    out.warnings = warnings;
    out.state = e.getErrorCode() == qpdf_e_password ? PdfLayer::kEncrypted : PdfLayer::kUnreadable;
  } catch (const std::exception&) {
    // Damage qpdf did not recover from, a bound, or memory: the layer's facts are unknown.
    const std::size_t warnings = out.warnings;
    out = {};
    out.warnings = warnings;
    out.state = PdfLayer::kUnreadable;
  }
  return out;
}

std::uint64_t DataForkLength(analysis::DocumentReader& reader) {
  unsigned char header[kMacBinaryHeader] = {};
  std::size_t got = 0;
  while (got < sizeof header) {
    const std::size_t n = reader.Read(reinterpret_cast<char*>(header) + got, sizeof header - got);
    if (n == 0) break;
    got += n;
  }
  if (got < sizeof header) return 0;
  return std::uint64_t{header[83]} << 24 | std::uint64_t{header[84]} << 16 | std::uint64_t{header[85]} << 8 | header[86];
}

}  // namespace

PdfLayerFacts ReadPdfLayer(const analysis::DocumentPath& document, bool macBinary) {
  auto reader = analysis::OpenDocument(document);
  const std::optional<std::uint64_t> size = reader->Size();
  if (!size) {
    PdfLayerFacts out;
    out.state = PdfLayer::kUnreadable;
    return out;
  }
  std::uint64_t base = 0, length = *size;
  if (macBinary) {
    // The data fork alone: the resource fork after it would hide the PDF's end.
    base = kMacBinaryHeader;
    const std::uint64_t rest = *size > base ? *size - base : 0;
    const std::uint64_t fork = DataForkLength(*reader);
    length = fork > 0 && fork <= rest ? fork : rest;
  }
  return Read(std::make_shared<DocumentSource>(std::move(reader), base, length));
}

PdfLayerFacts ReadPdfLayerBytes(std::string_view pdf) {
  return Read(std::make_shared<BufferInputSource>("PDF layer", std::string(pdf)));
}

void AddPdfLayer(CheckFacts& f, const PdfLayerFacts& pdf) {
  f.pdfLayer = pdf.state;
  if (pdf.state != PdfLayer::kRead) return;
  if (pdf.cut) f.cut = true;
  if (!pdf.pages.empty()) {
    // The pages are what is printed: they outrank the crop marks and the bounding box.
    f.artboards.clear();
    for (const PdfPage& p : pdf.pages) {
      f.artboards.push_back({p.widthPt * kMmPerPoint, p.heightPt * kMmPerPoint,
                             Bleed{p.bleedPt.left * kMmPerPoint, p.bleedPt.right * kMmPerPoint,
                                   p.bleedPt.top * kMmPerPoint, p.bleedPt.bottom * kMmPerPoint},
                             Source::kPdf});
    }
  }
  for (const PdfFont& font : pdf.fonts) {
    const auto known = std::find_if(f.fonts.begin(), f.fonts.end(), [&](const Font& k) { return k.name == font.name; });
    if (known != f.fonts.end()) {
      known->embedded = known->embedded.value_or(true) && font.embedded;
    } else {
      f.fonts.push_back({font.name, font.embedded});
    }
  }
  if (!f.fonts.empty() && std::find(f.findings.begin(), f.findings.end(), kFindingFonts) == f.findings.end()) {
    f.findings.insert(f.findings.begin(), kFindingFonts);
  }
  for (const PdfImage& image : pdf.images) {
    Placed p;
    TakePixels(p, image, Source::kPdf);
    p.placedWidthPt = image.drawnWidthPt;
    p.placedHeightPt = image.drawnHeightPt;
    p.page = image.page;
    f.placed.push_back(std::move(p));
  }
  if (pdf.outputIntent) f.outputIntent = pdf.outputIntent;
}

}  // namespace pelmora::preflight
