#include "names/constellations.h"

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(ConstellationsTest, EightyEightInByteOrder) {
  ASSERT_EQ(kConstellationCount, 88);
  std::set<std::string> abbreviations;
  for (int i = 0; i < kConstellationCount; ++i) {
    const Constellation& c = kConstellations[i];
    EXPECT_EQ(std::strlen(c.abbreviation), 3u) << c.abbreviation;
    EXPECT_NE(c.nominative[0], '\0') << c.abbreviation;
    EXPECT_NE(c.genitive[0], '\0') << c.abbreviation;
    if (i > 0) {
      EXPECT_LT(
          std::strcmp(kConstellations[i - 1].abbreviation, c.abbreviation), 0)
          << c.abbreviation;
    }
    // Unique even without case, so that a typed "cma" means one.
    std::string lower = c.abbreviation;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(ch));
    EXPECT_TRUE(abbreviations.insert(lower).second) << c.abbreviation;
    for (const char* text : {c.nominative, c.genitive}) {
      for (const char* ch = text; *ch != '\0'; ++ch) {
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(*ch)) || *ch == ' ')
            << text;
      }
    }
  }
}

TEST(ConstellationsTest, FindsByExactAbbreviation) {
  static const struct {
    const char* abbreviation;
    const char* nominative;  // nullptr: none found
    const char* genitive;
  } cases[] = {
      {"CMa", "Canis Major", "Canis Majoris"},
      {"Cen", "Centaurus", "Centauri"},
      {"Cet", "Cetus", "Ceti"},
      {"Cyg", "Cygnus", "Cygni"},
      {"Eri", "Eridanus", "Eridani"},
      {"And", "Andromeda", "Andromedae"},
      {"Vul", "Vulpecula", "Vulpeculae"},
      {"CrA", "Corona Australis", "Coronae Australis"},
      {"cma", nullptr, nullptr},
      {"CMA", nullptr, nullptr},
      {"Cm", nullptr, nullptr},
      {"", nullptr, nullptr},
      {"Xyz", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const Constellation* found = FindConstellation(c.abbreviation);
    if (c.nominative == nullptr) {
      EXPECT_EQ(found, nullptr) << c.abbreviation;
      continue;
    }
    ASSERT_NE(found, nullptr) << c.abbreviation;
    EXPECT_STREQ(found->abbreviation, c.abbreviation);
    EXPECT_STREQ(found->nominative, c.nominative);
    EXPECT_STREQ(found->genitive, c.genitive);
  }
  EXPECT_EQ(FindConstellation(nullptr), nullptr);
  for (int i = 0; i < kConstellationCount; ++i) {
    EXPECT_EQ(FindConstellation(kConstellations[i].abbreviation),
              &kConstellations[i]);
  }
}

}  // namespace
}  // namespace veloran
