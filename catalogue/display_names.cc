#include "catalogue/display_names.h"

#include <cstdio>

#include "catalogue/catalogue_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

enum class ProperName { kFound, kNone, kNotExecuted };

ProperName ReadSystemProperName(SQLHSTMT statement, int32_t starId,
                                char* name) {
  int32_t block = starId / 100;  // truncates toward zero
  SQLHSTMT rows = ExecuteLookup(statement,
                                "SELECT Name FROM ProperNames WHERE "
                                "INT(OwnerID/100) = %ld AND IsSystemName = Yes",
                                block);
  if (rows == SQL_NULL_HSTMT) return ProperName::kNotExecuted;
  // A NULL column leaves its buffer unwritten; cleared, it reads as empty.
  char value[kNameValueSize] = "";
  SQLLEN valueIndicator;
  SQLBindCol(rows, 1, SQL_C_CHAR, value, sizeof(value), &valueIndicator);
  bool found = FetchRow(rows);
  UnbindColumns(rows);
  if (!found) return ProperName::kNone;
  TerminateFetchedText(value, valueIndicator);
  std::snprintf(name, kDisplayNameSize, "%s", value);
  return ProperName::kFound;
}

}  // namespace

bool GetSystemProperName(SQLHSTMT statement, int32_t starId, char* name) {
  return ReadSystemProperName(statement, starId, name) == ProperName::kFound;
}

bool GetSystemDesignation(SQLHSTMT statement, int32_t starId, char* name) {
  int32_t block = starId / 100;  // truncates toward zero
  SQLHSTMT rows = ExecuteLookup(statement,
                                "SELECT CatAbbrev, Value FROM CatalogNumbers "
                                "WHERE INT(OwnerID/100) = %ld AND "
                                "IsSystemName = Yes",
                                block);
  if (rows == SQL_NULL_HSTMT) return false;
  // A NULL column leaves its buffer unwritten; cleared, it reads as empty.
  char abbreviation[kAbbreviationSize] = "";
  char value[kNameValueSize] = "";
  SQLLEN valueIndicator;
  SQLLEN abbreviationIndicator;
  SQLBindCol(rows, 1, SQL_C_CHAR, abbreviation, sizeof(abbreviation),
             &abbreviationIndicator);
  SQLBindCol(rows, 2, SQL_C_CHAR, value, sizeof(value), &valueIndicator);
  bool found = FetchRow(rows);
  UnbindColumns(rows);
  if (!found) return false;
  TerminateFetchedText(abbreviation, abbreviationIndicator);
  TerminateFetchedText(value, valueIndicator);
  std::snprintf(name, kDisplayNameSize, "%s %s",
                LookupCatalogueName(abbreviation), value);
  return true;
}

bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name) {
  switch (ReadSystemProperName(statement, starId, name)) {
    case ProperName::kFound:
      return true;
    case ProperName::kNotExecuted:
      return false;
    case ProperName::kNone:
      break;
  }
  // Only a system without a proper name is named by its catalogue number:
  // not one whose statement did not execute or whose fetch failed.
  if (ReadFailed()) return false;
  return GetSystemDesignation(statement, starId, name);
}

}  // namespace veloran
