// The one-read cache must be invisible to the analysis apart from the opens it saves.
#include "delivery/document_cache.h"

#include <gtest/gtest.h>

#include "analysis/run_error.h"
#include "cli_fixture.h"

namespace pelmora::delivery {
namespace {

namespace testing = cli::testing;

using testing::TempTree;

std::string ReadAll(const analysis::DocumentPath& p) {
  const auto r = analysis::OpenDocument(p);
  std::string out;
  char buf[3];  // odd pieces, as the analysis may ask
  for (std::size_t n; (n = r->Read(buf, sizeof buf)) != 0;) out.append(buf, n);
  return out;
}

TEST(ScopedDocumentCache, ServesTheBytesItReadOnlyForItsDocumentAndOnlyWhileInScope) {
  TempTree t;
  const auto a = t.Write("a.eps", "0123456789"), b = t.Write("b.eps", "other");
  {
    const ScopedDocumentCache cache(a, 10);
    ASSERT_TRUE(cache.cached());
    t.Write("a.eps", "changed on disk");
    EXPECT_EQ(ReadAll(a), "0123456789");
    EXPECT_EQ(ReadAll(a), "0123456789") << "every open starts at the beginning";
    EXPECT_EQ(ReadAll(analysis::DocumentPath(a.native())), "0123456789") << "an equal path is the same document";
    const auto reader = analysis::OpenDocument(a);
    char first[4];
    ASSERT_EQ(reader->Read(first, sizeof first), 4u);
    EXPECT_EQ(reader->Lend(), "456789") << "lends what is not read yet";
    EXPECT_EQ(reader->Read(first, sizeof first), 0u) << "and that counts as read";
    EXPECT_EQ(ReadAll(b), "other");
    const ScopedDocumentCache second(b, 10);
    EXPECT_FALSE(second.cached()) << "one document at a time";
  }
  EXPECT_EQ(ReadAll(a), "changed on disk");
}

TEST(ScopedDocumentCache, LeavesLargeAndUnreadableDocumentsToThePlatform) {
  TempTree t;
  const auto big = t.Write("big.eps", "01234567890");
  {
    const ScopedDocumentCache cache(big, 10);
    EXPECT_FALSE(cache.cached());
  }
  const auto missingPath = t.Path("missing.eps");
  const ScopedDocumentCache missing(missingPath, 10);
  EXPECT_FALSE(missing.cached());
  EXPECT_THROW(analysis::OpenDocument(missingPath), RunError);
  EXPECT_EQ(analysis::OpenDocument(big)->Lend(), std::nullopt) << "a file is read, not lent";
}

TEST(DocumentReadAhead, HandsOutEachDocumentInQueuedOrderAndLeavesTheRestToThePlatform) {
  TempTree t;
  std::vector<analysis::DocumentPath> paths;
  for (int i = 0; i < 9; ++i) paths.push_back(t.Write("d" + std::to_string(i) + ".eps", std::string(i, 'a' + i)));
  paths[3] = t.Write("big.eps", "01234567890");
  paths[5] = t.Path("missing.eps");
  DocumentReadAhead ahead(10);
  std::size_t queued = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    while (queued < paths.size() && ahead.Queue(paths[queued])) ++queued;
    EXPECT_LE(queued - i, DocumentReadAhead::kAhead) << "no more than its limit ahead";
    const std::optional<std::string_view> bytes = ahead.Take();
    if (i == 3 || i == 5) {
      EXPECT_EQ(bytes, std::nullopt) << "too large or unreadable: " << i;
      continue;
    }
    ASSERT_TRUE(bytes) << i;
    EXPECT_EQ(*bytes, std::string(i, static_cast<char>('a' + i)));
    const ScopedDocumentCache cache(paths[i], bytes);
    EXPECT_TRUE(cache.cached());
    EXPECT_EQ(ReadAll(paths[i]), *bytes);
  }
  EXPECT_EQ(ahead.Take(), std::nullopt) << "nothing queued";
  const ScopedDocumentCache none(paths[3], std::nullopt);
  EXPECT_FALSE(none.cached());
  EXPECT_EQ(ReadAll(paths[3]), "01234567890");
}

}  // namespace
}  // namespace pelmora::delivery
