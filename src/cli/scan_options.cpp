#include "cli/scan_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "base/text_utf8.h"

namespace pelmora::cli {

using namespace base;

namespace {

using Native = std::filesystem::path::string_type;

bool Is(const Native& arg, std::string_view ascii) {
  return arg.size() == ascii.size() && std::equal(arg.begin(), arg.end(), ascii.begin(),
                                                  [](auto a, char b) { return a == static_cast<unsigned char>(b); });
}

bool StartsWith(const Native& arg, std::string_view ascii) {
  return arg.size() >= ascii.size() && Is(arg.substr(0, ascii.size()), ascii);
}

// A positive decimal number of a sane size; anything else is a usage error rather than a silent 0.
std::optional<double> PositiveNumber(const Native& arg, double most) {
  std::string ascii;
  for (const auto c : arg) {
    if (c < 0 || c > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(v) || v < 0 || v > most) return std::nullopt;
  return v;
}

}  // namespace

ParsedArgs ParseArgs(const std::vector<std::filesystem::path>& args) {
  ParsedArgs parsed;
  ScanOptions& o = parsed.options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Native& arg = args[i].native();
    // A lone "-" is a file name, as in most tools; there is no standard input mode.
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (arg.empty()) {
        parsed.error = "空のパスは指定できません";
        return parsed;
      }
      o.paths.push_back(args[i]);
    } else if (Is(arg, "--")) {
      optionsEnded = true;
    } else if (Is(arg, "-h") || Is(arg, "--help")) {
      o.help = true;
    } else if (Is(arg, "-V") || Is(arg, "--version")) {
      o.version = true;
    } else if (Is(arg, "--json")) {
      o.json = true;
    } else if (Is(arg, "--check")) {
      o.check = true;
    } else if (Is(arg, "--csv")) {
      o.csv = true;
    } else if (Is(arg, "--html")) {
      if (i + 1 == args.size() || args[i + 1].empty()) {
        parsed.error = "--html には書き出す HTML ファイルを指定してください";
        return parsed;
      }
      if (o.htmlFile) {
        parsed.error = "--html は一度だけ指定できます";
        return parsed;
      }
      o.htmlFile = args[++i];
      o.check = true;  // the page shows the check's facts
    } else if (Is(arg, "--table")) {
      o.table = true;
    } else if (Is(arg, "--images")) {
      o.images = true;
    } else if (Is(arg, "--all")) {
      o.allFiles = true;
    } else if (Is(arg, "--from-anywhere")) {
      o.fromAnywhere = true;
    } else if (Is(arg, "--collect") || StartsWith(arg, "--collect=")) {
      Native dir;
      if (Is(arg, "--collect")) {
        if (i + 1 == args.size()) {
          parsed.error = "--collect にはコピー先のフォルダーを指定してください";
          return parsed;
        }
        dir = args[++i].native();
      } else {
        dir = arg.substr(std::string_view("--collect=").size());
      }
      if (dir.empty()) {
        parsed.error = "--collect にはコピー先のフォルダーを指定してください";
        return parsed;
      }
      if (o.collectDir) {
        parsed.error = "--collect は一度だけ指定できます";
        return parsed;
      }
      o.collectDir = std::filesystem::path(dir);
    } else if (Is(arg, "--min-ppi") || Is(arg, "--min-bleed")) {
      const bool ppi = Is(arg, "--min-ppi");
      const char* what = ppi ? "--min-ppi には 1 から 10000 までの解像度 (ppi) を指定してください"
                             : "--min-bleed には 0 から 100 までの幅 (mm) を指定してください";
      const auto v = i + 1 < args.size() ? PositiveNumber(args[i + 1].native(), ppi ? 10000 : 100) : std::nullopt;
      if (!v || (ppi && *v < 1)) {
        parsed.error = what;
        return parsed;
      }
      ++i;
      (ppi ? o.limits.minPpi : o.limits.minBleedMm) = *v;
    } else {
      parsed.error = "不明なオプションです: " + PrintableCell(PathText(args[i]));
      return parsed;
    }
  }
  if (!o.help && !o.version && o.paths.empty()) parsed.error = "調べる文書またはフォルダーを指定してください";
  if (o.json && o.csv) parsed.error = "--json と --csv は一緒に指定できません";
  if (o.table && (o.json || o.csv)) parsed.error = "--table は --json や --csv と一緒に指定できません";
  if (o.fromAnywhere && !o.collectDir) parsed.error = "--from-anywhere は --collect と一緒に指定してください";
  return parsed;
}

}  // namespace pelmora::cli
