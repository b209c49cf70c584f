#ifndef VELORAN_CATALOGUE_KEPT_CONNECTION_H_
#define VELORAN_CATALOGUE_KEPT_CONNECTION_H_

#include <cstdint>

#include "catalogue/data_source.h"

// The connection that a resident worker keeps from one request to the next.
//
// A worker serves many requests in one process.  It keeps its connection to
// the data source Veloran, and what it has read through it (the positions,
// the catalogue names), for as long as the database is the same one.  The
// driver tells: "SELECT veloran_data_version()" gives a text that changes
// whenever the database may have changed, and NULL once the data source
// names another file, or the file at its path was replaced, than the one
// the connection reads.  Before the connection is lent to a request, the
// version is read again; a version other than the one read when it was
// made ends the connection, and with it everything read through it.  A
// driver without the function gives no version: each request then has a
// connection of its own, as a program serving one request has, and nothing
// is kept.

namespace veloran {

// From now on OpenDataSource lends the kept connection.
void KeepConnection();

bool KeepingConnection();

// Lends the kept connection to one request as *handles (marked lent),
// after checking the database's version, connecting anew when there is no
// connection or the version has changed.  When connecting fails, *handles
// holds what the failure left for its diagnostic, as OpenDataSource's do.
Connection LendKeptConnection(DatabaseHandles* handles);

// Takes the lent handles back at the end of the request: the cursors are
// closed and the bindings released, so that nothing holds the database
// between requests.  A connection without a version is closed.
void ReturnKeptConnection(DatabaseHandles* handles);

// A number that names the database that the kept connection reads: what
// was read of it under another number is not to be used.  It changes with
// every new connection; 0 when nothing may be kept (no connection, or one
// without a version).
uint64_t KeptDatabaseGeneration();

// The most rows of one table that a worker keeps in memory: the star rows
// (search/kept_positions.h), and each table of look-ups
// (kept_lookups.h).  A larger table is not kept; its rows are read from
// the database for each request, through the position index where it has
// one, as a program serving one request reads them.
inline constexpr int64_t kDefaultKeptRows = 25000000;
void SetKeptRowLimit(int64_t rows);
int64_t KeptRowLimit();

// Closes the kept connection, so that the next request connects anew: after
// a failed read, which may be a lost connection.
void DropKeptConnection();

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_KEPT_CONNECTION_H_
