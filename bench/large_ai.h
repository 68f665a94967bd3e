#pragma once
// A large PDF-based Illustrator document as Illustrator writes one: its native data compressed
// with zlib into 64 KiB /AIPrivateData blocks, stored in Illustrator's order (1, 10, 100, ...),
// after an /AIMetaData header and an XMP packet. The art is drawing lines and the hex of embedded
// images, so that it compresses about as real art does.
#include <cstdint>
#include <filesystem>
#include <string>

namespace pelmora::bench {

// Writes "large-<megabytes>mb.ai" into `folder` (kept when already there) with its block index
// beside it; returns its path.
std::filesystem::path LargeIllustrator(const std::filesystem::path& folder, int megabytes);

// The document's compressed native data, its blocks joined in their numeric order (read once, to
// time the inflation alone).
std::string NativeData(const std::filesystem::path& document);

// Inflates `compressed` (zlib) through a 64 KiB buffer, as the reader does; returns the bytes.
std::uint64_t Inflate(const std::string& compressed);

}  // namespace pelmora::bench
