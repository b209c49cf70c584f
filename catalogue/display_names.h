#ifndef VELORAN_CATALOGUE_DISPLAY_NAMES_H_
#define VELORAN_CATALOGUE_DISPLAY_NAMES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// The name under which a star is shown on a result page.

namespace veloran {

// The smallest name buffer a caller may pass: a long catalogue name of 100
// characters, a space, a value of 50 and the terminator.
constexpr int kDisplayNameSize = 152;

// Writes the display name of the system that "starId" belongs to (every
// OwnerID in its block of 100) into "name", which holds at least
// kDisplayNameSize bytes: its proper name when ProperNames has one, else its
// catalogue designation, spelled with the catalogue's long name from the
// loaded catalogue table.  A NULL text counts as empty.  Returns false, with
// "name" untouched, when neither could be found; CatalogNumbers is consulted
// only when the ProperNames statement executed and found no row.
bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_DISPLAY_NAMES_H_
