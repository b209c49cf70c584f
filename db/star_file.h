#ifndef VELORAN_DB_STAR_FILE_H_
#define VELORAN_DB_STAR_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/geodesic_grid.h"

// The binary star files of the Hipparcos stars (stars_L_0v0_8.cat): a
// header of eight little-endian 32-bit words, a table of record counts per
// zone of the level's geodesic grid, and 28-byte records, zone by zone.

namespace veloran {

inline constexpr uint32_t kStarFileMagic = 0x835F040A;
inline constexpr int kStarFileHeaderBytes = 32;
inline constexpr int kStarRecordBytes = 28;

// One 28-byte record, with the zone it was stored in.
struct StarRecord {
  uint32_t hip;   // Hipparcos number; 0 for a star outside Hipparcos
  int component;  // index into the component letters; 0 for none
  int32_t x0;     // offsets on the zone's tangent plane
  int32_t x1;
  int colourIndex;    // B-V = colourIndex * 4 / 127 - 0.5
  int magnitude;      // V = (magMin + magnitude * magRange / magSteps) / 1000
  int spectralIndex;  // index into the spectral types; 0 for none
  int32_t parallax;   // in units of 10 microarcseconds; 0 for none
  uint32_t zone;
};

struct StarFile {
  int level;
  int32_t magMin;    // milli-magnitudes
  int32_t magRange;  // milli-magnitudes
  int32_t magSteps;
  GeodesicGrid grid;  // of the file's level
  std::vector<uint32_t> zoneCounts;
  std::vector<StarRecord> records;  // in file order
};

// Parses "bytes", the content of a star file of record type 0 and version
// 0.8, into *file, and checks that every record's direction lies in the
// triangle of its zone (which a file of another geometry fails at once).
// Returns false, with a message naming the fault in *error, when the magic,
// the record type, the version or the level is not that of such a file,
// when the size differs from the one the zone table requires, or when a
// record lies outside its zone.
bool ParseStarFile(std::string_view bytes, StarFile* file, std::string* error);

// The direction of "record" of "file", a point of its zone's tangent plane.
Vector3 StarDirection(const StarFile& file, const StarRecord& record);

}  // namespace veloran

#endif  // VELORAN_DB_STAR_FILE_H_
