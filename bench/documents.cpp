#include "documents.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "analysis/ansi_text.h"
#include "analysis/read_buffer.h"

namespace pelmora::bench {

namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kMiB = 1 << 20;

const std::string kHead = "%!PS-Adobe-3.0\r\n%%Title: bench\r\n%%BoundingBox: 0 0 595 842\r\n%%EndComments\r\n";

// PostScript-like drawing lines, with a '%' comment now and then as real documents have.
std::string AsciiBlock() {
  std::string block;
  for (int i = 0; block.size() < kMiB; ++i) {
    block += "0 0 0 1 k\r\n" + std::to_string(100 + i % 400) + ".456 789.012 m\r\n";
    block += "234.5 456.25 345.75 567.125 456.5 678.875 c\r\nf\r\n";
    if (i % 20 == 0) block += "%AI5_BeginLayer\r\n";
  }
  return block;
}

// Lines of 18 single-byte and 18 two-byte characters, with trail bytes in the ASCII range too.
std::string MixedBlock() {
  static const char* const kPairs[] = {"\x82\xA0", "\x83\x41", "\x83\x45", "\x8A\xBF", "\x8E\x9A",
                                       "\x95\x5C", "\x83\x5C", "\x81\x5B", "\x93\xFA", "\x96\x7B"};
  std::string block;
  for (int i = 0; block.size() < kMiB; ++i) {
    block += "(";
    for (int k = 0; k < 18; ++k) block += kPairs[(i + k) % 10];
    block += ") 12.5 Tx T*\r\n";
    if (i % 20 == 0) block += "%AI5_BeginLayer\r\n";
  }
  return block;
}

// The head, then `block` repeated (and cut) to `size` bytes; `at` puts `insert` at that offset.
void Write(const fs::path& path, std::uint64_t size, const std::string& head, const std::string& block,
           std::uint64_t at = 0, const std::string& insert = "") {
  if (fs::exists(path) && fs::file_size(path) == size) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::uint64_t written = 0;
  auto put = [&](std::string_view s) {
    const std::uint64_t n = std::min<std::uint64_t>(s.size(), size - written);
    out.write(s.data(), static_cast<std::streamsize>(n));
    written += n;
  };
  put(head);
  if (!insert.empty()) {
    while (written < at) put(std::string_view(block).substr(0, std::min<std::uint64_t>(block.size(), at - written)));
    put(insert);
  }
  while (written < size) put(block);
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string PlacedImages(int count) {
  std::string header = "%!PS-Adobe-3.0\r\n%%Creator: Adobe Illustrator(R) 24.0\r\n%%AI8_CreatorVersion: 25.2.1\r\n";
  for (int i = 0; i < count; ++i) {
    header += i == 0 ? "%%DocumentFiles:" : "%%+";
    header += "C:\\Users\\User\\Documents\\\x89\xE6\x91\x9C\\photo" + std::to_string(i) + ".psd\r\n";
  }
  return header + "%%EndComments\r\n";
}

// Bytes of the first `chars` characters of the file, as the scan counts them.
std::uint64_t WindowBytes(const fs::path& path, std::uint64_t chars) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(std::min<std::uint64_t>(fs::file_size(path), 2 * chars)), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::uint64_t i = 0;
  for (std::uint64_t counted = 0; counted < chars && i < bytes.size(); ++counted) {
    const bool pair = analysis::IsLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() &&
                      analysis::IsTrailByte(static_cast<unsigned char>(bytes[i + 1]));
    i += pair ? 2 : 1;
  }
  return i;
}

}  // namespace

std::vector<BenchDocument> MakeDocuments(const fs::path& folder) {
  fs::create_directories(folder);
  const std::string ascii = AsciiBlock();
  std::vector<BenchDocument> docs = {
      {"a_100MB_ascii_no_creator", folder / "a.ai", {}},
      {"b_100MB_half_sjis_no_creator", folder / "b.ai", {}},
      {"c_5MB_creator_at_1500000", folder / "c.ai", {}},
      {"d_200KB_creator_at_top", folder / "d.eps", {}},
      {"e_1000_placed_images", folder / "e.ai", {}},
  };
  Write(docs[0].path, 100 * kMiB, kHead, ascii);
  Write(docs[1].path, 100 * kMiB, kHead, MixedBlock());
  Write(docs[2].path, 5 * kMiB, kHead, ascii, 1500000, "%%Creator: Adobe Illustrator(R) 24.0\r\n");
  Write(docs[3].path, 200 * 1024,
        "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%AI8_CreatorVersion: 12.0.1\r\n", ascii);
  Write(docs[4].path, kMiB, PlacedImages(1000), ascii);

  const std::uint64_t largest = 40960000, second = 2048000, first = 102400;
  docs[0].plain_reads = {WindowBytes(docs[0].path, largest)};
  docs[1].plain_reads = {WindowBytes(docs[1].path, largest)};
  docs[2].plain_reads = {WindowBytes(docs[2].path, first), WindowBytes(docs[2].path, second)};
  docs[3].plain_reads = {WindowBytes(docs[3].path, first)};
  docs[4].plain_reads = {WindowBytes(docs[4].path, first)};
  return docs;
}

std::uint64_t PlainRead(const fs::path& path, std::uint64_t bytes) {
  // Page-aligned like the analysis's own buffer: the kernel copies into a misaligned one slower.
  static const analysis::ReadBuffer buffer = analysis::MakeReadBuffer(kMiB);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path.string());
  std::uint64_t total = 0;
  while (total < bytes) {
    const ssize_t got = ::read(fd, buffer.get(), std::min<std::uint64_t>(kMiB, bytes - total));
    if (got <= 0) break;
    total += static_cast<std::uint64_t>(got);
  }
  ::close(fd);
  return total;
}

}  // namespace pelmora::bench
