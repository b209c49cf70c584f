#include "site/neighbour_map.h"

#include <cmath>
#include <cstdio>
#include <map>
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
  star.match = {id, distance, point, 0.0, 0.0, 0};
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
};

// The dots of a written map, by star ID.
std::map<int32_t, Dot> ReadDots(const std::string& svg) {
  static const std::regex dot(
      "<a href=\"entry_page\\.exe\\?ID=(\\d+)\"[^>]*><title>([^<]*)</title>"
      "<circle cx=\"([-\\d.]+)\" cy=\"([-\\d.]+)\" r=\"([\\d.]+)\" "
      "fill=\"(#[0-9a-f]{6})\"/>(?:<text[^>]*>([^<]*)</text>)?</a>");
  std::map<int32_t, Dot> dots;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), dot);
       it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    int32_t id = std::stoi(m[1]);
    EXPECT_EQ(dots.count(id), 0u) << "two dots of star " << id;
    dots[id] = {m[2], std::stod(m[3]), std::stod(m[4]), std::stod(m[5]), m[6],
                m[7]};
  }
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
// declination +90 at the top, a box 324 units across from x = 30 and
// y = 14 for the whole sky (0.9 units a degree), and a window with a margin
// of a twentieth, equal angles drawn equally long at its middle
// declination.
TEST(NeighbourMapTest, SkyChartPositions) {
  const struct {
    double minRA, maxRA, minDec, maxDec;
    double ra, dec;
    double x, y;
  } cases[] = {
      {0, 24, -90, 90, 6, 30, 273, 68},
      {0, 24, -90, 90, 0, -90, 354, 176},
      {0, 24, -90, 90, 23.5, 0, 36.8, 95},
      {0, 24, -90, 90, 12, 90, 192, 14},
      // The search's own window of the whole sky, as it is given.
      {0, 23.9999997, -89.9999997, 89.9999997, 6, 30, 273, 68},
      // 5h-6h and -10..+10 with the margin: 4.95h-6.05h, -11..+11, fitted
      // to the height, 324 / 22 units a degree, centred across.
      {5, 6, -10, 10, 5.5, 0, 192, 176},
      {5, 6, -10, 10, 6.05, 11, 192 - 0.55 * 15 * 324 / 22, 14},
      {5, 6, -10, 10, 5, -10, 192 + 0.5 * 15 * 324 / 22, 176 + 10 * 324 / 22.0},
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
  EXPECT_NE(svg.find("d=\"M266.0 68.0h14M273.0 61.0v14\""), std::string::npos)
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

// The nearest six are named beside their dots, whatever the order of the
// stars; two stars at one place do not get names on top of each other; a
// star without a name is "Star N".
TEST(NeighbourMapTest, NearestNamed) {
  std::vector<ListedStar> stars;
  char name[32];
  // Given farthest first, spread round the centre.
  for (int i = 12; i >= 1; --i) {
    double angle = i * 2.4;
    std::snprintf(name, sizeof(name), "Star at %d", i);
    stars.push_back(MakeStar(
        i * 100, {i * std::cos(angle), i * std::sin(angle), 0}, i, name));
  }
  stars.push_back(MakeStar(5000, {0.5, 0.5, 0}, 0.70710678));
  std::map<int32_t, Dot> dots =
      ReadDots(DrawMap(stars, {{0, 0, 0}, 15, MapPlane::kGalacticXY, "X"}));
  ASSERT_EQ(dots.size(), 13u);
  EXPECT_EQ(dots[5000].label, "Star 5000");
  EXPECT_EQ(dots[5000].title, "Star 5000, 0.707107 light-years");
  for (int i = 1; i <= 12; ++i) {
    std::snprintf(name, sizeof(name), "Star at %d", i);
    EXPECT_EQ(dots[i * 100].label, i <= 5 ? name : "") << i;
  }

  // A system: two dots at one place, one name.
  stars = {MakeStar(100, {3, 0, 0}, 3, "Toliman"),
           MakeStar(200, {3, 0, 0}, 3, "Rigil Kentaurus"),
           MakeStar(300, {3.02, 0.01, 0}, 3.02, "Proxima")};
  dots =
      ReadDots(DrawMap(stars, {{0, 0, 0}, 20, MapPlane::kGalacticXY, "Sol"}));
  int named = 0;
  for (const auto& [id, dot] : dots) named += dot.label.empty() ? 0 : 1;
  EXPECT_GE(named, 2);
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
    EXPECT_NE(
        svg.find(std::string(">") + c.shown + "</text>\n<g class=\"stars\">"),
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
