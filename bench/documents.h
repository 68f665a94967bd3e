#pragma once
// The generated benchmark documents. Each names the bytes that one plain read must cover to match
// what the analysis has to read: the windows the start-up scans, each read from the start.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pelmora::bench {

struct BenchDocument {
  std::string name;
  std::filesystem::path path;
  std::vector<std::uint64_t> plain_reads;  // bytes of each plain read from the start
};

// Writes documents (a) to (e) into `folder` (kept when already there with the right size).
std::vector<BenchDocument> MakeDocuments(const std::filesystem::path& folder);

// Reads the first `bytes` of the file through a 1 MiB buffer; returns the bytes read.
std::uint64_t PlainRead(const std::filesystem::path& path, std::uint64_t bytes);

}  // namespace pelmora::bench
