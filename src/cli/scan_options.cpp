#include "cli/scan_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <type_traits>

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
    if (static_cast<std::make_unsigned_t<Native::value_type>>(c) > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (ec != std::errc() || end != ascii.data() + ascii.size() || !std::isfinite(v) || v < 0 || v > most) return std::nullopt;
  return v;
}

bool IsIgnoringCase(const Native& arg, std::string_view ascii) {
  return arg.size() == ascii.size() && std::equal(arg.begin(), arg.end(), ascii.begin(), [](auto a, char b) {
           return (a >= 'A' && a <= 'Z' ? a + ('a' - 'A') : a) == static_cast<unsigned char>(b);
         });
}

// An option's value: the next argument, or what follows "--name=". False when there is none.
bool OptionValue(const std::vector<std::filesystem::path>& args, std::size_t& i, std::string_view name, Native& value) {
  const Native& arg = args[i].native();
  if (Is(arg, name)) {
    if (i + 1 == args.size()) return false;
    value = args[++i].native();
  } else {
    value = arg.substr(name.size() + 1);
  }
  return !value.empty();
}

#ifdef _WIN32
// cmd and PowerShell hand "D:\入稿 2024\" over as D:\入稿 2024": a backslash before the closing
// quote makes it a quote of the name. No Windows name holds a '"': one at the end is dropped; one
// elsewhere means the rest of the line ran into this argument, which is said as such.
bool TrimStrayQuote(Native& path, std::string& error) {
  const auto quote = path.find(L'"');
  if (quote == Native::npos) return true;
  if (quote + 1 == path.size()) {
    path.pop_back();
    return true;
  }
  error = "パスに \" が含まれています (フォルダー名の最後の \\ が続く \" を名前の一部にしたため、後の引数もつながりました。"
          "最後の \\ を外すか \\\\ と書いてください): " + PrintableCell(ToUtf8(path));
  return false;
}
#endif

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
#ifdef _WIN32
      Native path = arg;
      if (!TrimStrayQuote(path, parsed.error)) return parsed;
      o.paths.emplace_back(std::move(path));
#else
      o.paths.push_back(args[i]);
#endif
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
#ifdef _WIN32
      Native file = args[++i].native();
      if (!TrimStrayQuote(file, parsed.error)) return parsed;
      o.htmlFile = std::filesystem::path(file);
#else
      o.htmlFile = args[++i];
#endif
      o.check = true;  // the page shows the check's facts
    } else if (Is(arg, "--table")) {
      o.table = true;
    } else if (Is(arg, "--images")) {
      o.images = true;
    } else if (Is(arg, "--all")) {
      o.allFiles = true;
    } else if (Is(arg, "--from-anywhere")) {
      o.fromAnywhere = true;
    } else if (Is(arg, "--encoding") || StartsWith(arg, "--encoding=")) {
      Native value;
      OptionValue(args, i, "--encoding", value);
      if (IsIgnoringCase(value, "utf8") || IsIgnoringCase(value, "utf-8")) {
        o.encoding = ScanOptions::Encoding::kUtf8;
      } else if (IsIgnoringCase(value, "cp932") || IsIgnoringCase(value, "shift_jis") || IsIgnoringCase(value, "sjis")) {
        o.encoding = ScanOptions::Encoding::kCp932;
      } else {
        parsed.error = "--encoding には utf8 か cp932 を指定してください";
        return parsed;
      }
    } else if (Is(arg, "--output") || StartsWith(arg, "--output=") || Is(arg, "-o")) {
      Native file;
      if (!OptionValue(args, i, Is(arg, "-o") ? "-o" : "--output", file)) {
        parsed.error = "--output には書き出すファイルを指定してください";
        return parsed;
      }
#ifdef _WIN32
      if (!TrimStrayQuote(file, parsed.error)) return parsed;
#endif
      o.outputFile = std::filesystem::path(file);
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
#ifdef _WIN32
      if (!TrimStrayQuote(dir, parsed.error)) return parsed;
#endif
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
