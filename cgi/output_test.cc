#include "cgi/output.h"

#include <limits>

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(GNumberTest, Formats) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {15.0, "15"},
      {0.0, "0"},
      {-0.0, "-0"},
      {4.24377123, "4.24377"},
      {59.99999, "60"},
      {59.999, "59.999"},
      {1e6, "1e+006"},
      {1234567.0, "1.23457e+006"},
      {1e-5, "1e-005"},
      {0.0001, "0.0001"},
      {1e100, "1e+100"},
      {1.5e-300, "1.5e-300"},
      {-2.5e7, "-2.5e+007"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {1.7976931348623157e308, "1.79769e+308"},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(GNumber(c.value).text, c.text) << c.value;
  }
}

}  // namespace
}  // namespace veloran
