#include "cli/image_collect.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "cli/scan_report.h"
#include "cli/text_utf8.h"

namespace pelmora::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLinksFolder = "Links";

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

fs::path Identity(const fs::path& p) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(p, ec);
  return ec ? fs::absolute(p, ec).lexically_normal() : canonical;
}

// Copies without ever replacing a file, even one that appears after the check.
bool CopyNew(const fs::path& from, const fs::path& to, std::string& reason) {
  std::error_code ec;
  if (fs::copy_file(from, to, fs::copy_options::none, ec)) return true;
  reason = ValidUtf8(ec.message());
  return false;
}

std::string Entries(const char* title, const std::vector<CollectEntry>& list, bool withTarget) {
  if (list.empty()) return {};
  std::string out = std::string(title) + "\n";
  for (const CollectEntry& e : list) {
    out += "  " + PrintableCell(e.document) + ": " + PrintableCell(e.image);
    if (withTarget) out += " → " + PrintableCell(e.target);
    if (!e.reason.empty()) out += " (" + PrintableCell(e.reason) + ")";
    out += '\n';
  }
  return out;
}

std::string JsonEntries(const std::vector<CollectEntry>& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    const CollectEntry& e = list[i];
    if (i > 0) out += ',';
    out += "{\"document\":" + JsonString(e.document) + ",\"image\":" + JsonString(e.image);
    if (!e.source.empty()) out += ",\"source\":" + JsonString(e.source);
    if (!e.target.empty()) out += ",\"target\":" + JsonString(e.target);
    if (!e.reason.empty()) out += ",\"reason\":" + JsonString(e.reason);
    out += '}';
  }
  return out + "]";
}

}  // namespace

std::wstring_view LastNameComponent(std::wstring_view name) {
  const auto sep = name.find_last_of(L"\\/:");
  return sep == std::wstring_view::npos ? name : name.substr(sep + 1);
}

std::vector<fs::path> ImageCandidates(const fs::path& document, std::wstring_view name) {
  std::vector<fs::path> out;
  const fs::path folder = document.parent_path();
  const auto add = [&](const fs::path& p) {
    if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
  };
  const fs::path written = PathFromWide(name);
  add(written.is_absolute() ? written : folder / written);
  const std::wstring_view file = LastNameComponent(name);
  if (!file.empty()) {
    add(folder / PathFromWide(file));
    add(folder / kLinksFolder / PathFromWide(file));
  }
  return out;
}

bool SameContent(const fs::path& a, const fs::path& b) {
  std::error_code ec1, ec2;
  const auto sizeA = fs::file_size(a, ec1), sizeB = fs::file_size(b, ec2);
  if (ec1 || ec2 || sizeA != sizeB) return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  std::array<char, 64 * 1024> ba, bb;
  for (;;) {
    fa.read(ba.data(), ba.size());
    fb.read(bb.data(), bb.size());
    if (fa.gcount() != fb.gcount()) return false;
    if (!std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) return false;
    if (fa.gcount() == 0 || !fa || !fb) return fa.eof() && fb.eof();
  }
}

void ImageCollector::Collect(const fs::path& document, const std::vector<std::wstring>& images) {
  for (const std::wstring& name : images) {
    // "(atend)" defers the list to the trailer, which the header scan does not reach: no file.
    if (name.empty() || name == L"(atend)") continue;
    CollectEntry entry{PathText(document), ToUtf8(name)};
    fs::path source;
    for (const fs::path& candidate : ImageCandidates(document, name)) {
      if (IsFile(candidate)) {
        source = candidate;
        break;
      }
    }
    if (source.empty()) {
      summary_.missing.push_back(std::move(entry));
      continue;
    }
    if (!handled_.insert(Identity(source)).second) continue;
    ++summary_.found;
    entry.source = PathText(source);
    const fs::path target = folder_ / source.filename();
    std::error_code ec;
    if (fs::exists(target, ec) || ec) {
      if (fs::equivalent(source, target, ec) || SameContent(source, target)) {
        ++summary_.present;
      } else {
        entry.target = PathText(target);
        summary_.conflicts.push_back(std::move(entry));
      }
      continue;
    }
    if (CopyNew(source, target, entry.reason)) {
      ++summary_.copied;
    } else {
      entry.target = PathText(target);
      summary_.failed.push_back(std::move(entry));
    }
  }
}

std::string FormatCollectSummary(const CollectSummary& s) {
  std::string out = "配置画像: 見つかった " + std::to_string(s.found) + " / コピーした " + std::to_string(s.copied) +
                    " / 同じファイルが既にある " + std::to_string(s.present) + " / 同名の別ファイルがある " +
                    std::to_string(s.conflicts.size()) + " / コピーできない " + std::to_string(s.failed.size()) +
                    " / 見つからない " + std::to_string(s.missing.size()) + "\n";
  out += Entries("同名の別ファイルがあるためコピーしなかった画像:", s.conflicts, true);
  out += Entries("コピーできなかった画像:", s.failed, true);
  out += Entries("見つからない画像:", s.missing, false);
  return out;
}

std::string FormatCollectJson(const CollectSummary& s) {
  return "{\"collect\":{\"found\":" + std::to_string(s.found) + ",\"copied\":" + std::to_string(s.copied) +
         ",\"present\":" + std::to_string(s.present) + ",\"conflicts\":" + JsonEntries(s.conflicts) +
         ",\"failed\":" + JsonEntries(s.failed) + ",\"missing\":" + JsonEntries(s.missing) + "}}\n";
}

}  // namespace pelmora::cli
