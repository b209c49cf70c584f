#include "search/position_scan.h"

#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

bool StarPositionOfRow(const FetchedPositionRow& fetched, int64_t order,
                       StarPosition* position) {
  // A row without an owner is no star; one whose owner is not a multiple
  // of 100 belongs to a star but is not its position.
  if (!fetched.present[3] || fetched.ownerId % 100 != 0) return false;
  PositionRecord& row = *fetched.row;
  row.HasRA = fetched.present[0];
  row.HasDec = fetched.present[1];
  row.HasDistance = fetched.present[2];
  *position = StarPosition{};
  position->starId = fetched.ownerId;
  position->order = order;
  position->hasRA = row.HasRA;
  position->hasDec = row.HasDec;
  position->hasDistance = row.HasDistance;
  position->distance = row.Distance;
  position->raHours =
      row.HasRA ? DecimalHours(row.RA_hr, row.RA_min, row.RA_sec) : 0.0;
  position->decDegrees =
      row.HasDec ? DecimalDegrees(row.Dec_deg, row.Dec_arcmin, row.Dec_arcsec)
                 : 0.0;
  position->row = &row;
  return true;
}

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
  FetchedPositionRow fetched{&row, 0, {}};
  SQLLEN indicators[8];
  SQLBindCol(statement, 1, SQL_C_UTINYINT, &row.RA_hr, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_UTINYINT, &row.RA_min, 0, &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_FLOAT, &row.RA_sec, 0, &indicators[2]);
  SQLBindCol(statement, 4, SQL_C_SHORT, &row.Dec_deg, 0, &indicators[3]);
  SQLBindCol(statement, 5, SQL_C_UTINYINT, &row.Dec_arcmin, 0, &indicators[4]);
  SQLBindCol(statement, 6, SQL_C_FLOAT, &row.Dec_arcsec, 0, &indicators[5]);
  SQLBindCol(statement, 7, SQL_C_DOUBLE, &row.Distance, 0, &indicators[6]);
  SQLBindCol(statement, 8, SQL_C_LONG, &fetched.ownerId, 0, &indicators[7]);

  int64_t order = 0;
  for (;;) {
    // A NULL column leaves its buffer unwritten, so the buffers are reset
    // for every row: a NULL RA_min, RA_sec, Dec_arcmin or Dec_arcsec reads
    // as 0, never as the previous row's value.
    row.RA_min = 0;
    row.RA_sec = 0.0f;
    row.Dec_arcmin = 0;
    row.Dec_arcsec = 0.0f;
    if (!FetchRow(statement)) break;
    fetched.present[0] = indicators[0] != SQL_NULL_DATA;
    fetched.present[1] = indicators[3] != SQL_NULL_DATA;
    fetched.present[2] = indicators[6] != SQL_NULL_DATA;
    fetched.present[3] = indicators[7] != SQL_NULL_DATA;
    StarPosition position;
    if (!StarPositionOfRow(fetched, order, &position)) continue;
    ++order;
    visit(context, position);
  }
  UnbindColumns(statement);
  return ReadFailed() ? ScanOutcome::kIncomplete : ScanOutcome::kRead;
}

}  // namespace veloran
