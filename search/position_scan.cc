#include "search/position_scan.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "catalogue/kept_connection.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

ScanOutcome ReadStarPositions(SQLHSTMT statement, PositionVisitor visit,
                              void* context) {
  CloseCursor(statement);
  if (!ExecuteStatement(statement,
                        "SELECT RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin, "
                        "Dec_arcsec, Distance, OwnerID FROM Positions")) {
    NoteReadFault(statement);
    return ScanOutcome::kNotExecuted;
  }

  PositionRecord row{};
  int32_t ownerId = 0;
  SQLLEN indicators[8];
  SQLBindCol(statement, 1, SQL_C_UTINYINT, &row.RA_hr, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_UTINYINT, &row.RA_min, 0, &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_FLOAT, &row.RA_sec, 0, &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_SHORT, &row.Dec_deg, 0, &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_UTINYINT, &row.Dec_arcmin, 0, &indicators[4]);
  SQLBindCol(statement, 6, SQL_C_FLOAT, &row.Dec_arcsec, 0, &indicators[5]);
  SQLBindCol(statement, 7, SQL_C_DOUBLE, &row.Distance, 0, &indicators[6]);
  SQLBindCol(statement, 8, SQL_C_LONG, &ownerId, 0, &indicators[7]);

  for (;;) {
    // A NULL column leaves its buffer unwritten, so the buffers are reset
    // for every row: a NULL RA_min, RA_sec, Dec_arcmin or Dec_arcsec reads
    // as 0, never as the previous row's value.
    row.RA_min = 0;
    row.RA_sec = 0.0f;
    row.Dec_arcmin = 0;
    row.Dec_arcsec = 0.0f;
    if (!FetchRow(statement)) break;
    // A row without an owner is no star.
    if (indicators[7] == SQL_NULL_DATA) continue;
    if (ownerId % 100 != 0) continue;  // belongs to a star, not its position
    row.HasRA = indicators[0] != SQL_NULL_DATA;
    row.HasDec = indicators[3] != SQL_NULL_DATA;
    row.HasDistance = indicators[6] != SQL_NULL_DATA;
    StarPosition position{};
    position.starId = ownerId;
    position.hasRA = row.HasRA;
    position.hasDec = row.HasDec;
    position.hasDistance = row.HasDistance;
    position.distance = row.Distance;
    position.raHours =
        row.HasRA ? DecimalHours(row.RA_hr, row.RA_min, row.RA_sec) : 0.0;
    position.decDegrees =
        row.HasDec ? DecimalDegrees(row.Dec_deg, row.Dec_arcmin, row.Dec_arcsec)
                   : 0.0;
    position.row = &row;
    visit(context, position);
  }
  UnbindColumns(statement);
  return ReadFailed() ? ScanOutcome::kIncomplete : ScanOutcome::kRead;
}

// The rows kept for the database of "generation", in the order they
// arrived, each with its galactic point.
struct KeptPositions {
  StarPosition* rows = nullptr;
  // The galactic x of each row, NaN for a row without a point: a search
  // that is bounded in x reads these 8 bytes of a row, not its 72.
  double* xs = nullptr;
  size_t count = 0;
  size_t capacity = 0;
  bool lost = false;  // a row found no memory
  uint64_t generation = 0;
};

KeptPositions kept;

void Keep(void* context, const StarPosition& position) {
  auto* positions = static_cast<KeptPositions*>(context);
  if (positions->lost) return;
  if (positions->count == positions->capacity) {
    size_t capacity = positions->capacity == 0 ? 4096 : positions->capacity * 2;
    void* grown =
        std::realloc(positions->rows, capacity * sizeof(StarPosition));
    if (grown == nullptr) {
      positions->lost = true;
      return;
    }
    positions->rows = static_cast<StarPosition*>(grown);
    positions->capacity = capacity;
  }
  StarPosition& copy = positions->rows[positions->count++];
  copy = position;
  copy.placed = GalacticPointOf(position, &copy.point);
  if (!copy.placed) copy.point = CartesianPoint{0.0, 0.0, 0.0};
  copy.pointComputed = true;
  copy.row = nullptr;
}

// Reads the rows of the database of "generation" into memory.  The outcome
// of the reading; kRead with the rows kept, unless they found no memory.
ScanOutcome KeepStarPositions(SQLHSTMT statement, uint64_t generation) {
  FreeKeptPositions();
  ScanOutcome outcome = ReadStarPositions(statement, Keep, &kept);
  if (outcome != ScanOutcome::kRead || kept.lost) {
    FreeKeptPositions();
    return outcome;
  }
  // The doubling leaves up to half unused: give it back.
  if (kept.count > 0) {
    void* fitted = std::realloc(kept.rows, kept.count * sizeof(StarPosition));
    if (fitted != nullptr) kept.rows = static_cast<StarPosition*>(fitted);
    kept.capacity = kept.count;
  }
  kept.xs = static_cast<double*>(
      std::malloc(std::max<size_t>(kept.count, 1) * sizeof(double)));
  for (size_t i = 0; kept.xs != nullptr && i < kept.count; ++i) {
    const StarPosition& row = kept.rows[i];
    kept.xs[i] = row.placed ? row.point.x
                            : std::numeric_limits<double>::quiet_NaN();
  }
  kept.generation = generation;
  return outcome;
}

}  // namespace

ScanOutcome ScanStarPositions(SQLHSTMT statement, PositionVisitor visit,
                              void* context, const ScanBounds* bounds) {
  uint64_t generation = KeptDatabaseGeneration();
  if (generation != 0 && generation != kept.generation) {
    ScanOutcome outcome = KeepStarPositions(statement, generation);
    if (outcome != ScanOutcome::kRead) return outcome;
  }
  if (generation == 0 || generation != kept.generation) {
    return ReadStarPositions(statement, visit, context);
  }
  if (bounds != nullptr && kept.xs != nullptr) {
    // In arrival order still: the rows left out are passed over anyway.
    for (size_t i = 0; i < kept.count; ++i) {
      double x = kept.xs[i];
      if (x >= bounds->lowX && x <= bounds->highX) visit(context, kept.rows[i]);
    }
    return ScanOutcome::kRead;
  }
  for (size_t i = 0; i < kept.count; ++i) visit(context, kept.rows[i]);
  return ScanOutcome::kRead;
}

void FreeKeptPositions() {
  std::free(kept.rows);
  std::free(kept.xs);
  kept = KeptPositions{};
}

}  // namespace veloran
