#ifndef VELORAN_DB_HIPPARCOS_IMPORT_H_
#define VELORAN_DB_HIPPARCOS_IMPORT_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "db/hipparcos_tables.h"
#include "db/nearby_designations.h"
#include "db/star_file.h"
#include "db/star_text.h"

// The import of the Hipparcos stars of the star files and their tables
// into a new Veloran database: one star per record with a Hipparcos number
// and a parallax, with ID = HIP * 10000 + component index * 100, and the
// Sun as star 100.

namespace veloran {

inline constexpr uint32_t kLargestImportedHip = 214747;  // keeps IDs in 32 bits

// The stored positions are at J2000 or up to 11 years earlier: one whose
// proper motion is below this, in milliarcseconds a year, lies within 1
// arcsecond of its J2000 place whatever its epoch.
inline constexpr double kSlowMotion = 90.0;

// How a name ranks for the display name, best first: the IAU-approved
// proper name, the Bayer designation ("&tau; Cet"), the Flamsteed one ("61
// Cyg"), a companion named after its primary ("Kruger 60 B"), the other
// proper names (by how many references give them), the HD number, the HIP
// number; other catalogue numbers are never display names.
enum class NameRank {
  kIauName,
  kBayer,       // with a Greek letter
  kFlamsteed,
  kLatinBayer,  // with a Latin letter, which astronomers use less
  kCompanionOfNamed,
  kProperName,
  kHd,
  kHip,
  kOther,
};

// A name row of a star: a ProperNames row when "catalogue" is empty,
// otherwise a CatalogNumbers row of that catalogue abbreviation.
struct StarName {
  std::string catalogue;
  std::string text;
  bool isSystemName;
  NameRank rank = NameRank::kOther;
  int references = 0;  // of a proper name
};

// Whether "a" is the better display name of the two: the better rank, then
// (proper names) more references.  Between equals the first listed wins.
bool RanksBefore(const StarName& a, const StarName& b);

// Makes the best-ranked of "names" the system name (the display name),
// the first of equals; the others are not.
void PickSystemName(std::vector<StarName>* names);

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
  double colourIndex = 0.0;       // B-V
  double parallax = 0.0;          // milliarcseconds
  double parallaxError = 0.0;     // milliarcseconds, with hasDistanceError
  std::string constellation;      // IAU abbreviation; "" when not known
  int32_t systemId = 0;           // the primary of its system; 0 when single
  double raRadians = 0.0;         // J2000
  double decRadians = 0.0;
  bool hasProperMotion = false;   // a row of hip_pm.dat
  double pmRaCosDec = 0.0;        // milliarcseconds a year
  double pmDec = 0.0;
  bool hasEpoch = false;          // the epoch of the position is known
  double epoch = 0.0;             // Julian year
  bool moved = false;             // moved from an earlier epoch to J2000
};

// The records of one Hipparcos number: the letters of their components,
// and whether the record at hand is the primary (the brightest; the lowest
// component index between equals), which the names of the whole HIP go to.
struct HipComponents {
  std::vector<std::string> letters;
  bool isPrimary;
};

// The row of "record" of "file", which has a Hipparcos number and a
// parallax.  Its position is taken at the epoch that tables.checkedEpochs
// gives the record and moved to J2000 along its proper motion.  A record
// whose epoch was not checked keeps its place: at J2000 when it moves
// slower than kSlowMotion, without an epoch otherwise (it may lie up to 11
// years of its motion before its J2000 place).  The primary of its HIP
// takes the names of the whole HIP (its proper names, Bayer and Flamsteed
// designations, its cross-identification row, variable-star and
// double-star names); every record takes what names its own component
// ("61 Cyg A", a cross-id row of its letter) and its HIP number ("71683 A"
// for a component).  The system name follows PickSystemName.  Returns false, with the fault in *error, when the
// record's Hipparcos number is above kLargestImportedHip or its spectral or
// component index lies outside the tables.
bool BuildStarRow(const StarFile& file, const StarRecord& record,
                  const HipparcosTables& tables,
                  const HipComponents& components, StarRow* row,
                  std::string* error);

// Names every companion of a HIP that has no proper name or designation of
// its own after its primary, when the primary's system name is a proper
// name or designation: "Kruger 60" and "Kruger 60 B".
void NameCompanionsAfterPrimaries(
    const std::vector<std::string>& componentLetters,
    std::vector<StarRow>* stars);

// Makes every system name of "stars" the name of one star only.  Stars
// that share a proper name as system name and are components of distinct
// letters take their letters into it.  Otherwise the brightest of them
// keeps it (the lowest ID among equals), and each other star takes as
// system name its best-ranked name that no other star holds; the shared
// name stays one of its further names.  Catalogue numbers are never
// lettered: they stay as the catalogues write them.
void MakeSystemNamesUnique(const std::vector<std::string>& componentLetters,
                           std::vector<StarRow>* stars);

// Sets the systemId of every star of a multiple system: the components of
// one Hipparcos number, Hipparcos numbers that share a double-star (WDS)
// designation, and components of distinct letters under distinct numbers
// that the catalogue gives one parallax within 1 arcminute of each other
// (alpha Cen A and B, measured together).  The primary is the brightest
// member, the lowest ID between equals.
void JoinSystems(const HipparcosTables& tables, std::vector<StarRow>* stars);

// A row of AbsentStars: a name of a nearby star that the catalogue lacks,
// under its search key, with the name that the finder shows and why.
struct AbsentStarRow {
  std::string key;
  std::string name;
  std::string why;
};

// Adds to the stars the names of the lines of "list" whose position and
// parallax fit their star's (FitListedPosition), as further names, never
// the system name: a Bayer designation ("&alpha; Cen A") as a proper name,
// a catalogue designation as a catalogue number of its catalogue
// (names/designation_catalogues.h).  Adds to *absent a row for each name of
// each absent star that no star of "stars" fits.  Everything else is
// refused: a line whose star is not in the catalogue or does not fit it,
// an absent star that the catalogue holds, a designation of no known
// catalogue or one already given to another star; each refusal is one
// line in *refusals, "LINE: what and why", and *added counts the names
// added.
void AddListedNames(const HipparcosTables& tables, const NearbyList& list,
                    std::vector<StarRow>* stars,
                    std::vector<AbsentStarRow>* absent,
                    std::vector<std::string>* refusals, uint64_t* added);

struct ImportOptions {
  std::string dataDir;        // the package's usr/share/stellarium
  std::string outputPath;     // the database to write; replaced on success
  std::string extensionPath;  // the dialect extension (INT)
  std::string date;           // LastUpdated, YYYY-MM-DD
  FILE* progress;             // where progress lines go; nullptr for none
  // The names of the nearby stars (db/nearby_designations.psv); "" for
  // none.
  std::string designationsPath;
  // The checked epochs of the positions (db/position_epochs.psv); "" for
  // none, which leaves every fast star without an epoch.
  std::string epochsPath;
  // The package read, as DatabaseInfo's provenance names it
  // ("stellarium-data 0.22.2-1").
  std::string package = "stellarium-data";
};

struct ImportCounts {
  uint64_t records;  // in the star files
  uint64_t stars;    // Hipparcos records with a parallax, the Sun not counted
  uint64_t spectra;  // the Sun not counted
  uint64_t properNames;  // ProperNames rows
  uint64_t catalogNumbers;
  uint64_t listedNames;  // added from the designations file
  uint64_t absentStars;  // its absent stars that were written
  uint64_t moved;         // stars moved from an earlier epoch to J2000
  uint64_t earlierEpoch;  // stars left at an earlier epoch, without motion
  uint64_t unknownEpoch;  // fast stars whose epoch was not checked
  // The lines of the designations file that were refused, each
  // "FILE:LINE: what and why" (AddListedNames).
  std::vector<std::string> refusals;
};

// Reads the star files and tables of options.dataDir and writes the
// database options.outputPath: db/schema.sql with its indexes, in one
// transaction, the Sun first and then the stars by increasing distance.
// The file appears only when the import succeeds.  Returns false, with a
// message naming the file and the fault in *error, when a file is missing
// or does not follow its format, or the database cannot be written.  The
// refusals of the designations file fail nothing: they are reported.
bool ImportHipparcos(const ImportOptions& options, ImportCounts* counts,
                     std::string* error);

}  // namespace veloran

#endif  // VELORAN_DB_HIPPARCOS_IMPORT_H_
