#pragma once
// Folders of small documents on disk for the scanner's tests.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace pelmora::cli::testing {

namespace fs = std::filesystem;

class TempTree {
 public:
  TempTree() {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("pelmora-cli-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
  }
  ~TempTree() {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const fs::path& root() const { return root_; }

  // `relative` is UTF-8 with '/' separators.
  fs::path Write(const std::string& relative, const std::string& bytes) const {
    const fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

  fs::path Path(const std::string& relative) const {
    return root_ / fs::path(std::u8string(relative.begin(), relative.end())).make_preferred();
  }

  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  fs::path root_;
};

// An EPS header in code page 932 bytes, with CR LF so that the placed-image list continues.
inline std::string Eps(const std::string& creator, const std::string& version, const std::vector<std::string>& images = {}) {
  std::string s = "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: " + creator + "\r\n";
  if (!version.empty()) s += "%%AI8_CreatorVersion: " + version + "\r\n";
  for (std::size_t i = 0; i < images.size(); ++i) s += (i == 0 ? "%%DocumentFiles:" : "%%+") + images[i] + "\r\n";
  return s + "%%EndComments\r\n%%EOF\r\n";
}

// The text's lines, without their LF.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

}  // namespace pelmora::cli::testing
