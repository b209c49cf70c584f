#include "catalogue/display_names.h"

#include <cstdio>
#include <cstring>

#include "catalogue/catalogue_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name) {
  int32_t block = starId / 100;  // truncates toward zero

  SQLHSTMT rows = ExecuteLookup(statement,
                                "SELECT Name FROM ProperNames WHERE "
                                "INT(OwnerID/100) = %ld AND IsSystemName = Yes",
                                block);
  if (rows == SQL_NULL_HSTMT) return false;
  // A NULL column leaves its buffer unwritten; cleared, it reads as empty.
  char value[kNameValueSize] = "";
  SQLLEN valueIndicator;
  SQLBindCol(rows, 1, SQL_C_CHAR, value, sizeof(value), &valueIndicator);
  bool found = FetchRow(rows);
  UnbindColumns(rows);
  if (found) {
    TerminateFetchedText(value, valueIndicator);
    std::snprintf(name, kDisplayNameSize, "%s", value);
    return true;
  }
  // Only a system without a proper name is named by its catalogue number.
  if (ReadFailed()) return false;

  rows = ExecuteLookup(statement,
                       "SELECT CatAbbrev, Value FROM CatalogNumbers WHERE "
                       "INT(OwnerID/100) = %ld AND IsSystemName = Yes",
                       block);
  if (rows == SQL_NULL_HSTMT) return false;
  char abbreviation[kAbbreviationSize] = "";
  std::memset(value, 0, sizeof(value));
  SQLLEN abbreviationIndicator;
  SQLBindCol(rows, 1, SQL_C_CHAR, abbreviation, sizeof(abbreviation),
             &abbreviationIndicator);
  SQLBindCol(rows, 2, SQL_C_CHAR, value, sizeof(value), &valueIndicator);
  found = FetchRow(rows);
  UnbindColumns(rows);
  if (!found) return false;
  TerminateFetchedText(abbreviation, abbreviationIndicator);
  TerminateFetchedText(value, valueIndicator);
  std::snprintf(name, kDisplayNameSize, "%s %s",
                LookupCatalogueName(abbreviation), value);
  return true;
}

}  // namespace veloran
