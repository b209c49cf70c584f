#include "cgi/search_window.h"

#include <string>

#include <gtest/gtest.h>

#include "cgi/query_params.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

struct Parsed {
  bool accepted;
  std::string output;
  SearchWindow window;
};

Parsed Parse(const char* query) {
  ClearQueryParams();
  DecodeQueryString(query);
  Parsed parsed{false, "", SearchWindow{}};
  parsed.output = testing::CaptureOutput(
      [&] { parsed.accepted = ParseSearchWindow(&parsed.window); });
  ClearQueryParams();
  return parsed;
}

std::string Plain(const std::string& message) {
  return "Content-type: text/plain\n\n" + message + "\n";
}

TEST(SearchWindowTest, Defaults) {
  SearchWindow window;
  EXPECT_EQ(window.maxRadius, 15.0);
  EXPECT_EQ(window.minRadius, 0.0);
  EXPECT_EQ(window.minRAHours, 0.0);
  EXPECT_EQ(window.maxRAHours, 23.99999972222222);
  EXPECT_EQ(window.minDecDegrees, -89.99999972222223);
  EXPECT_EQ(window.maxDecDegrees, 89.99999972222223);
}

TEST(SearchWindowTest, RejectedParameters) {
  const struct {
    const char* query;
    const char* message;
  } cases[] = {
      {"ly=1.999", "Search radius must be at least 2 light-years."},
      {"ly=", "Search radius must be at least 2 light-years."},
      {"ly=abc", "Search radius must be at least 2 light-years."},
      {"ly=-5", "Search radius must be at least 2 light-years."},
      {"ly=1&minRAHour=99", "Search radius must be at least 2 light-years."},
      {"minLY=15.0001",
       "Minimum search radius cannot be greater than maximum search radius."},
      {"ly=20&minLY=21",
       "Minimum search radius cannot be greater than maximum search radius."},
      {"minRAHour=24",
       "Minimum right ascension hours must be between 0 and 23 inclusive."},
      {"minRAHour=-1",
       "Minimum right ascension hours must be between 0 and 23 inclusive."},
      {"minRAHour=99999999999",
       "Minimum right ascension hours must be between 0 and 23 inclusive."},
      {"minRAMin=60",
       "Minimum right ascension minutes must be between 0 and 59 inclusive."},
      {"minRASec=60", "Minimum right ascension seconds must be >= 0 and < 60."},
      {"minRASec=59.9999999995",
       "Minimum right ascension seconds must be >= 0 and < 60."},
      {"minRASec=-0.1",
       "Minimum right ascension seconds must be >= 0 and < 60."},
      {"minRASec=1e400",
       "Minimum right ascension seconds must be >= 0 and < 60."},
      {"maxRAHour=24",
       "Maximum right ascension hours must be between 0 and 23 inclusive."},
      {"maxRAMin=-1",
       "Maximum right ascension minutes must be between 0 and 59 inclusive."},
      {"maxRASec=60", "Maximum right ascension seconds must be >= 0 and < 60."},
      {"minRAHour=22&maxRAHour=2",
       "Minimum right ascension cannot be greater than maximum right "
       "ascension."},
      {"minRAHour=5&minRAMin=1&maxRAHour=5",
       "Minimum right ascension cannot be greater than maximum right "
       "ascension."},
      // The RA pair is compared before any declination parameter is read.
      {"minRAHour=22&maxRAHour=2&minDecDeg=100",
       "Minimum right ascension cannot be greater than maximum right "
       "ascension."},
      {"minDecDeg=-90",
       "Minimum declination degrees must be between -89 and +89 inclusive."},
      {"minDecMin=60",
       "Minimum declination minutes must be between 0 and 59 inclusive."},
      {"minDecSec=60", "Minimum declination seconds must be >= 0 and < 60"},
      {"maxDecDeg=90",
       "Maxmimum declination degrees must be between -89 and +89 inclusive."},
      {"maxDecMin=-1",
       "Maximum declination minutes must be between 0 and 59 inclusive."},
      {"maxDecSec=-1", "Maximum declination seconds must be >= 0 and < 60"},
      {"minDecDeg=10&maxDecDeg=-10",
       "Minimum declination cannot be greater than maximum declination."},
      {"minDecDeg=0&minDecMin=30&maxDecDeg=0&maxDecMin=29",
       "Minimum declination cannot be greater than maximum declination."},
  };
  for (const auto& c : cases) {
    Parsed parsed = Parse(c.query);
    EXPECT_FALSE(parsed.accepted) << c.query;
    EXPECT_EQ(parsed.output, Plain(c.message)) << c.query;
  }
}

TEST(SearchWindowTest, AcceptedParameters) {
  const struct {
    const char* query;
    double maxRadius, minRadius, minRA, maxRA, minDec, maxDec;
  } cases[] = {
      {"", 15, 0, 0, 23.99999972222222, -89.99999972222223, 89.99999972222223},
      {"ly=2", 2, 0, 0, 23.99999972222222, -89.99999972222223,
       89.99999972222223},
      {"ly=2&minLY=2", 2, 2, 0, 23.99999972222222, -89.99999972222223,
       89.99999972222223},
      {"minLY=-3", 15, -3, 0, 23.99999972222222, -89.99999972222223,
       89.99999972222223},
      {"minLY=15", 15, 15, 0, 23.99999972222222, -89.99999972222223,
       89.99999972222223},
      {"ly=1d3", 1000, 0, 0, 23.99999972222222, -89.99999972222223,
       89.99999972222223},
      {"maxRAHour=23", 15, 0, 0, 23, -89.99999972222223, 89.99999972222223},
      {"maxRAMin=30", 15, 0, 0, 23.5, -89.99999972222223, 89.99999972222223},
      {"minRAHour=5&maxRAHour=5", 15, 0, 5, 5, -89.99999972222223,
       89.99999972222223},
      {"minRAHour=", 15, 0, 0, 23.99999972222222, -89.99999972222223,
       89.99999972222223},
      {"minDecDeg=-89", 15, 0, 0, 23.99999972222222, -89, 89.99999972222223},
      {"minDecDeg=0&minDecMin=30", 15, 0, 0, 23.99999972222222, 0.5,
       89.99999972222223},
      {"minDecDeg=-10&minDecMin=30", 15, 0, 0, 23.99999972222222, -10.5,
       89.99999972222223},
      {"maxDecDeg=0&maxDecMin=30&minDecDeg=0&minDecMin=30", 15, 0, 0,
       23.99999972222222, 0.5, 0.5},
      {"minRASec=59.999999999", 15, 0, 59.999999999 * 0.0002777777777777778,
       23.99999972222222, -89.99999972222223, 89.99999972222223},
  };
  for (const auto& c : cases) {
    Parsed parsed = Parse(c.query);
    ASSERT_TRUE(parsed.accepted) << c.query << ": " << parsed.output;
    EXPECT_EQ(parsed.output, "") << c.query;
    EXPECT_EQ(parsed.window.maxRadius, c.maxRadius) << c.query;
    EXPECT_EQ(parsed.window.minRadius, c.minRadius) << c.query;
    EXPECT_EQ(parsed.window.minRAHours, c.minRA) << c.query;
    EXPECT_EQ(parsed.window.maxRAHours, c.maxRA) << c.query;
    EXPECT_EQ(parsed.window.minDecDegrees, c.minDec) << c.query;
    EXPECT_EQ(parsed.window.maxDecDegrees, c.maxDec) << c.query;
  }
}

TEST(SearchWindowTest, SettingAPartResetsTheSmallerParts) {
  Parsed parsed = Parse("maxRAHour=23&minDecDeg=-89&maxDecMin=30");
  ASSERT_TRUE(parsed.accepted);
  EXPECT_EQ(parsed.window.maxRA.minutes, 0);
  EXPECT_EQ(parsed.window.maxRA.seconds, 0.0);
  EXPECT_EQ(parsed.window.minDec.arcminutes, 0);
  EXPECT_EQ(parsed.window.minDec.arcseconds, 0.0);
  EXPECT_EQ(parsed.window.maxDec.degrees, 89);
  EXPECT_EQ(parsed.window.maxDec.arcminutes, 30);
  EXPECT_EQ(parsed.window.maxDec.arcseconds, 0.0);
  parsed = Parse("maxRASec=30");
  EXPECT_EQ(parsed.window.maxRA.hours, 23);
  EXPECT_EQ(parsed.window.maxRA.minutes, 59);
  EXPECT_EQ(parsed.window.maxRA.seconds, 30.0);
}

TEST(SearchWindowTest, Clauses) {
  const struct {
    const char* query;
    const char* clauses;
  } cases[] = {
      {"", ":</H3></CENTER>\n"},
      {"minRAHour=0", ":</H3></CENTER>\n"},
      {"maxRASec=59.9999", ":</H3></CENTER>\n"},
      {"maxRASec=59.998",
       ", with Right Ascensions between 0h0m0s and 23h59m59.998s:</H3>"
       "</CENTER>\n"},
      {"maxRAHour=23",
       ", with Right Ascensions between 0h0m0s and 23h0m0s:</H3></CENTER>\n"},
      {"minRAHour=1&minRASec=59.99999",
       ", with Right Ascensions between 1h0m60s and 23h59m59.999s:</H3>"
       "</CENTER>\n"},
      {"minDecDeg=-89",
       ", with Declinations between -89&deg;0'0\" and +89&deg;59'59.999\":"
       "</H3></CENTER>\n"},
      {"minDecDeg=0&maxDecDeg=0&maxDecMin=30",
       ", with Declinations between +0&deg;0'0\" and +0&deg;30'0\":</H3>"
       "</CENTER>\n"},
      {"minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10",
       ", with Right Ascensions between 5h0m0s and 6h0m0s, and Declinations "
       "between -10&deg;0'0\" and +10&deg;0'0\":</H3></CENTER>\n"},
  };
  for (const auto& c : cases) {
    Parsed parsed = Parse(c.query);
    ASSERT_TRUE(parsed.accepted) << c.query;
    std::string clauses =
        testing::CaptureOutput([&] { WriteWindowClauses(parsed.window); });
    EXPECT_EQ(clauses, c.clauses) << c.query;
  }
}

}  // namespace
}  // namespace veloran
