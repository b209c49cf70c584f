#ifndef VELORAN_SITE_PAGE_READS_H_
#define VELORAN_SITE_PAGE_READS_H_

// What the pages read of the star database, as one table: for each table
// they read, the statement that lists the keys they look its rows up by,
// and the read of one row as a page reads it (the pages' own functions,
// each column bound to the type a page binds, the dialect's INT(OwnerID/100)
// and IsSystemName = Yes included).  The health check reads the first row
// of each (health_check.h); veloran-check-database reads them all
// (database_check.h).

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <span>

#include "names/name_keys.h"

namespace veloran {

// What a page looks a row up by: an OwnerID, or a key of NameLookup.
struct RowKey {
  int32_t ownerId;
  char text[kNameKeySize];
};

struct PageRead {
  const char* table;  // as messages name it
  // Lists the keys, bound as the pages bind them; nullptr: "read" reads
  // the whole table by itself.
  const char* keys;
  SQLSMALLINT keyType;  // SQL_C_LONG: RowKey::ownerId; SQL_C_CHAR: text
  // Reads the row of "key" as a page reads it.  Returns false when the
  // read failed (ReadFailed, read_fault.h) or found no row; nullptr: the
  // keys themselves are what the pages read.
  bool (*read)(SQLHSTMT statement, const RowKey& key);
  // The pages do without it (an older database): a listing refused by the
  // driver, a missing table or no key at all is no failure.
  bool optional;
};

std::span<const PageRead> PageReads();

// How a listing of keys began.
enum class KeyListing {
  kListed,  // executed: fetch the keys with NextKey
  kAbsent,  // an optional table or index that the database lacks
  kFailed,  // kept as the read fault when the driver said why
};

// Prepares and executes the keys of "read" (read.keys is not nullptr) on
// "statement", all of them or only the first, and binds their column to
// *key with *indicator.  A statement refused by the driver, or a missing
// table, is no read fault for an optional read.
KeyListing ListKeys(SQLHSTMT statement, const PageRead& read, bool firstOnly,
                    RowKey* key, SQLLEN* indicator);

// Fetches the next key of a listing into *key.  Returns false at the end
// of the keys and on a failed fetch (ReadFailed).  A NULL key, which no
// page looks up, is passed over.
bool NextKey(SQLHSTMT statement, const PageRead& read, RowKey* key,
             const SQLLEN* indicator);

}  // namespace veloran

#endif  // VELORAN_SITE_PAGE_READS_H_
