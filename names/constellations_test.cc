#include "names/constellations.h"

#include "names/name_keys.h"

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

// Designations typed with the constellation in full meet the stored keys,
// which have the abbreviation; other names keep their keys.
TEST(ConstellationsTest, AbbreviatesTypedConstellations) {
  static const struct {
    const char* typed;
    const char* key;
  } cases[] = {
      {"Alpha Centauri", "alphacen"},
      {"alpha centaurus", "alphacen"},
      {"ALPHA CENTAURI", "alphacen"},
      {"alf Centauri", "alphacen"},
      {"\xCE\xB1 Centauri", "alphacen"},
      {"&alpha; Centauri", "alphacen"},
      {"alpha1 Centauri", "alpha1cen"},
      {"alpha\xC2\xB9 Centauri", "alpha1cen"},
      {"Alpha Centauri A", "alphacena"},
      {"61 Cygni", "61cyg"},
      {"61 Cygnus B", "61cygb"},
      {"Tau Ceti", "taucet"},
      {"Epsilon Eridani", "epsiloneri"},
      {"Alpha Canis Majoris", "alphacma"},
      {"alpha canismajor", "alphacma"},
      {"Beta Canum Venaticorum", "betacvn"},
      {"Alpha Arae", "alphaara"},
      {"Alpha Ara", "alphaara"},
      {"Alpha Delphini", "alphadelta"},  // "Del" is also Bayer's "delta"
      {"Theta Ursae Majoris", "thetauma"},
      {"Omicron2 Eridani", "omicron2eri"},
      {"70 Ophiuchi", "70oph"},
      {"Alpha Cen", "alphacen"},
      {"Sirius", "sirius"},
      {"Centauri", "centauri"},
      {"HD 48915", "hd48915"},
      {"Alpha Centaurixy", "alphacentaurixy"},
      {"Alpha Centauri AB", "alphacentauriab"},
      {"Alpha Centaur", "alphacentaur"},
  };
  for (const auto& c : cases) {
    char key[kNameKeySize];
    ASSERT_TRUE(NameKey(c.typed, std::strlen(c.typed), key, sizeof(key)))
        << c.typed;
    AbbreviateConstellation(key);
    EXPECT_STREQ(key, c.key) << c.typed;
  }
  // Every constellation by its name and by its genitive.
  for (int i = 0; i < kConstellationCount; ++i) {
    const Constellation& c = kConstellations[i];
    char expected[kNameKeySize];
    std::string designation = std::string("beta ") + c.abbreviation;
    ASSERT_TRUE(NameKey(designation.data(), designation.size(), expected,
                        sizeof(expected)));
    for (const char* name : {c.nominative, c.genitive}) {
      std::string typed = std::string("Beta ") + name;
      char key[kNameKeySize];
      ASSERT_TRUE(NameKey(typed.data(), typed.size(), key, sizeof(key)));
      AbbreviateConstellation(key);
      EXPECT_STREQ(key, expected) << typed;
    }
  }
}

}  // namespace
}  // namespace veloran
