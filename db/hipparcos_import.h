#ifndef VELORAN_DB_HIPPARCOS_IMPORT_H_
#define VELORAN_DB_HIPPARCOS_IMPORT_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "db/hipparcos_tables.h"
#include "db/star_file.h"
#include "db/star_text.h"

// The import of the Hipparcos stars of the star files and their tables
// into a new Veloran database: one star per record with a Hipparcos number
// and a parallax, with ID = HIP * 10000 + component index * 100, and the
// Sun as star 100.

namespace veloran {

inline constexpr uint32_t kLargestImportedHip = 214747;  // keeps IDs in 32 bits

// A name row of a star: a ProperNames row when "catalogue" is empty,
// otherwise a CatalogNumbers row of that catalogue abbreviation.
struct StarName {
  std::string catalogue;
  std::string text;
  bool isSystemName;
};

// What the database holds of one star.
struct StarRow {
  int32_t id;
  RightAscension ra;
  Declination dec;
  double distance;   // light-years
  double magnitude;  // V
  bool hasDistanceError;
  double distanceError;
  const char* distanceSource;     // nullptr for NULL
  const SpectralSplit* spectrum;  // nullptr when the star has no type
  std::vector<StarName> names;    // exactly one is the system name
};

// The row of "record" of "file", which has a Hipparcos number and a
// parallax.  The system name is the first proper name, else the main Bayer
// or Flamsteed designation (both ProperNames rows), else the HD number,
// else the HIP number ("71683 A" for a component).  Returns false, with
// the fault in *error, when the record's Hipparcos number is above
// kLargestImportedHip or its spectral or component index lies outside the
// tables.
bool BuildStarRow(const StarFile& file, const StarRecord& record,
                  const HipparcosTables& tables, StarRow* row,
                  std::string* error);

// Adds to every name that components of one system (stars of one Hipparcos
// number) share, proper name or catalogue number, the letter of its
// component ("Kruger 60" becomes "Kruger 60 A" and "Kruger 60 B"), so that
// no two stars carry the same name.  Components without a letter keep
// their names.
void LetterSharedNames(const std::vector<std::string>& componentLetters,
                       std::vector<StarRow>* stars);

// Makes every system name of "stars" the name of one star only.  Stars
// that share a system name and are components of distinct letters (HD
// 318327 for HIP 86961 B and HIP 86963 A) take their letters into it.
// Otherwise the brightest of them keeps it (the lowest ID among equals),
// and each other star takes as system name its first proper name or
// designation, else its HD number, else its HIP number, that no other star
// holds; the shared name stays one of its further names.  Run after
// LetterSharedNames.
void MakeSystemNamesUnique(const std::vector<std::string>& componentLetters,
                           std::vector<StarRow>* stars);

struct ImportOptions {
  std::string dataDir;        // the package's usr/share/stellarium
  std::string outputPath;     // the database to write; replaced on success
  std::string extensionPath;  // the dialect extension (INT)
  std::string date;           // LastUpdated, YYYY-MM-DD
  FILE* progress;             // where progress lines go; nullptr for none
};

struct ImportCounts {
  uint64_t records;  // in the star files
  uint64_t stars;    // Hipparcos records with a parallax, the Sun not counted
  uint64_t spectra;  // the Sun not counted
  uint64_t properNames;  // ProperNames rows
  uint64_t catalogNumbers;
};

// Reads the star files and tables of options.dataDir and writes the
// database options.outputPath: db/schema.sql with its indexes, in one
// transaction, the Sun first and then the stars by increasing distance.
// The file appears only when the import succeeds.  Returns false, with a
// message naming the file and the fault in *error, when a file is missing
// or does not follow its format, or the database cannot be written.
bool ImportHipparcos(const ImportOptions& options, ImportCounts* counts,
                     std::string* error);

}  // namespace veloran

#endif  // VELORAN_DB_HIPPARCOS_IMPORT_H_
