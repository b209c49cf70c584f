#include "site/neighbour_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "catalogue/star_records.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

using ::veloran::testing::CaptureOutput;

// A listed star at galactic "point", "distance" light-years from the
// centre, without a name, spectrum or facts unless given.
ListedStar MakeStar(int32_t id, const CartesianPoint& point, double distance,
                    const char* name = nullptr,
                    const char* spectralClass = nullptr,
                    bool hasMagnitude = false, double magnitude = 0) {
  ListedStar star{};
  star.match = {id, distance, point, 0.0, 0.0, 0, true, DistanceFromSun(point)};
  if (name != nullptr) {
    star.hasName = true;
    std::snprintf(star.name, sizeof(star.name), "%s", name);
  }
  if (spectralClass != nullptr) {
    star.hasSpectrum = true;
    star.spectrum.HasSpectralClass = true;
    std::snprintf(star.spectrum.SpectralClass,
                  sizeof(star.spectrum.SpectralClass), "%s", spectralClass);
  }
  star.hasFacts = hasMagnitude;
  star.facts.hasVMag = hasMagnitude;
  star.facts.vMag = magnitude;
  return star;
}

// "star" with a parallax of 100 +- 30 milliarcseconds: a distance that is
// doubtful.
ListedStar Doubted(ListedStar star) {
  star.hasFacts = true;
  star.facts.hasParallax = star.facts.hasParallaxError = true;
  star.facts.parallax = 100;
  star.facts.parallaxError = 30;
  return star;
}

CartesianPoint Offset(const CartesianPoint& centre, double dx, double dy,
                      double dz) {
  return {centre.x + dx, centre.y + dy, centre.z + dz};
}

// One dot of the map as written: its link's title and its circle.
struct Dot {
  std::string title;
  double x, y, r;
  std::string fill;
  std::string label;  // the name beside it, empty when none
  std::string tip;    // the name shown only while focused, empty when none
  double textX, textY;
  bool textEnd;   // anchored at its end
  bool doubtful;  // a dashed ring round it
  int rank;       // data-rank, 0 when none
  int order;      // the link's place in the picture, from 0
};

// The dots of a written map, by star ID.
std::map<int32_t, Dot> ReadDots(const std::string& svg) {
  static const std::regex dot(
      "<a href=\"entry_page\\.exe\\?ID=(\\d+)\"[^>]*><title>([^<]*)</title>"
      "<circle cx=\"([-\\d.]+)\" cy=\"([-\\d.]+)\" r=\"([\\d.]+)\" "
      "fill=\"(#[0-9a-f]{6})\"/>"
      "(<circle class=\"doubt\"[^>]*/>)?"
      "<text class=\"name( tip)?\"(?: data-rank=\"(\\d+)\")? "
      "x=\"([-\\d.]+)\" y=\"([-\\d.]+)\"( text-anchor=\"end\")?>([^<]*)"
      "</text></a>");
  std::map<int32_t, Dot> dots;
  int order = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), dot);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    int32_t id = std::stoi(m[1]);
    EXPECT_EQ(dots.count(id), 0u) << "two dots of star " << id;
    bool tip = m[8].matched;
    dots[id] = {m[2],
                std::stod(m[3]),
                std::stod(m[4]),
                std::stod(m[5]),
                m[6],
                tip ? "" : m[13].str(),
                tip ? m[13].str() : "",
                std::stod(m[10]),
                std::stod(m[11]),
                m[12].matched,
                m[7].matched,
                m[9].matched ? std::stoi(m[9]) : 0,
                order++};
  }
  // Every link of the picture is a dot read.
  size_t links = 0;
  for (size_t at = svg.find("<a href="); at != std::string::npos;
       at = svg.find("<a href=", at + 1)) {
    ++links;
  }
  EXPECT_EQ(links, dots.size()) << svg;
  return dots;
}

std::string DrawMap(const std::vector<ListedStar>& stars,
                    const MapFrame& frame) {
  return CaptureOutput([&] {
    WriteNeighbourMap(stars.data(), static_cast<int>(stars.size()), frame);
  });
}

// Each plane puts a galactic axis to the right and another upwards, the
// centre at (180, 180) and the radius at 160 units: 8 a light-year for a
// radius of 20.
TEST(NeighbourMapTest, PlanesProjectTheGalacticPoint) {
  const CartesianPoint centre{10, -20, 5};
  const struct {
    MapPlane plane;
    double dx, dy, dz;
    double x, y;
  } cases[] = {
      {MapPlane::kGalacticXY, 5, 2, -3, 220, 164},
      {MapPlane::kGalacticXY, -20, 0, 0, 20, 180},
      {MapPlane::kGalacticXY, 0, -20, 7, 180, 340},
      {MapPlane::kGalacticXZ, 5, 2, -3, 220, 204},
      {MapPlane::kGalacticXZ, 0, 9, 20, 180, 20},
      {MapPlane::kGalacticYZ, 5, 2, -3, 196, 204},
      {MapPlane::kGalacticYZ, 1, -12.5, 0, 80, 180},
  };
  for (const auto& c : cases) {
    const std::vector<ListedStar> stars = {
        MakeStar(100, Offset(centre, c.dx, c.dy, c.dz), 19),
    };
    MapFrame frame{centre, 20, c.plane, "Centre"};
    std::map<int32_t, Dot> dots = ReadDots(DrawMap(stars, frame));
    ASSERT_EQ(dots.count(100), 1u) << MapPlaneName(c.plane);
    EXPECT_DOUBLE_EQ(dots[100].x, c.x) << MapPlaneName(c.plane) << " " << c.dx;
    EXPECT_DOUBLE_EQ(dots[100].y, c.y) << MapPlaneName(c.plane) << " " << c.dy;
  }
}

// The scale: the radius's circle, the scale bar of a round length (at most
// 0.6 of the radius) and its caption, and the map of stars that fill less
// than half the radius, which shows their space instead.
TEST(NeighbourMapTest, ScaleAndRadius) {
  const CartesianPoint centre{0, 0, 0};
  const struct {
    double radius;
    double farthest;  // the one star's distance, along X
    double unitsPerLightYear;
    const char* bar;      // the scale bar's path
    const char* caption;  // its text
    bool circle;          // the radius drawn
  } cases[] = {
      {20, 19, 8, "h80.0", ">10 light-years<", true},
      {20, 10, 8, "h80.0", ">10 light-years<", true},
      {50, 49, 3.2, "h64.0", ">20 light-years<", true},
      {3, 2, 160.0 / 3, "h53.3", ">1 light-year<", true},
      {1000, 863, 0.16, "h80.0", ">500 light-years<", true},
      // Within half the radius: the farthest star and a twentieth more.
      {20, 5, 160 / 5.25, "h61.0", ">2 light-years<", false},
      {INFINITY, 100, 160 / 105.0, "h76.2", ">50 light-years<", false},
  };
  for (const auto& c : cases) {
    const std::vector<ListedStar> stars = {
        MakeStar(100, {c.farthest, 0, 0}, c.farthest),
    };
    MapFrame frame{centre, c.radius, MapPlane::kGalacticXY, nullptr};
    std::string svg = DrawMap(stars, frame);
    std::map<int32_t, Dot> dots = ReadDots(svg);
    EXPECT_NEAR(dots[100].x, 180 + c.farthest * c.unitsPerLightYear, 0.051)
        << c.radius;
    EXPECT_NE(svg.find(std::string("v-6v3") + c.bar + "v3v-6"),
              std::string::npos)
        << c.radius << "\n"
        << svg;
    EXPECT_NE(svg.find(c.caption), std::string::npos) << c.radius;
    EXPECT_EQ(svg.find("class=\"radius\"") != std::string::npos, c.circle)
        << c.radius;
    EXPECT_EQ(svg.find("beyond the map") == std::string::npos, c.circle)
        << c.radius;
  }
}

// Stars at no finite distance (a search around a point at infinity) have
// no place on a plane: they are left off, and the map keeps finite numbers.
TEST(NeighbourMapTest, StarsAtNoFiniteDistanceAreLeftOff) {
  const std::vector<ListedStar> stars = {
      MakeStar(100, {INFINITY, 0, 0}, INFINITY),
      MakeStar(200, {NAN, 0, 0}, NAN),
      MakeStar(300, {4, 0, 0}, 4),
  };
  for (MapPlane plane :
       {MapPlane::kGalacticXY, MapPlane::kGalacticXZ, MapPlane::kGalacticYZ}) {
    MapFrame frame{{0, 0, 0}, INFINITY, plane, nullptr};
    std::string svg = DrawMap(stars, frame);
    EXPECT_EQ(svg.find("nan"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("inf"), std::string::npos) << svg;
    std::map<int32_t, Dot> dots = ReadDots(svg);
    EXPECT_EQ(dots.count(100), 0u);
    EXPECT_EQ(dots.count(200), 0u);
    EXPECT_EQ(dots.count(300), 1u);
    // Around a centre at infinity every star is infinitely far: no plane
    // that has the centre's X places it.
    const std::vector<ListedStar> far = {MakeStar(300, {4, 0, 0}, INFINITY)};
    svg = DrawMap(far, MapFrame{{INFINITY, 0, 0}, INFINITY, plane, nullptr});
    EXPECT_EQ(svg.find("nan"), std::string::npos) << svg;
    EXPECT_EQ(svg.find("=\"-inf"), std::string::npos) << svg;
  }
}

// The sky chart: right ascension from 24h on the left to 0h on the right,
// declination +90 at the top, a box 306 units across from x = 42 and
// y = 14 for the whole sky (0.85 units a degree), and a window with a
// margin of a twentieth, equal angles drawn equally long at its middle
// declination.
TEST(NeighbourMapTest, SkyChartPositions) {
  const struct {
    double minRA, maxRA, minDec, maxDec;
    double ra, dec;
    double x, y;
  } cases[] = {
      {0, 24, -90, 90, 6, 30, 271.5, 65},
      {0, 24, -90, 90, 0, -90, 348, 167},
      {0, 24, -90, 90, 23.5, 0, 48.4, 90.5},
      {0, 24, -90, 90, 12, 90, 195, 14},
      // The search's own window of the whole sky, as it is given.
      {0, 23.9999997, -89.9999997, 89.9999997, 6, 30, 271.5, 65},
      // 5h-6h and -10..+10 with the margin: 4.95h-6.05h, -11..+11, fitted
      // to the height, 324 / 22 units a degree, centred across.
      {5, 6, -10, 10, 5.5, 0, 195, 176},
      {5, 6, -10, 10, 6.05, 11, 195 - 0.55 * 15 * 324 / 22, 14},
      {5, 6, -10, 10, 5, -10, 195 + 0.5 * 15 * 324 / 22, 176 + 10 * 324 / 22.0},
  };
  for (const auto& c : cases) {
    ListedStar star = MakeStar(100, {1, 1, 1}, 2);
    star.match.raHours = c.ra;
    star.match.decDegrees = c.dec;
    MapFrame frame{{0, 0, 0}, 20,      MapPlane::kSky, "Sol",
                   c.minRA,   c.maxRA, c.minDec,       c.maxDec};
    std::map<int32_t, Dot> dots = ReadDots(DrawMap({star}, frame));
    ASSERT_EQ(dots.count(100), 1u);
    EXPECT_NEAR(dots[100].x, c.x, 0.051) << c.ra << " " << c.dec;
    EXPECT_NEAR(dots[100].y, c.y, 0.051) << c.ra << " " << c.dec;
  }
}

// On the sky chart the centre is marked where it is seen from the Sun, and
// a star at the Sun, which has no direction, is left out; the planes show
// both.
TEST(NeighbourMapTest, SkyChartCentreAndTheSun) {
  PositionRecord record{};
  record.HasRA = record.HasDec = record.HasDistance = true;
  record.RA_hr = 6;
  record.Dec_deg = 30;
  record.Distance = 10;
  CartesianPoint centre{};
  ASSERT_TRUE(PositionToCartesian(record, true, &centre));
  const std::vector<ListedStar> stars = {
      MakeStar(100, {0, 0, 0}, 10, "Sol"),
      MakeStar(200, Offset(centre, 1, 0, 0), 1, "Near"),
  };
  MapFrame frame{centre, 20, MapPlane::kSky, "Centre"};
  std::string svg = DrawMap(stars, frame);
  std::map<int32_t, Dot> dots = ReadDots(svg);
  EXPECT_EQ(dots.count(100), 0u);
  EXPECT_EQ(dots.count(200), 1u);
  // The cross of the centre at 6h, +30.
  EXPECT_NE(svg.find("d=\"M264.5 65.0h14M271.5 58.0v14\""), std::string::npos)
      << svg;
  frame.plane = MapPlane::kGalacticXY;
  dots = ReadDots(DrawMap(stars, frame));
  EXPECT_EQ(dots.size(), 2u);
  EXPECT_NE(DrawMap(stars, frame).find("d=\"M173.0 180.0h14M180.0 173.0v14\""),
            std::string::npos);
}

// One colour for each temperature class, after any lower-case prefix; one
// for the white dwarfs, one for the carbon and S stars, and one for every
// other class and a star without one.
TEST(NeighbourMapTest, ColourOfTheSpectralClass) {
  const char* const letters[] = {"O5", "B8",   "A1",  "F5",   "G2",
                                 "K1", "M3.5", "DA2", "C6,3", nullptr};
  std::vector<std::string> colours;
  for (const char* spectralClass : letters) {
    std::string colour = SpectralClassColour(spectralClass);
    EXPECT_TRUE(std::regex_match(colour, std::regex("#[0-9a-f]{6}"))) << colour;
    for (const std::string& other : colours) {
      EXPECT_NE(colour, other) << (spectralClass ? spectralClass : "none");
    }
    colours.push_back(colour);
  }
  const struct {
    const char* spectralClass;
    const char* sameAs;
  } cases[] = {
      {"M", "M3.5"},     {"M1-M2 Ia-ab", "M3.5"}, {"sdM1", "M3.5"},
      {"dM3", "M3.5"},   {"gK0", "K1"},           {"sdK7", "K1"},
      {"A1 V+DA", "A1"}, {"F5 IV-V+DQZ", "F5"},   {"DQZ", "DA2"},
      {"DC9", "DA2"},    {"S3.5/2", "C6,3"},      {"R8", "C6,3"},
      {"N3", "C6,3"},    {"WC8", nullptr},        {"L2", nullptr},
      {"", nullptr},     {"k", nullptr},          {"?", nullptr},
      {"3", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(SpectralClassColour(c.spectralClass),
                 SpectralClassColour(c.sameAs))
        << c.spectralClass;
  }
  // The map's dots take the colour of their star's class.
  const std::vector<ListedStar> stars = {
      MakeStar(100, {1, 0, 0}, 1, "Sol", "G2"),
      MakeStar(200, {2, 0, 0}, 2, "Sirius B", "DA2"),
      MakeStar(300, {3, 0, 0}, 3, "Nameless"),
  };
  std::map<int32_t, Dot> dots =
      ReadDots(DrawMap(stars, {{0, 0, 0}, 20, MapPlane::kGalacticXY, "X"}));
  EXPECT_EQ(dots[100].fill, SpectralClassColour("G2"));
  EXPECT_EQ(dots[200].fill, SpectralClassColour("DA"));
  EXPECT_EQ(dots[300].fill, SpectralClassColour(nullptr));
}

// Brighter stars are larger dots, within bounds; an unknown magnitude is a
// small dot.
TEST(NeighbourMapTest, DotSizeByMagnitude) {
  const struct {
    bool known;
    double magnitude;
    double radius;
  } cases[] = {
      {true, -26.74, 7.5},  {true, -5, 7.5},  {true, -1.46, 6.438},
      {true, 0, 6},         {true, 5, 4.5},   {true, 10, 3},
      {true, 13.33, 2.001}, {true, 20, 2},    {false, 0, 2.5},
      {false, -26.74, 2.5}, {true, NAN, 2.5},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(MagnitudeDotRadius(c.known, c.magnitude), c.radius, 1e-9)
        << c.known << " " << c.magnitude;
  }
  for (double m = -5; m < 13; m += 0.5) {
    EXPECT_GT(MagnitudeDotRadius(true, m), MagnitudeDotRadius(true, m + 0.5))
        << m;
  }
  const std::vector<ListedStar> stars = {
      MakeStar(100, {1, 0, 0}, 1, "Bright", "A1", true, -1.46),
      MakeStar(200, {2, 0, 0}, 2, "Faint", "M5", true, 11.0),
      MakeStar(300, {3, 0, 0}, 3, "Unknown", "M5"),
  };
  std::map<int32_t, Dot> dots =
      ReadDots(DrawMap(stars, {{0, 0, 0}, 20, MapPlane::kGalacticXY, "X"}));
  EXPECT_DOUBLE_EQ(dots[100].r, 6.4);
  EXPECT_DOUBLE_EQ(dots[200].r, 2.7);
  EXPECT_DOUBLE_EQ(dots[300].r, 2.5);
}

// A star with a proper name (not a catalogue designation).
ListedStar Proper(ListedStar star) {
  star.hasProperName = true;
  return star;
}

// A star at "point" seen from "centre", its distance from there computed.
ListedStar Seen(int32_t id, const CartesianPoint& centre,
                const CartesianPoint& point, const char* name,
                bool hasMagnitude = false, double vMag = 0) {
  double d =
      std::hypot(point.x - centre.x, point.y - centre.y, point.z - centre.z);
  return MakeStar(id, point, d, name, nullptr, hasMagnitude, vMag);
}

// The magnitude from the centre: the Sun's absolute magnitude (+4.83) at
// the centre's distance, a star's V moved by five times the logarithm of
// the ratio of its distances; none for a star at the centre or without V.
TEST(NeighbourMapTest, MagnitudesFromTheCentre) {
  const CartesianPoint tauCeti{-3.493, 0.372, -11.376};  // 11.906 ly away
  const CartesianPoint sirius{-5.745, -6.275, -1.262};   // 8.601 ly away
  const struct {
    CartesianPoint point;
    double distance;  // from the centre
    bool hasMagnitude;
    double vMag;
    bool known;
    double magnitude;
  } cases[] = {
      // The Sun seen from tau Ceti, 11.906 light-years away.
      {{0, 0, 0}, 11.906, true, -26.74, true, 2.6436},
      // From 10 parsecs, the absolute magnitude.
      {{0, 0, 0}, 32.6156, true, -26.74, true, 4.8321},
      // Sirius seen from tau Ceti: 16.555 light-years, farther.
      {sirius, 16.555, true, -1.45, true, -0.0272},
      // A star seen from as far as from the Sun keeps its V.
      {tauCeti, 11.906, true, 3.45, true, 3.45},
      // From a tenth of its distance, five magnitudes brighter.
      {tauCeti, 1.1906, true, 3.45, true, -1.55},
      {tauCeti, 0, true, 3.45, false, 0},
      {tauCeti, 5, false, 0, false, 0},
  };
  for (const auto& c : cases) {
    ListedStar star = MakeStar(100, c.point, c.distance, "Star", nullptr,
                               c.hasMagnitude, c.vMag);
    double magnitude = 99;
    ASSERT_EQ(MagnitudeFromCentre(star, &magnitude), c.known)
        << c.vMag << " " << c.distance;
    if (c.known) {
      EXPECT_NEAR(magnitude, c.magnitude, 0.002) << c.vMag << " " << c.distance;
    }
    // The dot is sized by it.
    std::map<int32_t, Dot> dots = ReadDots(
        DrawMap({star}, {tauCeti, 20, MapPlane::kGalacticXY, "&tau; Cet"}));
    ASSERT_EQ(dots.count(100), 1u);
    EXPECT_NEAR(dots[100].r, MagnitudeDotRadius(c.known, c.magnitude), 0.051)
        << c.vMag << " " << c.distance;
  }
}

// The legend says where the dots' brightness is seen from: the centre on
// a plane, by its name or its point (no place when the name is too long
// for the line), and the Earth on the sky chart.
TEST(NeighbourMapTest, LegendSaysWhereBrightnessIsSeenFrom) {
  const struct {
    MapPlane plane;
    const char* centreName;
    const char* said;
  } cases[] = {
      {MapPlane::kGalacticXY, "&tau; Cet",
       ">Brightness, as seen from &tau; Cet:<"},
      {MapPlane::kGalacticXZ, "<b>Sol</b>", ">Brightness, as seen from Sol:<"},
      {MapPlane::kGalacticYZ, nullptr,
       ">Brightness, as seen from (1.5, -2, 0):<"},
      {MapPlane::kGalacticXY, "A name of thirty-one characters",
       ">Brightness, as seen from the centre:<"},
      {MapPlane::kGalacticXY, "A name of exactly thirty chars",
       ">Brightness, as seen from A name of exactly thirty chars:<"},
      {MapPlane::kSky, "&tau; Cet", ">Brightness, as seen from the Earth:<"},
  };
  for (const auto& c : cases) {
    const CartesianPoint centre{1.5, -2, 0};
    std::string svg = DrawMap({MakeStar(100, {3, -2, 0}, 1.5, "Near")},
                              {centre, 20, c.plane, c.centreName});
    EXPECT_NE(svg.find(c.said), std::string::npos)
        << (c.centreName ? c.centreName : "a point") << "\n"
        << svg;
  }
}

// The legend's texts beside their dots: each dot of the brightness scale
// and of the doubtful distance begins after the text before it ends.
TEST(NeighbourMapTest, LegendTextsClearOfTheirDots) {
  ListedStar doubtful = Doubted(MakeStar(100, {3, 0, 0}, 3, "Doubted"));
  std::string svg =
      DrawMap({doubtful}, {{0, 0, 0}, 20, MapPlane::kGalacticXY, "X"});
  static const std::regex legendDot(
      "<circle cx=\"([\\d.]+)\" cy=\"[\\d.]+\" r=\"([\\d.]+)\" "
      "fill=\"#d8deea\"/>(?:<circle class=\"doubt\"[^>]*r=\"([\\d.]+)\"/>)?"
      "<text class=\"small\" x=\"([\\d.]+)\" y=\"[\\d.]+\">([^<]*)</text>");
  double textEnd = 0;
  int dots = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), legendDot);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    double r = m[3].matched ? std::stod(m[3]) : std::stod(m[2]);
    double left = std::stod(m[1]) - r;
    EXPECT_GT(left, textEnd + 2) << m[5];
    EXPECT_GT(std::stod(m[4]), std::stod(m[1]) + r) << m[5];
    // DejaVu Sans, the widest of the sans-serif fonts a phone or Debian
    // uses, at 11.5 units: about 0.62 of that a character.
    textEnd = std::stod(m[4]) + m[5].length() * 11.5 * 0.62;
    ++dots;
  }
  EXPECT_EQ(dots, 4) << svg;
  EXPECT_NE(svg.find(">distance doubtful</text>"), std::string::npos);
}

// A star of a map's test of names: its ID, its name, whether that is a
// proper name, its magnitude as seen from the centre (99 for none) and its
// distance from the centre.
struct Named {
  int32_t id;
  const char* name;
  bool proper;
  double magnitude;
  double distance;
};

// The stars "named" around "centre", each at its distance in its own
// direction on the galactic plane, far enough apart that every name finds
// room; V from the Sun is what gives the magnitude from the centre.
std::vector<ListedStar> Around(const CartesianPoint& centre,
                               const std::vector<Named>& named) {
  std::vector<ListedStar> stars;
  for (size_t i = 0; i < named.size(); ++i) {
    const Named& n = named[i];
    double angle = i * 2 * std::numbers::pi / named.size();
    CartesianPoint p{centre.x + n.distance * std::cos(angle),
                     centre.y + n.distance * std::sin(angle), centre.z};
    bool known = n.magnitude != 99;
    double vMag = n.magnitude - 5 * std::log10(n.distance / DistanceFromSun(p));
    ListedStar star = Seen(n.id, centre, p, n.name, known, vMag);
    star.hasProperName = n.proper;
    stars.push_back(star);
  }
  return stars;
}

// "stars" and the Sun, seen from "centre".
std::vector<ListedStar> WithTheSun(const CartesianPoint& centre,
                                   std::vector<ListedStar> stars) {
  stars.push_back(Proper(Seen(100, centre, {0, 0, 0}, "Sol", true, -26.74)));
  return stars;
}

// The stars named on a map, in the order of their ranks.
std::vector<int32_t> NamedInRankOrder(const std::map<int32_t, Dot>& dots) {
  std::vector<std::pair<int, int32_t>> named;
  for (const auto& [id, dot] : dots) {
    if (!dot.label.empty()) named.push_back({dot.rank, id});
  }
  std::sort(named.begin(), named.end());
  std::vector<int32_t> ids;
  for (const auto& [rank, id] : named) ids.push_back(id);
  return ids;
}

// Which stars are named, and in which order they are ranked: the Sun
// first; then the stars with proper names, in turn the brightest as seen
// from the centre and the nearest of those not yet ranked; then the other
// stars in the same way; a system whose dots touch by its brightest star,
// once; at most ten.  The stars come in every order.
TEST(NeighbourMapTest, WhichStarsAreNamed) {
  const CartesianPoint tauCeti{-3.493, 0.372, -11.376};  // 11.906 ly away
  const CartesianPoint sun{0, 0, 0};
  // Sirius, 12.31 light-years from tau Ceti, and alpha Centauri's three
  // stars and Barnard's Star around the Sun, where they are.
  std::vector<ListedStar> taus = {
      Proper(Seen(100, tauCeti, sun, "Sol", true, -26.74)),
      Proper(
          Seen(200, tauCeti, {-5.745, -6.275, -1.262}, "Sirius", true, -1.46)),
  };
  for (int i = 0; i < 12; ++i) {
    // Faint stars without proper names, nearer than both, the fainter
    // the farther.
    double angle = i * 2 * std::numbers::pi / 12 + 0.3;
    double distance = 9 + i * 0.1;
    char name[16];
    std::snprintf(name, sizeof(name), "HIP %d", 1000 + i);
    taus.push_back(MakeStar(1000 + i * 100,
                            Offset(tauCeti, distance * std::cos(angle),
                                   distance * std::sin(angle), 0),
                            distance, name, nullptr, true, 11 + i * 0.1));
  }
  const std::vector<ListedStar> alphaCen = {
      Proper(Seen(100, sun, {3.165, -3.048, -0.082}, "Rigil Kentaurus", true,
                  -0.01)),
      Proper(Seen(200, sun, {3.165, -3.048, -0.082}, "Toliman", true, 1.33)),
      Proper(Seen(300, sun, {2.961, -3.036, -0.171}, "Proxima", true, 11.1)),
      Proper(
          Seen(400, sun, {4.950, 3.009, 1.392}, "Barnard's Star", true, 9.5)),
      Seen(500, sun, {-9, 6, 0}, "HIP 5", true, 10),
  };
  const struct {
    const char* label;
    std::vector<ListedStar> stars;
    CartesianPoint centre;
    std::vector<int32_t> ranked;  // the first ranks, in order
    std::vector<int32_t> named;   // the first named, by their ranks
    size_t namedCount;
  } cases[] = {
      {"the brightest and the nearest in turn",
       WithTheSun(tauCeti, Around(tauCeti, {{201, "N1", true, 1, 16},
                                            {202, "N2", true, -1, 17},
                                            {203, "N3", true, 9, 9},
                                            {204, "N4", true, 6, 11},
                                            {205, "N5", true, 99, 10},
                                            {301, "U1", false, 0, 12},
                                            {302, "U2", false, 12, 8},
                                            {303, "U3", false, 5, 14}})),
       tauCeti,
       {100, 202, 203, 201, 205, 204, 301, 302, 303},
       {100, 202, 203, 201, 205, 204, 301, 302, 303},
       9},
      {"at most ten",
       Around(sun, {{1, "A", false, 1, 10},
                    {2, "B", false, 2, 11},
                    {3, "C", false, 3, 12},
                    {4, "D", false, 4, 13},
                    {5, "E", false, 5, 14},
                    {6, "F", false, 6, 15},
                    {7, "G", false, 7, 16},
                    {8, "H", false, 8, 17},
                    {9, "I", false, 9, 18},
                    {10, "J", false, 10, 19},
                    {11, "K", false, 11, 9},
                    {12, "L", false, 12, 8}}),
       sun,
       {1, 12, 2, 11, 3, 4, 5, 6, 7, 8, 9, 10},
       {1, 12, 2, 11, 3, 4, 5, 6, 7, 8},
       10},
      {"the Sun and Sirius around tau Ceti, before nearer faint stars",
       taus,
       tauCeti,
       {100, 200},
       {100, 200},
       10},
      {"alpha Centauri by its brightest star, and Barnard's Star",
       alphaCen,
       sun,
       {100, 200, 400, 300, 500},
       {100, 400, 500},
       3},
  };
  for (const auto& c : cases) {
    std::vector<ListedStar> stars = c.stars;
    for (int turn = 0; turn < 3; ++turn) {
      if (turn == 1) std::reverse(stars.begin(), stars.end());
      if (turn == 2) std::rotate(stars.begin(), stars.begin() + 3, stars.end());
      std::map<int32_t, Dot> dots = ReadDots(
          DrawMap(stars, {c.centre, 20, MapPlane::kGalacticXY, "Centre"}));
      for (size_t k = 0; k < c.ranked.size(); ++k) {
        EXPECT_EQ(dots[c.ranked[k]].rank, static_cast<int>(k + 1))
            << c.label << " " << turn << ": star " << c.ranked[k];
      }
      std::vector<int32_t> named = NamedInRankOrder(dots);
      EXPECT_EQ(named.size(), c.namedCount) << c.label << " " << turn;
      named.resize(std::min(named.size(), c.named.size()));
      EXPECT_EQ(named, c.named) << c.label << " " << turn;
    }
  }
}

// The links come nearest first, the order in which the keyboard visits
// them; and every star's name is in its link, shown beside its dot or
// else while it is focused or pointed at ("Star N" without a name).
TEST(NeighbourMapTest, NearestFirstEachWithItsName) {
  std::vector<ListedStar> stars;
  char name[32];
  // Given farthest first, spread round the centre.
  for (int i = 30; i >= 1; --i) {
    double angle = i * 2.4;
    std::snprintf(name, sizeof(name), "Star at %d", i);
    stars.push_back(MakeStar(
        i * 100, {i * std::cos(angle), i * std::sin(angle), 0}, i, name));
  }
  stars.push_back(MakeStar(5000, {0.5, 0.5, 0}, 0.70710678));
  std::string svg = DrawMap(stars, {{0, 0, 0}, 30, MapPlane::kGalacticXY, "X"});
  std::map<int32_t, Dot> dots = ReadDots(svg);
  ASSERT_EQ(dots.size(), 31u);
  EXPECT_EQ(dots[5000].order, 0);
  EXPECT_EQ(dots[5000].label + dots[5000].tip, "Star 5000");
  EXPECT_EQ(dots[5000].title, "Star 5000, 0.707107 light-years");
  int named = 0;
  for (int i = 1; i <= 30; ++i) {
    std::snprintf(name, sizeof(name), "Star at %d", i);
    EXPECT_EQ(dots[i * 100].order, i) << i;
    EXPECT_EQ(dots[i * 100].label + dots[i * 100].tip, name) << i;
    EXPECT_TRUE(dots[i * 100].label.empty() || dots[i * 100].tip.empty());
    named += dots[i * 100].label.empty() ? 0 : 1;
  }
  EXPECT_EQ(named + (dots[5000].label.empty() ? 0 : 1), 10);
  EXPECT_NE(svg.find(".neighbour-map .tip{visibility:hidden}"),
            std::string::npos);
  EXPECT_NE(svg.find(".neighbour-map a:hover .tip,.neighbour-map a:focus "
                     ".tip{visibility:visible}"),
            std::string::npos);
}

// A text of the picture, with the box it takes by an estimate of its
// characters' width (a share of the font's size).
struct TextBox {
  std::string text;
  double left, top, right, bottom;
};

// The texts shown on a plane (not the tips, nor the legend below it).
std::vector<TextBox> ShownTexts(const std::string& svg, double planeHeight,
                                double characterWidth = 0.62) {
  static const std::regex text(
      "<text class=\"(name|small)\"(?: data-[a-z]+=\"[^\"]*\")* "
      "x=\"([-\\d.]+)\" "
      "y=\"([-\\d.]+)\"( text-anchor=\"(?:end|middle)\")?>([^<]*)</text>");
  std::vector<TextBox> boxes;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    double size = m[1] == "name" ? 13 : 11.5;
    double x = std::stod(m[2]), y = std::stod(m[3]);
    if (y > planeHeight) continue;
    std::string shown =
        std::regex_replace(m[5].str(), std::regex("&[^;]+;"), "x");
    double width = shown.size() * size * characterWidth;
    double left = !m[4].matched                                 ? x
                  : m[4].str().find("end") != std::string::npos ? x - width
                                                                : x - width / 2;
    boxes.push_back(
        {shown, left, y - size * 0.97, left + width, y + size * 0.27});
  }
  return boxes;
}

// The height of the picture above its legend, whose first dot is the
// first class's.
double PlaneHeight(const std::string& svg) {
  size_t at = svg.find("\" r=\"4\" fill=\"#7c98ff\"/>");
  size_t cy = svg.rfind("cy=\"", at);
  EXPECT_NE(at, std::string::npos);
  return at == std::string::npos ? 0 : std::stod(svg.substr(cy + 4)) - 12;
}

// Whether a text's box covers a dot.
bool Covers(const TextBox& t, const Dot& dot) {
  return t.left < dot.x + dot.r && dot.x - dot.r < t.right &&
         t.top < dot.y + dot.r && dot.y - dot.r < t.bottom;
}

// The dot of a star that the eye would see from the centre (magnitude 6.5
// and brighter), which no name covers.
constexpr double kSeenDot = 6 - 0.3 * 6.5;

// On maps of many stars at random: no two texts overlap, every text lies
// within the picture above the legend, and no name covers the dot of a
// named star or of one that the eye would see from the centre.
TEST(NeighbourMapTest, NamesNeverOverlap) {
  const struct {
    MapPlane plane;
    double radius;
    int count;
  } cases[] = {
      {MapPlane::kGalacticXY, 5, 8},    {MapPlane::kGalacticXY, 20, 30},
      {MapPlane::kGalacticXZ, 20, 74},  {MapPlane::kGalacticYZ, 50, 100},
      {MapPlane::kGalacticXY, 20, 300}, {MapPlane::kGalacticXZ, 50, 1000},
      {MapPlane::kSky, 20, 100},        {MapPlane::kSky, 50, 300},
  };
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (const auto& c : cases) {
    int named = 0;
    for (int map = 0; map < 5; ++map) {
      std::vector<ListedStar> stars;
      for (int i = 0; i < c.count; ++i) {
        CartesianPoint p{unit(random) * c.radius * 0.7,
                         unit(random) * c.radius * 0.7,
                         unit(random) * c.radius * 0.7};
        char name[48];
        std::snprintf(name, sizeof(name), i % 3 ? "HIP %d" : "Proper Name %d",
                      i * 7919);
        // A tenth bright, the others as faint as most of the stars near
        // the Sun.
        double vMag = i % 10 == 0 ? 2 + unit(random) * 3 : 9 + unit(random) * 3;
        ListedStar star = MakeStar((i + 1) * 100, p, DistanceFromSun(p), name,
                                   "G2", true, vMag);
        star.hasProperName = i % 3 == 0;
        EquatorialDirection(p, &star.match.raHours, &star.match.decDegrees);
        stars.push_back(star);
      }
      std::string svg = DrawMap(stars, {{0, 0, 0}, c.radius, c.plane, "Sol"});
      std::string label = std::string(MapPlaneName(c.plane)) + " " +
                          std::to_string(c.count) + " " + std::to_string(map);
      std::vector<TextBox> texts = ShownTexts(svg, PlaneHeight(svg));
      std::map<int32_t, Dot> dots = ReadDots(svg);
      for (const auto& [id, dot] : dots) named += dot.label.empty() ? 0 : 1;
      for (size_t a = 0; a < texts.size(); ++a) {
        const TextBox& t = texts[a];
        EXPECT_TRUE(t.left >= 0 && t.right <= 360 && t.top >= 0 &&
                    t.bottom <= PlaneHeight(svg) + 12)
            << label << ": " << t.text << " at " << t.left << ", " << t.top;
        for (size_t b = a + 1; b < texts.size(); ++b) {
          const TextBox& u = texts[b];
          bool overlap = t.left < u.right && u.left < t.right &&
                         t.top < u.bottom && u.top < t.bottom;
          EXPECT_FALSE(overlap)
              << label << ": " << t.text << " over " << u.text;
        }
        if (t.text.rfind("HIP", 0) != 0 && t.text.rfind("Proper", 0) != 0) {
          continue;  // the axes, the scale, the grid: only names are placed
        }
        for (const auto& [id, dot] : dots) {
          if (t.text == dot.label || !Covers(t, dot)) continue;
          EXPECT_TRUE(dot.label.empty() && dot.r < kSeenDot)
              << label << ": " << t.text << " over star " << id;
        }
      }
    }
    // Not vacuous: names were placed.
    EXPECT_GE(named, 5) << MapPlaneName(c.plane) << " " << c.count;
  }
}

// Where a name goes: beside its dot, on the side with more room, level
// with it; elsewhere around it when a dot is in the way; over faint dots
// (the fewest) when no place is clear of them, but never over a dot that
// the eye would see; and nowhere when every place is taken.
TEST(NeighbourMapTest, WhereNamesGo) {
  const CartesianPoint sun{0, 0, 0};
  // A star at "x", "y" light-years from the centre, seen at "magnitude"
  // (99: not known).
  auto star = [&](int32_t id, double x, double y, double magnitude,
                  const char* name = "") {
    ListedStar s = Seen(id, sun, {x, y, 0}, name, magnitude != 99, magnitude);
    return s;
  };
  // Dots on a grid "step" light-years apart over the square of "half"
  // around (x, y), but for the middle, of stars of "magnitude".
  auto grid = [&](double x, double y, double half, double step,
                  double magnitude) {
    std::vector<ListedStar> stars;
    int32_t id = 1000;
    for (double dx = -half; dx <= half + 1e-9; dx += step) {
      for (double dy = -half; dy <= half + 1e-9; dy += step) {
        if (std::hypot(dx, dy) < step * 0.9) continue;
        stars.push_back(star(id += 100, x + dx, y + dy, magnitude));
      }
    }
    return stars;
  };
  auto with = [](std::vector<ListedStar> stars, const ListedStar& s) {
    stars.push_back(s);
    return stars;
  };
  const struct {
    const char* label;
    std::vector<ListedStar> stars;
    bool named;    // star 100, "Vega"
    bool end;      // its name ends beside the dot, on its left
    int level;     // level with the dot: 1, else 0; -1: either
    int covering;  // how many dots its name covers at least
  } cases[] = {
      {"alone on the left",
       {Proper(star(100, -10, 0, 0.03, "Vega"))},
       true,
       false,
       true,
       0},
      {"alone on the right",
       {Proper(star(100, 12, 0, 0.03, "Vega"))},
       true,
       true,
       true,
       0},
      {"a bright dot on its right",
       {Proper(star(100, -10, 0, 0.03, "Vega")), star(200, -7.5, 0, 1)},
       true,
       false,
       false,
       0},
      {"faint dots all around",
       with(grid(-10, 0, 6, 1.25, 12), Proper(star(100, -10, 0, 0.03, "Vega"))),
       true, false, -1, 1},
      {"bright dots all around",
       with(grid(-10, 0, 6, 1.25, 3), Proper(star(100, -10, 0, 0.03, "Vega"))),
       false, false, -1, 0},
  };
  for (const auto& c : cases) {
    std::string svg = DrawMap(c.stars, {sun, 20, MapPlane::kGalacticXY, "Sol"});
    std::map<int32_t, Dot> dots = ReadDots(svg);
    const Dot& vega = dots[100];
    ASSERT_EQ(vega.label.empty(), !c.named) << c.label;
    if (!c.named) {
      EXPECT_EQ(vega.tip, "Vega") << c.label;
      continue;
    }
    EXPECT_EQ(vega.textEnd, c.end) << c.label;
    if (c.level >= 0) {
      EXPECT_EQ(std::abs(vega.textY - (vega.y + 4)) < 0.01, c.level == 1)
          << c.label;
    }
    // Its box, as the program estimates it.
    double width = 4 * 13 * 0.62;
    double left = vega.textEnd ? vega.textX - width : vega.textX;
    TextBox box{"Vega", left, vega.textY - 13 * 0.97, left + width,
                vega.textY + 13 * 0.27};
    int covered = 0;
    for (const auto& [id, dot] : dots) {
      if (id == 100 || !Covers(box, dot)) continue;
      ++covered;
      EXPECT_LT(dot.r, kSeenDot) << c.label << ": star " << id;
      EXPECT_TRUE(dot.label.empty()) << c.label << ": star " << id;
    }
    EXPECT_GE(covered, c.covering) << c.label;
    if (c.covering == 0) {
      EXPECT_EQ(covered, 0) << c.label;
    }
  }
}

// The rings carry their lengths, as the radius does.
TEST(NeighbourMapTest, RingsCarryTheirLengths) {
  const struct {
    double radius;
    double farthest;
    std::vector<std::string> lengths;
  } cases[] = {
      {20, 19, {"10 ly", "20 ly"}},
      {50, 45, {"20 ly", "40 ly", "50 ly"}},
      {3, 2, {"1 ly", "2 ly", "3 ly"}},
      // The space of the stars, not the radius: its rings alone.
      {100, 10, {"5 ly", "10 ly"}},
  };
  for (const auto& c : cases) {
    std::string svg =
        DrawMap({MakeStar(100, {c.farthest, 0, 0}, c.farthest)},
                {{0, 0, 0}, c.radius, MapPlane::kGalacticXY, nullptr});
    std::vector<std::string> lengths;
    static const std::regex ring(
        "<text class=\"small\" data-ly=\"[^\"]+\" x=\"[\\d.]+\" "
        "y=\"[\\d.]+\">([^<]*)</text>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), ring);
         it != std::sregex_iterator(); ++it) {
      lengths.push_back((*it)[1]);
    }
    EXPECT_EQ(lengths, c.lengths) << c.radius;
  }
}

// A star whose distance is doubtful by the entry page's rule (its
// parallax's error above a fifth, or a magnitude from its distance too
// faint for its class) has a dashed ring round its dot, and the legend
// says what the ring means; a map without one has neither.
TEST(NeighbourMapTest, DoubtfulDistancesRinged) {
  const struct {
    const char* label;
    double parallaxError;  // of a parallax of 100, 0 for none
    const char* spectralClass;
    double vMag;  // at 10 light-years, 99 for none
    bool doubtful;
  } cases[] = {
      {"a tenth", 10, "G2", 99, false},
      {"a fifth", 20, "G2", 99, false},
      {"above a fifth", 20.5, "G2", 99, true},
      {"no parallax, V of a G dwarf", 0, "G2", 5, false},
      {"too faint for a G star", 0, "G2", 12, true},
      {"as faint, an M dwarf", 0, "M5", 12, false},
  };
  const CartesianPoint point{-6, 8, 0};  // 10 light-years from the Sun
  for (const auto& c : cases) {
    ListedStar sure = MakeStar(100, {3, 0, 0}, 3, "Sure");
    ListedStar star =
        MakeStar(200, point, 10, "Star", c.spectralClass, c.vMag != 99, c.vMag);
    star.match.raHours = 3;
    if (c.parallaxError > 0) {
      star.hasFacts = true;
      star.facts.hasParallax = star.facts.hasParallaxError = true;
      star.facts.parallax = 100;
      star.facts.parallaxError = c.parallaxError;
    }
    ASSERT_EQ(HasDoubtfulDistance(star), c.doubtful) << c.label;
    for (MapPlane plane : {MapPlane::kGalacticXY, MapPlane::kSky}) {
      std::string svg = DrawMap({sure, star}, {{0, 0, 0}, 20, plane, "X"});
      std::map<int32_t, Dot> dots = ReadDots(svg);
      EXPECT_FALSE(dots[100].doubtful) << c.label;
      EXPECT_EQ(dots[200].doubtful, c.doubtful) << c.label << "\n" << svg;
      EXPECT_EQ(svg.find(">distance doubtful<") != std::string::npos,
                c.doubtful)
          << c.label;
      if (!c.doubtful) {
        // Only the style sheet's rule.
        EXPECT_EQ(svg.find("doubt"), svg.find(".neighbour-map .doubt{") + 16);
        EXPECT_EQ(svg.rfind("doubt"), svg.find("doubt"));
      }
    }
  }
}

// The sky chart's labels lie whole within the picture, at its edges too.
TEST(NeighbourMapTest, SkyChartLabelsWithinThePicture) {
  const struct {
    double minRA, maxRA, minDec, maxDec;
  } cases[] = {
      {0, 24, -90, 90},
      {5, 6, -10, 10},
      {0, 0.5, -11, -10},
      {23, 24, 60, 90},
  };
  for (const auto& c : cases) {
    MapFrame frame{{0, 0, 0}, 20,      MapPlane::kSky, "Sol",
                   c.minRA,   c.maxRA, c.minDec,       c.maxDec};
    std::string svg = DrawMap({MakeStar(100, {1, 1, 1}, 2)}, frame);
    // DejaVu Sans, the widest of the usual sans-serif fonts: about 0.62
    // of the size a character, and more for the signs and degrees.
    std::vector<TextBox> texts = ShownTexts(svg, 1000, 0.66);
    ASSERT_GE(texts.size(), 4u);
    for (const TextBox& t : texts) {
      EXPECT_GE(t.left, 0) << t.text << " " << c.minRA << " " << c.minDec;
      EXPECT_LE(t.right, 360) << t.text << " " << c.minRA << " " << c.minDec;
    }
  }
}

// Names are HTML fragments: in the picture only their text and their
// complete character references are kept, and every other markup
// character is escaped, since an HTML tag inside an SVG element would end
// the picture.
TEST(NeighbourMapTest, HostileNamesEscaped) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {
      {"<script>alert(1)</script>", "alert(1)"},
      {"<b>Bold</b> Star", "Bold Star"},
      {"</svg><p>Out", "Out"},
      {"x<y", "x&lt;y"},
      {"a > b", "a &gt; b"},
      {"Trailing <", "Trailing &lt;"},
      {"<b unfinished", "&lt;b unfinished"},
      {"A & B", "A &amp; B"},
      {"\"Quoted\" 'single'", "&quot;Quoted&quot; &#39;single&#39;"},
      {"&alpha; Cen", "&alpha; Cen"},
      {"&alpha", "&amp;alpha"},
      {"&copy 2", "&amp;copy 2"},
      {"&#945;1 &#x3B1;2", "&#945;1 &#x3B1;2"},
      {"&#; &#x; &; &1;", "&amp;#; &amp;#x; &amp;; &amp;1;"},
      {"&lt;script&gt;", "&lt;script&gt;"},
      // References as html_text.h reads them: HTML 4's names, case and all.
      {"&Alpha; &sigmaf; &#x3b1;", "&Alpha; &sigmaf; &#x3b1;"},
      {"&foo; Star", "&amp;foo; Star"},
      {"&ALPHA; Cen", "&amp;ALPHA; Cen"},
      {"&averyverylongname;", "&amp;averyverylongname;"},
  };
  for (const auto& c : cases) {
    const std::vector<ListedStar> stars = {
        MakeStar(100, {0, 10, 0}, 10, c.name),
    };
    MapFrame frame{{0, 0, 0}, 20, MapPlane::kGalacticXY, c.name};
    std::string page = DrawMap(stars, frame);
    // The picture, without the script element that follows it.
    std::string svg = page.substr(0, page.find("</svg>\n<script src="));
    std::map<int32_t, Dot> dots = ReadDots(svg);
    ASSERT_EQ(dots.count(100), 1u) << c.name << "\n" << svg;
    EXPECT_EQ(dots[100].title, std::string(c.shown) + ", 10 light-years")
        << c.name;
    EXPECT_EQ(dots[100].label, c.shown) << c.name;
    // The centre's name, in the title of the picture and beside its cross.
    EXPECT_NE(svg.find(std::string("around ") + c.shown + ": "),
              std::string::npos)
        << c.name;
    EXPECT_NE(svg.find(std::string(">") + c.shown +
                       "</text></g>\n<g class=\"stars\">"),
              std::string::npos)
        << c.name << "\n"
        << svg;
    for (const char* markup : {"<script", "<b", "<p>", "</svg><", "<y"}) {
      EXPECT_EQ(svg.find(markup), std::string::npos) << c.name << " " << markup;
    }
    EXPECT_EQ(svg.find("</svg>"), std::string::npos) << c.name;
  }
}

TEST(NeighbourMapTest, PlaneParameter) {
  const struct {
    const char* value;
    bool read;
    MapPlane plane;
  } cases[] = {
      {"xy", true, MapPlane::kGalacticXY},
      {"xz", true, MapPlane::kGalacticXZ},
      {"yz", true, MapPlane::kGalacticYZ},
      {"sky", true, MapPlane::kSky},
      {"XY", false, MapPlane::kGalacticXY},
      {"", false, MapPlane::kGalacticXY},
      {"xyz", false, MapPlane::kGalacticXY},
      {"sky ", false, MapPlane::kGalacticXY},
  };
  for (const auto& c : cases) {
    MapPlane plane = MapPlane::kGalacticXY;
    EXPECT_EQ(ReadMapPlane(c.value, &plane), c.read) << c.value;
    EXPECT_EQ(plane, c.plane) << c.value;
    if (c.read) {
      EXPECT_STREQ(MapPlaneName(plane), c.value);
    }
  }
}

}  // namespace
}  // namespace veloran
