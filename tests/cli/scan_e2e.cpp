// The built pelmora-scan on the test documents: the same fields as the window program shows, and a
// collection run on a tree of stale paths. Under Wine this runs pelmora-scan.exe.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <stdio.h>
#endif
#include <map>
#include <span>

#include "../documents/samples.h"
#include "analysis/ansi_text.h"
#include "base/text_utf8.h"
#include "cli_fixture.h"
#include "json_lite.h"
#include "launch/analysis_run.h"
#include "run_program.h"

namespace pelmora::cli {
namespace {

using namespace base;

namespace fs = std::filesystem;
using testing::Eps;
using testing::TargetPath;
using testing::TempTree;
using ::e2e::Sample;


const fs::path& Exe() {
  static const fs::path exe = TargetPath(PELMORA_SCAN_EXE);
  return exe;
}

// The scanner shows a creator written as a PostScript string as that string's text; the samples
// here escape nothing but parentheses.
std::string Unwrapped(std::string creator) {
  if (creator.size() < 2 || creator.front() != '(' || creator.back() != ')') return creator;
  std::string out;
  for (std::size_t i = 1; i + 1 < creator.size(); ++i) {
    if (creator[i] == '\\' && (creator[i + 1] == '(' || creator[i + 1] == ')')) ++i;
    out += creator[i];
  }
  return out;
}

// The project's documents, and the third-party corpus where it lies beside the clone.
struct SampleSet {
  const char* name;
  const char* root;
  std::span<const Sample> samples;
  bool corpus;
};
const SampleSet kSets[] = {{"Own", PELMORA_DOCUMENTS, ::e2e::kDocuments, false},
                           {"Corpus", PELMORA_CORPUS, ::e2e::kSamples, true}};

// The window program's start-up, with a host that keeps what the result window would be given.
class WindowStartup final : public launch::MainHost {
 public:
  explicit WindowStartup(fs::path doc) : doc_(std::move(doc)) {}
  std::wstring CommandLineArgs() override { return L"\"" + FromUtf8(PathText(doc_)) + L"\""; }
  bool FileExists(const std::wstring&) override { return true; }
  void Message(const std::wstring&, int) override { ADD_FAILURE() << "message box"; }
  void SetMousePointer(int) override {}
  void ShowWait(const std::wstring&) override {}
  void UnloadWait() override {}
  void ShowResult(const launch::AnalysisResult& r) override { result = r; }
  void ShowError(std::int32_t number) override { ADD_FAILURE() << "error " << number; }
  launch::AnalysisResult result;

 private:
  fs::path doc_;
};

class SampleScan : public ::testing::TestWithParam<SampleSet> {
 protected:
  void SetUp() override {
    if (GetParam().corpus && !::e2e::CorpusPresent()) GTEST_SKIP() << ::e2e::kNoCorpus;
  }
  fs::path Root() const { return TargetPath(GetParam().root); }
  fs::path File(const Sample& s) const { return Root() / fs::path(std::u8string(s.file, s.file + strlen(s.file))); }

  // Rows by file name (UTF-8).
  std::map<std::string, json_lite::Value> Rows() {
    const testing::ProgramRun run = testing::RunProgram(Exe(), {"--json", PathText(Root())}, scratch_.root());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::map<std::string, json_lite::Value> rows;
    std::size_t at = 0;
    while (at < run.out.size()) {
      const std::size_t end = run.out.find('\n', at);
      EXPECT_NE(end, std::string::npos) << "unterminated last line";
      const std::string line = run.out.substr(at, end - at);
      at = end == std::string::npos ? run.out.size() : end + 1;
      try {
        json_lite::Value v = json_lite::Parse(line);
        const fs::path p(std::u8string(v["path"].str().begin(), v["path"].str().end()));
        rows.emplace(PathText(p.filename()), std::move(v));
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what() << ": " << line;
      }
    }
    EXPECT_EQ(rows.size(), GetParam().samples.size());
    return rows;
  }

  TempTree scratch_;
};

TEST_P(SampleScan, EveryDocumentShowsWhatTheResultWindowShows) {
  const auto rows = Rows();
  for (const Sample& s : GetParam().samples) {
    SCOPED_TRACE(s.file);
    const auto it = rows.find(s.file);
    ASSERT_NE(it, rows.end());
    const json_lite::Value& row = it->second;
    EXPECT_EQ(row["kind"].str(), s.kind);
    EXPECT_EQ(row["creator"].str(), Unwrapped(ToUtf8(s.creator)));
    EXPECT_EQ(row["creator_version"].str(), ToUtf8(s.version));
    EXPECT_EQ(row["macbinary"].boolean(), s.mac);
  }
}

TEST_P(SampleScan, AgreesWithTheWindowStartupOnEveryField) {
  const auto rows = Rows();
  for (const Sample& s : GetParam().samples) {
    SCOPED_TRACE(s.file);
    const auto it = rows.find(s.file);
    ASSERT_NE(it, rows.end());
    const json_lite::Value& row = it->second;
    if (!::e2e::StartupCanOpen(File(s))) continue;
    WindowStartup window(File(s));
    launch::Main(window);
    const launch::AnalysisResult& r = window.result;
    EXPECT_EQ(row["kind"].str(), r.strFiletype);
    EXPECT_EQ(row["creator"].str(), Unwrapped(ToUtf8(analysis::DecodeAnsi(r.vstrVersionString))));
    EXPECT_EQ(row["creator_version"].str(), ToUtf8(analysis::DecodeAnsi(r.vstrCreatorVersion)));
    EXPECT_EQ(row["macbinary"].boolean(), r.vblnMac);
    std::vector<std::string> images;
    for (std::int32_t i = 0; i < r.vlngLinkImage; ++i) {
      if (!r.rastrLinkImage[i].empty()) images.push_back(ToUtf8(analysis::DecodeAnsi(r.rastrLinkImage[i])));
    }
    std::vector<std::string> shown;
    for (const auto& v : row["images"].array()) shown.push_back(v.str());
    EXPECT_EQ(shown, images);

    char head[4] = {};
    std::ifstream(File(s), std::ios::binary).read(head, 4);
    EXPECT_EQ(row["pdf"].boolean(), std::string(head, 4) == "%PDF");
  }
}

TEST_P(SampleScan, TableHasOneRowPerDocumentInNameOrder) {
  const auto table = testing::RunProgram(Exe(), {PathText(Root())}, scratch_.root());
  ASSERT_EQ(table.status, 0) << table.err;
  std::vector<std::string> files;
  for (std::size_t at = table.out.find('\n') + 1; at < table.out.size(); at = table.out.find('\n', at) + 1) {
    const std::string line = table.out.substr(at, table.out.find('\n', at) - at);
    const std::string path = line.substr(0, line.find(' '));
    files.push_back(path.substr(path.find_last_of("/\\") + 1));
  }
  ASSERT_EQ(files.size(), GetParam().samples.size());
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(files[i], GetParam().samples[i].file);
}

INSTANTIATE_TEST_SUITE_P(Sets, SampleScan, ::testing::ValuesIn(kSets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScanProgram, ReportsLikeTheWindowAndSaysSoInItsStatus) {
  TempTree t;
  const fs::path gone = t.Path("gone.eps");
  const Sample& first = ::e2e::kDocuments[0];
  const auto missing =
      testing::RunProgram(Exe(), {PathText(gone), PathText(TargetPath(PELMORA_DOCUMENTS) / first.file)}, t.root());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "ファイルが見つかりません " + PathText(gone) + "\n");
  EXPECT_NE(missing.out.find(first.file), std::string::npos);

  const auto usage = testing::RunProgram(Exe(), {"--bogus", PathText(TargetPath(PELMORA_DOCUMENTS))}, t.root());
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.out, "");

  const auto version = testing::RunProgram(Exe(), {"--version"}, t.root());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "pelmora-scan " PELMORA_VERSION "\n");
}

// The preflight over the project's documents and five of the corpus: each field, the findings, and
// an exit status that sorts deliveries.
TEST(ScanProgram, CheckReportsEachFieldAndSaysSoInItsStatus) {
  TempTree t;
  const struct {
    const char* root;
    std::span<const ::e2e::CheckSample> samples;
    bool corpus;
  } sets[] = {{PELMORA_CHECK_DOCUMENTS, ::e2e::kCheckDocuments, false}, {PELMORA_CORPUS, ::e2e::kCheckSamples, true}};
  for (const auto& set : sets) {
    if (set.corpus && !::e2e::CorpusPresent()) {
      std::printf("skipped the corpus: %s\n", ::e2e::kNoCorpus);
      continue;
    }
    // A document may have several fragments (its fonts, its pages, its images); it is named once.
    std::vector<std::string> args = {"--check", "--json"};
    std::map<std::string, std::size_t> line;
    for (const auto& s : set.samples) {
      if (!line.emplace(s.file, line.size()).second) continue;
      args.push_back(PathText(TargetPath(set.root) / fs::path(std::u8string(s.file, s.file + strlen(s.file)))));
    }
    const auto run = testing::RunProgram(Exe(), args, t.root());
    EXPECT_EQ(run.status, 3) << run.err;
    const auto lines = testing::Lines(run.out);
    ASSERT_EQ(lines.size(), line.size()) << run.out;
    for (const auto& s : set.samples) {
      SCOPED_TRACE(s.file);
      const std::string& json = lines[line.at(s.file)];
      EXPECT_NO_THROW(json_lite::Parse(json));
      EXPECT_NE(json.find(s.json), std::string::npos) << json;
    }
  }

  const fs::path docs = TargetPath(PELMORA_CHECK_DOCUMENTS);
  // Nothing to remark: 0. Without --check the same findings change nothing.
  EXPECT_EQ(testing::RunProgram(Exe(), {"--check", PathText(docs / "c02-cmyk-clean.eps")}, t.root()).status, 0);
  EXPECT_EQ(testing::RunProgram(Exe(), {PathText(docs)}, t.root()).status, 0);
  // A document that could not be read outranks findings, and has its own record.
  const auto missing = testing::RunProgram(Exe(), {"--check", "--json", PathText(docs), PathText(t.Path("gone.eps"))}, t.root());
  EXPECT_EQ(missing.status, 1);
  const auto lines = testing::Lines(missing.out);
  ASSERT_EQ(lines.size(), std::size(::e2e::kCheckDocuments) + 1);
  EXPECT_EQ(json_lite::Parse(lines.back())["error"]["number"].number(), 53) << lines.back();

  // CSV for Excel: a byte-order mark, CR LF after every record (a list's names are LF apart inside
  // their quoted cell), the names behind the counts, and a creator that looks like a formula kept
  // from being one.
  const auto csv = testing::RunProgram(Exe(), {"--check", "--csv", PathText(docs)}, t.root());
  EXPECT_EQ(csv.status, 3);
  ASSERT_EQ(csv.out.substr(0, 3), "\xEF\xBB\xBF");
  std::vector<std::string> rows;
  for (std::size_t at = 3; at < csv.out.size();) {
    const std::size_t end = csv.out.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "unterminated line";
    rows.push_back(csv.out.substr(at, end - at));
    EXPECT_EQ(rows.back().find('\r'), std::string::npos) << "a bare CR";
    at = end + 2;
  }
  ASSERT_EQ(rows.size(), std::size(::e2e::kCheckDocuments) + 1);
  EXPECT_EQ(rows[0], "\"ファイル名\",\"種類\",\"バージョン\",\"MacBinary\",\"PDF\",\"配置画像\",\"配置画像の名前\",\"フォント\","
                     "\"フォント名\",\"カラー\",\"特色\",\"特色名\",\"サイズ(mm)\",\"アートボード\",\"透明効果\",\"リンク\",\"画像\","
                     "\"指摘\",\"保存形式\"");
  // c01 starts like a PDF but holds none that can be read.
  EXPECT_NE(rows[1].find(",\"AI\",\"25.2.1 (2021)\",\"なし\",\"あり (読めない)\",0,\"\",3,\"RyuminPro-Light\nリュウミン-Bold\nKozGoPr6N-Bold\","
                         "\"RGB\",1,\"DIC 156s*\",\"297.0×210.0\",\"\",\"あり\",\"\",\"\",\"未アウトライン、RGB、特色、透明効果\","
                         "\"Adobe Illustrator(R) 24.0\""),
            std::string::npos)
      << rows[1];
  EXPECT_NE(rows[3].find(",\"PostScript\",\"'=HYPERLINK(\"\"x\"\"), v2\""), std::string::npos) << rows[3];
  // The PDF layer's states: read, Illustrator's placeholder, a password wanted.
  EXPECT_NE(rows[11].find(",\"なし\",\"あり\",0,\"\",2,\"KozGoPr6N-Regular\nArial-BoldMT (埋め込みなし)\",\"CMYK\",0,\"\","
                          "\"210.0×297.0 +1\",\"210.0×297.0 塗り足し 上 3.0 下 3.0 左 3.0 右 3.0\n"
                          "55.0×90.0 塗り足し 上 3.5 下 2.0 左 7.1 右 2.0\","),
            std::string::npos)
      << rows[11];
  EXPECT_NE(rows[11].find(",\"未アウトライン、塗り足し不足、低解像度、RGB画像\","), std::string::npos) << rows[11];
  // The placeholder's page is no artboard: the native data's crop marks are.
  EXPECT_NE(rows[12].find(",\"なし\",\"なし (PDF 互換オフで保存)\",0,\"\",0,\"\",\"CMYK\",0,\"\",\"210.0×297.0\",\"210.0×297.0\","),
            std::string::npos)
      << rows[12];
  EXPECT_NE(rows[16].find(",\"なし\",\"あり (暗号化)\",0,\"\",0,\"\",\"\",0,\"\",\"\",\"\","), std::string::npos) << rows[16];
}

// A Mac delivery: the files' names decomposed (NFD), the header's Shift-JIS list without the
// voiced-sound marks and with a name cut short, and one link named only in the XMP manifest.
// --check says where each was found and how it matched; --collect copies every one.
TEST(ScanProgram, FindsLinksByTheirXmpNamesAndByNamesThatLostTheirMarks) {
  TempTree t;
  const std::string nfdPamphlet = "CF\xE3\x83\x8F\xE3\x82\x9A\xE3\x83\xB3\xE3\x83\x95\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x88.jpg";
  const std::string nfcPamphlet = "CF\xE3\x83\x91\xE3\x83\xB3\xE3\x83\x95\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x88.jpg";
  const std::string nfdCampus =
      "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x83\x8F\xE3\x82\x9A\xE3\x82\xB9\xE3\x81\xAE\xE9\x85\x8D\xE7\xB7\x9A\xE5\x9B\xB3.png";
  const std::string nfcCampus =
      "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x83\x91\xE3\x82\xB9\xE3\x81\xAE\xE9\x85\x8D\xE7\xB7\x9A\xE5\x9B\xB3.png";
  t.Write("job/Links/" + nfdPamphlet, "pamphlet");
  t.Write("job/Links/" + nfdCampus, "campus");
  t.Write("job/bf1241ab-fa13-4bbd-8e43.png", "component");
  const std::string manifest =
      "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
      "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
      "xmlns:xmpMM=\"http://ns.adobe.com/xap/1.0/mm/\" xmlns:stMfs=\"http://ns.adobe.com/xap/1.0/sType/ManifestItem#\" "
      "xmlns:stRef=\"http://ns.adobe.com/xap/1.0/sType/ResourceRef#\"><xmpMM:Manifest><rdf:Seq>"
      "<rdf:li rdf:parseType=\"Resource\"><stMfs:linkForm>ReferenceStream</stMfs:linkForm><stMfs:reference "
      "stRef:filePath=\"/Users/hano/Downloads/" + nfcPamphlet + "\"/></rdf:li>"
      "<rdf:li rdf:parseType=\"Resource\"><stMfs:linkForm>ReferenceStream</stMfs:linkForm><stMfs:reference "
      "stRef:filePath=\"/Users/hano/dcx/components/bf1241ab-fa13-4bbd-8e43.png\"/></rdf:li>"
      "<rdf:li rdf:parseType=\"Resource\"><stMfs:linkForm>ReferenceStream</stMfs:linkForm><stMfs:reference "
      "stRef:filePath=\"/Users/hano/Desktop/" + nfcCampus + "\"/></rdf:li>"
      "<rdf:li rdf:parseType=\"Resource\"><stMfs:linkForm>EmbedByReference</stMfs:linkForm><stMfs:reference "
      "stRef:filePath=\"/Users/hano/Library/Caches/U54ptY.tif\"/></rdf:li>"
      "</rdf:Seq></xmpMM:Manifest></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
  t.Write("job/flyer.eps", Eps("Adobe Illustrator(R) 17.0", "23.1.1",
                               {"/Users/hano/Downloads/CF\x83n\x83\x93\x83t\x83\x8c\x83" "b\x83g.jpg",
                                "/Users/hano/dcx/components/bf1241ab-fa13-4bbd-8e43."}) + manifest);
  // The list deferred to the trailer.
  t.Write("job/Links/late.tif", "late");
  t.Write("job/late.eps", "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%DocumentFiles: (atend)\r\n"
                          "%%EndComments\r\n0 0 m\r\n%%Trailer\r\n%%DocumentFiles: Macintosh HD:Links:late.tif\r\n%%EOF\r\n");
  // A title longer than the window program's header text hides the list from it, not from the
  // check; a packet naming more fonts than a list keeps marks the row truncated.
  std::string fonts = "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><Fonts>";
  for (int i = 0; i <= 600; ++i) fonts += "<fontName>F" + std::to_string(i) + "</fontName>";
  t.Write("job/long.eps", "%!PS-Adobe-3.0 EPSF-3.0\r\n%%Creator: Adobe Illustrator(R) 8.0\r\n%%Title: " +
                              std::string(101000, 'T') + "\r\n%%DocumentFiles: Macintosh HD:Links:late.tif\r\n%%+ gone2.tif\r\n"
                              "%%EndComments\r\n" + fonts + "</Fonts></x:xmpmeta><?xpacket end=\"w\"?>\r\n");
  // Without a manifest, the list's marks-lost name alone.
  t.Write("job/old.eps", Eps("Adobe Illustrator(R) 8.0", "8.0.1",
                             {"Macintosh HD:\x83L\x83\x83\x83\x93\x83n\x83X\x82\xcc\x94z\x90\xfc\x90}.png", "gone.tif"}));

  const auto check = testing::RunProgram(Exe(), {"--check", "--json", PathText(t.Path("job"))}, t.root());
  EXPECT_EQ(check.status, 3) << check.err;
  const auto lines = testing::Lines(check.out);
  ASSERT_EQ(lines.size(), 4u) << check.out;
  const auto links = [](const json_lite::Value& row) {
    std::vector<std::string> out;
    for (const auto& l : row["links"].array()) {
      std::string found = l["found"].is_null() ? "-" : PathText(fs::path(std::u8string(l["found"].str().begin(), l["found"].str().end())).filename());
      out.push_back(l["name"].str() + " | " + l["status"].str() + " | " + found + " | " + (l["match"].is_null() ? "exact" : l["match"].str()));
    }
    return out;
  };
  const auto flyer = json_lite::Parse(lines[0]);
  EXPECT_EQ(links(flyer), (std::vector<std::string>{
                              "/Users/hano/Downloads/" + nfcPamphlet + " | found_in_links_folder | " + nfdPamphlet + " | nfc_nfd",
                              "/Users/hano/dcx/components/bf1241ab-fa13-4bbd-8e43.png | found_beside_document | bf1241ab-fa13-4bbd-8e43.png | exact",
                              "/Users/hano/Desktop/" + nfcCampus + " | found_in_links_folder | " + nfdCampus + " | nfc_nfd"}));
  // Found, but only under another form of their names: a finding, so that none means every
  // name matched as written.
  const auto findings = [](const json_lite::Value& row) {
    std::vector<std::string> out;
    for (const auto& f : row["findings"].array()) out.push_back(f.str());
    return out;
  };
  EXPECT_EQ(findings(flyer), std::vector<std::string>{"表記ゆれ"});
  const auto late = json_lite::Parse(lines[1]);
  EXPECT_EQ(links(late), (std::vector<std::string>{"Macintosh HD:Links:late.tif | found_in_links_folder | late.tif | exact"}));
  EXPECT_EQ(findings(late), std::vector<std::string>{});
  const auto longTitle = json_lite::Parse(lines[2]);
  EXPECT_EQ(links(longTitle), (std::vector<std::string>{"Macintosh HD:Links:late.tif | found_in_links_folder | late.tif | exact",
                                                        "gone2.tif | missing | - | exact"}));
  EXPECT_EQ(findings(longTitle), (std::vector<std::string>{"未アウトライン", "リンク切れ"}));
  EXPECT_EQ(longTitle["fonts"].array().size(), 600u);
  EXPECT_TRUE(longTitle["truncated"].boolean()) << lines[2].substr(0, 200);
  const auto old = json_lite::Parse(lines[3]);
  EXPECT_EQ(links(old), (std::vector<std::string>{
                            "Macintosh HD:\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x83\x8F\xE3\x82\xB9\xE3\x81\xAE\xE9\x85\x8D\xE7\xB7\x9A\xE5\x9B\xB3.png | found_in_links_folder | " + nfdCampus + " | marks_lost",
                            "gone.tif | missing | - | exact"}));
  EXPECT_EQ(findings(old), (std::vector<std::string>{"リンク切れ", "表記ゆれ"}));

  const auto collect = testing::RunProgram(
      Exe(), {"--collect", PathText(t.Path("out")), PathText(t.Path("job/flyer.eps")), PathText(t.Path("job/late.eps"))}, t.root());
  EXPECT_EQ(collect.status, 0) << collect.out << collect.err;
  EXPECT_EQ(TempTree::Read(t.Path("out/" + nfdPamphlet)), "pamphlet");
  EXPECT_EQ(TempTree::Read(t.Path("out/" + nfdCampus)), "campus");
  EXPECT_EQ(TempTree::Read(t.Path("out/bf1241ab-fa13-4bbd-8e43.png")), "component");
  EXPECT_EQ(TempTree::Read(t.Path("out/late.tif")), "late");
  // The summary says which names matched only in another form, and how.
  EXPECT_NE(collect.out.find("名前の表記の違いを補って見つけた画像:\n  " + PathText(t.Path("job/flyer.eps")) + ": /Users/hano/Downloads/" +
                             nfcPamphlet + " → " + PathText(t.Path("job/Links/" + nfdPamphlet)) + " (NFC/NFD の違いを無視して一致)"),
            std::string::npos)
      << collect.out;
  // The list behind the long title is collected too, and what is missing from it is a failure.
  const auto collectLong = testing::RunProgram(Exe(), {"--collect", PathText(t.Path("out3")), PathText(t.Path("job/long.eps"))}, t.root());
  EXPECT_EQ(collectLong.status, 1) << collectLong.out;
  EXPECT_EQ(TempTree::Read(t.Path("out3/late.tif")), "late");
  EXPECT_NE(collectLong.out.find("gone2.tif"), std::string::npos) << collectLong.out;
  const auto collectJson = testing::RunProgram(Exe(), {"--json", "--collect", PathText(t.Path("out2")), PathText(t.Path("job/old.eps"))}, t.root());
  const auto summary = json_lite::Parse(testing::Lines(collectJson.out).back())["collect"];
  ASSERT_EQ(summary["matched"].array().size(), 1u) << collectJson.out;
  EXPECT_EQ(summary["matched"].array()[0]["match"].str(), "marks_lost");
  EXPECT_EQ(summary["missing"].array()[0]["image"].str(), "gone.tif");
}

// Linked files read by their headers wherever the search found them, under the names the
// document gives: the real type whatever the extension, a cut file's facts unknown and nothing of
// the libraries' own words on the terminal; the findings, the table and --collect's summary follow.
TEST(ScanProgram, ReadsEveryLinkedFileByItsHeader) {
  TempTree t;
  const auto image = [](const char* name) { return TempTree::Read(::e2e::SamplePath(PELMORA_TEST_IMAGES, name)); };
  t.Write("job/Links/photo.jpg", image("cmyk.jpg"));
  t.Write("job/Links/web.psd", image("rgb16.psd"));
  t.Write("job/logo.jpg", image("not-a.jpg"));
  t.Write("job/cut.png", image("cut.png"));
  std::string doc = Eps("Adobe Illustrator(R) 16.0", "16.0.0", {"Macintosh HD:Links:photo.jpg", "web.psd", "C:\\x\\logo.jpg", "cut.png"});
  doc.insert(doc.find("%%EndComments"), "%AI9_ColorModel: 2\r\n");
  t.Write("job/card.eps", doc);

  const auto check = testing::RunProgram(Exe(), {"--check", "--json", PathText(t.Path("job"))}, t.root());
  EXPECT_EQ(check.status, 3) << check.err;
  EXPECT_EQ(check.err, "");
  const auto row = json_lite::Parse(testing::Lines(check.out).at(0));
  std::vector<std::string> placed;
  for (const auto& p : row["placed"].array()) {
    const auto& f = p["file"];
    const auto text = [](const json_lite::Value& v) { return v.is_null() ? std::string("-") : v.str(); };
    const auto count = [](const json_lite::Value& v) { return v.is_null() ? std::string("-") : std::to_string(static_cast<long long>(v.number())); };
    placed.push_back(text(p["name"]) + " | " + text(f["type"]) + " " + count(p["width_px"]) + "x" + count(p["height_px"]) + " " +
                     text(p["color"]) + " " + count(f["bits"]) + " own " + count(f["own_ppi_x"]) + " | " + text(p["source"]) +
                     (f["problem"].is_null() ? "" : " | problem"));
  }
  EXPECT_EQ(placed, (std::vector<std::string>{"Macintosh HD:Links:photo.jpg | JPEG 40x30 CMYK 8 own 350 | file",
                                              "web.psd | PSD 64x48 RGB 16 own 72 | file",
                                              "C:\\x\\logo.jpg | PNG 10x12 RGB 8 own - | file",
                                              "cut.png | PNG -x- - - own - | file | problem"}));
  const auto findings = row["findings"].array();
  EXPECT_TRUE(std::any_of(findings.begin(), findings.end(), [](const auto& f) { return f.str() == "RGB画像"; })) << check.out;

  const auto table = testing::RunProgram(Exe(), {"--check", "--images", PathText(t.Path("job/card.eps"))}, t.root());
  EXPECT_EQ(table.err, "");
  EXPECT_NE(table.out.find("    Macintosh HD:Links:photo.jpg  [Links フォルダー]  JPEG 40×30px CMYK (画像の解像度 350ppi)\n"),
            std::string::npos) << table.out;
  EXPECT_NE(table.out.find("    C:\\x\\logo.jpg  [文書と同じフォルダー]  PNG 10×12px RGB\n"), std::string::npos) << table.out;

  const auto collect = testing::RunProgram(Exe(), {"--collect", PathText(t.Path("out")), PathText(t.Path("job"))}, t.root());
  EXPECT_EQ(collect.status, 0) << collect.out << collect.err;
  EXPECT_NE(collect.out.find(PathText(t.Path("job/Links/web.psd")) + ": PSD 64×48px RGB 16bit (画像の解像度 72ppi)\n"), std::string::npos) << collect.out;
  const auto collectJson = testing::RunProgram(Exe(), {"--json", "--collect", PathText(t.Path("out2")), PathText(t.Path("job"))}, t.root());
  const auto images = json_lite::Parse(testing::Lines(collectJson.out).back())["collect"]["images"].array();
  ASSERT_EQ(images.size(), 4u) << collectJson.out;
  EXPECT_EQ(images[2]["type"].str(), "PNG");
  EXPECT_EQ(images[3]["width_px"].is_null(), true);

  // Placed by the document's native data: the effective resolution of each, a turned one by its
  // own sides (64 px drawn 32 pt wide: 144 ppi), and the findings they give.
  t.Write("ai8/Links/photo.jpg", image("cmyk.jpg"));
  t.Write("ai8/web.psd", image("rgb16.psd"));
  t.Write("ai8/card.eps",
          "%!PS-Adobe-3.0 EPSF-3.0\r%%Creator: Adobe Illustrator(R) 8.0\r%%DocumentFiles:Macintosh HD:Links:photo.jpg\r"
          "%%+web.psd\r%AI9_ColorModel: 2\r%%BoundingBox: 0 0 595 842\r%%EndComments\r%%EndSetup\r"
          "%AI5_BeginPlace\r[0.24 0 0 -0.24 100 200] 0 0 40 30 4 4 0\r(photo.jpg)`\r%AI5_EndPlace\r"
          "%AI5_BeginPlace\r[0 0.5 -0.5 0 300 10] 0 0 64 48 4 4 0\r(web.psd)`\r%AI5_EndPlace\r%%EOF\r");
  const auto native = testing::RunProgram(Exe(), {"--check", "--images", PathText(t.Path("ai8/card.eps"))}, t.root());
  EXPECT_EQ(native.status, 3) << native.err;
  EXPECT_NE(native.out.find("低解像度、RGB画像"), std::string::npos) << native.out;
  EXPECT_NE(native.out.find("    Macintosh HD:Links:photo.jpg  [Links フォルダー]  JPEG 40×30px CMYK 300ppi\n"), std::string::npos)
      << native.out;
  EXPECT_NE(native.out.find("    web.psd  [元のパス]  PSD 64×48px RGB 16bit 144ppi\n"), std::string::npos) << native.out;

  // A PDF-based document whose PDF layer draws the placement's preview at the size it is placed:
  // with the file beside it, the file's figures (64 px over 144 pt: 32 ppi) and one entry.
  t.Write("pdf/photo.psd", image("rgb16.psd"));
  t.Write("pdf/card.ai", TempTree::Read(::e2e::SamplePath(PELMORA_CHECK_DOCUMENTS, "c19-pdf-linked-proxy.ai")));
  const auto proxy = testing::RunProgram(Exe(), {"--check", "--json", PathText(t.Path("pdf/card.ai"))}, t.root());
  EXPECT_EQ(proxy.status, 3) << proxy.err;
  const auto card = json_lite::Parse(testing::Lines(proxy.out).at(0));
  const auto& drawn = card["placed"].array();
  ASSERT_EQ(drawn.size(), 2u) << proxy.out;
  EXPECT_EQ(drawn[0]["name"].str(), "photo.psd");
  EXPECT_EQ(drawn[0]["source"].str(), "file");
  EXPECT_EQ(drawn[0]["file"]["type"].str(), "PSD");
  EXPECT_EQ(drawn[0]["width_px"].number(), 64);
  EXPECT_EQ(drawn[0]["ppi_x"].number(), 32);
  EXPECT_EQ(drawn[0]["ppi_y"].number(), 32);
  EXPECT_EQ(drawn[0]["page"].number(), 1);
  EXPECT_TRUE(drawn[1]["name"].is_null());
  EXPECT_EQ(drawn[1]["width_px"].number(), 100);
  EXPECT_NE(proxy.out.find("\"findings\":[\"低解像度\",\"RGB画像\"]"), std::string::npos) << proxy.out;
}

TEST(ScanProgram, CollectsFromStalePathsWithoutOverwriting) {
  TempTree t;
  t.Write("delivery/a/Links/photo.psd", "photo");
  t.Write("delivery/a/logo.psd", "logo A");
  t.Write("delivery/b/logo.psd", "logo B");
  t.Write("delivery/a/card.eps", Eps("Adobe Illustrator(R) 16.0", "16.0.0",
                                     {"Macintosh HD:Users:x:Links:photo.psd", "C:\\work\\logo.psd", "missing.tif"}));
  t.Write("delivery/b/flyer.ai", Eps("Adobe Illustrator(R) 24.0", "25.2.1", {"/Volumes/x/logo.psd", "photo.psd"}));
  t.Write("out/keep.psd", "keep");
  const auto run = testing::RunProgram(
      Exe(), {"--collect", PathText(t.Path("out")), PathText(t.Path("delivery"))}, t.root());
  EXPECT_EQ(run.status, 1) << "a missing image and a name clash are failures to collect";
  EXPECT_EQ(TempTree::Read(t.Path("out/photo.psd")), "photo");
  EXPECT_EQ(TempTree::Read(t.Path("out/logo.psd")), "logo A");
  EXPECT_EQ(TempTree::Read(t.Path("out/keep.psd")), "keep");
  EXPECT_EQ(TempTree::Read(t.Path("delivery/b/logo.psd")), "logo B");
  EXPECT_FALSE(fs::exists(t.Path("out/missing.tif")));
  EXPECT_NE(run.out.find("missing.tif"), std::string::npos);
  EXPECT_NE(run.out.find("flyer.ai"), std::string::npos) << "the clash names its document";
}

// A stranger's delivery through the built program: nothing from outside it is copied, whatever
// form the name takes on this platform.
TEST(ScanProgram, CopiesNothingFromOutsideTheDelivery) {
  TempTree t;
  const fs::path secret = t.Write("secret.txt", "secret");
  std::vector<std::string> names = {PathText(secret), "../secret.txt", "inside.psd"};
#ifdef _WIN32
  for (const char* n : {"..\\secret.txt", "C:\\windows\\win.ini", "\\\\?\\C:\\windows\\win.ini",
                        "\\\\attacker.invalid\\share\\logo.tif", "\\\\.\\C:\\windows\\win.ini"}) {
    names.push_back(n);
  }
#else
  names.push_back("/etc/passwd");
#endif
  t.Write("delivery/inside.psd", "inside");
  t.Write("delivery/card.eps", Eps("X", "", names));
  const auto run = testing::RunProgram(
      Exe(), {"--collect", PathText(t.Path("out")), PathText(t.Path("delivery"))}, t.root());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  std::vector<std::string> copied;
  for (const auto& e : fs::directory_iterator(t.Path("out"))) copied.push_back(PathText(e.path().filename()));
  EXPECT_EQ(copied, std::vector<std::string>{"inside.psd"});
  EXPECT_NE(run.out.find("フォルダー外 " + std::to_string(names.size() - 1)), std::string::npos) << run.out;
}

#ifndef _WIN32
// A delivery that changes while it is collected, as one on a shared upload folder may: a folder
// swapped for a link to elsewhere between the program's look and its open yields nothing from
// outside. Bounded in time; each run sees hundreds of swaps.
TEST(ScanProgram, CopiesNothingFromOutsideWhileTheDeliveryChanges) {
  TempTree t;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "img" + std::to_string(i) + ".psd";
    t.Write("delivery/job/Links/" + name, "inside");
    t.Write("secret/" + name, "secret");
    names.push_back((i % 2 ? "Links/" : "Macintosh HD:Links:") + name);
  }
  t.Write("delivery/job/card.eps", Eps("X", "", names));
  fs::create_directory_symlink(t.Path("secret"), t.Path("delivery/job/swap"));
  const std::string links = PathText(t.Path("delivery/job/Links")), swap = PathText(t.Path("delivery/job/swap"));
  if (::renameat2(AT_FDCWD, links.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE) != 0) {
    GTEST_SKIP() << "no atomic exchange of names on this file system";
  }
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    while (!stop) ::renameat2(AT_FDCWD, links.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE);
  });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  std::size_t inside = 0, outside = 0;
  for (int run = 0; run < 10 && std::chrono::steady_clock::now() < until; ++run) {
    const fs::path out = t.Path("out" + std::to_string(run));
    testing::RunProgram(Exe(), {"--collect", PathText(out), PathText(t.Path("delivery"))}, t.root());
    for (const auto& e : fs::directory_iterator(out)) ++(TempTree::Read(e.path()) == "inside" ? inside : outside);
  }
  stop = true;
  swapper.join();
  EXPECT_EQ(outside, 0u) << "files copied from outside the delivery";
  EXPECT_GT(inside, 0u) << "the images inside are still collected between swaps";
}

// The built program under the limits a real run meets: a file-size limit during a copy, a
// standard output that is closed, full or gone, a device named as a document.
TEST(ScanProgram, FailuresOfTheSystemAreReportedAndLeaveNothingHalfDone) {
  TempTree t;
  t.Write("delivery/big.psd", std::string(200000, 'b'));
  std::vector<std::string> many;
  for (int i = 0; i < 600; ++i) many.push_back("C:\\img\\" + std::string(90, 'n') + std::to_string(i) + ".tif");
  t.Write("delivery/card.eps", Eps("X", "", {"big.psd"}));
  for (int i = 0; i < 3; ++i) t.Write("delivery/many" + std::to_string(i) + ".eps", Eps("X", "", many));
  const std::string exe = PathText(Exe()), delivery = PathText(t.Path("delivery")), out = PathText(t.Path("out"));
  const auto sh = [&](const std::string& script, std::vector<std::string> args) {
    args.insert(args.begin(), {"-c", script, exe});
    return testing::RunProgram("/bin/bash", args, t.root());
  };

  // Cut short by the file-size limit: nothing under the image's name, no temporary file, the
  // reason named; the next run copies it.
  const auto limited = sh("ulimit -f 64; exec \"$0\" \"$@\"", {"--collect", out, PathText(t.Path("delivery/card.eps"))});
  EXPECT_EQ(limited.status, 1);
  EXPECT_NE(limited.out.find("ファイルが大きすぎます"), std::string::npos) << limited.out;
  EXPECT_TRUE(fs::is_empty(t.Path("out")));
  const auto again = testing::RunProgram(Exe(), {"--collect", out, PathText(t.Path("delivery/card.eps"))}, t.root());
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(TempTree::Read(t.Path("out/big.psd")), std::string(200000, 'b'));

  const struct {
    const char* name;
    std::string script;
    bool message;
  } outputs[] = {
      {"closed", "exec \"$0\" \"$@\" >&-", true},
      {"full", "exec \"$0\" \"$@\" >/dev/full", true},
      {"reader gone", "\"$0\" \"$@\" | head -c 1 >/dev/null", false},
      {"reader gone, SIGPIPE ignored", "trap '' PIPE; \"$0\" \"$@\" | head -c 1 >/dev/null", false},
  };
  for (const auto& o : outputs) {
    for (const char* mode : {"--images", "--json"}) {
      SCOPED_TRACE(std::string(o.name) + " " + mode);
      const auto run = sh("set -o pipefail; " + o.script, {mode, delivery});
      EXPECT_NE(run.status, 0);
      if (o.message) {
        EXPECT_EQ(run.err.rfind("pelmora-scan: 出力を書き込めません: ", 0), 0u) << run.err;
      } else {
        EXPECT_EQ(run.err, "");
      }
    }
  }

  const auto device = testing::RunProgram(Exe(), {"/dev/null"}, t.root());
  EXPECT_EQ(device.status, 1);
  EXPECT_EQ(device.err, "デバイスのため飛ばしました /dev/null\n");
}
#endif

#ifdef _WIN32
// What Windows users meet and Linux shells hide: cmd hands `*.eps` over unexpanded, Explorer's
// hidden and system entries, links that lead back up the tree, paths past MAX_PATH.
std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ScanProgramOnWindows, ExpandsWildcardsAndLeavesOutHiddenSystemAndLinkedEntries) {
  TempTree t;
  t.Write("d/one.eps", Eps("CreatorOne", ""));
  t.Write("d/Two.EPS", Eps("CreatorTwo", ""));
  t.Write("d/three.epsf", Eps("CreatorThree", ""));  // its 8.3 name ends in .EPS
  const fs::path secret = t.Write("d/secret.eps", Eps("CreatorSecret", ""));
  t.Write("d/sys/inner.eps", Eps("CreatorInner", ""));
  t.Write("d/sub/four.eps", Eps("CreatorFour", ""));
  ASSERT_TRUE(::SetFileAttributesW(secret.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(::SetFileAttributesW(t.Path("d/sys").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
  // A link from inside the delivery back to its top, where the system lets us make one.
  const bool linked = ::CreateSymbolicLinkW(t.Path("d/sub/up").c_str(), t.Path("d").c_str(),
                                            SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2 /* unprivileged */) != 0;

  const auto wild = testing::RunProgram(Exe(), {PathText(t.Path("d") / "*.eps")}, t.root());
  EXPECT_EQ(wild.status, 0) << wild.err;
  EXPECT_EQ(Count(wild.out, "CreatorOne") + Count(wild.out, "CreatorTwo"), 2u) << wild.out;
  EXPECT_EQ(Count(wild.out, "CreatorThree") + Count(wild.out, "CreatorSecret") + Count(wild.out, "CreatorFour"), 0u)
      << wild.out;

  const auto walk = testing::RunProgram(Exe(), {PathText(t.Path("d"))}, t.root());
  EXPECT_EQ(walk.status, 0) << walk.err;
  for (const char* creator : {"CreatorOne", "CreatorTwo", "CreatorThree", "CreatorFour"}) {
    EXPECT_EQ(Count(walk.out, creator), 1u) << creator << (linked ? " (with a link back up)" : "") << "\n" << walk.out;
  }
  EXPECT_EQ(Count(walk.out, "CreatorSecret") + Count(walk.out, "CreatorInner"), 0u) << walk.out;

  // A pattern that matches nothing is a name that does not exist, as cmd would have passed it.
  const fs::path none = t.Path("d") / "*.ai";
  const auto nothing = testing::RunProgram(Exe(), {PathText(none)}, t.root());
  EXPECT_EQ(nothing.status, 1);
  EXPECT_EQ(nothing.err, "ファイルが見つかりません " + PathText(none) + "\n");
}

// Under Wine the plain form works past MAX_PATH as well, so this passes without the \\?\ form;
// it keeps such a path working, on Windows it is the extended-length form that carries it.
TEST(ScanProgramOnWindows, ReadsDocumentsPastMaxPath) {
  TempTree t;
  std::wstring dir = t.root().native();
  while (dir.size() < 300) {
    dir += L"\\入稿データ_フォルダ_" + std::to_wstring(dir.size());
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr));
  }
  const auto write = [](const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
  };
  // The second link lost its marks in the list (ハンフ for パンフ): found only by listing the folder.
  write(dir + L"\\deep.eps", Eps("CreatorDeep", "", {"Macintosh HD:Links:deep.psd", "Macintosh HD:Links:\x83n\x83\x93\x83t.psd"}));
  ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + dir + L"\\Links").c_str(), nullptr));
  write(dir + L"\\Links\\deep.psd", "deep image");
  write(dir + L"\\Links\\パンフ.psd", "tolerant image");

  const auto file = testing::RunProgram(Exe(), {PathText(fs::path(dir + L"\\deep.eps"))}, t.root());
  EXPECT_EQ(file.status, 0) << file.err;
  EXPECT_EQ(Count(file.out, "CreatorDeep"), 1u);
  const auto walk = testing::RunProgram(Exe(), {PathText(t.root())}, t.root());
  EXPECT_EQ(walk.status, 0) << walk.err;
  EXPECT_EQ(Count(walk.out, "CreatorDeep"), 1u) << walk.out;
  // Checked and collected there, into a folder that is itself past MAX_PATH and made by the run.
  const std::wstring out = dir + L"\\収集\\先";
  const auto check = testing::RunProgram(Exe(), {"--check", "--json", PathText(fs::path(dir))}, t.root());
  EXPECT_EQ(Count(check.out, "found_in_links_folder"), 2u) << check.out;
  EXPECT_EQ(Count(check.out, "marks_lost"), 1u) << check.out;
  const auto collect = testing::RunProgram(Exe(), {"--collect", PathText(fs::path(out)), PathText(fs::path(dir))}, t.root());
  EXPECT_EQ(collect.status, 0) << collect.out << collect.err;
  HANDLE copied = ::CreateFileW((L"\\\\?\\" + out + L"\\deep.psd").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(copied, INVALID_HANDLE_VALUE);
  char bytes[32] = {};
  DWORD got = 0;
  ::ReadFile(copied, bytes, sizeof bytes, &got, nullptr);
  ::CloseHandle(copied);
  EXPECT_EQ(std::string(bytes, got), "deep image");
  EXPECT_NE(::GetFileAttributesW((L"\\\\?\\" + out + L"\\パンフ.psd").c_str()), INVALID_FILE_ATTRIBUTES) << collect.out;
  // The tree is removed through the extended-length form: std::filesystem stops at MAX_PATH.
  for (const std::wstring& f : {out + L"\\deep.psd", out + L"\\パンフ.psd", dir + L"\\Links\\deep.psd",
                                dir + L"\\Links\\パンフ.psd", dir + L"\\deep.eps"}) {
    ::DeleteFileW((L"\\\\?\\" + f).c_str());
  }
  for (const std::wstring& d : {out, dir + L"\\収集", dir + L"\\Links"}) ::RemoveDirectoryW((L"\\\\?\\" + d).c_str());
  while (dir.size() > t.root().native().size()) {
    ::RemoveDirectoryW((L"\\\\?\\" + dir).c_str());
    dir.resize(dir.find_last_of(L'\\'));
  }
}
#endif

}  // namespace
}  // namespace pelmora::cli
