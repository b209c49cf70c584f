#ifndef VELORAN_CATALOGUE_VISUAL_MAGNITUDES_H_
#define VELORAN_CATALOGUE_VISUAL_MAGNITUDES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>

// The visual magnitude (StarFacts' VMag) of every star at once, for a view
// of the whole catalogue such as the sky seen from another star.  A program
// serving one request reads the column whole with one statement; a
// resident worker asks the facts it keeps (kept_lookups.h) and sends the
// look-up of one star only where it keeps nothing.

namespace veloran {

struct MagnitudeEntry {
  int32_t ownerId;
  double vMag;
};

struct VisualMagnitudes {
  bool hasTable = false;  // the database has a StarFacts table
  bool fromKept = false;  // a resident worker's kept facts answer
  MagnitudeEntry* entries = nullptr;  // by OwnerID, each OwnerID once
  size_t count = 0;
};

// Reads the magnitudes into *magnitudes, which the caller frees with
// FreeVisualMagnitudes whatever the outcome.  A database without StarFacts
// has none, which is no failure.  False when a read failed (kept as the
// read fault, read_fault.h) or there was no memory for the table (no read
// fault then).
bool ReadVisualMagnitudes(SQLHSTMT statement, VisualMagnitudes* magnitudes);

// The V of star "ownerId" as the star's own StarFacts look-up gives it
// (its first row); false when it has none.  "statement" serves a worker's
// look-up of a star whose facts it does not keep (on a handle of the
// look-ups' own, so a scan may hold the statement's cursor); a failed
// look-up is kept as the read fault.
bool FindVisualMagnitude(SQLHSTMT statement,
                         const VisualMagnitudes& magnitudes, int32_t ownerId,
                         double* vMag);

void FreeVisualMagnitudes(VisualMagnitudes* magnitudes);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_VISUAL_MAGNITUDES_H_
