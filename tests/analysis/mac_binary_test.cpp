#include <gtest/gtest.h>

#include <string>

#include "analysis/header_scan.h"
#include "fake_document.h"

namespace pelmora::analysis {
namespace {

using pelmora::testing::Fake;
using pelmora::testing::UseFakeDocument;

std::string Bytes(std::size_t size, std::initializer_list<std::pair<std::size_t, unsigned char>> set) {
  std::string out(size, '\0');
  for (const auto& [offset, value] : set) out[offset] = static_cast<char>(value);
  return out;
}

struct MacCase {
  const char* name;
  std::string doc;
  bool mac;
};

TEST(IsMacBinary, DecidesOnBytes0_1_74_82) {
  const MacCase cases[] = {
      {"empty", "", false},
      {"PostScript", "%!PS-Adobe-3.0 EPSF-3.0\r", false},
      {"name length 63", Bytes(128, {{1, 63}}), true},
      {"name length 64", Bytes(128, {{1, 64}}), false},
      {"name length 0", Bytes(128, {{1, 0}}), false},
      {"two bytes, rest counts as zero", Bytes(2, {{1, 5}}), true},
      {"other bytes do not matter", std::string(1, '\0') + "\x0C" + std::string(126, '\xFF'), false},
      {"other bytes do not matter, 74 and 82 zero",
       [] {
         std::string d = std::string(1, '\0') + "\x0C" + std::string(200, '\xFF');
         d[74] = d[82] = '\0';
         return d;
       }(),
       true},
      {"byte 0 set", Bytes(128, {{0, 1}, {1, 12}}), false},
      {"byte 74 set", Bytes(128, {{1, 12}, {74, 1}}), false},
      {"byte 82 set", Bytes(128, {{1, 12}, {82, 1}}), false},
      {"name length above 127 read unsigned", Bytes(128, {{1, 0xC0}}), false},
  };
  for (const MacCase& c : cases) {
    for (std::size_t piece : {std::size_t{200}, std::size_t{1}}) {
      UseFakeDocument fake(c.doc, piece);
      EXPECT_EQ(IsMacBinary("document.eps"), c.mac) << c.name << ", pieces of " << piece;
    }
  }
}

TEST(IsMacBinary, PassesOpenAndReadFailuresOnWithTheirNumber) {
  {
    UseFakeDocument fake("");
    Fake().open_error = err::kPermissionDenied;
    try {
      IsMacBinary("document.eps");
      ADD_FAILURE() << "no failure";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), err::kPermissionDenied);
    }
  }
  {
    UseFakeDocument fake(std::string(128, '\0'), 10);
    Fake().failing_read = 2;
    Fake().read_error = err::kDeviceIoError;
    try {
      IsMacBinary("document.eps");
      ADD_FAILURE() << "no failure";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), err::kDeviceIoError);
    }
  }
  try {
    IsMacBinary(DocumentPath(PELMORA_DOCUMENTS) / "no such document.eps");
    ADD_FAILURE() << "no failure";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), err::kFileNotFound);
  }
}

}  // namespace
}  // namespace pelmora::analysis
