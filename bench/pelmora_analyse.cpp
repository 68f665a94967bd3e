// Analyses one document natively as the start-up does and prints what the result window would
// show, with the process's peak resident memory before and after, to check the memory bound.
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <iostream>

#include "analysis/ansi_text.h"
#include "console_host.h"
#include "base/error_text.h"

namespace {

long PeakKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string Utf8(const std::wstring& text) {
  std::string out;
  for (const wchar_t w : text) {
    const auto c = static_cast<std::uint32_t>(w);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
              static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

// Document text is code page 932.
std::string Utf8(std::string_view cp932) { return Utf8(pelmora::analysis::DecodeAnsi(cp932)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pelmora_analyse DOCUMENT\n";
    return 2;
  }
  const long before = PeakKiB();
  pelmora::bench::ConsoleHost host{std::filesystem::path(argv[1])};
  pelmora::launch::Main(host);
  const long after = PeakKiB();

  const auto& r = host.result;
  if (!host.message.empty()) {
    std::cout << "message:  " << Utf8(host.message) << "\n";
  } else if (host.error != 0) {
    std::cout << "error:    " << Utf8(pelmora::base::ErrorMessage(host.error)) << "\n";
  } else {
    std::cout << "file:     " << Utf8(r.strFile) << "\n"
              << "kind:     " << r.strFiletype << "\n"
              << "creator:  " << Utf8(r.vstrVersionString) << "\n"
              << "version:  " << Utf8(r.vstrCreatorVersion) << "\n"
              << "mac:      " << (r.vblnMac ? "yes" : "no") << "\n"
              << "progress: " << (host.waits ? "shown (larger windows scanned)" : "not shown") << "\n"
              << "placed:   " << r.vlngLinkImage << "\n";
    for (const std::string& name : r.rastrLinkImage) std::cout << "  " << Utf8(name) << "\n";
  }
  std::cout << "peak RSS: " << before << " KiB before, " << after << " KiB after, +" << (after - before) << " KiB\n";
  return host.error != 0 || !host.message.empty() ? 1 : 0;
}
