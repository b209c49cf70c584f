#include "db/star_text.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "astro/position_conversion.h"
#include "catalogue/star_records.h"

namespace veloran {
namespace {

TEST(HtmlFromUtf8Test, ConvertsToWindows1252Html) {
  static const struct {
    const char* utf8;
    const char* html;
  } kCases[] = {
      {"Sirius", "Sirius"},
      {"Barnard's Star", "Barnard's Star"},
      {"", ""},
      {"A&B <x>", "A&amp;B &lt;x&gt;"},
      {"&alpha;", "&amp;alpha;"},
      {"Arcal\u00eds", "Arcal\xeds"},
      {"M\u00f6nch", "M\xf6nch"},
      {"\u00a0\u00ff", "\xa0\xff"},
      {"Campbell\u2019s", "Campbell\x92s"},
      {"\u20ac \u0178 \u2122", "\x80 \x9f \x99"},
      {"\u03b1 Lyr", "&alpha; Lyr"},
      {"\u03c9\u03c2\u03c3", "&omega;&sigmaf;&sigma;"},
      {"\u0391\u03a3\u03a9", "&Alpha;&Sigma;&Omega;"},
      {"S\u0101maya", "S&#257;maya"},
      {"\u0081", "&#129;"},         // a C1 control, absent from windows-1252
      {"\U0001D6FC", "&#120572;"},  // four UTF-8 bytes
  };
  for (const auto& c : kCases) {
    std::string html;
    ASSERT_TRUE(HtmlFromUtf8(c.utf8, &html)) << c.utf8;
    EXPECT_EQ(html, c.html) << c.utf8;
  }
}

TEST(HtmlFromUtf8Test, RejectsWhatIsNotUtf8) {
  static const char* const kCases[] = {
      "\x80",              // a continuation byte first
      "caf\xe9",           // windows-1252 itself
      "\xc3",              // cut short
      "\xe2\x80",          // cut short
      "\xc0\xaf",          // overlong
      "\xe0\x80\xaf",      // overlong
      "\xed\xa0\x80",      // a surrogate
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "\xff",
  };
  for (const char* text : kCases) {
    std::string html;
    EXPECT_FALSE(HtmlFromUtf8(text, &html)) << testing::PrintToString(text);
  }
}

TEST(DesignationFromUtf8Test, SpellsDesignationsWithSpaces) {
  static const struct {
    const char* utf8;
    const char* html;
  } kCases[] = {
      {"\u03b11_Cen", "&alpha;1 Cen"},
      {"\u03c810_Aur", "&psi;10 Aur"},
      {"9_CMa", "9 CMa"},
      {"61_Cyg_A", "61 Cyg A"},
      {"\u03b1_Cen_C", "&alpha; Cen C"},
      {"b1_Aqr", "b1 Aqr"},
  };
  for (const auto& c : kCases) {
    std::string html;
    ASSERT_TRUE(DesignationFromUtf8(c.utf8, &html)) << c.utf8;
    EXPECT_EQ(html, c.html) << c.utf8;
  }
}

TEST(SplitSpectralTypeTest, LuminosityClassIsCutOutOfTheType) {
  // The class as the MK system writes it; what else follows the temperature
  // class (peculiarities, a companion's type, abundance notes) stays in the
  // spectral class, in its order.
  static const struct {
    const char* type;
    const char* spectralClass;
    const char* luminosityClass;  // nullptr: none
  } kCases[] = {
      {"K1.5IIIFe-0.5", "K1.5Fe-0.5", "III"},
      {"K0IIIbCN-1", "K0CN-1", "IIIb"},
      {"B1Ia0", "B1", "Ia0"},
      {"B5Ia+", "B5", "Ia+"},
      {"A0Iab", "A0", "Iab"},
      {"G8II-III", "G8", "II-III"},
      {"M1-M2Ia-Iab", "M1-M2", "Ia-Iab"},
      {"K3IV/V", "K3", "IV/V"},
      {"B2Vne", "B2ne", "V"},
      {"B8Iae", "B8e", "Ia"},
      {"A1Vm", "A1m", "V"},
      {"M5.5Ve", "M5.5e", "V"},
      {"G2V", "G2", "V"},
      {"F5IV-V+DQZ", "F5+DQZ", "IV-V"},
      {"A1V+DA", "A1+DA", "V"},
      {"M2+V", "M2+", "V"},
      {"A0Va", "A0", "Va"},
      {"M1VIp", "M1p", "VI"},
      {"K0/1III", "K0/1", "III"},
      {"K2(III)", "K2", "(III)"},
      {"(G)(II)+A/F", "(G)+A/F", "(II)"},
      {"kA5hF0mF2III", "kA5hF0mF2", "III"},
      {"B0.5Ia", "B0.5", "Ia"},
      {"KIII", "K", "III"},
      {"KIIvw", "Kvw", "II"},
      {"M4SIII", "M4S", "III"},
      {"G/KIII+F/G", "G/K+F/G", "III"},
      {"O/BIae", "O/Be", "Ia"},
      {"F3+FIII", "F3+F", "III"},
      {"M4e-M6eIII", "M4e-M6e", "III"},
      {"A0P(SI)", "A0P(SI)", nullptr},
      {"B8pSi(FeII)", "B8pSi(FeII)", nullptr},
      {"LBV", "LBV", nullptr},
      {"DA", "DA", nullptr},
      {"sdM", "sdM", nullptr},
      {"sdB", "sdB", nullptr},
      {"M0/2", "M0/2", nullptr},
      {"ApSi", "ApSi", nullptr},
      {"", "", nullptr},
  };
  for (const auto& c : kCases) {
    SpectralSplit split = SplitSpectralType(c.type);
    EXPECT_EQ(split.spectralClass, c.spectralClass) << c.type;
    EXPECT_EQ(split.hasLuminosityClass, c.luminosityClass != nullptr) << c.type;
    if (c.luminosityClass != nullptr) {
      EXPECT_EQ(split.luminosityClass, c.luminosityClass) << c.type;
    }
  }
}

double HoursToRadians(int h, int m, double s) {
  return (h + m / 60.0 + s / 3600.0) * std::numbers::pi / 12.0;
}

TEST(RightAscensionTest, RoundsToMillisecondsWithCarries) {
  static const struct {
    double radians;
    int hours;
    int minutes;
    double seconds;
  } kCases[] = {
      {HoursToRadians(6, 45, 8.917), 6, 45, 8.917},
      {HoursToRadians(22, 57, 39.0504), 22, 57, 39.05},
      {HoursToRadians(0, 0, 0), 0, 0, 0},
      {HoursToRadians(3, 59, 59.9996), 4, 0, 0},   // seconds carry into hours
      {HoursToRadians(3, 12, 59.9996), 3, 13, 0},  // and into minutes
      {HoursToRadians(23, 59, 59.9996), 0, 0, 0},  // a whole turn is 0h
      {HoursToRadians(23, 59, 59.9994), 23, 59, 59.999},
      {-HoursToRadians(0, 0, 1), 23, 59, 59},  // brought into one turn
      {2 * std::numbers::pi, 0, 0, 0},
  };
  for (const auto& c : kCases) {
    RightAscension ra = RightAscensionFromRadians(c.radians);
    EXPECT_EQ(ra.hours, c.hours) << c.radians;
    EXPECT_EQ(ra.minutes, c.minutes) << c.radians;
    EXPECT_DOUBLE_EQ(ra.seconds, c.seconds) << c.radians;
  }
}

double DegreesToRadians(double degrees) {
  return degrees * std::numbers::pi / 180.0;
}

TEST(DeclinationTest, SignOnTheDegreesOrOnTheArcseconds) {
  static const struct {
    double degrees;
    int d;
    int m;
    double s;
  } kCases[] = {
      {-(16 + 42 / 60.0 + 58.02 / 3600.0), -16, 42, 58.02},
      {38 + 47 / 60.0 + 1.29 / 3600.0, 38, 47, 1.29},
      {0.5, 0, 30, 0},
      {-(30 / 60.0 + 15 / 3600.0), 0, 0, -1815},  // -0 deg 30' 15"
      {-0.0001 / 3600.0, 0, 0, 0},                // rounds to zero, no sign
      {-12.34 / 3600.0, 0, 0, -12.34},
      {-(59 / 60.0 + 59.996 / 3600.0), -1, 0, 0},  // rounds to -1 degree
      {59 / 60.0 + 59.996 / 3600.0, 1, 0, 0},
      {-(1 + 59.996 / 3600.0), -1, 1, 0},  // arcseconds carry
      {89 + 59 / 60.0 + 59.999 / 3600.0, 90, 0, 0},
      {-90, -90, 0, 0},
  };
  for (const auto& c : kCases) {
    Declination dec = DeclinationFromRadians(DegreesToRadians(c.degrees));
    EXPECT_EQ(dec.degrees, c.d) << c.degrees;
    EXPECT_EQ(dec.arcminutes, c.m) << c.degrees;
    EXPECT_DOUBLE_EQ(dec.arcseconds, c.s) << c.degrees;
  }
}

// The program reads a declination just south of the equator, stored with
// negative arcseconds, back in the south and at the right place.
TEST(DeclinationTest, ProgramReadsSmallSouthernDeclinationsBack) {
  for (double degrees : {-0.504166667, -0.99, -0.001, 0.504166667}) {
    Declination dec = DeclinationFromRadians(DegreesToRadians(degrees));
    PositionRecord record{};
    record.HasRA = record.HasDec = record.HasDistance = true;
    record.Dec_deg = static_cast<int16_t>(dec.degrees);
    record.Dec_arcmin = static_cast<uint8_t>(dec.arcminutes);
    record.Dec_arcsec = static_cast<float>(dec.arcseconds);
    record.Distance = 1.0;
    CartesianPoint point;
    ASSERT_TRUE(PositionToCartesian(record, false, &point));
    EXPECT_NEAR(point.z, std::sin(DegreesToRadians(degrees)), 1e-7) << degrees;
  }
}

}  // namespace
}  // namespace veloran
