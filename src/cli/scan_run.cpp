#include "cli/scan_run.h"

#include <fstream>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
#include <system_error>

#include "analysis/ansi_text.h"
#include "analysis/run_error.h"
#include "delivery/document_cache.h"
#include "delivery/document_walk.h"
#include "delivery/file_copy.h"
#include "delivery/image_collect.h"
#include "preflight/linked_files.h"
#include "preflight/native_data.h"
#include "preflight/pdf_layer.h"
#include "preflight/preflight.h"
#include "cli/collect_report.h"
#include "cli/html_report.h"
#include "preflight/preview.h"
#include "cli/scan_options.h"
#include "cli/scan_report.h"
#include "base/text_utf8.h"
#include "launch/analysis_run.h"
#include "base/error_text.h"

#ifndef PELMORA_VERSION
#error "PELMORA_VERSION comes from the CMake project version"
#endif

namespace pelmora::cli {

using namespace base;
using namespace delivery;
using namespace preflight;

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMacBinaryHeader = 128;
constexpr int kProgressColumns = 79;

constexpr const char* kHelp =
    "使い方: pelmora-scan [オプション] パス...\n"
    "\n"
    "EPS と Illustrator の文書を調べ、種類、保存形式 (%%Creator:)、作成時に使用したソフトの\n"
    "バージョン (%%AI8_CreatorVersion:、CS6 や CC 2019 などの名前を併記)、MacBinary の有無、\n"
    "PDF 互換かどうか、配置画像を一覧にします。\n"
    "パスがフォルダーなら中を名前順にたどり、拡張子が .ai .ait .eps .epsf .epsi .epi .ps の\n"
    "ファイルを調べます。名前が \".\" で始まるものは除きます。\n"
    "\n"
    "オプション:\n"
    "  --json           1 文書を 1 行の JSON で出力する。読めなかった文書も 1 行 (\"error\" に\n"
    "                   エラー番号とメッセージ)。--collect の集計は \"collect\" の行\n"
    "  --csv            Excel 用の CSV (UTF-8、BOM 付き、改行 CR LF) で出力する\n"
    "  --check          入稿チェック: フォント、カラー (RGB/CMYK)、特色、\n"
    "                   サイズ (mm)、透明効果の列と指摘 (未アウトライン、RGB、\n"
    "                   特色、透明効果、リンク切れ、表記ゆれ、PostScript、\n"
    "                   塗り足し不足、低解像度、RGB画像) を加える\n"
    "  --min-ppi N      低解像度とする実効解像度の下限 (既定 300 ppi、\n"
    "                   1 ビット画像はその 2 倍)\n"
    "  --min-bleed MM   塗り足し不足とする塗り足しの下限 (既定 3 mm)\n"
    "  --images         表の各文書の下に配置画像を並べる。--csv では\n"
    "                   配置画像ごとに 1 行\n"
    "  --html FILE      入稿チェックの結果を、プレビュー付きの 1 ページの\n"
    "                   HTML として FILE に書き出す (--check を含む。\n"
    "                   既にあるファイルには書き出さない)\n"
    "  --table          コンソールの幅に収まらなくても表で出力する (既定\n"
    "                   では文書ごとに 1 項目 1 行のまとまりで出力する。\n"
    "                   ファイルやパイプへは常に表)\n"
    "  --output FILE    結果を FILE に書き出す (UTF-8、BOM 付き。Windows\n"
    "                   PowerShell 5.1 やメモ帳でも文字化けしない)\n"
    "  --encoding utf8|cp932\n"
    "                   ファイルやパイプへの出力の文字コード (既定は\n"
    "                   utf8)。Windows PowerShell 5.1 の | や >、cmd の\n"
    "                   | findstr で読むときは cp932。画面への表示は\n"
    "                   どちらでも文字化けしない\n"
    "  --collect DIR    配置画像を DIR にコピーする。元のパス、文書と同じ\n"
    "                   フォルダー、その中の Links フォルダーの順に探す。\n"
    "                   DIR の既存ファイルは上書きしない。\n"
    "                   画像は調べるフォルダー (文書を直接指定したときは\n"
    "                   その文書のフォルダー) の中からだけコピーし、リンク\n"
    "                   (シンボリック リンク、ジャンクション) はたどらない。\n"
    "                   外を指す名前 (絶対パス、..、ネットワーク上の名前) は\n"
    "                   開かず、アクセスもしない\n"
    "  --from-anywhere  --collect で、文書に書かれた場所がどこでもコピーする\n"
    "                   (ネットワーク共有を含む)。自分で作った文書にだけ使う\n"
    "                   こと: 他人の文書ではシステムや他のフォルダーのファイル\n"
    "                   を DIR にコピーされ、書かれたホストに接続し、Windows\n"
    "                   ではそのホストにログオン情報を渡すおそれがある\n"
    "  --all            フォルダー内のファイルを拡張子によらずすべて調べる\n"
    "  -h, --help       この説明を表示する\n"
    "  -V, --version    バージョンを表示する\n"
    "\n"
    "終了コード:\n"
    "  0  すべての文書を解析した (--collect ではすべての配置画像がそろった)\n"
    "  1  解析できない文書 (読み取りエラー、通常のファイルでないものを含む)、集められない\n"
    "     配置画像があった、または出力を書き込めなかった\n"
    "  2  使い方の誤り\n"
    "  3  --check で、すべての文書を解析し、指摘のある文書があった\n";

// The window program's cursor and progress window have no counterpart here.
class NoHooks final : public launch::AnalysisHooks {
 public:
  void SetMousePointer(int) override {}
  void ShowWait(const std::wstring&) override {}
};

class Progress {
 public:
  Progress(Console& console, bool enabled, std::size_t total) : console_(console), enabled_(enabled), total_(total) {}
  ~Progress() { Clear(); }

  void Show(std::size_t index, const std::string& path) {
    if (!enabled_) return;
    std::string count = "[";
    count += std::to_string(index + 1) + "/" + std::to_string(total_) + "] ";
    std::string line = count + FitWidth(PrintableCell(path), kProgressColumns - static_cast<int>(count.size()));
    const int width = DisplayWidth(line);
    // Blanks rather than an erase sequence: older Windows consoles print escapes literally.
    line.append(static_cast<std::size_t>(std::max(0, shown_ - width)), ' ');
    console_.Err("\r" + line);
    shown_ = width;
  }

  void Clear() {
    if (!enabled_ || shown_ == 0) return;
    std::string blank(static_cast<std::size_t>(shown_) + 2, ' ');
    blank.front() = blank.back() = '\r';
    console_.Err(blank);
    shown_ = 0;
  }

 private:
  Console& console_;
  bool enabled_;
  std::size_t total_;
  int shown_ = 0;
};

std::string Message(std::int32_t number) { return ToUtf8(base::ErrorMessage(number)); }

// The window's text for a missing document, on one line: its line break would split the report.
std::string MissingMessage() {
  std::wstring text = launch::MissingFileMessage(L"");
  if (const auto br = text.find(L"\r\n"); br != std::wstring::npos) text.erase(br);
  if (!text.empty() && text.back() == L' ') text.pop_back();  // the report puts one blank before the path
  return ToUtf8(text);
}

std::string NotAFileMessage(WalkItem::Other other) {
  switch (other) {
    case WalkItem::Other::kDanglingLink: return "リンク先がないため飛ばしました";
    case WalkItem::Other::kPipe: return "名前付きパイプのため飛ばしました";
    case WalkItem::Other::kSocket: return "ソケットのため飛ばしました";
    case WalkItem::Other::kDevice: return "デバイスのため飛ばしました";
    case WalkItem::Other::kTooLong: return "パスが長すぎて開けません";
    default: return "通常のファイルではないため飛ばしました";
  }
}

// The header scan, as the window program's, takes a failed read for the end of the document; here
// that would print an empty row for a document that could not be read. Every read of the
// document goes through this watch, which keeps the first failure for the report.
class ReadWatch {
 public:
  ReadWatch() : previous_(analysis::SetDocumentOpener(&Open)) { active_ = this; }
  ~ReadWatch() {
    analysis::SetDocumentOpener(previous_);
    active_ = nullptr;
  }
  ReadWatch(const ReadWatch&) = delete;
  ReadWatch& operator=(const ReadWatch&) = delete;

  void Reset() { error_ = 0; }
  std::int32_t error() const { return error_; }
  // Whether documents are read from the platform itself, and not through a test's opener.
  bool OverPlatform() const { return previous_ == &analysis::OpenPlatformDocument; }

 private:
  class Reader final : public analysis::DocumentReader {
   public:
    explicit Reader(std::unique_ptr<analysis::DocumentReader> inner) : inner_(std::move(inner)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
      try {
        return inner_->Read(buffer, size);
      } catch (const RunError& e) {
        active_->Note(e.number());
        throw;
      }
    }
    std::optional<std::string_view> Lend() override { return inner_->Lend(); }
    bool Seek(std::uint64_t offset) override { return inner_->Seek(offset); }
    std::optional<std::uint64_t> Size() override { return inner_->Size(); }

   private:
    std::unique_ptr<analysis::DocumentReader> inner_;
  };

  static std::unique_ptr<analysis::DocumentReader> Open(const analysis::DocumentPath& path) {
    try {
      return std::make_unique<Reader>(active_->previous_(path));
    } catch (const RunError& e) {
      active_->Note(e.number());
      throw;
    }
  }

  void Note(std::int32_t number) {
    if (error_ == 0) error_ = number;
  }

  static inline ReadWatch* active_ = nullptr;
  analysis::DocumentOpener previous_;
  std::int32_t error_ = 0;
};

// Standard output as the options want it: into a file of its own (UTF-8 with a byte-order mark,
// which Windows PowerShell and Notepad read as UTF-8 whatever the code page), and in code page 932
// for a file or pipe whose reader takes nothing else. Errors still go to the console.
class ReportOutput final : public Console {
 public:
  ReportOutput(Console& console, bool cp932) : console_(console), wanted_(cp932), cp932_(cp932 && !console.OutIsTerminal()) {}

  // False, with the reason, when the file cannot be made.
  bool Open(const fs::path& file, std::string& reason) {
    cp932_ = wanted_;
    file_.open(file, std::ios::binary | std::ios::trunc);
    if (!file_) {
      reason = delivery::SystemErrorText(errno);
      return false;
    }
    return true;
  }

  void Out(std::string_view utf8) override {
    // Code page 932 has no byte-order mark: the CSV's would become a '?'.
    if (cp932_ && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
    const std::string cp932 = cp932_ ? Utf8ToCp932(utf8) : std::string();
    const std::string_view text = cp932_ ? std::string_view(cp932) : utf8;
    if (!file_.is_open()) return console_.Out(text);
    if (!started_ && !cp932_ && text.substr(0, 3) != "\xEF\xBB\xBF") file_ << "\xEF\xBB\xBF";
    started_ = true;
    file_.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!file_) throw OutputError{delivery::SystemErrorText(errno)};
  }
  void Err(std::string_view utf8) override { console_.Err(utf8); }
  bool ErrIsTerminal() override { return console_.ErrIsTerminal(); }
  bool OutIsTerminal() override { return !file_.is_open() && console_.OutIsTerminal(); }
  // A report file has no width: it gets the table, as a pipe does.
  ConsoleFit OutFit() override { return file_.is_open() ? ConsoleFit{} : console_.OutFit(); }
  void Step(std::size_t index, std::size_t total, const std::string& path) override { console_.Step(index, total, path); }

  // Ends the report file, where a write the system had only buffered may still fail.
  void Close() {
    if (!file_.is_open()) return;
    if (!started_ && !cp932_) file_ << "\xEF\xBB\xBF";
    file_.close();
    if (!file_) throw OutputError{delivery::SystemErrorText(errno)};
  }

 private:
  Console& console_;
  bool wanted_;
  bool cp932_;
  bool started_ = false;
  std::ofstream file_;
};

// The folders named, and for each document named, its own folder.
Delivery DeliveryOf(const std::vector<fs::path>& paths) {
  Delivery delivery;
  for (const fs::path& p : paths) {
    if (IsFolder(p)) {
      delivery.Add(p);
    } else {
      delivery.Add(p.has_parent_path() ? p.parent_path() : fs::path("."));
    }
  }
  return delivery;
}

int Scan(const ScanOptions& o, Console& console);

}  // namespace

const char* ProgramVersion() { return PELMORA_VERSION; }

bool IsPdfBased(const fs::path& document, bool macBinary) {
  constexpr std::string_view kPdf = "%PDF";
  const std::size_t at = macBinary ? kMacBinaryHeader : 0;
  std::array<char, kMacBinaryHeader + 4> head{};
  const std::size_t want = at + kPdf.size();
  std::size_t got = 0;
  const auto reader = analysis::OpenDocument(document);
  while (got < want) {
    const std::size_t n = reader->Read(head.data() + got, want - got);
    if (n == 0) break;
    got += n;
  }
  return got == want && std::string_view(head.data() + at, kPdf.size()) == kPdf;
}

int RunScan(const std::vector<fs::path>& args, Console& console) {
  const ParsedArgs parsed = ParseArgs(args);
  if (!parsed.error.empty()) {
    console.Err("pelmora-scan: " + parsed.error + "\n詳しくは pelmora-scan --help を見てください\n");
    return kExitUsage;
  }
  const ScanOptions& o = parsed.options;
  ReportOutput output(console, o.encoding == ScanOptions::Encoding::kCp932);
  if (o.outputFile && !o.help && !o.version) {
    std::error_code ec;
    // The program never writes a document it reads: a report named like one is refused.
    if (HasDocumentExtension(o.outputFile->filename().native()) && fs::exists(*o.outputFile, ec)) {
      console.Err("pelmora-scan: 文書のファイルには書き出しません: " + PrintableCell(PathText(*o.outputFile)) + "\n");
      return kExitUsage;
    }
    std::string reason;
    if (!output.Open(*o.outputFile, reason)) {
      console.Err("pelmora-scan: 出力ファイルを作れません: " + PrintableCell(PathText(*o.outputFile)) + " (" +
                  PrintableCell(reason) + ")\n");
      return kExitUsage;
    }
  }
  try {
    const int status = Scan(o, output);
    output.Close();
    return status;
  } catch (const OutputError& e) {
    if (!e.quiet) console.Err("pelmora-scan: 出力を書き込めません: " + PrintableCell(e.reason) + "\n");
    return kExitSomeFailed;
  }
}

namespace {

int Scan(const ScanOptions& o, Console& console) {
  if (o.help) {
    console.Out(kHelp);
    return kExitAllAnalysed;
  }
  if (o.version) {
    console.Out(std::string("pelmora-scan ") + ProgramVersion() + "\n");
    return kExitAllAnalysed;
  }

  ForgetFolders();  // a folder may have changed since an earlier run in this process
  std::optional<ImageCollector> collector;
  if (o.collectDir) {
    if (!PrepareFolder(*o.collectDir)) {
      console.Err("pelmora-scan: コピー先のフォルダーを用意できません: " + PrintableCell(PathText(*o.collectDir)) + "\n");
      return kExitUsage;
    }
    collector.emplace(*o.collectDir, DeliveryOf(o.paths), o.fromAnywhere);
  }
  const Delivery delivery = DeliveryOf(o.paths);

  // The report page: never over a file already there, which might be anyone's.
  std::ofstream htmlOut;
  HtmlReport html;
  if (o.htmlFile) {
    std::error_code ec;
    if (fs::symlink_status(*o.htmlFile, ec).type() != fs::file_type::not_found) {
      console.Err("pelmora-scan: 既にあるファイルには書き出しません: " + PrintableCell(PathText(*o.htmlFile)) + "\n");
      return kExitUsage;
    }
    htmlOut.open(*o.htmlFile, std::ios::binary);
    if (!htmlOut) {
      console.Err("pelmora-scan: HTML ファイルを作れません: " + PrintableCell(PathText(*o.htmlFile)) + "\n");
      return kExitUsage;
    }
    std::string title;
    for (const fs::path& p : o.paths) title += (title.empty() ? "" : "、") + PathText(p);
    htmlOut << html.Begin(title);
  }

  const WalkList items = ListDocuments(o.paths, o.allFiles);
  Progress progress(console, items.size() >= kProgressFrom && console.ErrIsTerminal(), items.size());
  NoHooks hooks;
  ReadWatch watch;
  TableWriter table(o.images, kTableBlockBytes, o.check, o.table ? ConsoleFit{} : console.OutFit());
  const auto out = [&](const std::string& text) {
    if (text.empty()) return;
    progress.Clear();
    console.Out(text);
  };
  bool failed = false;
  bool findings = false;
  // Every document gets one JSON record, the unreadable ones too.
  const auto report = [&](const std::string& message, const std::string& shown, std::int32_t number = 0) {
    progress.Clear();
    console.Err(message + " " + PrintableCell(shown) + "\n");
    if (o.json) {
      bool cut;
      out(FormatJsonError(CapChars(shown, kValueChars, cut), number, message));
    }
    if (htmlOut.is_open()) htmlOut << html.Failure(shown, message);
    failed = true;
  };
  if (o.csv) out(FormatCsvStart() + FormatCsvLine(CsvHeadingCells(o.check, o.images)));

  // The next documents are read while this one is checked. One document gains nothing from it,
  // and on one processor the two threads would only take turns.
  std::optional<DocumentReadAhead> ahead;
  if (items.size() > 1 && watch.OverPlatform() && DocumentReadAhead::Processors() > 1) {
    try {
      ahead.emplace();
    } catch (const std::system_error&) {
      // No thread to be had: the documents are read in turn, as on one processor.
    }
  }
  std::size_t queued = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    for (; ahead && queued < items.size(); ++queued) {
      const WalkItem next = items[queued];
      if (next.kind == WalkItem::Kind::kDocument && !ahead->Queue(next.path)) break;
    }
    const WalkItem item = items[i];
    const std::string shown = PathText(item.path);
    switch (item.kind) {
      case WalkItem::Kind::kMissing: report(MissingMessage(), shown, err::kFileNotFound); continue;
      case WalkItem::Kind::kUnreadableFolder: report(Message(item.error), shown, item.error); continue;
      case WalkItem::Kind::kNotAFile: report(NotAFileMessage(item.other), shown); continue;
      case WalkItem::Kind::kDocument: break;
    }
    progress.Show(i, shown);
    console.Step(i, items.size(), shown);
    watch.Reset();
    try {
      const ScopedDocumentCache cache = ahead ? ScopedDocumentCache(item.path, ahead->Take()) : ScopedDocumentCache(item.path);
      // The name is for the window program's progress window and result; nothing here shows it.
      const launch::AnalysisResult result = launch::AnalyseDocument(item.path, std::wstring(), hooks, kValueBytes);
      const bool pdf = IsPdfBased(item.path, result.vblnMac);
      if (watch.error() != 0) throw RunError(watch.error());
      DocumentRow row = MakeRow(shown, result, pdf);
      if (o.check || collector) {
        // The header's names and the XMP manifest's, merged: a Mac's list may have lost marks,
        // been cut short, or left a link out.
        // Decoded once, for the row already (a converter costs more than the rest of a look-up); a
        // name cut there is longer than any file name.
        std::vector<std::wstring> header;
        for (const std::string& name : row.images) header.push_back(FromUtf8(name));
        const std::optional<analysis::XmpFacts> xmp = ReadXmpFacts(item.path);
        const analysis::DscFacts dsc = analysis::ReadDscComments(item.path);
        const std::vector<std::wstring> names = LinkNames(header, &dsc, xmp);
        if (o.check) {
          CheckFacts facts = MergeFacts(dsc, xmp, result.strFiletype, row.creator, LocateLinks(item.path, names, delivery));
          AddNativeData(facts, ReadNativeData(item.path), pdf);
          if (pdf) AddPdfLayer(facts, ReadPdfLayer(item.path, result.vblnMac));
          AddLinkedFiles(facts, [&](const CheckFacts::Link& l) { return OpenFound(delivery, l.found); });
          AddDrawnFindings(facts, o.limits);
          AddCheck(row, std::move(facts));
          findings = findings || !row.check->findings.empty();
        }
        if (watch.error() != 0) throw RunError(watch.error());
        if (collector) collector->Collect(item.path, names);
      }
      if (htmlOut.is_open()) {
        std::optional<Thumbnail> thumbnail;
        try {
          thumbnail = ReadThumbnail(item.path);
        } catch (const RunError&) {
          // The document was read a moment ago; a picture it no longer gives is only left out.
        }
        htmlOut << html.Document(row, thumbnail);
      }
      if (o.json) {
        out(FormatJson(row));
      } else if (o.csv) {
        for (const auto& cells : CsvRows(row, o.check, o.images)) out(FormatCsvLine(cells));
      } else {
        table.Add(row, out);
      }
    } catch (const RunError& e) {
      report(Message(e.number()), shown, e.number());
    } catch (const std::bad_alloc&) {
      report(Message(err::kOutOfMemory), shown, err::kOutOfMemory);
    }
  }
  progress.Clear();

  if (!o.json && !o.csv) console.Out(table.Flush());
  if (collector) {
    const CollectSummary& s = collector->summary();
    const std::vector<ImageHeader> images = ReadCollected(s, delivery, o.fromAnywhere);
    if (o.json) {
      console.Out(FormatCollectJson(s, images));
    } else if (o.csv) {
      // Its own shape would break the CSV's columns: the summary goes to stderr.
      console.Err(FormatCollectSummary(s, images));
    } else {
      console.Out("\n");
      console.Out(FormatCollectSummary(s, images));
    }
    if (!s.Complete()) failed = true;
  }
  if (htmlOut.is_open()) {
    htmlOut << html.End();
    htmlOut.close();
    if (!htmlOut) {
      console.Err("pelmora-scan: HTML ファイルを書き込めません: " + PrintableCell(PathText(*o.htmlFile)) + "\n");
      failed = true;
    }
  }
  // A failure outranks findings: a check that could not read everything has not passed.
  if (failed) return kExitSomeFailed;
  return findings ? kExitFindings : kExitAllAnalysed;
}

}  // namespace

}  // namespace pelmora::cli
