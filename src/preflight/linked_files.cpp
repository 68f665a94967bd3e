#include "preflight/linked_files.h"

#include <cmath>
#include <map>

#include "base/text_utf8.h"
#include "delivery/file_copy.h"

namespace pelmora::preflight {

using namespace base;
namespace fs = std::filesystem;

namespace {

constexpr double kSameSizePt = 1.0;

// The file as the delivery opened it: what is read is the file that was judged.
class HandleBytes final : public ImageBytes {
 public:
  HandleBytes(delivery::OpenFile file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    if (failed_ || offset >= size_) return 0;
    const long long got = delivery::ReadAt(file_, offset, buffer, size);
    if (got < 0) failed_ = true;
    return got < 0 ? 0 : static_cast<std::size_t>(got);
  }

 private:
  delivery::OpenFile file_;
  std::uint64_t size_;
  bool failed_ = false;
};

bool Near(const std::optional<double>& a, const std::optional<double>& b) {
  return a && b && std::abs(*a - *b) <= kSameSizePt;
}

std::string Number(double v) { return std::to_string(static_cast<long long>(std::lround(v))); }

}  // namespace

std::unique_ptr<ImageBytes> OpenFound(const delivery::Delivery& delivery, const std::string& found, bool anywhere) {
  if (found.empty()) return nullptr;
  const fs::path path = PathFromWide(FromUtf8(found));
  // Reached again from the delivery's folder, no link followed: a name can have become a link to
  // elsewhere since the search found it.
  delivery::Reached reached = anywhere ? delivery::OpenAnywhere(path, delivery::OpenFor::kReading)
                                       : delivery.Open(path, delivery::OpenFor::kReading);
  if (reached.kind != delivery::Reached::Kind::kOpened) return nullptr;
  const auto size = delivery::FileSize(reached.file);
  if (!size) return nullptr;
  return std::make_unique<HandleBytes>(std::move(reached.file), *size);
}

namespace {

std::wstring LastName(const std::string& utf8) { return std::wstring(delivery::LastNameComponent(FromUtf8(utf8))); }

// `mine`: a placement's last name component; `link`, `found`: the link's and its file's.
bool SameName(const std::wstring& mine, const std::wstring& link, const std::wstring& found) {
  if (mine.empty()) return false;
  if (mine == link || mine == found) return true;
  return delivery::MatchNames(mine, link) != delivery::NameMatch::kNone ||
         (!found.empty() && delivery::MatchNames(mine, found) != delivery::NameMatch::kNone);
}

}  // namespace

bool PlacementOf(const Placed& placed, const CheckFacts::Link& link) {
  if (!placed.linked || !placed.name) return false;
  return SameName(LastName(*placed.name), LastName(link.name), link.found.empty() ? std::wstring() : LastName(link.found));
}

void ApplyImageHeader(Placed& p, const ImageHeader& h) {
  p.file = h.file;
  if (!h.problem.empty()) p.file->problem = h.problem;
  p.widthPx = h.widthPx;
  p.heightPx = h.heightPx;
  p.color = h.color;
  // The palettes of PNG, TIFF and PSD are RGB ones.
  p.colorBase = h.color == "Indexed" ? std::optional<std::string>("RGB") : std::nullopt;
  p.bits = h.file.bits;
  p.ppiX.reset();
  p.ppiY.reset();
  if (h.widthPx && p.placedWidthPt && *p.placedWidthPt > 0) p.ppiX = *h.widthPx * 72.0 / *p.placedWidthPt;
  if (h.heightPx && p.placedHeightPt && *p.placedHeightPt > 0) p.ppiY = *h.heightPx * 72.0 / *p.placedHeightPt;
  p.source = Source::kFile;
}

void MergeProxies(CheckFacts& f) {
  std::vector<bool> taken(f.placed.size(), false), folded(f.placed.size(), false);
  for (std::size_t i = 0; i < f.placed.size(); ++i) {
    Placed& proxy = f.placed[i];
    if (proxy.linked || proxy.source != Source::kPdf) continue;
    for (std::size_t j = 0; j < f.placed.size(); ++j) {
      Placed& linked = f.placed[j];
      if (taken[j] || !linked.linked || (linked.page && proxy.page && *linked.page != *proxy.page)) continue;
      if (!Near(linked.placedWidthPt, proxy.placedWidthPt) || !Near(linked.placedHeightPt, proxy.placedHeightPt)) continue;
      taken[j] = true;
      if (!linked.page) linked.page = proxy.page;
      // The file is what will be printed; the proxy stands in only where none was read.
      if (!linked.file || !linked.widthPx) TakePixels(linked, proxy, Source::kPdf);
      folded[i] = true;
      break;
    }
  }
  std::vector<Placed> kept;
  for (std::size_t i = 0; i < f.placed.size(); ++i) {
    if (!folded[i]) kept.push_back(std::move(f.placed[i]));
  }
  f.placed = std::move(kept);
}

void AddLinkedFiles(CheckFacts& f, const LinkOpener& open) {
  // The document's own placements, named once: a delivery's document may link thousands of files.
  const std::size_t placements = f.placed.size();
  std::vector<std::wstring> names(placements);
  for (std::size_t i = 0; i < placements; ++i) {
    if (f.placed[i].linked && f.placed[i].name) names[i] = LastName(*f.placed[i].name);
  }
  std::map<std::string, ImageHeader> read;  // by the file found: one read however often it is placed
  for (const CheckFacts::Link& link : f.links) {
    if (link.found.empty()) continue;
    auto at = read.find(link.found);
    if (at == read.end()) {
      ImageHeader h;
      if (const auto bytes = open(link)) {
        h = ReadImageHeader(*bytes);
      } else {
        h.problem = "開けません";
      }
      at = read.emplace(link.found, std::move(h)).first;
    }
    const std::wstring linkName = LastName(link.name), foundName = LastName(link.found);
    bool placed = false;
    for (std::size_t i = 0; i < placements; ++i) {
      if (!SameName(names[i], linkName, foundName)) continue;
      ApplyImageHeader(f.placed[i], at->second);
      placed = true;
    }
    if (!placed) {
      Placed p;
      p.name = link.name;
      p.linked = true;
      ApplyImageHeader(p, at->second);
      f.placed.push_back(std::move(p));
    }
  }
  MergeProxies(f);
}

std::string PlacedFactsText(const Placed& p) {
  std::string out;
  const auto add = [&out](const std::string& word) {
    if (word.empty()) return;
    if (!out.empty()) out += ' ';
    out += word;
  };
  if (p.file) add(p.file->type.empty() ? "不明な形式" : p.file->type);
  if (p.widthPx && p.heightPx) add(std::to_string(*p.widthPx) + "×" + std::to_string(*p.heightPx) + "px");
  if (p.color) add(*p.color + (p.bits && *p.bits != 8 && *p.bits != 1 ? " " + std::to_string(*p.bits) + "bit" : ""));
  if (p.ppiX && p.ppiY) {
    add(Number(*p.ppiX) + (Number(*p.ppiX) == Number(*p.ppiY) ? "" : "×" + Number(*p.ppiY)) + "ppi");
  } else if (p.file && p.file->ownPpiX && p.file->ownPpiY) {
    add("(画像の解像度 " + Number(*p.file->ownPpiX) + "ppi)");
  }
  if (p.file && p.file->problem) add("(読めない: " + *p.file->problem + ")");
  return out;
}

}  // namespace pelmora::preflight
