#ifndef VELORAN_DB_HIPPARCOS_TABLES_H_
#define VELORAN_DB_HIPPARCOS_TABLES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/hipparcos_constellations.h"
#include "db/star_text.h"

// The text tables that go with the binary star files: spectral types and
// component letters indexed from the records, and per Hipparcos number the
// cross-identifications, parallax errors and names.  Names and designations
// are held as the database stores them, windows-1252 HTML fragments.

namespace veloran {

// One row of cross-id.dat: the component it belongs to ("" for the whole
// HIP) and its catalogue numbers as HTML, each "" when absent.
struct CrossIdentification {
  std::string component;
  std::string sao;
  std::string hd;
  std::string hr;
};

// A western proper name with the number of references that give it, and
// whether one of them is a list of the IAU's.
struct ProperName {
  std::string html;
  int references;
  bool iau;
};

struct ParallaxError {
  double mas;
  // Written with four decimals, as the Gaia DR2 errors are; the Hipparcos
  // ones have one or two.
  bool fromGaia;
};

// A proper motion of hip_pm.dat, in milliarcseconds a year: in right
// ascension times the cosine of the declination (as Hipparcos gives it),
// and in declination.
struct ProperMotion {
  double raCosDec;
  double dec;
};

struct HipparcosTables {
  // By record spectral index, split and as HTML; an empty type (index 0,
  // and blank lines further on) has an empty spectral class.
  std::vector<SpectralSplit> spectralTypes;
  std::vector<std::string> componentLetters;  // by record component index
  std::unordered_map<uint32_t, std::vector<CrossIdentification>> crossIds;
  std::unordered_map<uint32_t, ParallaxError> parallaxErrors;
  std::unordered_map<uint32_t, ProperMotion> properMotions;
  // The numbers of the name references published by the IAU (those at
  // iau.org: its Working Group on Star Names' list, its exoplanet-host
  // names).
  std::vector<int> iauReferences;
  // Western proper names in the file's order ("Sirius", "Canicula"),
  // without the IAU names of other stars that the file lists under this one
  // too ("Alcor" under Mizar).
  std::unordered_map<uint32_t, std::vector<ProperName>> properNames;
  // Bayer and Flamsteed designations, the main one first ("&alpha; CMa").
  std::unordered_map<uint32_t, std::vector<std::string>> designations;
  std::unordered_map<uint32_t, std::vector<std::string>> variableNames;
  // Washington Double Star numbers, "J00000+3852".
  std::unordered_map<uint32_t, std::vector<std::string>> doubleStarNames;
  // Spelt as the designations spell the constellations ("CMa").
  ConstellationBoundaries boundaries;
  // Not of the package: the epochs of the stored positions that were
  // checked (db/position_epochs.psv), by record, "HIP" or, where the HIP
  // has several records, "HIP A".
  std::unordered_map<std::string, double> checkedEpochs;
};

// The files read, relative to the data directory (usr/share/stellarium):
// the binary star files of levels 0, 1 and 2, and the tables.
inline constexpr const char* kStarFiles[3] = {
    "stars/default/stars_0_0v0_8.cat", "stars/default/stars_1_0v0_8.cat",
    "stars/default/stars_2_0v0_8.cat"};
inline constexpr const char* kSpectralTypesFile =
    "stars/default/stars_hip_sp_0v0_4.cat";
inline constexpr const char* kComponentsFile =
    "stars/default/stars_hip_cids_0v0_0.cat";
inline constexpr const char* kCrossIdFile = "stars/default/cross-id.dat";
inline constexpr const char* kParallaxErrorFile =
    "stars/default/hip_plx_err.dat";
inline constexpr const char* kProperMotionFile = "stars/default/hip_pm.dat";
inline constexpr const char* kDesignationFile = "stars/default/name.fab";
inline constexpr const char* kVariableStarFile =
    "stars/default/gcvs_hip_part.dat";
inline constexpr const char* kDoubleStarFile = "stars/default/wds_hip_part.dat";
inline constexpr const char* kBoundaryFile =
    "data/constellation_boundaries.dat";
inline constexpr const char* kNameReferenceFile =
    "skycultures/western/reference.fab";
inline constexpr const char* kProperNameFile =
    "skycultures/western/star_names.fab";

// Parsers of one file's content each, adding to *tables.  Each returns
// false, with the line and the fault in *error, on a line that does not
// follow the file's syntax or a text that is not UTF-8.
bool ParseSpectralTypes(std::string_view text, HipparcosTables* tables,
                        std::string* error);
bool ParseComponentLetters(std::string_view text, HipparcosTables* tables,
                           std::string* error);
bool ParseCrossIds(std::string_view text, HipparcosTables* tables,
                   std::string* error);
bool ParseParallaxErrors(std::string_view text, HipparcosTables* tables,
                         std::string* error);
bool ParseProperMotions(std::string_view text, HipparcosTables* tables,
                        std::string* error);
bool ParseDesignations(std::string_view text, HipparcosTables* tables,
                       std::string* error);
// db/position_epochs.psv: "HIP|epoch" or "HIP L|epoch", into checkedEpochs.
bool ParseCheckedEpochs(std::string_view text, HipparcosTables* tables,
                        std::string* error);
bool ParseVariableNames(std::string_view text, HipparcosTables* tables,
                        std::string* error);
bool ParseDoubleStarNames(std::string_view text, HipparcosTables* tables,
                          std::string* error);
// reference.fab: "number|description|address"; read before the names.
bool ParseNameReferences(std::string_view text, HipparcosTables* tables,
                         std::string* error);
bool ParseProperNames(std::string_view text, HipparcosTables* tables,
                      std::string* error);

// Reads every table from the data directory "dataDir" into *tables.
// Returns false, with the file and the fault in *error, when a file is
// missing, unreadable or malformed.
bool ReadHipparcosTables(const std::string& dataDir, HipparcosTables* tables,
                         std::string* error);

// Reads the whole file "path" into *content.  Returns false, with the
// reason in *error, when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* content,
                   std::string* error);

}  // namespace veloran

#endif  // VELORAN_DB_HIPPARCOS_TABLES_H_
