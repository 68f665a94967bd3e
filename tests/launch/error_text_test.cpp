#include "base/error_text.h"

#include <gtest/gtest.h>

#include <set>

namespace pelmora::base {
namespace {

TEST(ErrorNumberText, MarksTheObjectDefinedRangeWithN) {
  const std::pair<std::int32_t, const wchar_t*> cases[] = {
      {-2147220991, L"N513"},       {-2147221504, L"N0"},          {-2147155969, L"N65535"},
      {-2147221505, L"-2147221505"}, {-2147155968, L"-2147155968"}, {-1, L"-1"},
      {0, L"0"},                     {53, L"53"},                    {INT32_MIN, L"-2147483648"},
      {INT32_MAX, L"2147483647"},
  };
  for (const auto& [number, text] : cases) EXPECT_EQ(ErrorNumberText(number), text) << number;
}

TEST(ErrorDescription, GivesOwnTextsForTheNumbersThatOccurAndOneGenericText) {
  const std::wstring generic = ErrorDescription(-1);
  EXPECT_FALSE(generic.empty());
  std::set<std::wstring> seen;
  for (std::int32_t n : {5, 6, 7, 9, 11, 13, 52, 53, 55, 57, 61, 62, 67, 68, 70, 71, 75, 76, 91, 400, 424, 429, 453}) {
    const std::wstring text = ErrorDescription(n);
    EXPECT_NE(text, generic) << n;
    EXPECT_TRUE(seen.insert(text).second) << "shared text for " << n;
  }
  for (std::int32_t n : {0, 1, 54, 99999, INT32_MIN, INT32_MAX, -2147221504 + 53}) {
    EXPECT_EQ(ErrorDescription(n), generic) << n;
  }
}

TEST(ErrorMessage, JoinsDescriptionAndNumberText) {
  EXPECT_EQ(ErrorMessage(53), ErrorDescription(53) + L" (エラー番号:53)");
  EXPECT_EQ(ErrorMessage(-1), ErrorDescription(-1) + L" (エラー番号:-1)");
  // The description belongs to the number itself, not to the offset shown after N.
  EXPECT_EQ(ErrorMessage(-2147221504 + 53), ErrorDescription(-1) + L" (エラー番号:N53)");
  EXPECT_NE(ErrorMessage(-2147221504 + 53), ErrorDescription(53) + L" (エラー番号:N53)");
}

}  // namespace
}  // namespace pelmora::base
