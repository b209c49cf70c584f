#include "names/known_names.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace veloran {
namespace {

TEST(KnownNamesTest, ReadsBayerAndFlamsteedDesignations) {
  static const struct {
    const char* name;
    bool designation;
    const char* genitive;
    char component;
  } cases[] = {
      {"&tau; Cet", true, "Ceti", '\0'},
      {"&alpha;1 Cen", true, "Centauri", '\0'},
      {"&alpha; Cen A", true, "Centauri", 'A'},
      {"61 Cyg B", true, "Cygni", 'B'},
      {"b1 Aqr", true, "Aquarii", '\0'},
      {"9 CMa", true, "Canis Majoris", '\0'},
      {"&epsilon; Eri", true, "Eridani", '\0'},
      {"Sirius", false, nullptr, '\0'},
      {"Kruger 60 B", false, nullptr, '\0'},
      {"&tau; Xyz", false, nullptr, '\0'},
      {"&foo; Cet", false, nullptr, '\0'},
      {"&tau; Cet AB", false, nullptr, '\0'},
      {"&tau;Cet", false, nullptr, '\0'},
      {"HIP 57548", false, nullptr, '\0'},
      {"123456789 Cet", false, nullptr, '\0'},
      {"", false, nullptr, '\0'},
  };
  for (const auto& c : cases) {
    StarDesignation d;
    ASSERT_EQ(ReadStarDesignation(c.name, &d), c.designation) << c.name;
    if (!c.designation) continue;
    EXPECT_STREQ(d.constellation->genitive, c.genitive) << c.name;
    EXPECT_EQ(d.component, c.component) << c.name;
  }
}

// The display name and the star's ProperNames rows, and the name that
// heads its pages.
TEST(KnownNamesTest, NamesVisitorsKnowBesideAstronomers) {
  static const struct {
    const char* displayName;
    std::vector<const char*> names;
    const char* known;
  } cases[] = {
      {"&tau; Cet", {"&tau; Cet", "52 Cet"}, "Tau Ceti (&tau; Cet)"},
      {"&epsilon; Ind", {"&epsilon; Ind"}, "Epsilon Indi (&epsilon; Ind)"},
      {"61 Cyg A", {"61 Cyg A"}, "61 Cygni A (61 Cyg A)"},
      {"&alpha;1 Cen", {}, "Alpha&sup1; Centauri (&alpha;1 Cen)"},
      {"Ran", {"Ran", "&epsilon; Eri", "18 Eri"}, "Ran (&epsilon; Eridani)"},
      {"Sirius",
       {"Sirius", "Canicula", "&alpha; CMa", "9 CMa"},
       "Sirius (&alpha; Canis Majoris)"},
      // The lettered form of a system's star before the numbered one.
      {"Rigil Kentaurus",
       {"Rigil Kentaurus", "&alpha;1 Cen", "&alpha; Cen A"},
       "Rigil Kentaurus (&alpha; Centauri A)"},
      {"Bessel's Star",
       {"Bessel's Star", "61 Cyg B"},
       "Bessel's Star (61 Cygni B)"},
      {"Polaris", {"Polaris", "b1 Aqr"}, "Polaris (b&sup1; Aquarii)"},
      {"Luyten's Star", {"Luyten's Star"}, "Luyten's Star"},
      {"Kruger 60 B", {"Kruger 60 B"}, "Kruger 60 B"},
      // A catalogue number, no proper name: as it is.
      {"HIP 57548", {"&alpha; Cen A"}, "HIP 57548"},
      {"HD 1326", {}, "HD 1326"},
  };
  for (const auto& c : cases) {
    char text[kKnownNameSize];
    FormatKnownName(c.displayName, c.names.data(),
                    static_cast<int>(c.names.size()), text, sizeof(text));
    EXPECT_STREQ(text, c.known) << c.displayName;
  }
}

// A name that does not fit is the display name alone, never one cut inside
// a reference.
TEST(KnownNamesTest, TooLongIsTheDisplayNameAlone) {
  const char* names[] = {"Ran", "&epsilon; Eri"};
  char text[16];
  FormatKnownName("Ran", names, 2, text, sizeof(text));
  EXPECT_STREQ(text, "Ran");
  char tiny[3];
  FormatKnownName("Ran", names, 2, tiny, sizeof(tiny));
  EXPECT_STREQ(tiny, "Ra");
}

}  // namespace
}  // namespace veloran
