#pragma once
// The document's XMP packet: what the writing application says in XML about fonts, page size,
// transparency, swatches and placed files. The packet is found by its "<?xpacket begin" marker
// while the document streams past, so a document of any size is never held whole.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/document_file.h"

namespace pelmora::analysis {

// The marker is looked for in this many bytes at most (the header scan's largest window).
inline constexpr std::size_t kXmpSearchBytes = 40'960'000;
// A page side beyond this, in its own unit, is taken for no size.
inline constexpr double kXmpLargestSize = 1e9;
// A packet longer than this is left unread: Illustrator's own, thumbnails included, stay far below.
inline constexpr std::size_t kXmpPacketBytes = 4 * 1024 * 1024;
// Names kept per list, as for the header comments: a packet may list a hundred thousand fonts.
inline constexpr std::size_t kXmpNames = 600;

struct XmpPacket {
  std::string text;     // from "<?xpacket begin" to the end of the closing "<?xpacket end ...?>"
  bool tooLong = false;  // a packet began but did not end within kXmpPacketBytes: text is empty
};

// The first packet of the document, or nothing. Throws RunError when a read fails.
std::optional<XmpPacket> FindXmpPacket(const DocumentPath& path, std::size_t searchBytes = kXmpSearchBytes,
                                       std::size_t packetBytes = kXmpPacketBytes);

// The same search over bytes in memory.
std::optional<XmpPacket> FindXmpPacketIn(std::string_view bytes, std::size_t packetBytes = kXmpPacketBytes);

// What the packet says, in UTF-8. Properties are matched by their local names, written as
// elements or as attributes; the XML is parsed without document type processing, so no entity
// of the document's own is ever expanded and nothing outside the packet is read.
struct XmpFacts {
  bool wellFormed = false;
  std::vector<std::string> fonts;        // font names (PostScript names where given)
  std::vector<std::string> spotColours;  // swatches of type SPOT
  std::optional<double> widthMm, heightMm;  // the largest page
  std::optional<bool> visibleTransparency;
  struct Link {
    std::string path;       // as written: often another machine's absolute path
    bool embedded = false;  // a copy is inside the document: no file is needed
  };
  std::vector<Link> links;  // the manifest's file paths, in document order, without repeats
  bool cut = false;         // a list held more than kXmpNames distinct names
};

XmpFacts ReadXmp(std::string_view packet);

}  // namespace pelmora::analysis
