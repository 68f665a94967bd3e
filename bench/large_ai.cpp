#include "large_ai.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace pelmora::bench {

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kBlock = 64 * 1024;

std::string Header() {
  return "%!PS-Adobe-3.0 \r%%Creator: Adobe Illustrator(R) 24.0\r%%AI8_CreatorVersion: 27.0.0\r"
         "%%BoundingBox: 0 -596 842 0\r%%DocumentFonts: KozGoPr6N-Regular-90ms-RKSJ-H\r%%+ Meiryo\r"
         "%AI9_ColorModel: 2\r%AI3_Cropmarks: 0 -595.2756 841.8898 0\r%%EndComments\r%%BeginSetup\r"
         "%AI5_BeginPalette\r0 0.5 1 0 (PANTONE 165 C) 0 x\r%AI5_EndPalette\r%%EndSetup\r";
}

// About 1 MiB of art: drawing lines, then now and then an embedded image's hex lines.
std::string Art(std::uint32_t& seed, int round) {
  std::string s;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  while (s.size() < (1 << 20)) {
    for (int i = 0; i < 200; ++i) {
      s += std::to_string(next() % 8000) + "." + std::to_string(next() % 1000) + " " + std::to_string(next() % 8000) +
           "." + std::to_string(next() % 1000) + (i % 3 ? " l\r" : " m\r");
    }
    s += "0 0 0 1 k\rf\r";
    if (round % 2 == 0) {
      static const char kHex[] = "0123456789ABCDEF";
      s += "%AI5_BeginRaster\r%%BeginData: 262144 Hex Bytes\r";
      for (int line = 0; line < 64; ++line) {
        s += '%';
        for (int k = 0; k < 128; ++k) {
          const std::uint32_t v = next() >> 16;
          // Photographs are not noise: neighbouring bytes are close.
          const std::uint32_t b = (v & 0x0F) + 0x40 * (line % 4);
          s += kHex[(b >> 4) & 15];
          s += kHex[b & 15];
        }
        s += '\r';
      }
      s += "%%EndData\r";
    }
  }
  return s;
}

std::string Index(const fs::path& document) { return document.string() + ".blocks"; }

}  // namespace

fs::path LargeIllustrator(const fs::path& folder, int megabytes) {
  const fs::path path = folder / ("large-" + std::to_string(megabytes) + "mb.ai");
  if (fs::exists(path) && fs::exists(Index(path))) return path;
  fs::create_directories(folder);
  const std::uint64_t target = static_cast<std::uint64_t>(megabytes) << 20;

  // The native data, compressed as it is made.
  z_stream z{};
  deflateInit(&z, Z_DEFAULT_COMPRESSION);
  std::string compressed;
  std::vector<char> out(1 << 20);
  std::uint32_t seed = 1;
  const auto feed = [&](const std::string& text, int flush) {
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    do {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      deflate(&z, flush);
      compressed.append(out.data(), out.size() - z.avail_out);
    } while (z.avail_out == 0);
  };
  feed(Header(), Z_NO_FLUSH);
  for (int round = 0; compressed.size() + (1 << 20) < target; ++round) feed(Art(seed, round), Z_NO_FLUSH);
  feed("%%PageTrailer\r%%Trailer\r%%EOF\r", Z_FINISH);
  deflateEnd(&z);
  const std::string native = "%AI12_CompressedData" + compressed;

  const std::size_t blocks = (native.size() + kBlock - 1) / kBlock;
  std::vector<std::size_t> order(blocks);
  for (std::size_t i = 0; i < blocks; ++i) order[i] = i + 1;
  std::sort(order.begin(), order.end(), [](std::size_t a, std::size_t b) { return std::to_string(a) < std::to_string(b); });
  const std::size_t first = 100;
  std::string head = "%PDF-1.6\r%\xE2\xE3\xCF\xD3\r1 0 obj\r<</Type/Catalog/Pages 2 0 R/PieceInfo<</Illustrator 4 0 R>>>>\rendobj\r"
                     "2 0 obj\r<</Type/Pages/Kids[3 0 R]/Count 1>>\rendobj\r"
                     "3 0 obj\r<</Type/Page/Parent 2 0 R/MediaBox[0 0 842 596]>>\rendobj\r"
                     "4 0 obj\r<</Private 5 0 R>>\rendobj\r5 0 obj\r<</AIMetaData 6 0 R";
  for (std::size_t i = 0; i < blocks; ++i) head += "/AIPrivateData" + std::to_string(order[i]) + " " + std::to_string(first + i) + " 0 R";
  head += "/NumBlock " + std::to_string(blocks) + ">>\rendobj\r";
  const std::string meta = Header() + "%%EOF\r";
  head += "6 0 obj\r<</Length " + std::to_string(meta.size()) + ">>stream\r\n" + meta + "\rendstream\rendobj\r";

  std::ofstream file(path, std::ios::binary);
  std::ofstream index(Index(path));
  std::vector<std::pair<std::uint64_t, std::uint64_t>> where(blocks + 1);
  std::uint64_t at = head.size();
  file << head;
  for (std::size_t i = 0; i < blocks; ++i) {
    const std::size_t n = order[i];
    const std::string body = native.substr((n - 1) * kBlock, kBlock);
    const std::string start = std::to_string(first + i) + " 0 obj\r<</Length " + std::to_string(body.size()) + ">>stream\r\n";
    where[n] = {at + start.size(), body.size()};
    const std::string end = "\rendstream\rendobj\r";
    file << start << body << end;
    at += start.size() + body.size() + end.size();
  }
  file << "trailer\r<</Root 1 0 R>>\r%%EOF\r";
  for (std::size_t n = 1; n <= blocks; ++n) index << where[n].first << ' ' << where[n].second << '\n';
  if (!file || !index) throw std::runtime_error("cannot write " + path.string());
  return path;
}

std::string NativeData(const fs::path& document) {
  std::ifstream index(Index(document));
  std::ifstream file(document, std::ios::binary);
  std::string all;
  std::uint64_t offset = 0, length = 0;
  while (index >> offset >> length) {
    std::string block(length, '\0');
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(block.data(), static_cast<std::streamsize>(length));
    all += block;
  }
  const std::string marker = "%AI12_CompressedData";
  if (all.compare(0, marker.size(), marker) != 0) throw std::runtime_error("no native data in " + document.string());
  return all.substr(marker.size());
}

std::uint64_t Inflate(const std::string& compressed) {
  z_stream z{};
  inflateInit(&z);
  static char out[64 * 1024];
  std::uint64_t total = 0;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = sizeof out;
    rc = inflate(&z, Z_NO_FLUSH);
    total += sizeof out - z.avail_out;
  }
  inflateEnd(&z);
  return total;
}

}  // namespace pelmora::bench
