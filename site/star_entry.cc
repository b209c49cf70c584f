#include "site/star_entry.h"

#include <cstdio>
#include <cstring>

#include "catalogue/read_fault.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

constexpr int32_t kSystemSize = 10000;

// Whether the Positions row of star "id" exists; false when the statement
// did not execute with SQL_SUCCESS or its fetch failed.
bool FindPositionRow(SQLHSTMT statement, int32_t id, bool* exists) {
  CloseCursor(statement);
  if (!ExecuteStatementForId(
          statement, "SELECT OwnerID FROM Positions WHERE OwnerID = %ld", id)) {
    return false;
  }
  *exists = FetchRow(statement);
  return !ReadFailed();
}

void ReadProperNames(SQLHSTMT statement, StarEntry* entry) {
  CloseCursor(statement);
  if (!ExecuteStatementForId(statement,
                             "SELECT Name FROM ProperNames WHERE "
                             "INT(OwnerID/100) = %ld ORDER BY OwnerID, "
                             "ProperNameID",
                             entry->id / 100)) {
    return;
  }
  char name[kNameValueSize];
  SQLLEN indicator;
  SQLBindCol(statement, 1, SQL_C_CHAR, name, sizeof(name), &indicator);
  while (entry->properNameCount < kMaxEntryNames && FetchRow(statement)) {
    if (indicator == SQL_NULL_DATA) continue;
    std::snprintf(entry->properNames[entry->properNameCount++], kNameValueSize,
                  "%s", name);
  }
  UnbindColumns(statement);
}

void ReadDesignations(SQLHSTMT statement, StarEntry* entry) {
  CloseCursor(statement);
  if (!ExecuteStatementForId(statement,
                             "SELECT CatAbbrev, Value FROM CatalogNumbers "
                             "WHERE INT(OwnerID/100) = %ld ORDER BY OwnerID, "
                             "CatalogNumberID",
                             entry->id / 100)) {
    return;
  }
  char abbreviation[kAbbreviationSize];
  char value[kNameValueSize];
  SQLLEN indicators[2];
  SQLBindCol(statement, 1, SQL_C_CHAR, abbreviation, sizeof(abbreviation),
             &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_CHAR, value, sizeof(value), &indicators[1]);
  while (entry->designationCount < kMaxEntryNames && FetchRow(statement)) {
    if (indicators[1] == SQL_NULL_DATA) continue;
    Designation& designation = entry->designations[entry->designationCount++];
    std::snprintf(designation.abbreviation, sizeof(designation.abbreviation),
                  "%s", indicators[0] == SQL_NULL_DATA ? "" : abbreviation);
    std::snprintf(designation.value, sizeof(designation.value), "%s", value);
  }
  UnbindColumns(statement);
}

void ReadComponents(SQLHSTMT statement, StarEntry* entry) {
  int32_t system = entry->id / kSystemSize;
  if (system == 0) return;
  char text[160];
  std::snprintf(text, sizeof(text),
                "SELECT OwnerID FROM Positions WHERE OwnerID BETWEEN %ld AND "
                "%ld ORDER BY OwnerID",
                static_cast<long>(system) * kSystemSize,
                static_cast<long>(system) * kSystemSize + kSystemSize - 1);
  CloseCursor(statement);
  if (!ExecuteStatement(statement, text)) return;
  int32_t ownerId = 0;
  SQLLEN indicator;
  SQLBindCol(statement, 1, SQL_C_LONG, &ownerId, 0, &indicator);
  int32_t previous = 0;
  while (entry->componentCount < kMaxComponents && FetchRow(statement)) {
    // Rows that are not a star's own, the star itself, and a second row of
    // the same star are passed over.
    if (indicator == SQL_NULL_DATA || ownerId % 100 != 0 ||
        ownerId == entry->id || ownerId == previous) {
      continue;
    }
    previous = ownerId;
    entry->components[entry->componentCount++].id = ownerId;
  }
  UnbindColumns(statement);
  for (int i = 0; i < entry->componentCount; ++i) {
    Component& component = entry->components[i];
    component.hasName =
        GetStarDisplayName(statement, component.id, component.name);
  }
}

}  // namespace

EntryReading ReadStarEntry(SQLHSTMT statement, int32_t id, StarEntry* entry) {
  bool exists = false;
  if (!FindPositionRow(statement, id, &exists)) return EntryReading::kFailed;
  if (!exists) return EntryReading::kUnknown;

  entry->id = id;
  entry->hasName = GetStarDisplayName(statement, id, entry->name);
  entry->hasPosition = FetchPositionRecord(statement, id, &entry->position);
  entry->hasSpectrum = FetchSpectrumRecord(statement, id + 1, &entry->spectrum);
  entry->properNameCount = 0;
  ReadProperNames(statement, entry);
  entry->designationCount = 0;
  ReadDesignations(statement, entry);
  entry->componentCount = 0;
  ReadComponents(statement, entry);
  CloseCursor(statement);
  // Any part of the entry that could not be read would be missing from the
  // page without a word.
  return ReadFailed() ? EntryReading::kFailed : EntryReading::kFound;
}

}  // namespace veloran
