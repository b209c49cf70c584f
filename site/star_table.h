#ifndef VELORAN_SITE_STAR_TABLE_H_
#define VELORAN_SITE_STAR_TABLE_H_

#include <cstddef>

#include "astro/position_conversion.h"
#include "site/listed_star.h"
#include "text/html_text.h"

// The columns of a list of stars as the site's files hold them: the
// downloads of a search (CSV, JSON, VOTable) and the cone search's VOTable
// take their columns from the one table here, with each column's name,
// type, unit and UCDs, and each value in the one form written here.

namespace veloran {

enum class StarColumn {
  kRank,             // the star's place in the whole ranking of a search
  kId,               // the star's ID
  kHip,              // its Hipparcos number
  kName,             // its display name, as plain text
  kRa,               // right ascension, degrees (ICRS)
  kDec,              // declination, degrees (ICRS)
  kEpoch,            // the epoch of the position, Julian year
  kPmRa,             // proper motion in RA times cos Dec, mas/yr
  kPmDec,            // proper motion in Dec, mas/yr
  kSeparation,       // angular distance from the cone's centre, degrees
  kCentreDistance,   // light-years from the search's centre
  kCentreDistanceError,  // its standard error
  kDistance,         // light-years from the Sun, as stored
  kDistanceError,    // its standard error, as stored
  kGalacticX,        // galactic Cartesian coordinates, light-years
  kGalacticY,
  kGalacticZ,
  kSpectralClass,    // "G2"
  kLuminosityClass,  // "V"
  kVMag,             // apparent visual magnitude
  kColourIndex,      // B-V, magnitudes
  kParallax,         // milliarcseconds
  kParallaxError,    // milliarcseconds
  kDistanceSource,   // where the distance's parallax comes from ("GaiaDR2")
  kConstellation,    // the IAU abbreviation
  kCentreVMag,       // apparent visual magnitude seen from a search's centre
  kDoubtfulDistance,  // whether the entry page calls the distance doubtful
  kEntryPage,        // the address of the star's entry page
};

inline constexpr int kAsStored = -1;

// How a column is described in a VOTable.
struct StarColumnInfo {
  StarColumn column;
  const char* name;      // in every format; it carries the unit where needed
  const char* datatype;  // "char", "unicodeChar", "int", "double" or
                         // "boolean"
  const char* unit;      // a VOUnit; nullptr for none
  const char* ucd;       // UCD1+
  const char* scsUcd;    // the UCD1 word that Simple Cone Search 1.03
                         // requires of its three main columns; else nullptr
  // A computed real number's decimals, as many as its source holds;
  // kAsStored for a real written as the database holds it (FormatReal:
  // the shortest decimal that reads back as the same double); unused for
  // the other columns.
  int decimals;
  const char* description;  // it says the step of the values
};

// What the table says of "column".
const StarColumnInfo& ColumnInfo(StarColumn column);

// One row: a listed star and what its list says of it beyond the star's
// own data.
struct StarRow {
  const ListedStar* star;
  int rank;             // 0 where the list has no ranks
  bool hasSkyPosition;  // false for the Sun, which has no RA and Dec
  double raDegrees;
  double decDegrees;
  double separation;      // degrees; the cone search's
  double centreDistance;  // light-years; a search's
  bool hasCentreDistanceError;
  double centreDistanceError;
  bool hasDistance;
  double distance;  // light-years from the Sun
  bool hasGalactic;  // a search's stars have their galactic point
};

// A search's centre as its rows need it: its galactic point, and whether
// the error of its distance from the Sun is known (a point has none: 0).
struct SearchCentre {
  CartesianPoint point;
  bool hasDistanceError;
  double distanceError;  // light-years
};

// The row of a star of a neighbour search around "centre" at "rank".  A
// star at the Sun's place (the origin, the Sun itself) has no right
// ascension or declination.  The error of its distance from the centre
// follows, to first order, from the errors of its own and the centre's
// distances from the Sun, each along its own line of sight; it is known
// when both are.
StarRow NeighbourRow(const ListedStar& star, int rank,
                     const SearchCentre& centre);

// The longest value, a display name as plain text, and its terminator.
constexpr size_t kStarValueSize = Utf8SizeOf1252(kDisplayNameSize) + 1;

// Writes the value of "column" for "row" into "text" as plain UTF-8: a
// real number with its column's decimals (FixedReal) or as stored
// (FormatReal), a text as it is.  Returns false when the value is null: the
// database does not hold it (a NULL, a star without a name, spectrum or
// facts) or it is no finite number; "text" is then empty.
bool FormatStarValue(StarColumn column, const StarRow& row,
                     char (&text)[kStarValueSize]);

// Whether the values of "column" are texts (quoted in CSV and JSON).
bool IsTextColumn(StarColumn column);

// The UCDs that a VOTable's fields carry: UCD1+, or for a document of
// Simple Cone Search 1.03 (VOTable 1.1) its three required UCD1 words on
// the ID, RA and Dec and UCD1+ on the others.
enum class UcdSet { kUcd1Plus, kConeSearch103 };

// Writes the FIELD elements of "columns" (one a line), the right ascension
// and declination referring to the COOSYS whose ID is "coordinateSystem".
// The ID is an integer, but a text in a document of Simple Cone Search
// 1.03, whose ID_MAIN is one; there the other integers declare 0 as their
// null value.
void WriteVoTableFields(const StarColumn* columns, size_t count, UcdSet ucds,
                        const char* coordinateSystem);

// Writes one TR of "columns" for "row", every value escaped; a null value
// is an empty TD, but for an integer in a document of Simple Cone Search
// 1.03 (VOTable 1.1, which has no empty integer) its FIELD's null, 0.
void WriteVoTableRow(const StarColumn* columns, size_t count, UcdSet ucds,
                     const StarRow& row);

// Writes the CSV header row (RFC 4180) of "columns": their names, ended
// by CR LF.
void WriteCsvHeader(const StarColumn* columns, size_t count);

// Writes one CSV record of "columns" for "row", ended by CR LF: texts
// quoted, numbers bare, a null value empty.
void WriteCsvRow(const StarColumn* columns, size_t count, const StarRow& row);

// Writes "value" with "decimals" decimals into "text" ("-1.45", "2000.00"),
// never as a negative zero.  False for infinity and NaN, which are no
// number in JSON and CSV: the value is then null.
bool FixedReal(double value, int decimals, char (&text)[kStarValueSize]);

// Whether every star of "stars" ("count" of them) is known at epoch J2000,
// so that a table's COOSYS may say so.  True for no star at all.
bool AllAtJ2000(const ListedStar* stars, int count);

// The description of a table's data, as plain text in UTF-8, into "text":
// "provenance" (windows-1252: the database's, kNoProvenance for a database
// that has none, nullptr for a table that read no database), and the
// epochs of the positions and the sources of the parallaxes.
inline constexpr char kNoProvenance[] =
    "The database does not say where its stars' data come from";
constexpr size_t kDataDescriptionSize = 2048;
void FormatDataDescription(const char* provenance,
                           char (&text)[kDataDescriptionSize]);

}  // namespace veloran

#endif  // VELORAN_SITE_STAR_TABLE_H_
