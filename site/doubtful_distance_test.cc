#include "site/doubtful_distance.h"

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(DoubtfulDistanceTest, ErrorsAndFaintness) {
  const struct {
    const char* what;
    bool hasError;
    double error;
    bool hasAbsolute;
    double absolute;
    char letter;
    DistanceDoubt doubt;
  } cases[] = {
      {"a fifth", true, 0.2, false, 0, 0, DistanceDoubt::kNone},
      {"over a fifth", true, 0.2001, false, 0, 0, DistanceDoubt::kLargeError},
      {"error first", true, 0.5, true, 20, 'G', DistanceDoubt::kLargeError},
      {"a G star 3 fainter", false, 0, true, 9.0, 'G', DistanceDoubt::kNone},
      {"a G star more", false, 0, true, 9.01, 'G', DistanceDoubt::kTooFaint},
      {"a K star", true, 0.05, true, 11.6, 'K', DistanceDoubt::kTooFaint},
      {"an O star", false, 0, true, 0.1, 'O', DistanceDoubt::kTooFaint},
      {"M dwarfs: no bound", false, 0, true, 25, 'M', DistanceDoubt::kNone},
      {"no class", false, 0, true, 25, 0, DistanceDoubt::kNone},
      {"a white dwarf", false, 0, true, 15, 'D', DistanceDoubt::kNone},
      {"nothing known", false, 0, false, 0, 'G', DistanceDoubt::kNone},
  };
  for (const auto& c : cases) {
    DistanceEvidence evidence;
    evidence.hasRelativeError = c.hasError;
    evidence.relativeError = c.error;
    evidence.hasAbsoluteMagnitude = c.hasAbsolute;
    evidence.absoluteMagnitude = c.absolute;
    evidence.temperatureClass = c.letter;
    double excess = -1;
    EXPECT_EQ(DoubtAbout(evidence, &excess), c.doubt) << c.what;
    if (c.doubt == DistanceDoubt::kTooFaint) {
      EXPECT_GT(excess, 3.0) << c.what;
    }
  }
}

}  // namespace
}  // namespace veloran
