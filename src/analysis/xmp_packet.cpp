#include "analysis/xmp_packet.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_set>

namespace pelmora::analysis {

namespace {

constexpr std::string_view kBegin = "<?xpacket begin";
constexpr std::string_view kEnd = "<?xpacket end";
constexpr std::size_t kChunk = 64 * 1024;

// Collects the packet from the first marker on, across reads.
class PacketScan {
 public:
  explicit PacketScan(std::size_t packetBytes) : limit_(packetBytes) {}

  // Returns true once the packet is whole or known to be too long.
  bool Feed(std::string_view bytes) {
    if (!started_) {
      // The marker may straddle two reads: the tail of the previous one is kept, and only the
      // seam is searched as a copy; the read itself is searched where it lies.
      std::size_t at = std::string::npos;
      std::string seam = carry_;
      seam.append(bytes.substr(0, kBegin.size() - 1));
      if (const std::size_t s = seam.find(kBegin); s != std::string::npos) {
        text_.assign(seam, s, std::string::npos);
        text_.append(bytes.substr(std::min(bytes.size(), kBegin.size() - 1)));
        at = 0;
      } else if (const std::size_t b = bytes.find(kBegin); b != std::string_view::npos) {
        text_.assign(bytes.substr(b));
        at = 0;
      }
      if (at == std::string::npos) {
        carry_ = std::string(seam.size() >= kBegin.size() - 1 ? std::string_view(seam).substr(seam.size() - (kBegin.size() - 1)) : std::string_view(seam));
        if (bytes.size() >= kBegin.size() - 1) carry_.assign(bytes.substr(bytes.size() - (kBegin.size() - 1)));
        return false;
      }
      started_ = true;
      carry_.clear();
    } else {
      text_.append(bytes);
    }
    return Ended();
  }

  bool Started() const { return started_; }

  std::optional<XmpPacket> Result() {
    if (!started_) return std::nullopt;
    XmpPacket packet;
    if (done_ && !tooLong_) {
      packet.text = std::move(text_);
    } else {
      packet.tooLong = tooLong_ || !done_;
    }
    return packet;
  }

 private:
  bool Ended() {
    if (end_ == std::string::npos) {
      const std::size_t from = searched_ > kEnd.size() ? searched_ - kEnd.size() : 0;
      end_ = text_.find(kEnd, from);
      searched_ = text_.size();
    }
    if (end_ != std::string::npos) {
      // The end marker may have come in one read and its "?>" in the next.
      const std::size_t close = text_.find("?>", std::max(end_ + kEnd.size(), closeFrom_));
      if (close != std::string::npos && close + 2 <= limit_) {
        text_.resize(close + 2);
        done_ = true;
        return true;
      }
      closeFrom_ = text_.size() - 1;
    }
    if (text_.size() > limit_) {
      tooLong_ = done_ = true;
      text_.clear();
      text_.shrink_to_fit();
      return true;
    }
    return false;
  }

  std::size_t limit_;
  bool started_ = false, done_ = false, tooLong_ = false;
  std::string carry_, text_;
  std::size_t searched_ = 0;
  std::size_t end_ = std::string::npos, closeFrom_ = 0;
};

std::string_view LocalName(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return colon ? colon + 1 : name;
}

bool Named(const pugi::xml_node& node, std::string_view local) { return LocalName(node.name()) == local; }

// A property's value, written as a child element or as an attribute of the node.
std::optional<std::string> Property(const pugi::xml_node& node, std::string_view local) {
  for (const pugi::xml_attribute& a : node.attributes()) {
    if (LocalName(a.name()) == local) return std::string(a.value());
  }
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_element && Named(child, local)) return std::string(child.child_value());
  }
  return std::nullopt;
}

bool HasAncestor(pugi::xml_node node, std::string_view local) {
  for (node = node.parent(); node; node = node.parent()) {
    if (node.type() == pugi::node_element && Named(node, local)) return true;
  }
  return false;
}

std::optional<double> Number(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  // "NaN", "INF" and sizes past any page are no size: they would make no valid JSON either.
  if (end == begin || !(std::fabs(value) <= kXmpLargestSize)) return std::nullopt;
  return value;
}

std::optional<double> Millimetres(double value, std::string_view unit) {
  if (unit == "Millimeters") return value;
  if (unit == "Centimeters") return value * 10;
  if (unit == "Inches") return value * 25.4;
  if (unit == "Points" || unit == "Pixels") return value * 25.4 / 72;  // Illustrator's pixel is a point
  if (unit == "Picas") return value * 25.4 / 6;
  return std::nullopt;
}

bool True(std::string_view text) { return text == "True" || text == "true"; }

// The names each list has taken, so that a repeat costs one look-up, not a pass over the list.
struct Seen {
  std::unordered_set<std::string> fonts, spotColours, links;
};

// False for a repeat; a new name beyond the cap marks the facts cut and is dropped.
bool Admit(std::unordered_set<std::string>& seen, std::size_t size, const std::string& value, XmpFacts& facts) {
  if (seen.count(value)) return false;
  if (size >= kXmpNames) {
    facts.cut = true;
    return false;
  }
  seen.insert(value);
  return true;
}


void Visit(const pugi::xml_node& node, XmpFacts& facts, Seen& seen) {
  for (const pugi::xml_attribute& a : node.attributes()) {
    const std::string_view local = LocalName(a.name());
    if (local == "HasVisibleTransparency") {
      facts.visibleTransparency = True(a.value());
    } else if (local == "fontName" && *a.value() && HasAncestor(node, "Fonts")) {
      // Current Illustrator writes each font as one element with attributes.
      std::string font(a.value());
      if (Admit(seen.fonts, facts.fonts.size(), font, facts)) facts.fonts.push_back(std::move(font));
    }
  }
  const std::string_view name = LocalName(node.name());
  if (name == "HasVisibleTransparency") {
    facts.visibleTransparency = True(node.child_value());
  } else if (name == "fontName" && HasAncestor(node, "Fonts")) {
    std::string font(node.child_value());
    if (!font.empty() && Admit(seen.fonts, facts.fonts.size(), font, facts)) facts.fonts.push_back(std::move(font));
  } else if (name == "MaxPageSize") {
    const auto w = Property(node, "w"), h = Property(node, "h"), unit = Property(node, "unit");
    if (w && h && unit) {
      const auto wn = Number(*w), hn = Number(*h);
      if (wn && hn) {
        facts.widthMm = Millimetres(*wn, *unit);
        facts.heightMm = Millimetres(*hn, *unit);
        if (!facts.widthMm || !facts.heightMm) facts.widthMm = facts.heightMm = std::nullopt;
      }
    }
  } else if (name == "li" && HasAncestor(node, "SwatchGroups")) {
    const auto type = Property(node, "type");
    const auto swatch = Property(node, "swatchName");
    if (type && *type == "SPOT" && swatch && !swatch->empty() && Admit(seen.spotColours, facts.spotColours.size(), *swatch, facts)) {
      facts.spotColours.push_back(std::move(*swatch));
    }
  } else if (name == "li" && HasAncestor(node, "Manifest")) {
    const auto form = Property(node, "linkForm");
    for (const pugi::xml_node& child : node.children()) {
      if (child.type() != pugi::node_element || !Named(child, "reference")) continue;
      const auto path = Property(child, "filePath");
      if (path && !path->empty() && Admit(seen.links, facts.links.size(), *path, facts)) {
        facts.links.push_back({std::move(*path), form && *form == "EmbedByReference"});
      }
    }
  }
}

}  // namespace

std::optional<XmpPacket> FindXmpPacketIn(std::string_view bytes, std::size_t packetBytes) {
  PacketScan scan(packetBytes);
  scan.Feed(bytes);
  return scan.Result();
}

std::optional<XmpPacket> FindXmpPacket(const DocumentPath& path, std::size_t searchBytes, std::size_t packetBytes) {
  PacketScan scan(packetBytes);
  const auto reader = OpenDocument(path);
  if (const auto lent = reader->Lend()) {
    scan.Feed(lent->substr(0, searchBytes));
    return scan.Result();
  }
  const auto buffer = std::make_unique<char[]>(kChunk);
  std::size_t read = 0;
  bool done = false;
  // The search ends at searchBytes; a packet begun by then may run past it up to its own limit.
  while (!done) {
    const std::size_t n = reader->Read(buffer.get(), kChunk);
    if (n == 0) break;
    if (read >= searchBytes && !scan.Started()) break;
    read += n;
    done = scan.Feed(std::string_view(buffer.get(), n));
  }
  return scan.Result();
}

XmpFacts ReadXmp(std::string_view packet) {
  XmpFacts facts;
  pugi::xml_document doc;
  // No parse_doctype: a DOCTYPE is skipped whole, and pugixml expands only the five predefined
  // entities and character references, never declared or external ones.
  constexpr unsigned kOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_pi;
  const pugi::xml_parse_result parsed = doc.load_buffer(packet.data(), packet.size(), kOptions, pugi::encoding_utf8);
  if (!parsed) return facts;
  facts.wellFormed = true;
  // Iterative, and no deeper than XMP ever nests: a hostile packet may nest a million levels,
  // which would take the stack, and the ancestor tests, with it.
  constexpr int kDepth = 64;
  int depth = 0;
  Seen seen;
  for (pugi::xml_node node = doc.first_child(); node;) {
    if (node.type() == pugi::node_element) Visit(node, facts, seen);
    if (node.first_child() && depth < kDepth) {
      node = node.first_child();
      ++depth;
      continue;
    }
    while (node && !node.next_sibling()) {
      node = node.parent();
      --depth;
    }
    if (node) node = node.next_sibling();
  }
  return facts;
}

}  // namespace pelmora::analysis
