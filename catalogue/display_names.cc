#include "catalogue/display_names.h"

#include <cstdio>

#include "catalogue/catalogue_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/kept_lookups.h"
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

bool GetSystemProperNames(SQLHSTMT statement, int32_t starId,
                          char (*names)[kNameValueSize], int capacity,
                          int* count) {
  *count = 0;
  SQLHSTMT rows = ExecuteLookup(statement,
                                "SELECT Name FROM ProperNames WHERE "
                                "INT(OwnerID/100) = %ld ORDER BY OwnerID, "
                                "ProperNameID",
                                starId / 100);
  if (rows == SQL_NULL_HSTMT) return false;
  char name[kNameValueSize];
  SQLLEN indicator;
  SQLBindCol(rows, 1, SQL_C_CHAR, name, sizeof(name), &indicator);
  while (*count < capacity && FetchRow(rows)) {
    if (indicator == SQL_NULL_DATA) continue;
    TerminateFetchedText(name, indicator);
    std::snprintf(names[(*count)++], kNameValueSize, "%s", name);
  }
  UnbindColumns(rows);
  return !ReadFailed();
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

namespace {

// The proper name from what a resident worker keeps, else from its
// look-up.
ProperName FindSystemProperName(SQLHSTMT statement, int32_t starId,
                                char* name) {
  char value[kNameValueSize];
  switch (KeptProperName(starId / 100, value)) {
    case KeptAnswer::kFound:
      std::snprintf(name, kDisplayNameSize, "%s", value);
      return ProperName::kFound;
    case KeptAnswer::kNone:
      return ProperName::kNone;
    case KeptAnswer::kAsk:
      break;
  }
  return ReadSystemProperName(statement, starId, name);
}

// The designation from what a resident worker keeps, else from its
// look-up.
bool FindSystemDesignation(SQLHSTMT statement, int32_t starId, char* name) {
  char abbreviation[kAbbreviationSize];
  char value[kNameValueSize];
  switch (KeptDesignation(starId / 100, abbreviation, value)) {
    case KeptAnswer::kFound:
      std::snprintf(name, kDisplayNameSize, "%s %s",
                    LookupCatalogueName(abbreviation), value);
      return true;
    case KeptAnswer::kNone:
      return false;
    case KeptAnswer::kAsk:
      break;
  }
  return GetSystemDesignation(statement, starId, name);
}

}  // namespace

bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name) {
  bool properName = false;
  return GetStarDisplayName(statement, starId, name, &properName);
}

bool GetStarDisplayName(SQLHSTMT statement, int32_t starId, char* name,
                        bool* properName) {
  *properName = false;
  switch (FindSystemProperName(statement, starId, name)) {
    case ProperName::kFound:
      *properName = true;
      return true;
    case ProperName::kNotExecuted:
      return false;
    case ProperName::kNone:
      break;
  }
  // Only a system without a proper name is named by its catalogue number:
  // not one whose statement did not execute or whose fetch failed.
  if (ReadFailed()) return false;
  return FindSystemDesignation(statement, starId, name);
}

}  // namespace veloran
