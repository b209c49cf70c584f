#include "names/designation_catalogues.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "names/name_keys.h"

namespace veloran {
namespace {

TEST(DesignationCataloguesTest, AbbreviationsFitAndNeverGrowAKey) {
  for (size_t i = 0; i < kDesignationCatalogueCount; ++i) {
    const DesignationCatalogue& c = kDesignationCatalogues[i];
    EXPECT_LE(std::strlen(c.abbreviation), 10u) << c.abbreviation;
    char abbreviation[32];
    ASSERT_TRUE(NameKey(c.abbreviation, std::strlen(c.abbreviation),
                        abbreviation, sizeof(abbreviation)));
    for (const char* other : c.otherNames) {
      if (other == nullptr) break;
      char key[32];
      ASSERT_TRUE(NameKey(other, std::strlen(other), key, sizeof(key)));
      EXPECT_LE(std::strlen(abbreviation), std::strlen(key)) << other;
    }
  }
}

TEST(DesignationCataloguesTest, FindsTheCatalogueOfADesignation) {
  static const struct {
    const char* designation;
    const char* abbreviation;  // nullptr: none
    const char* number;
  } cases[] = {
      {"GJ 699", "GJ", "699"},
      {"GJ 559 A", "GJ", "559 A"},
      {"Groombridge 34 A", "Grb", "34 A"},
      {"Grb 34 A", "Grb", "34 A"},
      {"BD+04 3561a", "BD", "+04 3561a"},
      {"CD-23 14742", "CD", "-23 14742"},
      {"LHS 57", "LHS", "57"},
      {"L 726-8", "L", "726-8"},
      {"Lacaille 9352", "Lacaille", "9352"},
      {"Ross 128", "Ross", "128"},
      {"Wolf 1061", "Wolf", "1061"},
      {"Gliese 699", nullptr, nullptr},  // the list writes GJ
      {"GJ", nullptr, nullptr},
      {"GJ ", nullptr, nullptr},
      {"GJ699", nullptr, nullptr},
      {"Luyten's Star", nullptr, nullptr},
      {"HD 48915", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const char* number = nullptr;
    const DesignationCatalogue* found =
        FindDesignationCatalogue(c.designation, &number);
    if (c.abbreviation == nullptr) {
      EXPECT_EQ(found, nullptr) << c.designation;
      continue;
    }
    ASSERT_NE(found, nullptr) << c.designation;
    EXPECT_STREQ(found->abbreviation, c.abbreviation) << c.designation;
    EXPECT_STREQ(number, c.number) << c.designation;
  }
}

// Keys of designations as visitors type them, and the keys they are looked
// up by.
TEST(DesignationCataloguesTest, AbbreviatesACatalogueTypedByAnotherName) {
  static const struct {
    const char* typed;
    const char* key;  // after AbbreviateCatalogue
    bool rewritten;
  } cases[] = {
      {"Gliese 699", "gj699", true},
      {"Gl 411", "gj411", true},
      {"gliese581", "gj581", true},
      {"GJ 699", "gj699", false},
      {"Groombridge 34", "grb34", true},
      {"Groombridge 34 A", "grb34a", true},
      {"Luyten 726-8", "l7268", true},
      {"CoD-23 14742", "cd2314742", true},
      {"Gliese", "gliese", false},        // no number
      {"Glieseb 1", "glieseb1", false},
      {"Luyten's Star", "luytensstar", false},
      {"Gl", "gl", false},
  };
  for (const auto& c : cases) {
    char key[kNameKeySize];
    ASSERT_TRUE(NameKey(c.typed, std::strlen(c.typed), key, sizeof(key)))
        << c.typed;
    EXPECT_EQ(AbbreviateCatalogue(key), c.rewritten) << c.typed;
    if (!c.rewritten) continue;
    EXPECT_STREQ(key, c.key) << c.typed;
  }
}

}  // namespace
}  // namespace veloran
