#include "db/star_file.h"

#include <cmath>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "db/geodesic_grid.h"
#include "db/star_text.h"
#include "tests/import/synthetic_package.h"

namespace veloran {
namespace {

using testing::StarFileHeader;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes.push_back(static_cast<char>(value));
  return bytes;
}

// Two records exactly as the package's level-0 file stores them.
const std::string kFomalhaut =
    Bytes({0xd8, 0xba, 0x01, 0x00, 0xe2, 0x9e, 0x2b, 0xd7, 0x6a, 0xd7,
           0x83, 0xe3, 0x14, 0x3f, 0x43, 0x03, 0xec, 0x0d, 0x00, 0x00,
           0xa7, 0xf9, 0xff, 0xff, 0xb5, 0x32, 0x00, 0x00});
const std::string kSirius =
    Bytes({0x5d, 0x7e, 0x00, 0x00, 0x77, 0x2e, 0x9b, 0xe3, 0x4e, 0x6a,
           0xf6, 0xcc, 0x10, 0x0b, 0x42, 0x01, 0x27, 0xe6, 0xff, 0xff,
           0x8b, 0xc7, 0xff, 0xff, 0x21, 0x94, 0x00, 0x00});

std::string Word(uint32_t value) {
  return Bytes(
      {static_cast<int>(value & 0xFF), static_cast<int>(value >> 8 & 0xFF),
       static_cast<int>(value >> 16 & 0xFF), static_cast<int>(value >> 24)});
}

// A level-0 file with "records" in the zones "zones" (one each).
std::string LevelZeroFile(
    const std::vector<std::pair<int, std::string>>& records) {
  std::string bytes = StarFileHeader(0);
  for (int z = 0; z < 20; ++z) {
    int count = 0;
    for (const auto& record : records) count += record.first == z;
    bytes += Word(count);
  }
  for (int z = 0; z < 20; ++z) {
    for (const auto& record : records) {
      if (record.first == z) bytes += record.second;
    }
  }
  return bytes;
}

TEST(GeodesicGridTest, ScalesOfTheLevels) {
  static const double kScales[] = {
      3.5573356917870416e-10, 1.778667845893521e-10, 8.893339229467608e-11};
  for (int level = 0; level < 3; ++level) {
    GeodesicGrid grid;
    BuildGeodesicGrid(level, &grid);
    EXPECT_EQ(grid.zones.size(), 20u << (2 * level));
    EXPECT_NEAR(grid.scale, kScales[level], kScales[level] * 1e-13) << level;
  }
}

// Zone n of a level holds what its children 4n .. 4n+3 hold, and the zones
// of a level cover the sky.
TEST(GeodesicGridTest, ChildrenLieInTheirParents) {
  GeodesicGrid parents;
  GeodesicGrid children;
  BuildGeodesicGrid(1, &parents);
  BuildGeodesicGrid(2, &children);
  std::mt19937 random(5);
  std::normal_distribution<double> normal;
  for (int i = 0; i < 2000; ++i) {
    Vector3 direction = {normal(random), normal(random), normal(random)};
    size_t child = 0;
    while (child < children.zones.size() &&
           !ZoneContains(children.zones[child], direction)) {
      ++child;
    }
    ASSERT_LT(child, children.zones.size()) << "a direction outside every zone";
    EXPECT_TRUE(ZoneContains(parents.zones[child / 4], direction)) << child;
  }
}

TEST(StarFileTest, DecodesThePackagesRecords) {
  StarFile file;
  std::string error;
  ASSERT_TRUE(ParseStarFile(LevelZeroFile({{0, kFomalhaut}, {14, kSirius}}),
                            &file, &error))
      << error;
  ASSERT_EQ(file.records.size(), 2u);

  const StarRecord& fomalhaut = file.records[0];
  EXPECT_EQ(fomalhaut.hip, 113368u);
  EXPECT_EQ(fomalhaut.component, 0);
  EXPECT_EQ(fomalhaut.spectralIndex, 835);
  EXPECT_EQ(fomalhaut.parallax, 12981);
  EXPECT_EQ(fomalhaut.colourIndex, 20);  // B-V 0.130
  EXPECT_EQ(file.magMin + fomalhaut.magnitude * file.magRange / file.magSteps,
            1150);
  double ra;
  double dec;
  DirectionToRaDec(StarDirection(file, fomalhaut), &ra, &dec);
  EXPECT_NEAR(ra * 180 / std::numbers::pi, 344.412694, 1e-6);
  EXPECT_NEAR(dec * 180 / std::numbers::pi, -29.622236, 1e-6);

  const StarRecord& sirius = file.records[1];
  EXPECT_EQ(sirius.zone, 14u);
  EXPECT_EQ(sirius.hip, 32349u);
  EXPECT_EQ(sirius.x0, -476369289);
  EXPECT_EQ(sirius.x1, -856266162);
  EXPECT_EQ(sirius.spectralIndex, 322);
  EXPECT_EQ(sirius.parallax, 37921);
  DirectionToRaDec(StarDirection(file, sirius), &ra, &dec);
  RightAscension raParts = RightAscensionFromRadians(ra);
  Declination decParts = DeclinationFromRadians(dec);
  EXPECT_EQ(raParts.hours, 6);
  EXPECT_EQ(raParts.minutes, 45);
  EXPECT_DOUBLE_EQ(raParts.seconds, 8.917);
  EXPECT_EQ(decParts.degrees, -16);
  EXPECT_EQ(decParts.arcminutes, 42);
  EXPECT_DOUBLE_EQ(decParts.arcseconds, 58.02);
}

TEST(StarFileTest, ReadsTheComponentFromTheTopByte) {
  std::string record = kFomalhaut;
  record[3] = 2;
  StarFile file;
  std::string error;
  ASSERT_TRUE(ParseStarFile(LevelZeroFile({{0, record}}), &file, &error))
      << error;
  EXPECT_EQ(file.records[0].hip, 113368u);
  EXPECT_EQ(file.records[0].component, 2);
}

TEST(StarFileTest, RejectsFilesOfAnotherFormat) {
  std::string good = LevelZeroFile({{0, kFomalhaut}, {14, kSirius}});
  std::string body = good.substr(kStarFileHeaderBytes);
  static const struct {
    const char* what;
    std::string bytes;
    const char* message;
  } kCases[] = {
      {"empty", "", "less than the 32 of the header"},
      {"header cut", good.substr(0, 31), "less than the 32 of the header"},
      {"wrong magic", StarFileHeader(0, 0x12345678) + body, "magic 0x12345678"},
      {"big-endian", StarFileHeader(0, 0x0A045F83) + body, "big-endian"},
      {"record type 1", StarFileHeader(0, 0x835F040A, 1) + body, "type 1"},
      {"version 0.7", StarFileHeader(0, 0x835F040A, 0, 0, 7) + body,
       "version 0.7"},
      {"negative level", StarFileHeader(-1) + body, "level -1"},
      {"level 9", StarFileHeader(9) + body, "level 9"},
      {"zone table cut", good.substr(0, 100), "too short for the zone table"},
      {"last record cut", good.substr(0, good.size() - 1),
       "2 records, which take 168 bytes"},
      {"a byte too many", good + '\0', "2 records, which take 168 bytes"},
      {"level 1 header on level 0 zones", StarFileHeader(1) + body, "bytes"},
      {"offsets at the corner of their range",
       LevelZeroFile(
           {{7, testing::StarRecordBytes(1, 0, 2147483647, 2147483647, 0, 1)}}),
       "the record at offset 112 lies outside its zone 7"},
      {"offsets at the other corner",
       LevelZeroFile({{0, kFomalhaut},
                      {7, testing::StarRecordBytes(1, 0, -2147483647 - 1,
                                                   2147483647, 0, 1)}}),
       "the record at offset 140 lies outside its zone 7"},
  };
  for (const auto& c : kCases) {
    StarFile file;
    std::string error;
    EXPECT_FALSE(ParseStarFile(c.bytes, &file, &error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos)
        << c.what << ": " << error;
  }
}

}  // namespace
}  // namespace veloran
