#include "preflight/version_name.h"

#include <gtest/gtest.h>

namespace pelmora::preflight {
namespace {

TEST(IllustratorVersionName, NamesEveryReleaseFromCsOn) {
  const struct {
    const char* raw;
    const char* name;
  } cases[] = {
      {"11.0.0", "CS"},       {"12.0.1", "CS2"},      {"13.0.0", "CS3"},        {"14.0.0", "CS4"},
      {"15.0.0", "CS5"},      {"15.1.0", "CS5.1"},    {"15.1", "CS5.1"},        {"15", "CS5"},
      {"15.10.0", "CS5"},     {"15.2.0", "CS5"},      {"16.0.3", "CS6"},        {"17.1.0", "CC"},
      {"18.0.0", "CC 2014"},  {"19.2.1", "CC 2015"},  {"20.0.0", "CC 2015.3"},  {"21.0.2", "CC 2017"},
      {"22.1.0", "CC 2018"},  {"23.1.1", "CC 2019"},  {"24.0", "2020"},         {"25.2.1", "2021"},
      {"29.1.0", "2025"},     {"30.2.1", "2026"},     {"99.0", "2095"},
      // Leading blanks are the value's, not part of the number.
      {"  22.1.0 ", "CC 2018"},
      // Before CS the raw number is already the name; garbage names nothing.
      {"10.0", ""},           {"8.0.1", ""},          {"0", ""},                {"", ""},
      {"CC", ""},             {".22", ""},            {"-22", ""},              {"100.0", ""},
      {"123456", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(IllustratorVersionName(c.raw), c.name) << '"' << c.raw << '"';
}

}  // namespace
}  // namespace pelmora::preflight
