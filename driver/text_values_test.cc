#include "driver/text_values.h"

#include <cstring>

#include <gtest/gtest.h>

namespace veloran::odbc {
namespace {

// The century rules of leap years, and the lengths of the other months.
TEST(DaysInMonthTest, Calendar) {
  static const struct {
    int year;
    int month;
    int days;
  } cases[] = {
      {2024, 2, 29},  {2023, 2, 28}, {1900, 2, 28}, {2000, 2, 29},
      {2100, 2, 28},  {1600, 2, 29}, {1, 2, 28},    {4, 2, 29},
      {9999, 2, 28},  {2024, 1, 31}, {2024, 4, 30}, {2023, 12, 31},
      {2023, 11, 30},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DaysInMonth(c.year, c.month), c.days) << c.year << "-" << c.month;
  }
}

// The parser and the parameters' check share the rule.
TEST(DaysInMonthTest, DatesAreCheckedAgainstIt) {
  static const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"2000-02-29", true},  {"1900-02-29", false}, {"2100-02-29", false},
      {"2024-04-31", false}, {"2024-04-30", true},
  };
  for (const auto& c : cases) {
    DateTimeText value;
    EXPECT_EQ(ParseDateTimeText(c.text, std::strlen(c.text), &value), c.valid)
        << c.text;
  }
}

}  // namespace
}  // namespace veloran::odbc
