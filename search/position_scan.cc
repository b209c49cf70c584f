#include "search/position_scan.h"

#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

ScanOutcome ScanStarPositions(SQLHSTMT statement, PositionVisitor visit,
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
    visit(context, ownerId, row);
  }
  UnbindColumns(statement);
  return ReadFailed() ? ScanOutcome::kIncomplete : ScanOutcome::kRead;
}

}  // namespace veloran
