#include "site/star_id.h"

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(StarIdTest, Parse) {
  const struct {
    const char* text;
    bool valid;
    int32_t id;
  } cases[] = {
      {"100", true, 100},
      {"323490000", true, 323490000},
      {"2147483600", true, 2147483600},
      {"2147483700", false, 0},  // beyond 32 bits
      {"99999999999999999999900", false, 0},
      {"0", false, 0},
      {"00", false, 0},
      {"0100", false, 0},
      {"150", false, 0},
      {"10", false, 0},
      {"-100", false, 0},
      {"+100", false, 0},
      {" 100", false, 0},
      {"100 ", false, 0},
      {"100abc", false, 0},
      {"1e2", false, 0},
      {"100.0", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    int32_t id = -1;
    EXPECT_EQ(ParseStarId(c.text, &id), c.valid) << c.text;
    EXPECT_EQ(id, c.valid ? c.id : -1) << c.text;
  }
}

}  // namespace
}  // namespace veloran
