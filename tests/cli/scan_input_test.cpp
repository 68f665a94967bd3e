// Which documents a command line names: options, folders walked in a fixed order.
#include <gtest/gtest.h>

#include <algorithm>

#include "delivery/document_walk.h"
#include "cli/scan_options.h"
#include "base/text_utf8.h"
#include "cli_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace pelmora::cli {
namespace {

using namespace base;
using namespace delivery;

using testing::TempTree;
namespace fs = std::filesystem;

std::vector<fs::path> Args(std::initializer_list<const char*> args) {
  std::vector<fs::path> out;
  for (const char* a : args) out.emplace_back(a);
  return out;
}

TEST(ParseArgs, AcceptsTheDocumentedForms) {
  const auto a = ParseArgs(Args({"--json", "x.eps", "--images", "--collect", "out dir", "--all", "-", "--", "--json"}));
  ASSERT_EQ(a.error, "");
  EXPECT_TRUE(a.options.json);
  EXPECT_TRUE(a.options.images);
  EXPECT_TRUE(a.options.allFiles);
  ASSERT_TRUE(a.options.collectDir);
  EXPECT_EQ(*a.options.collectDir, fs::path("out dir"));
  EXPECT_EQ(a.options.paths, Args({"x.eps", "-", "--json"}));

  const auto b = ParseArgs(Args({"--collect=links", "d"}));
  ASSERT_EQ(b.error, "");
  EXPECT_EQ(*b.options.collectDir, fs::path("links"));

  const auto c = ParseArgs(Args({"--encoding", "CP932", "--output=report.txt", "d"}));
  ASSERT_EQ(c.error, "");
  EXPECT_EQ(c.options.encoding, ScanOptions::Encoding::kCp932);
  EXPECT_EQ(*c.options.outputFile, fs::path("report.txt"));
  EXPECT_EQ(ParseArgs(Args({"--encoding=utf-8", "-o", "r.txt", "d"})).options.encoding, ScanOptions::Encoding::kUtf8);
  EXPECT_EQ(ParseArgs(Args({"d"})).options.encoding, ScanOptions::Encoding::kUtf8) << "the default";

#ifdef _WIN32
  // "D:\入稿 2024\" as cmd hands it over: the quote the backslash kept is dropped; a quote with
  // more after it is the rest of the line run into one argument, and said so.
  const auto quoted = ParseArgs({fs::path(L"D:\\入稿 2024\""), fs::path(L"--collect=D:\\out\"")});
  ASSERT_EQ(quoted.error, "");
  EXPECT_EQ(quoted.options.paths, std::vector<fs::path>{fs::path(L"D:\\入稿 2024")});
  EXPECT_EQ(*quoted.options.collectDir, fs::path(L"D:\\out"));
  const auto runOn = ParseArgs({fs::path(L"D:\\入稿 2024\" --check")});
  EXPECT_NE(runOn.error.find("\\\\ と書いてください"), std::string::npos) << runOn.error;
#endif

  for (const char* h : {"-h", "--help"}) EXPECT_TRUE(ParseArgs(Args({h})).options.help) << h;
  for (const char* v : {"-V", "--version"}) EXPECT_TRUE(ParseArgs(Args({v})).options.version) << v;
}

TEST(ParseArgs, RejectsWhatWouldOtherwiseBeGuessed) {
  const std::vector<std::vector<fs::path>> bad = {
      {},                                  // nothing to scan
      Args({"--json"}),                    // options only
      Args({"--colect", "d", "x"}),        // misspelt option
      Args({"x", "--collect"}),            // folder missing
      Args({"--collect=", "x"}),           // empty folder
      Args({"--collect", "a", "--collect", "b", "x"}),
      Args({"-j", "x"}),
      Args({"x", ""}),
      Args({"--encoding", "latin1", "x"}),
      Args({"--encoding"}),
      Args({"x", "--output"}),
      Args({"--output=", "x"}),
  };
  for (const auto& args : bad) {
    std::string shown;
    for (const auto& a : args) shown.append("[").append(PathText(a)).append("]");
    EXPECT_NE(ParseArgs(args).error, "") << shown;
  }
}

std::vector<std::string> Listed(const WalkList& items, const fs::path& root) {
  std::vector<std::string> out;
  for (const WalkItem& i : items) {
    const char* kind = i.kind == WalkItem::Kind::kDocument ? "" : i.kind == WalkItem::Kind::kMissing ? "missing " : "unreadable ";
    std::string rel = PathText(i.path.lexically_relative(root));
    std::replace(rel.begin(), rel.end(), '\\', '/');
    out.push_back(kind + rel);
  }
  return out;
}

TEST(ListDocuments, WalksFoldersInNameOrderAndKeepsDocumentsOnly) {
  TempTree t;
  for (const char* f : {"b/z.EPS", "b/a.ai", "a.eps", "c/d/deep.epsf", "c/photo.psd", "c/notes.txt", "._a.eps",
                        ".hidden/x.eps", "b/.DS_Store", "B2.AIT", "ロゴ.eps", "noext"}) {
    t.Write(f, "x");
  }
  fs::create_directories(t.Path("empty"));
  const std::vector<std::string> docs = {"B2.AIT", "a.eps", "b/a.ai", "b/z.EPS", "c/d/deep.epsf", "ロゴ.eps"};
  EXPECT_EQ(Listed(ListDocuments({t.root()}, false), t.root()), docs);
  // Named files are documents whatever they are called; --all drops the extension test only.
  EXPECT_EQ(Listed(ListDocuments({t.Path("c/photo.psd")}, false), t.root()), std::vector<std::string>{"c/photo.psd"});
  const auto all = Listed(ListDocuments({t.Path("c")}, true), t.root());
  EXPECT_EQ(all, (std::vector<std::string>{"c/d/deep.epsf", "c/notes.txt", "c/photo.psd"}));

  // A chain of folders far deeper than any delivery, a document before and after each next
  // folder in name order: every one in place, each path whole.
  TempTree deep;
  std::string folder = "x";
  std::vector<std::string> chain;
  for (int level = 0; level < 200; ++level) {
    deep.Write(folder + "/a.eps", "x");
    deep.Write(folder + "/z.eps", "x");
    chain.push_back(folder + "/a.eps");
    folder += "/d";
  }
  std::vector<std::string> expected = chain;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) expected.push_back(it->substr(0, it->size() - 5) + "z.eps");
  EXPECT_EQ(Listed(ListDocuments({deep.Path("x")}, false), deep.root()), expected);
}

TEST(ListDocuments, KeepsMissingPathsInPlaceAndListsEachDocumentOnce) {
  TempTree t;
  t.Write("a.eps", "x");
  t.Write("sub/b.eps", "x");
  const auto items = ListDocuments({t.Path("a.eps"), t.Path("gone.eps"), t.root(), t.Path("sub/../a.eps")}, false);
  EXPECT_EQ(Listed(items, t.root()), (std::vector<std::string>{"a.eps", "missing gone.eps", "sub/b.eps"}));
}

#ifndef _WIN32
TEST(ListDocuments, DoesNotFollowALinkedFolderBackUpTheTree) {
  TempTree t;
  t.Write("d/a.eps", "x");
  fs::create_directory_symlink(t.root(), t.Path("d/loop"));
  EXPECT_EQ(Listed(ListDocuments({t.root()}, false), t.root()), std::vector<std::string>{"d/a.eps"});
}

TEST(ListDocuments, ReportsAFolderItCannotOpen) {
  TempTree t;
  t.Write("locked/a.eps", "x");
  t.Write("z.eps", "x");
  fs::permissions(t.Path("locked"), fs::perms::none);
  std::error_code ec;
  if (fs::directory_iterator(t.Path("locked"), ec); !ec) GTEST_SKIP() << "running as root";
  const auto items = ListDocuments({t.root()}, false);
  fs::permissions(t.Path("locked"), fs::perms::owner_all);
  EXPECT_EQ(Listed(items, t.root()), (std::vector<std::string>{"unreadable locked", "z.eps"}));
  EXPECT_EQ(items[0].error, 70);
}

// What a stranger's tree may hold besides documents: each is reported for what it is, never left
// out silently nor called missing.
TEST(ListDocuments, ReportsEntriesThatAreNoRegularFileForWhatTheyAre) {
  using Other = WalkItem::Other;
  TempTree t;
  t.Write("d/a.eps", "x");
  fs::create_symlink(t.Path("nowhere.eps"), t.Path("d/dangling.eps"));
  ASSERT_EQ(::mkfifo(t.Path("d/pipe.ai").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", t.Path("d/null.eps"));
  fs::create_symlink("/dev/null", t.Path("d/notes"));  // no document's name: not listed
  const std::string tooLong = t.root().native() + "/" + std::string(300, 'x') + "/" + std::string(300, 'y') + ".eps";
  const struct {
    fs::path path;
    Other other;
  } expected[] = {
      {t.Path("d/dangling.eps"), Other::kDanglingLink},
      {t.Path("d/null.eps"), Other::kDevice},
      {t.Path("d/pipe.ai"), Other::kPipe},
      {fs::path("/dev/null"), Other::kDevice},
      {fs::path(tooLong), Other::kTooLong},
  };
  const auto items = ListDocuments({t.Path("d"), fs::path("/dev/null"), fs::path(tooLong)}, false);
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].path, t.Path("d/a.eps"));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(PathText(expected[i].path).substr(0, 80));
    EXPECT_EQ(items[i + 1].kind, WalkItem::Kind::kNotAFile);
    EXPECT_EQ(items[i + 1].path, expected[i].path);
    EXPECT_EQ(items[i + 1].other, expected[i].other);
  }
}
#endif

}  // namespace
}  // namespace pelmora::cli
