#ifndef VELORAN_CATALOGUE_DISPLAY_NAMES_H_
#define VELORAN_CATALOGUE_DISPLAY_NAMES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

#include "catalogue/catalogue_names.h"

// The name under which a star is shown on a result page.

namespace veloran {

// A proper name or a catalogue value as read, at most 50 characters and the
// terminator.
constexpr int kNameValueSize = 51;

// The smallest name buffer a caller may pass: a long catalogue name of 100
// characters, a space, a value of 50 and the terminator.
constexpr int kDisplayNameSize = (kLongNameSize - 1) + 1 + kNameValueSize;

// The name buffer of a result page's heading, larger than any display name.
constexpr int kHeadingNameSize = 512;

// Writes the display name of the system that "starId" belongs to (every
// OwnerID in its block of 100) into "name", which holds at least
// kDisplayNameSize bytes: its proper name when ProperNames has one, else its
// catalogue designation, spelled with the catalogue's long name from the
// loaded catalogue table.  A NULL text counts as empty.  Returns false, with
// "name" untouched, when neither could be found or a read failed
// (read_fault.h); CatalogNumbers is consulted only when the ProperNames
// statement executed and found no row.  A resident worker answers from the
// names it keeps (kept_lookups.h) where it keeps them.
bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name);

// The same, saying in *properName whether the name found is the system's
// proper name rather than its catalogue designation.
bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name,
                        bool* properName);

// The two halves of GetStarDisplayName, for a caller that needs each: the
// proper name of the system of "starId" (ProperNames), and its catalogue
// designation (CatalogNumbers), each always from the database.  Each
// returns false, with "name" untouched,
// when it found none or its read failed (read_fault.h).
bool GetSystemProperName(SQLHSTMT statement, int32_t starId, char* name);
bool GetSystemDesignation(SQLHSTMT statement, int32_t starId, char* name);

// Reads every proper name and Bayer or Flamsteed designation of the system
// of "starId" (its ProperNames rows, in OwnerID order, NULL names left out)
// into "names", at most "capacity" of them, their number in *count.
// Returns false when the read failed (read_fault.h); *count then holds
// those read before.
bool GetSystemProperNames(SQLHSTMT statement, int32_t starId,
                          char (*names)[kNameValueSize], int capacity,
                          int* count);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_DISPLAY_NAMES_H_
