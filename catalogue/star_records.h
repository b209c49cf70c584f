#ifndef VELORAN_CATALOGUE_STAR_RECORDS_H_
#define VELORAN_CATALOGUE_STAR_RECORDS_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// One row of Positions and one row of Spectra, each field with a presence
// flag where a NULL matters to the program.

namespace veloran {

struct PositionRecord {
  bool HasRA;              // RA_hr was not NULL
  bool HasDec;             // Dec_deg was not NULL
  bool HasDistance;        // Distance was not NULL
  bool HasDistanceError;   // DistanceError was not NULL
  bool HasDistanceSource;  // DistanceSource was not NULL
  uint8_t RA_hr;
  uint8_t RA_min;
  float RA_sec;
  int16_t Dec_deg;  // carries the sign of the whole declination
  uint8_t Dec_arcmin;
  float Dec_arcsec;
  double Distance;  // light-years
  double DistanceError;
  char DistanceSource[11];
  DATE_STRUCT LastUpdated;
  double Epoch;
};

struct SpectrumRecord {
  bool HasSpectralClass;
  char SpectralClass[51];
  bool HasLuminosityClass;
  char LuminosityClass[51];
  bool HasSpectrumSource;
  char SpectrumSource[11];
  DATE_STRUCT LastUpdated;
};

// A star's StarFacts row, each column with a presence flag.
struct StarFacts {
  bool hasVMag;
  double vMag;  // apparent visual magnitude
  bool hasColourIndex;
  double colourIndex;  // B-V, magnitudes
  bool hasParallax;
  double parallax;  // milliarcseconds
  bool hasParallaxError;
  double parallaxError;
  bool hasConstellation;
  char constellation[8];  // the IAU abbreviation
  bool hasSystem;
  int32_t systemId;  // the ID of the system's primary
};

// Reads the first Positions row whose OwnerID is "ownerId" into *record,
// which is cleared first, so that a NULL column without a flag reads as 0 or
// an empty text.  Returns false when the statement did not execute with
// SQL_SUCCESS or no row could be fetched, which a failed fetch or a failed
// execution also keeps as the read fault (read_fault.h); *record is then not
// to be read.
bool FetchPositionRecord(SQLHSTMT statement, int32_t ownerId,
                         PositionRecord* record);

// The same for the first Spectra row whose OwnerID is "ownerId" (a star's
// spectrum has the star's ID plus 1).
bool FetchSpectrumRecord(SQLHSTMT statement, int32_t ownerId,
                         SpectrumRecord* record);

// The Spectra row of star "starId" (OwnerID starId + 1) as
// FetchSpectrumRecord reads it, for a listing of stars: a resident worker
// answers from the spectra it keeps (kept_lookups.h) where it keeps them.
bool FetchStarSpectrum(SQLHSTMT statement, int32_t starId,
                       SpectrumRecord* record);

// Reads the StarFacts row of star "ownerId" into *facts, which is cleared
// first; *found says whether there is one.  A database without the table
// has none: the missing table is then forgotten as a read fault (so no
// other fault may be kept when it is called).  Returns
// false when the table is there but its row could not be read, which is
// kept as the read fault.
bool FetchStarFacts(SQLHSTMT statement, int32_t ownerId, StarFacts* facts,
                    bool* found);

// The same for a listing of stars: a resident worker answers from the
// facts it keeps (kept_lookups.h) where it keeps them.
bool FetchListedFacts(SQLHSTMT statement, int32_t ownerId, StarFacts* facts,
                      bool* found);

// The longest provenance that is read, and its terminator.
constexpr int kProvenanceSize = 512;

// Reads DatabaseInfo's provenance (what the stars' data are and where they
// come from, windows-1252 text) into "text", cut to its buffer; *found says
// whether the database has one.  A database without the table has none:
// the missing table is then forgotten as a read fault (so no other fault
// may be kept when it is called).  Returns false when the table is there
// but its row could not be read, which is kept as the read fault.
bool FetchProvenance(SQLHSTMT statement, char (&text)[kProvenanceSize],
                     bool* found);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_STAR_RECORDS_H_
