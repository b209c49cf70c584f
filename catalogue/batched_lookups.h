#ifndef VELORAN_CATALOGUE_BATCHED_LOOKUPS_H_
#define VELORAN_CATALOGUE_BATCHED_LOOKUPS_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "catalogue/star_records.h"

// The look-ups that a list makes for every star it shows (its display
// name, its spectrum, its facts), made for a whole set of stars at once:
// one statement of each kind for every kLookupBatchSize stars, "... WHERE
// OwnerID IN (...)", in place of one statement of each kind a star, each
// a round trip to a database server.
//
// Each star is given exactly what its own look-up (display_names.h,
// star_records.h) gives it: the same columns into buffers of the same
// sizes, each text ended as TerminateFetchedText ends it, a NULL read as
// the look-up reads it.  Where the look-up takes the first row of a key,
// the batch takes the first row of that key too when every row of the key
// says the same; a key whose rows differ is asked by its own look-up, for
// which row comes first is the database's to say.  A batch that executes
// with information is asked star by star, so that each star meets what its
// look-up would meet.  A resident worker answers from what it keeps
// (kept_lookups.h) first and sends only what it does not keep.
//
// A batch's statement that fails, in its execution or in any fetch, fails
// the look-ups of all its stars, as a failed look-up fails the one star's:
// a row that cannot be fetched fails it even where it is not the first row
// of its key, which that key's own look-up would not have fetched (only a
// database written with its CHECK constraints off holds such a row).
//
// Each function hands "visit" what it found of the star at place "index"
// of "starIds", once for each star that has one, and returns false at the
// first read that failed (read_fault.h), as a look-up of one star fails;
// what it handed over before then is not to be shown.  Call them with no
// read fault kept, and ReadNamesOfStars with the catalogue table loaded
// (LoadCatalogueNames).  The statements are sent on "statement", whose
// cursor is closed.  "count" may
// be any number of stars, a star may come more than once, and each batch
// sends one statement for its distinct keys.
//
// The cost, for n stars: a statement of each kind for every
// kLookupBatchSize of them (ceil(n / kLookupBatchSize)), each a round trip
// whose rows are the batch's rows of that table; one more statement for
// each key whose rows differ, and one for each star of a batch that
// executed with information; in a resident worker that keeps a table,
// none for that table.  About 30 KB of stack a batch, no heap.

namespace veloran {

// The most stars whose look-ups of one kind go in one statement.
constexpr int kLookupBatchSize = 200;

using NameVisitor = void (*)(void* context, int index, const char* name);
using NameKindVisitor = void (*)(void* context, int index, const char* name,
                                 bool properName);
using SpectrumVisitor = void (*)(void* context, int index,
                                 const SpectrumRecord& spectrum);
using FactsVisitor = void (*)(void* context, int index, const StarFacts& facts);

// The display name of each star, as GetStarDisplayName writes it (at most
// kDisplayNameSize bytes with the terminator): ProperNames first, then
// CatalogNumbers for the systems without a proper name.
bool ReadNamesOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                      NameVisitor visit, void* context);

// The same, telling "visit" whether each name is the system's proper name
// (ProperNames) rather than its designation, as GetStarDisplayName's
// *properName does.
bool ReadNamesOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                      NameKindVisitor visit, void* context);

// The Spectra row of each star (OwnerID its ID plus 1), as
// FetchStarSpectrum reads it.
bool ReadSpectraOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                        SpectrumVisitor visit, void* context);

// The StarFacts row of each star, as FetchListedFacts reads it: a database
// without the table has none, and that is no read fault.  False also where
// FetchListedFacts is false without a fault (a look-up that executed with
// information).
bool ReadFactsOfStars(SQLHSTMT statement, const int32_t* starIds, int count,
                      FactsVisitor visit, void* context);

// What the site's tables of stars (the cone search, the downloads) tell of
// each star beyond its list: its position's epoch, distance error and
// distance source (Positions), its proper motion (StarFacts), its Hipparcos
// number (the number of its HIP row of CatalogNumbers: 71683 for "71683 A").
// Each field has its flag; a NULL or a row that is not there leaves it false.
struct StarAstrometry {
  bool hasEpoch;
  double epoch;  // Julian year of the stored position
  bool hasDistanceSource;
  char distanceSource[11];
  bool hasDistanceError;
  double distanceError;  // light-years
  bool hasProperMotion;  // both components
  double pmRaCosDec;     // milliarcseconds a year
  double pmDec;
  bool hasHip;
  int32_t hip;
};

// Reads the astrometry of each of the "count" stars of "starIds" into
// "stars" (as many, cleared first): two statements for every
// kLookupBatchSize stars, one joining Positions and StarFacts and one of
// CatalogNumbers, never kept by a resident worker.  A database written
// before StarFacts had PmRA and PmDec (or without StarFacts) gives no
// motions, and that is no read fault.  Where a star has several rows that
// differ, the first that the database returns counts; a statement that
// executes with information gives nothing for its stars.  False when a
// read failed (kept as the read fault); "stars" is then not to be read.
// With no read fault kept, as above.
bool ReadAstrometryOfStars(SQLHSTMT statement, const int32_t* starIds,
                           int count, StarAstrometry* stars);

// What ordering stars by their magnitude, distance or class reads of each.
struct FactsAndSpectrum {
  bool hasFacts;            // as FetchListedFacts finds a row
  StarFacts facts;          // cleared without a row
  bool hasSpectrum;         // as FetchStarSpectrum finds a row
  SpectrumRecord spectrum;  // cleared without a row
};

// The facts and spectrum of each of the "count" stars of "starIds" into
// "stars" (as many), for a whole ranking of thousands of stars: the two
// batched look-ups above, 2 * ceil(count / kLookupBatchSize) statements
// (in a resident worker that keeps both tables, none), and the caller's
// "count" * sizeof(FactsAndSpectrum) bytes (216 a star); what that came
// to on Hipparcos is in bench/DATABASE-NOTES.md.  For most of a catalogue,
// reading the tables whole costs less, as visual_magnitudes.h reads V.
// False when a read failed (kept as the read fault); "stars" is then not
// to be read.  With no read fault kept, as above.
bool ReadFactsAndSpectra(SQLHSTMT statement, const int32_t* starIds, int count,
                         FactsAndSpectrum* stars);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_BATCHED_LOOKUPS_H_
