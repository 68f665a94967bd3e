// Collecting placed images from stale paths into one folder, never overwriting.
#include "delivery/image_collect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "analysis/run_error.h"
#include "cli/collect_report.h"
#include "delivery/file_copy.h"
#include "delivery/part_file.h"
#include "preflight/preflight.h"
#include "base/text_utf8.h"
#include "base/error_text.h"
#include "cli_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace pelmora::delivery {
namespace {

using namespace base;
namespace testing = cli::testing;

using testing::TempTree;
namespace fs = std::filesystem;

TEST(LastNameComponent, TakesTheNameAfterAnySeparatorOfAnyPlatform) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"C:\\img\\a.psd", L"a.psd"},
      {L"Macintosh HD:Links:a.psd", L"a.psd"},
      {L"/Users/x/Creative Cloud Files/a b.psd", L"a b.psd"},
      {L"\\\\server\\share\\写真.tif", L"写真.tif"},
      {L"a.psd", L"a.psd"},
      {L"C:\\img\\", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(LastNameComponent(c.in), c.out) << ToUtf8(c.in);

  // A plain name is decided inside without any path arithmetic: nothing that could climb out or
  // that Windows trims into "..".
  for (const wchar_t* plain : {L"a.psd", L"写真 1.tif", L"..a", L"a..", L".hidden"}) EXPECT_TRUE(PlainEntryName(plain)) << ToUtf8(plain);
  for (const wchar_t* not_plain : {L"", L".", L"..", L"...", L".. ", L" . ", L"a/b", L"../a"}) {
    EXPECT_FALSE(PlainEntryName(not_plain)) << ToUtf8(not_plain);
  }
#ifdef _WIN32
  for (const wchar_t* not_plain : {L"a\\b", L"C:a", L"..\\x"}) EXPECT_FALSE(PlainEntryName(not_plain)) << ToUtf8(not_plain);
#endif
}

TEST(ImageCandidates, AsWrittenThenBesideTheDocumentThenInLinks) {
  const fs::path doc = fs::path("job") / "logo.eps";
  const fs::path job = doc.parent_path();
  const auto stale = ImageCandidates(doc, L"Macintosh HD:Links:a.psd");
  ASSERT_EQ(stale.size(), 3u);
  EXPECT_EQ(stale[1], job / "a.psd");
  EXPECT_EQ(stale[2], job / "Links" / "a.psd");
  // A bare name is found as written right beside the document: that place is not tried twice.
  EXPECT_EQ(ImageCandidates(doc, L"a.psd"), (std::vector<fs::path>{job / "a.psd", job / "Links" / "a.psd"}));
  EXPECT_EQ(ImageCandidates(doc, L"img/a.psd")[0], job / "img/a.psd");
}

class Collecting : public ::testing::Test {
 protected:
  std::wstring Name(const fs::path& p) { return FromUtf8(PathText(p)); }
  Delivery Whole() {
    Delivery d;
    d.Add(t.root());
    return d;
  }

  TempTree t;
};

TEST_F(Collecting, FindsStalePathsCopiesOnceAndNeverOverwrites) {
  t.Write("job/photo.psd", "photo");
  t.Write("job/Links/map.tif", "map");
  t.Write("job/shared.psd", "A");
  t.Write("other/shared.psd", "B");
  const fs::path abs = t.Write("elsewhere/abs.psd", "abs");
  t.Write("out/map.tif", "map");  // the same bytes are already there
  const fs::path out = t.Path("out");

  ImageCollector c(out, Whole());
  c.Collect(t.Path("job/logo.eps"), {L"C:\\img\\photo.psd", L"Macintosh HD:Links:map.tif", L"gone.psd",
                                     L"C:\\img\\shared.psd", Name(abs), L"", L"(atend)"});
  c.Collect(t.Path("job/logo2.eps"), {L"photo.psd"});  // a file placed twice counts once
  c.Collect(t.Path("other/card.eps"), {L"shared.psd"});

  const CollectSummary& s = c.summary();
  EXPECT_EQ(s.found, 5);
  EXPECT_EQ(s.copied, 3);
  EXPECT_EQ(s.present, 1);
  EXPECT_TRUE(s.failed.empty());
  ASSERT_EQ(s.missing.size(), 1u);
  EXPECT_EQ(s.missing[0].image, "gone.psd");
  EXPECT_EQ(s.missing[0].document, PathText(t.Path("job/logo.eps")));
  ASSERT_EQ(s.conflicts.size(), 1u);
  EXPECT_EQ(s.conflicts[0].source, PathText(t.Path("other/shared.psd")));
  EXPECT_EQ(s.conflicts[0].target, PathText(out / "shared.psd"));
  EXPECT_FALSE(s.Complete());

  EXPECT_EQ(TempTree::Read(out / "photo.psd"), "photo");
  EXPECT_EQ(TempTree::Read(out / "shared.psd"), "A") << "the second shared.psd must not replace the first";
  EXPECT_EQ(TempTree::Read(out / "abs.psd"), "abs");
  EXPECT_EQ(TempTree::Read(out / "map.tif"), "map");
  EXPECT_EQ(TempTree::Read(t.Path("other/shared.psd")), "B");

  const std::string text = cli::FormatCollectSummary(s);
  EXPECT_NE(text.find("gone.psd"), std::string::npos);
  EXPECT_NE(text.find(PathText(out / "shared.psd")), std::string::npos);
}

// "pelmora-scan --collect out doc.eps": the document's folder is the current one.
TEST_F(Collecting, FindsImagesBesideADocumentNamedWithoutItsFolder) {
  t.Write("job/a.tif", "a");
  t.Write("job/Links/b.tif", "b");
  const fs::path before = fs::current_path();
  fs::current_path(t.Path("job"));
  Delivery here;
  here.Add(".");
  const ImageSearch search("doc.eps", here, false);
  const ImageLocation a = search.Locate(L"a.tif"), b = search.Locate(L"Mac:Links:b.tif");
  fs::current_path(before);
  EXPECT_EQ(a.status, ImageLocation::Status::kWritten);
  EXPECT_EQ(b.status, ImageLocation::Status::kLinks);
  EXPECT_EQ(TempTree::Read(t.Path("job") / b.found), "b");
}

TEST_F(Collecting, IntoTheDocumentsOwnFolderFindsEverythingAlreadyThere) {
  t.Write("job/photo.psd", "photo");
  ImageCollector c(t.Path("job"), Whole());
  c.Collect(t.Path("job/logo.eps"), {L"D:\\old\\photo.psd"});
  EXPECT_EQ(c.summary().found, 1);
  EXPECT_EQ(c.summary().present, 1);
  EXPECT_EQ(c.summary().copied, 0);
  EXPECT_TRUE(c.summary().Complete());
}

TEST(SameContent, ComparesEveryByte) {
  TempTree t;
  const std::string big(200000, 'x');
  std::string changed = big;
  changed[150000] = 'y';
  const fs::path a = t.Write("a", big), b = t.Write("b", big), c = t.Write("c", changed), d = t.Write("d", big + "x");
  const fs::path e = t.Write("e", ""), f = t.Write("f", "");
  EXPECT_TRUE(SameContent(a, b));
  EXPECT_FALSE(SameContent(a, c));
  EXPECT_FALSE(SameContent(a, d));
  EXPECT_TRUE(SameContent(e, f));
  EXPECT_FALSE(SameContent(a, t.Path("missing")));
}


// Names a stranger's document may hold: only what lies inside the delivery is ever read.
TEST_F(Collecting, TakesImagesOnlyFromInsideTheDelivery) {
  enum Expect { kCopied, kOutside, kInvalid, kMissing };
  t.Write("delivery/job/inside.psd", "inside");
  t.Write("delivery/shared/up.psd", "up");  // reached by "..", still inside
  const fs::path secret = t.Write("secret/credentials.txt", "secret");
  t.Write("other/secret.txt", "secret");
  const std::wstring secretName = Name(secret);
  std::vector<std::pair<std::wstring, Expect>> cases = {
      {L"inside.psd", kCopied},
      {L"../shared/up.psd", kCopied},
      {L"../../secret/credentials.txt", kOutside},
      {secretName, kOutside},
      {L"/etc/passwd", kOutside},
      {std::wstring(L"/etc/hostname\0.tif", 18), kInvalid},
      {L"inside\x1b[2K.psd", kInvalid},
      {L"*.psd", kInvalid},
      {L"insid?.psd", kInvalid},
      {L"gone.psd", kMissing},
      // Another machine's absolute path reads the same on either system, whichever notation it has.
      {L"C:\\Users\\x\\gone.psd", kOutside},
      {L"/Users/x/gone.psd", kOutside},
  };
#ifdef _WIN32
  std::wstring otherCase = Name(t.Path("DELIVERY/job/inside.psd"));
  otherCase[0] = static_cast<wchar_t>(std::towlower(otherCase[0]));
  cases.push_back({otherCase, kCopied});  // the same file, its drive and folder in other case
  for (const wchar_t* name : {L"..\\..\\other\\secret.txt", L"C:\\windows\\win.ini", L"\\\\?\\Z:\\etc\\passwd",
                              L"\\\\attacker.invalid\\share\\logo.tif", L"\\\\.\\Z:\\etc\\passwd", L"\\windows\\win.ini", L"N:logo.tif"}) {
    cases.push_back({name, kOutside});
  }
#else
  fs::create_directories(t.Path("delivery/job/Links"));
  fs::create_symlink(secret, t.Path("delivery/job/Links/logo.tif"));
  fs::create_directory_symlink(t.Path("secret"), t.Path("delivery/job/linked"));
  fs::create_symlink(t.Path("delivery/job/inside.psd"), t.Path("delivery/job/alias.psd"));
  fs::create_directory_symlink(t.Path("delivery/shared"), t.Path("delivery/job/shortcut"));
  cases.push_back({L"Links/logo.tif", kOutside});
  cases.push_back({L"Macintosh HD:Links:logo.tif", kOutside});  // found by name in Links: a link outside
  cases.push_back({L"linked/credentials.txt", kOutside});
  // A link is not followed even where it stays inside: what it leads to may change meanwhile.
  cases.push_back({L"alias.psd", kOutside});
  cases.push_back({L"shortcut/up.psd", kOutside});
  // Neither the outside folder nor its files may be opened, not even to be listed or refused.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, t.Path("secret").c_str(), IN_OPEN | IN_ACCESS), 0);
#endif
  std::vector<std::wstring> names;
  for (const auto& c : cases) names.push_back(c.first);
  Delivery delivery;
  delivery.Add(t.Path("delivery"));
  fs::create_directories(t.Path("mine"));
#ifndef _WIN32
  // A document whose Links folder is a link out of the delivery: refused before it is listed.
  fs::create_directories(t.Path("delivery/lk"));
  fs::create_directory_symlink(t.Path("secret"), t.Path("delivery/lk/Links"));
  // With the kernel's one-call resolution beneath a folder, and with one name at a time.
  const bool ways[] = {true, false};
#else
  const bool ways[] = {true};
#endif
  for (const bool openat2 : ways) {
    SCOPED_TRACE(openat2 ? "openat2" : "one name at a time");
    const fs::path outFolder = t.Path(openat2 ? "out" : "out2");
    fs::create_directories(outFolder);
    ImageCollector c(outFolder, delivery);
#ifndef _WIN32
    const bool before = UseOpenat2(openat2);
    c.Collect(t.Path("delivery/lk/card.eps"), {L"Macintosh HD:Links:credentials.txt"});
#endif
    c.Collect(t.Path("delivery/job/card.eps"), names);
#ifndef _WIN32
    UseOpenat2(before);
#endif

    const CollectSummary& s = c.summary();
    const auto listed = [](const std::vector<CollectEntry>& list, const std::wstring& name) {
      return std::any_of(list.begin(), list.end(), [&](const CollectEntry& e) { return e.image == ToUtf8(name); });
    };
    for (const auto& [name, expect] : cases) {
      SCOPED_TRACE(PrintableCell(ToUtf8(name)));
      EXPECT_EQ(listed(s.outside, name), expect == kOutside);
      EXPECT_EQ(listed(s.invalid, name), expect == kInvalid);
      EXPECT_EQ(listed(s.missing, name), expect == kMissing);
    }
    EXPECT_EQ(s.copied, 2);
    EXPECT_TRUE(s.failed.empty());
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(outFolder)) out.push_back(PathText(e.path().filename()));
    std::sort(out.begin(), out.end());
    EXPECT_EQ(out, (std::vector<std::string>{"inside.psd", "up.psd"})) << "nothing from outside, nothing left half-made";
    EXPECT_NE(cli::FormatCollectSummary(s).find("外"), std::string::npos);
#ifndef _WIN32
    EXPECT_TRUE(listed(s.outside, L"Macintosh HD:Links:credentials.txt"));
    inotify_event events[8];
    EXPECT_LT(::read(watch, events, sizeof events), 0) << "the outside folder was opened";
#endif
  }
#ifndef _WIN32
  ::close(watch);
#endif

  // Asked explicitly, a designer's own links are taken from anywhere; invalid names never are.
  ImageCollector anywhere(t.Path("mine"), delivery, true);
  anywhere.Collect(t.Path("delivery/job/card.eps"), {secretName, L"*.psd"});
  EXPECT_EQ(anywhere.summary().copied, 1);
  EXPECT_EQ(anywhere.summary().invalid.size(), 1u);
  EXPECT_EQ(TempTree::Read(t.Path("mine/credentials.txt")), "secret");

  // Thousands of names keep memory bounded: the first are listed, the rest counted.
  std::vector<std::wstring> many;
  for (std::size_t i = 0; i < kListedEntries + 500; ++i) many.push_back(L"/x/" + std::to_wstring(i));
  ImageCollector flood(t.Path("mine"), delivery);
  flood.Collect(t.Path("delivery/job/card.eps"), many);
  EXPECT_EQ(flood.summary().outside.size(), kListedEntries);
  EXPECT_EQ(flood.summary().outside.total(), kListedEntries + 500);
  EXPECT_NE(cli::FormatCollectSummary(flood.summary()).find("フォルダー外 1500 /"), std::string::npos);
  EXPECT_NE(cli::FormatCollectSummary(flood.summary()).find("  ほか 500 件\n"), std::string::npos);
}

#ifdef _WIN32
// The exact text the scanner hands to the Win32 file calls. Wine opens long paths in the plain
// form too, so only the text shows that Windows without long paths enabled would open them.
TEST(Win32Path, FullAndExtendedFromTheLengthWherePlainPathsFail) {
  const std::wstring deep = L"C:\\入稿\\" + std::wstring(250, L'a');
  wchar_t current[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, current), 0u);
  std::wstring here = current;
  if (here.back() != L'\\') here += L'\\';
  const std::wstring relative(260, L'r');
  const struct {
    std::wstring in, out;
  } cases[] = {
      {L"C:\\job\\a.psd", L"C:\\job\\a.psd"},
      {L"a.psd", L"a.psd"},
      {deep, L"\\\\?\\" + deep},
      {L"C:/入稿/" + std::wstring(250, L'a'), L"\\\\?\\" + deep},
      {L"C:\\入稿\\x\\..\\" + std::wstring(250, L'a'), L"\\\\?\\" + deep},
      {L"\\\\server\\share\\" + std::wstring(250, L's'), L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L's')},
      {relative, L"\\\\?\\" + here + relative},
      {L"\\\\?\\" + deep, L"\\\\?\\" + deep},
  };
  for (const auto& c : cases) EXPECT_EQ(Win32Path(c.in), c.out) << ToUtf8(c.in);
}
#endif

// A copy is a new file of the folder's own, complete under its name or not there at all.
TEST_F(Collecting, CopiesAreNewCompleteFilesOrNone) {
  const fs::path src = t.Write("in/a.psd", "image");
  const fs::path dir = t.Path("out");
  fs::create_directories(dir);
  const auto leftovers = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) n += e.path().filename().native()[0] == '.';
    return n;
  };

  EXPECT_EQ(CopyNewFile(src, dir / "a.psd").outcome, CopyResult::Outcome::kCopied);
  EXPECT_EQ(TempTree::Read(dir / "a.psd"), "image");
  t.Write("in/b.psd", "other");
  EXPECT_EQ(CopyNewFile(t.Path("in/b.psd"), dir / "a.psd").outcome, CopyResult::Outcome::kExists);
  EXPECT_EQ(TempTree::Read(dir / "a.psd"), "image") << "never replaced";
  EXPECT_EQ(leftovers(), 0) << "no temporary file left behind";

#ifdef _WIN32
  // What Ctrl+C or closing the console does before the process ends: the file being written,
  // still open, goes as its handle closes.
  const fs::path part = dir / ".pelmora-0123456789abcdef.part";
  const HANDLE h = ::CreateFileW(part.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  {
    const PartFile p(part);
    RemovePartFileNow();
  }
  ::CloseHandle(h);
  EXPECT_FALSE(fs::exists(part));
  RemovePartFileNow();  // none in scope: nothing
#endif

#ifndef _WIN32
  // Larger than the free space: refused before a byte is written. (Wine makes no sparse file
  // this large.)
  const fs::path huge = t.Path("in/huge.psd");
  std::ofstream(huge).close();
  fs::resize_file(huge, fs::space(dir).available + (1ull << 30));  // sparse: takes no room here
  const CopyResult full = CopyNewFile(huge, dir / "huge.psd");
  EXPECT_EQ(full.outcome, CopyResult::Outcome::kFailed);
  EXPECT_NE(full.reason.find(ToUtf8(base::ErrorDescription(err::kDiskFull))), std::string::npos) << full.reason;
  EXPECT_FALSE(fs::exists(dir / "huge.psd"));
  EXPECT_EQ(leftovers(), 0);

  // The source's mode bits and owner stay behind: a setuid, world-writable image gives a plain file.
  const fs::path suid = t.Write("in/suid.psd", "x");
  fs::permissions(suid, fs::perms::all | fs::perms::set_uid | fs::perms::set_gid);
  ASSERT_EQ(CopyNewFile(suid, dir / "suid.psd").outcome, CopyResult::Outcome::kCopied);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(dir / "suid.psd").permissions()), 0666 & ~mask);

  // Interrupted mid-copy, the program still ends as the signal says, and takes its temporary
  // file with it; a file already named is left alone.
  RemovePartFilesOnInterrupt();
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    for (const bool named : {false, true}) {
      SCOPED_TRACE(std::to_string(sig) + (named ? " named" : " writing"));
      const fs::path part = t.Write("out/.pelmora-0123456789abcdef.part", "half");
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        { const PartFile p(part); if (!named) ::raise(sig); }
        ::raise(sig);
        ::_exit(0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
      EXPECT_EQ(fs::exists(part), named);
      fs::remove(part);
    }
  }

  // Only regular files: a pipe would block the copy or feed it without end.
  ASSERT_EQ(::mkfifo(t.Path("in/pipe.psd").c_str(), 0600), 0);
  const CopyResult pipe = CopyNewFile(t.Path("in/pipe.psd"), dir / "pipe.psd");
  EXPECT_EQ(pipe.outcome, CopyResult::Outcome::kFailed);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "pipe.psd")));
  EXPECT_EQ(leftovers(), 0);
#endif
}
}  // namespace
}  // namespace pelmora::delivery

namespace pelmora::delivery {
namespace {

using namespace base;
namespace testing = cli::testing;

// Names as Mac deliveries have them: composed in one place, decomposed in another, or without
// their voiced-sound marks after a trip through code page 932.
TEST(LinkNames, MatchTolerantlyAndMergeWithTheManifest) {
  const struct {
    std::wstring a, b;
    NameMatch how;
  } matches[] = {
      {L"パンフ.jpg", L"パンフ.jpg", NameMatch::kExact},
      {L"パンフ.jpg", L"ハ\u309Aンフ.jpg", NameMatch::kNormalised},
      {L"ガイド.png", L"カ\u3099イド.png", NameMatch::kNormalised},
      {L"ハンフ.jpg", L"パンフ.jpg", NameMatch::kMarksLost},
      {L"ハンフ.jpg", L"ハ\u309Aンフ.jpg", NameMatch::kMarksLost},
      {L"cafe.psd", L"cafe\u0301.psd", NameMatch::kMarksLost},
      {L"café.psd", L"cafe\u0301.psd", NameMatch::kNormalised},
      {L"CAFE.psd", L"café.psd", NameMatch::kMarksLost},
      {L"ハンフ.jpg", L"ハンプ.jpg", NameMatch::kMarksLost},
      // Only marks the list lost are put back: a list's marks are never dropped to find a file.
      {L"CAFÉ.psd", L"cafe.psd", NameMatch::kNone},
      {L"パス.png", L"ハス.png", NameMatch::kNone},
      {L"ハ\u309Aス.png", L"ハス.png", NameMatch::kNone},
      {L"バス.png", L"パス.png", NameMatch::kNone},
      {L"ハス.png", L"ハ\u309Aス.png", NameMatch::kMarksLost},
      {L"ハンフ.jpg", L"ハンフ.png", NameMatch::kNone},
      {L"a.tif", L"b.tif", NameMatch::kNone},
  };
  for (const auto& m : matches) EXPECT_EQ(MatchNames(m.a, m.b), m.how) << ToUtf8(m.a) << " / " << ToUtf8(m.b);

  const std::vector<std::wstring> header = {L"Mac:Downloads:CFハンフレット.jpg", L"/x/components/bf1241ab-fa13.",
                                            L"C:\\img\\logo.ai"};
  const std::vector<std::wstring> xmp = {L"/Users/h/CFパンフレット.jpg", L"/x/components/bf1241ab-fa13.png",
                                         L"/Users/h/キャンパス.png", L"C:\\img\\logo.ai"};
  EXPECT_EQ(MergeLinkNames(header, xmp),
            (std::vector<std::wstring>{L"/Users/h/CFパンフレット.jpg", L"/x/components/bf1241ab-fa13.png",
                                       L"C:\\img\\logo.ai", L"/Users/h/キャンパス.png"}));
  // In a folder, the closest form wins; a file the program itself wrote there is seen at once.
  TempTree t;
  const std::string nfd = "\xE3\x83\x8F\xE3\x82\x9A\xE3\x83\xB3\xE3\x83\x95.jpg";  // ハ゜ンフ.jpg
  t.Write("f/" + nfd, "");
  t.Write("f/\xE3\x83\x8F\xE3\x83\xB3\xE3\x83\x95.jpg", "");  // ハンフ.jpg
  for (int i = 0; i < 40; ++i) t.Write("f/x" + std::to_string(i) + ".jpg", "");
  const auto find = [&](std::wstring_view name) { return FindInFolder(t.Path("f"), name); };
  EXPECT_EQ(find(L"パンフ.jpg").how, NameMatch::kNormalised);
  EXPECT_EQ(PathText(find(L"パンフ.jpg").path.filename()), nfd);
#ifdef _WIN32
  EXPECT_EQ(find(L"ハンフ.JPG").how, NameMatch::kExact);  // as the file system itself matches it
#else
  EXPECT_EQ(find(L"ハンフ.JPG").how, NameMatch::kMarksLost);
#endif
  // Equally close forms leave the choice open: a lost mark may have been either.
  t.Write("f/\xE3\x83\x90\xE3\x82\xB9.png", "");  // バス.png
  t.Write("f/\xE3\x83\x91\xE3\x82\xB9.png", "");  // パス.png
  ForgetFolder(t.Path("f"));
  EXPECT_TRUE(find(L"ハス.png").ambiguous);
  EXPECT_EQ(find(L"ハス.png").how, NameMatch::kMarksLost);
  EXPECT_FALSE(find(L"パス.png").ambiguous);
  EXPECT_EQ(find(L"パス.png").how, NameMatch::kExact);
  EXPECT_EQ(find(L"x7.jpg").how, NameMatch::kExact);
  EXPECT_EQ(find(L"x40.jpg").how, NameMatch::kNone);
  t.Write("f/x40.jpg", "");
  ForgetFolder(t.Path("f"));
  EXPECT_EQ(find(L"x40.jpg").how, NameMatch::kExact);

  // The name itself anywhere in the search order beats another form of it where the list says;
  // two files equally close take nothing, and the summary says why.
  t.Write("job/\xE3\x83\x91.png", "exact");                    // パ.png beside the document
  t.Write("job/sub/\xE3\x83\x8F\xE3\x82\x9A.png", "nfd");      // ハ゜.png where written
  t.Write("job/Links/\xE3\x83\x90\xE3\x82\xB9.png", "voiced");  // バス.png
  t.Write("job/Links/\xE3\x83\x91\xE3\x82\xB9.png", "semi");    // パス.png
  Delivery delivery;
  delivery.Add(t.Path("job"));
  const ImageSearch search(t.Path("job/card.eps"), delivery, false);
  const ImageLocation exact = search.Locate(L"sub/パ.png");
  EXPECT_EQ(exact.status, ImageLocation::Status::kBeside);
  EXPECT_EQ(exact.how, NameMatch::kExact);
  EXPECT_EQ(search.Locate(L"sub/ハ.png").status, ImageLocation::Status::kWritten);
  EXPECT_EQ(search.Locate(L"Mac:ハス.png").status, ImageLocation::Status::kAmbiguous);
  EXPECT_EQ(search.Locate(L"Mac:パス.png").status, ImageLocation::Status::kLinks);
  ImageCollector collector(t.Path("out"), delivery);
  collector.Collect(t.Path("job/card.eps"), {L"Mac:ハス.png"});
  ASSERT_EQ(collector.summary().missing.size(), 1u);
  EXPECT_EQ(collector.summary().missing[0].reason, kAmbiguousText);
  EXPECT_FALSE(fs::exists(t.Path("out")) && !fs::is_empty(t.Path("out")));

  // A short name is no prefix of another: "a." does not take "a.b.tif".
  EXPECT_EQ(MergeLinkNames({L"a."}, {L"a.b.tif"}), (std::vector<std::wstring>{L"a.", L"a.b.tif"}));

  // Illustrator writes linked files as EmbedByReference too: such a path gives the header's name
  // its marks back, but one the header does not list (a copy inside the document) adds no link.
  analysis::XmpFacts manifest;
  manifest.links = {{"/Users/h/CF\xE3\x83\x91\xE3\x83\xB3\xE3\x83\x95\xE3\x83\xAC\xE3\x83\x83\xE3\x83\x88.jpg", true},
                    {"/Users/h/Library/Caches/U54ptY.tif", true},
                    {"/Users/h/linked.png", false}};
  EXPECT_EQ(preflight::LinkNames({L"Mac:CFハンフレット.jpg"}, nullptr, manifest),
            (std::vector<std::wstring>{L"/Users/h/CFパンフレット.jpg", L"/Users/h/linked.png"}));
}

}  // namespace
}  // namespace pelmora::delivery
