#pragma once
// The files a document links to, read where the delivery holds them: each placement's pixels,
// colour and effective resolution come from the file that will be printed.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "delivery/image_collect.h"
#include "preflight/image_header.h"
#include "preflight/preflight.h"

namespace pelmora::preflight {

// `found` (UTF-8, as a link's search found it) opened for reading, only where it lies inside the
// delivery with every link followed, or anywhere with `anywhere`; null when it may not or cannot be.
std::unique_ptr<ImageBytes> OpenFound(const delivery::Delivery& delivery, const std::string& found, bool anywhere = false);

// A link's file opened for reading, or null.
using LinkOpener = std::function<std::unique_ptr<ImageBytes>(const CheckFacts::Link&)>;

// True when a placement names the file a link found: the last name components match, directly
// or the way the delivery's search matches names (NFC/NFD, lost voiced-sound marks).
bool PlacementOf(const Placed& placed, const CheckFacts::Link& link);

// The file's facts on the placement: pixels, colour, depth and the file itself; the effective
// resolution where the placement's size is known (pixels × 72 ÷ points). Source kFile.
void ApplyImageHeader(Placed& placed, const ImageHeader& header);

// The PDF layer's drawing of a linked placement's proxy (the same page where both know it, the same
// size within 1 pt) is folded into that placement rather than listed twice; its figures stand
// only where no file was read.
void MergeProxies(CheckFacts& facts);

// Runs after the native data and the PDF layer: for every link found, the file's header is read
// once and put on each placement of it; a found file no placement names is listed with its own
// facts (no effective resolution). A file that cannot be opened or read says why in its problem.
void AddLinkedFiles(CheckFacts& facts, const LinkOpener& open);

// "PSD 1200×800 CMYK 350×350ppi": the table's words for one placed image.
std::string PlacedFactsText(const Placed& placed);

}  // namespace pelmora::preflight
