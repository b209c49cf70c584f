#include "site/page_reads.h"

#include <cstdio>

#include "catalogue/catalogue_names.h"
#include "catalogue/display_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/star_records.h"
#include "catalogue/statements.h"

namespace veloran {

namespace {

// The catalogue table, which the pages load whole: it must have rows.
bool ReadCatalogueNames(SQLHSTMT statement, const RowKey&) {
  bool loaded = LoadCatalogueNames(statement);
  bool named = loaded && catalogueNames.names != nullptr &&
               catalogueNames.count > 0;
  FreeCatalogueNames();
  catalogueNames.count = 0;
  return named;
}

// The provenance that the pages show, where the database has one.
bool ReadProvenance(SQLHSTMT statement, const RowKey&) {
  char text[kProvenanceSize];
  bool found = false;
  return FetchProvenance(statement, text, &found);
}

bool ReadPosition(SQLHSTMT statement, const RowKey& key) {
  PositionRecord record;
  return FetchPositionRecord(statement, key.ownerId, &record);
}

bool ReadSpectrum(SQLHSTMT statement, const RowKey& key) {
  SpectrumRecord record;
  return FetchSpectrumRecord(statement, key.ownerId, &record);
}

bool ReadFacts(SQLHSTMT statement, const RowKey& key) {
  StarFacts facts;
  bool found = false;
  return FetchStarFacts(statement, key.ownerId, &facts, &found) && found;
}

bool ReadProperName(SQLHSTMT statement, const RowKey& key) {
  char name[kDisplayNameSize];
  return GetSystemProperName(statement, key.ownerId, name);
}

bool ReadDesignation(SQLHSTMT statement, const RowKey& key) {
  char name[kDisplayNameSize];
  return GetSystemDesignation(statement, key.ownerId, name);
}

// The finder looks names up by key, the key bound as a parameter.
constexpr char kNameByKey[] =
    "SELECT n.OwnerID, n.Name, n.IsProperName FROM NameLookup n "
    "WHERE n.Key = ? LIMIT 1";

bool ReadNameByKey(SQLHSTMT statement, const RowKey& key) {
  CloseCursor(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!SQL_SUCCEEDED(SQLPrepare(
          statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kNameByKey)),
          SQL_NTS))) {
    NoteReadFault(statement);
    return false;
  }
  SQLLEN keyLength = SQL_NTS;
  if (!SQL_SUCCEEDED(SQLBindParameter(
          statement, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
          kNameKeySize - 1, 0, const_cast<char*>(key.text), 0, &keyLength)) ||
      !SQL_SUCCEEDED(SQLExecute(statement))) {
    NoteReadFault(statement);
    return false;
  }
  SQLINTEGER ownerId = 0;
  char name[kNameValueSize] = "";
  SQLINTEGER isProperName = 0;
  SQLLEN indicators[3];
  SQLBindCol(statement, 1, SQL_C_LONG, &ownerId, 0, &indicators[0]);
  SQLBindCol(statement, 2, SQL_C_CHAR, name, sizeof(name), &indicators[1]);
  SQLBindCol(statement, 3, SQL_C_LONG, &isProperName, 0, &indicators[2]);
  bool found = FetchRow(statement);
  UnbindColumns(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!found) return false;
  TerminateFetchedText(name, indicators[1]);
  // The finder passes over a row without a star.
  return indicators[0] != SQL_NULL_DATA;
}

constexpr PageRead kPageReads[] = {
    {"CatalogNames", nullptr, SQL_C_LONG, ReadCatalogueNames, false},
    {"DatabaseInfo", nullptr, SQL_C_LONG, ReadProvenance, false},
    // A position without an OwnerID is no star's, and no page looks it up;
    // such rows come first in the index of OwnerID.
    {"Positions", "SELECT OwnerID FROM Positions WHERE OwnerID IS NOT NULL",
     SQL_C_LONG, ReadPosition, false},
    {"Spectra", "SELECT OwnerID FROM Spectra", SQL_C_LONG, ReadSpectrum,
     false},
    {"StarFacts", "SELECT OwnerID FROM StarFacts", SQL_C_LONG, ReadFacts,
     true},
    // The display names are read by block, INT(OwnerID/100), of the rows
    // that name a system (IsSystemName = Yes).
    {"ProperNames",
     "SELECT OwnerID FROM ProperNames WHERE IsSystemName = Yes", SQL_C_LONG,
     ReadProperName, false},
    {"CatalogNumbers",
     "SELECT OwnerID FROM CatalogNumbers WHERE IsSystemName = Yes",
     SQL_C_LONG, ReadDesignation, false},
    // Key is qualified, as the finder writes it: some servers reserve the
    // word.
    {"NameLookup", "SELECT n.Key FROM NameLookup n", SQL_C_CHAR,
     ReadNameByKey, false},
    // The finder's suggestions read the keys of proper names through the
    // partial index NameLookupProperKeys.  A database filled before the
    // index existed refuses the statement, and the finder offers no
    // suggestions.
    {"NameLookup (index NameLookupProperKeys)",
     "SELECT DISTINCT Key FROM NameLookup INDEXED BY NameLookupProperKeys "
     "WHERE IsProperName = 1",
     SQL_C_CHAR, nullptr, true},
};

// The longest listing of keys, with " LIMIT 1".
constexpr int kListingSize = 160;

}  // namespace

std::span<const PageRead> PageReads() { return kPageReads; }

KeyListing ListKeys(SQLHSTMT statement, const PageRead& read, bool firstOnly,
                    RowKey* key, SQLLEN* indicator) {
  char text[kListingSize];
  int written = std::snprintf(text, sizeof(text), "%s%s", read.keys,
                              firstOnly ? " LIMIT 1" : "");
  if (written < 0 || written >= kListingSize) return KeyListing::kFailed;
  CloseCursor(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!SQL_SUCCEEDED(SQLPrepare(statement, reinterpret_cast<SQLCHAR*>(text),
                                SQL_NTS))) {
    if (read.optional) return KeyListing::kAbsent;
    NoteReadFault(statement);
    return KeyListing::kFailed;
  }
  SQLRETURN executed = SQLExecute(statement);
  if (!SQL_SUCCEEDED(executed)) NoteReadFault(statement);
  if (executed != SQL_SUCCESS) {
    if (read.optional && ReadFaultIsMissingTable()) {
      ForgetReadFault();
      return KeyListing::kAbsent;
    }
    return KeyListing::kFailed;
  }
  *key = RowKey{};
  if (read.keyType == SQL_C_CHAR) {
    SQLBindCol(statement, 1, SQL_C_CHAR, key->text, sizeof(key->text),
               indicator);
  } else {
    SQLBindCol(statement, 1, SQL_C_LONG, &key->ownerId, 0, indicator);
  }
  return KeyListing::kListed;
}

bool NextKey(SQLHSTMT statement, const PageRead& read, RowKey* key,
             const SQLLEN* indicator) {
  while (FetchRow(statement)) {
    if (*indicator == SQL_NULL_DATA) continue;
    if (read.keyType == SQL_C_CHAR) TerminateFetchedText(key->text, *indicator);
    return true;
  }
  return false;
}

}  // namespace veloran
