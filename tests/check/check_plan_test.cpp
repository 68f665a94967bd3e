// The 送る entry's decisions: where the report goes and what the scanner is asked.
#include "check/check_plan.h"

#include <gtest/gtest.h>

#include "base/text_utf8.h"

namespace pelmora::check {
namespace {

TEST(CheckPlan, ReportGoesToTheTemporaryFolderNeverTheDelivery) {
  std::tm t{};
  t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 10, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 7;
  const std::filesystem::path temp = "tmp";
  EXPECT_EQ(ReportPath(temp, t), temp / "Pelmora" / base::PathFromWide(L"入稿チェック_20261210_090507.html"));

  // Selected names that look like options stay names: they come after "--".
  const std::vector<std::filesystem::path> selected = {base::PathFromWide(L"入稿/a.ai"), "--collect", "-h"};
  const auto args = ScanArguments(selected, "r.html");
  ASSERT_EQ(args.size(), 6u);
  EXPECT_EQ(args[0], "--html");
  EXPECT_EQ(args[1], "r.html");
  EXPECT_EQ(args[2], "--");
  EXPECT_EQ(std::vector(args.begin() + 3, args.end()), selected);
  EXPECT_EQ(ProgressText(11, 40, L"a.ai"), L"12 / 40  a.ai");
}

}  // namespace
}  // namespace pelmora::check
