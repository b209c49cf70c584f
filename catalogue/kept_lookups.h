#ifndef VELORAN_CATALOGUE_KEPT_LOOKUPS_H_
#define VELORAN_CATALOGUE_KEPT_LOOKUPS_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "catalogue/catalogue_names.h"
#include "catalogue/star_records.h"

// The answers of the look-ups that a listing makes for every star it
// shows (its system's proper name or catalogue designation, its spectrum,
// its facts),
// kept in memory by a resident worker for the database its kept connection
// reads (kept_connection.h), as it keeps the star rows.  Each table is read
// whole, once for each database, the first time a request asks it, by one
// statement on the worker's connection that selects what the look-ups
// select; a table that cannot be read, or finds no memory, is not kept for
// that database, and its look-ups go to the database as a program serving
// one request sends them.  A key with more than one row that differ is
// left to its look-up too: which row comes first is the database's to say.
// Outside a worker (no kept connection) nothing is kept.
//
// A failed read of a table is no read fault of the request: the look-up
// that follows meets the database's fault itself.

namespace veloran {

enum class KeptAnswer {
  kFound,  // the row the look-up gives, from memory
  kNone,   // the look-up finds no row
  kAsk,    // nothing kept: send the look-up
};

// The system name of block "block" (a star's ID / 100) from ProperNames,
// as the look-up of GetStarDisplayName reads it: the first row's Name,
// empty when NULL.  *name holds at least kNameValueSize bytes.
KeptAnswer KeptProperName(int32_t block, char* name);

// The system designation of block "block" from CatalogNumbers: CatAbbrev
// and Value, each empty when NULL.  *abbreviation holds kAbbreviationSize
// bytes, *value kNameValueSize.
KeptAnswer KeptDesignation(int32_t block, char* abbreviation, char* value);

// The Spectra row of OwnerID "ownerId" (a star's ID plus 1) as
// FetchSpectrumRecord fills *record.
KeptAnswer KeptSpectrum(int32_t ownerId, SpectrumRecord* record);

// The StarFacts row of star "ownerId" as FetchStarFacts fills *facts when
// it finds one.
KeptAnswer KeptFacts(int32_t ownerId, StarFacts* facts);

// Frees what is kept.
void FreeKeptLookups();

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_KEPT_LOOKUPS_H_
