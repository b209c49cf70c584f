#ifndef VELORAN_TESTS_IMPORT_SYNTHETIC_PACKAGE_H_
#define VELORAN_TESTS_IMPORT_SYNTHETIC_PACKAGE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Small stellarium-data packages written by the tests: binary star files
// laid out byte by byte as the package's files are, and the text tables
// beside them.

namespace veloran::testing {

// A star to store, at a J2000 direction given in hours and degrees.
struct SyntheticRecord {
  uint32_t hip;
  int component;
  double raHours;
  double decDegrees;
  int spectralIndex;
  int32_t parallax;     // 10 microarcseconds
  int magnitude = 100;  // the record's byte: V = magMin + magnitude / 20
};

// The 32-byte header of a star file of record type 0, version 0.8.
std::string StarFileHeader(int level, uint32_t magic = 0x835F040A, int type = 0,
                           int major = 0, int minor = 8);

// The 28 bytes of one record with the offsets x0, x1 on its zone's plane.
std::string StarRecordBytes(uint32_t hip, int component, int32_t x0, int32_t x1,
                            int spectralIndex, int32_t parallax,
                            int magnitude = 100);

// A whole star file of "level": the header, the zone table and the records,
// each in the zone whose triangle holds its direction.
std::string EncodeStarFile(int level,
                           const std::vector<SyntheticRecord>& records);

struct SyntheticPackage {
  std::vector<SyntheticRecord> levels[3];  // the star files of levels 0, 1, 2
  // Text files by path below usr/share/stellarium.  Binary files given
  // here replace the encoded ones.
  std::map<std::string, std::string> files;
  // Not of the package: the checked epochs of its positions, read when not
  // empty (db/position_epochs.psv).
  std::string checkedEpochs;
};

// A package with every text table present and empty but for its header
// lines, and the component letters "", A, B, C.
SyntheticPackage EmptyPackage();

// A fresh, empty directory for test "name" under the build tree.
std::string FreshDirectory(const std::string& name);

// Writes "package" into "dataDir" as usr/share/stellarium would hold it.
void WritePackage(const std::string& dataDir, const SyntheticPackage& package);

}  // namespace veloran::testing

#endif  // VELORAN_TESTS_IMPORT_SYNTHETIC_PACKAGE_H_
