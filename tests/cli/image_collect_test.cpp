// Collecting placed images from stale paths into one folder, never overwriting.
#include "cli/image_collect.h"

#include <gtest/gtest.h>

#include "cli/text_utf8.h"
#include "cli_fixture.h"

namespace pelmora::cli {
namespace {

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

  const std::string text = FormatCollectSummary(s);
  EXPECT_NE(text.find("gone.psd"), std::string::npos);
  EXPECT_NE(text.find(PathText(out / "shared.psd")), std::string::npos);
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

}  // namespace
}  // namespace pelmora::cli
