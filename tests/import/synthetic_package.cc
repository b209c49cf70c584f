#include "tests/import/synthetic_package.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include <gtest/gtest.h>

#include "db/geodesic_grid.h"
#include "db/hipparcos_import.h"
#include "db/hipparcos_tables.h"

namespace veloran::testing {

namespace {

void AppendWord(std::string* bytes, uint32_t word) {
  for (int i = 0; i < 4; ++i)
    bytes->push_back(static_cast<char>(word >> (8 * i)));
}

double Dot(const Vector3& a, const Vector3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

std::string StarFileHeader(int level, uint32_t magic, int type, int major,
                           int minor) {
  static constexpr int32_t kMagMin[3] = {-2000, 6000, 7500};
  std::string bytes;
  AppendWord(&bytes, magic);
  AppendWord(&bytes, static_cast<uint32_t>(type));
  AppendWord(&bytes, static_cast<uint32_t>(major));
  AppendWord(&bytes, static_cast<uint32_t>(minor));
  AppendWord(&bytes, static_cast<uint32_t>(level));
  AppendWord(&bytes, static_cast<uint32_t>(
                         kMagMin[level >= 0 && level < 3 ? level : 0]));
  AppendWord(&bytes, 12800);
  AppendWord(&bytes, 256);
  return bytes;
}

std::string StarRecordBytes(uint32_t hip, int component, int32_t x0, int32_t x1,
                            int spectralIndex, int32_t parallax,
                            int magnitude) {
  std::string bytes;
  AppendWord(&bytes, hip | static_cast<uint32_t>(component) << 24);
  AppendWord(&bytes, static_cast<uint32_t>(x0));
  AppendWord(&bytes, static_cast<uint32_t>(x1));
  bytes.push_back(static_cast<char>(16));  // B-V 0.004
  bytes.push_back(static_cast<char>(magnitude));
  bytes.push_back(static_cast<char>(spectralIndex & 0xFF));
  bytes.push_back(static_cast<char>(spectralIndex >> 8));
  AppendWord(&bytes, 0);  // proper motion, unused
  AppendWord(&bytes, 0);
  AppendWord(&bytes, static_cast<uint32_t>(parallax));
  return bytes;
}

std::string EncodeStarFile(int level,
                           const std::vector<SyntheticRecord>& records) {
  GeodesicGrid grid;
  BuildGeodesicGrid(level, &grid);
  std::vector<std::string> zoneRecords(grid.zones.size());
  for (const SyntheticRecord& record : records) {
    double ra = record.raHours * std::numbers::pi / 12.0;
    double dec = record.decDegrees * std::numbers::pi / 180.0;
    Vector3 u = {std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra),
                 std::sin(dec)};
    size_t z = 0;
    while (z < grid.zones.size() && !ZoneContains(grid.zones[z], u)) ++z;
    EXPECT_LT(z, grid.zones.size()) << "no zone holds HIP " << record.hip;
    if (z == grid.zones.size()) continue;
    // The point of the tangent plane on the line of sight.
    const Zone& zone = grid.zones[z];
    double toPlane = 1.0 / Dot(u, zone.centre);
    Vector3 v = {u.x * toPlane, u.y * toPlane, u.z * toPlane};
    auto x0 =
        static_cast<int32_t>(std::llround(Dot(v, zone.axis0) / grid.scale));
    auto x1 =
        static_cast<int32_t>(std::llround(Dot(v, zone.axis1) / grid.scale));
    zoneRecords[z] += StarRecordBytes(record.hip, record.component, x0, x1,
                                      record.spectralIndex, record.parallax,
                                      record.magnitude);
  }
  std::string bytes = StarFileHeader(level);
  for (const std::string& zone : zoneRecords) {
    AppendWord(&bytes, static_cast<uint32_t>(zone.size() / kStarRecordBytes));
  }
  for (const std::string& zone : zoneRecords) bytes += zone;
  return bytes;
}

SyntheticPackage EmptyPackage() {
  SyntheticPackage package;
  package.files = {
      {kSpectralTypesFile, "\n"},
      {kComponentsFile, "\nA\nB\nC\n"},
      {kCrossIdFile, "# HIP\t\tSAO\tHD\tHR\n"},
      {kParallaxErrorFile, "# HIP PlxErr\n"},
      {kProperMotionFile,
       "# Proper motion data\n# HIP\tpmRA(mas/yr)\tpmDE(mas/yr)\n"},
      {kDesignationFile, ""},
      {kVariableStarFile, ""},
      {kDoubleStarFile,
       "# HIP, WDS designation, year of observation, position angle, "
       "separation\n"},
      {kProperNameFile, "# Western star names\n"},
      {kNameReferenceFile,
       "# Reference file\n"
       "  1|A dictionary of star names|\n"
       "  2|The IAU's names|https://www.iau.org/public/themes/naming_stars/\n"
       "  3|Exoplanet hosts|http://nameexoworlds.iau.org/\n"
       "  4|Not the IAU's|https://example.org/iau.org/\n"},
      {kBoundaryFile, ""},
  };
  // A sky of three constellations: Dra north of +60 degrees, Oct south of
  // -60, Ori between (as J2000 rings, slightly tilted in B1875).
  std::string& sky = package.files[kBoundaryFile];
  for (int ring : {60, -60}) {
    sky += "25";
    for (int hour = 0; hour <= 24; ++hour) {
      sky += " " + std::to_string(hour) + " " + std::to_string(ring);
    }
    sky += ring > 0 ? " 2 DRA ORI\n" : " 2 ORI OCT\n";
  }
  return package;
}

std::string FreshDirectory(const std::string& name) {
  std::string dir =
      std::string(VELORAN_BINARY_DIR) + "/test-data/import/" + name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void WritePackage(const std::string& dataDir, const SyntheticPackage& package) {
  std::map<std::string, std::string> files;
  for (int level = 0; level < 3; ++level) {
    files[kStarFiles[level]] = EncodeStarFile(level, package.levels[level]);
  }
  for (const auto& [path, content] : package.files) files[path] = content;
  for (const auto& [path, content] : files) {
    std::filesystem::path full = std::filesystem::path(dataDir) / path;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
  }
}

}  // namespace veloran::testing
