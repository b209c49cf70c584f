#include "site/health_check.h"

#include <cstdint>
#include <cstdio>

#include "catalogue/catalogue_names.h"
#include "catalogue/data_source.h"
#include "catalogue/display_names.h"
#include "catalogue/fetched_text.h"
#include "catalogue/read_fault.h"
#include "catalogue/star_records.h"
#include "catalogue/statements.h"
#include "cgi/output.h"
#include "names/name_keys.h"
#include "search/stored_index.h"
#include "site/site_request.h"

namespace veloran {

namespace {

// The catalogue table, which the pages load whole: it must have rows.
bool ReadCatalogueNames(SQLHSTMT statement, int32_t) {
  bool loaded = LoadCatalogueNames(statement);
  bool named = loaded && catalogueNames.names != nullptr &&
               catalogueNames.count > 0;
  FreeCatalogueNames();
  catalogueNames.count = 0;
  return named;
}

bool ReadPosition(SQLHSTMT statement, int32_t ownerId) {
  PositionRecord record;
  return FetchPositionRecord(statement, ownerId, &record);
}

bool ReadSpectrum(SQLHSTMT statement, int32_t ownerId) {
  SpectrumRecord record;
  return FetchSpectrumRecord(statement, ownerId, &record);
}

bool ReadFacts(SQLHSTMT statement, int32_t ownerId) {
  StarFacts facts;
  bool found = false;
  return FetchStarFacts(statement, ownerId, &facts, &found) && found;
}

bool ReadProperName(SQLHSTMT statement, int32_t ownerId) {
  char name[kDisplayNameSize];
  return GetSystemProperName(statement, ownerId, name);
}

bool ReadDesignation(SQLHSTMT statement, int32_t ownerId) {
  char name[kDisplayNameSize];
  return GetSystemDesignation(statement, ownerId, name);
}

// The first key of NameLookup.  Key is qualified, as the finder writes it:
// some servers reserve the word.
constexpr char kFirstKey[] = "SELECT n.Key FROM NameLookup n LIMIT 1";

// The finder looks names up by key, the key bound as a parameter.
constexpr char kNameByKey[] =
    "SELECT n.OwnerID, n.Name, n.IsProperName FROM NameLookup n "
    "WHERE n.Key = ? LIMIT 1";

bool ReadNameByKey(SQLHSTMT statement, const char* key) {
  CloseCursor(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!SQL_SUCCEEDED(SQLPrepare(
          statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kNameByKey)),
          SQL_NTS))) {
    NoteReadFault(statement);
    return false;
  }
  SQLLEN keyLength = SQL_NTS;
  if (!SQL_SUCCEEDED(SQLBindParameter(statement, 1, SQL_PARAM_INPUT,
                                      SQL_C_CHAR, SQL_VARCHAR, kNameKeySize - 1,
                                      0, const_cast<char*>(key), 0,
                                      &keyLength)) ||
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
  // The finder passes over a row without a star, and so does the check.
  return indicators[0] != SQL_NULL_DATA;
}

// The finder's suggestions read the keys of proper names through the
// partial index NameLookupProperKeys, as this does.
constexpr char kFirstProperKey[] =
    "SELECT DISTINCT Key FROM NameLookup INDEXED BY NameLookupProperKeys "
    "WHERE IsProperName = 1 LIMIT 1";

// Reads the first key of a proper name as the finder's suggestions read the
// keys.  A database filled before the index existed refuses the statement,
// and the finder offers no suggestions: no failure.  A statement accepted
// and then failing is one (a damaged index), and so is a failed fetch.
// Returns false on a failure, kept as the read fault.
bool ReadProperKey(SQLHSTMT statement) {
  CloseCursor(statement);
  SQLFreeStmt(statement, SQL_RESET_PARAMS);
  if (!SQL_SUCCEEDED(SQLPrepare(
          statement,
          reinterpret_cast<SQLCHAR*>(const_cast<char*>(kFirstProperKey)),
          SQL_NTS))) {
    return true;
  }
  if (!SQL_SUCCEEDED(SQLExecute(statement))) {
    NoteReadFault(statement);
    return false;
  }
  char key[kNameKeySize];
  SQLLEN indicator;
  SQLBindCol(statement, 1, SQL_C_CHAR, key, sizeof(key), &indicator);
  bool fetched = FetchRow(statement);
  UnbindColumns(statement);
  CloseCursor(statement);
  return fetched || !ReadFailed();
}

// What a check found of a table's first row: read, none, or a failed read
// (kept as the read fault when the driver said why).
enum class FirstRow { kRead, kNone, kFailed };

// Reads the first row of "text", one column bound to "value" as C type
// "type" with "size" bytes.
FirstRow ReadFirstRow(SQLHSTMT statement, const char* text, SQLSMALLINT type,
                      void* value, SQLLEN size) {
  CloseCursor(statement);
  if (!ExecuteStatement(statement, text)) return FirstRow::kFailed;
  SQLLEN indicator;
  SQLBindCol(statement, 1, type, value, size, &indicator);
  bool fetched = FetchRow(statement);
  UnbindColumns(statement);
  CloseCursor(statement);
  if (!fetched) return ReadFailed() ? FirstRow::kFailed : FirstRow::kNone;
  if (type == SQL_C_CHAR) {
    TerminateFetchedText(static_cast<char*>(value), static_cast<size_t>(size),
                         indicator);
  }
  return indicator == SQL_NULL_DATA ? FirstRow::kNone : FirstRow::kRead;
}

// One table that the pages read: the statement that finds one of its rows
// (its first, or the first a page would look for), and the read of that row
// as a page reads it, given the row's OwnerID.
struct TableCheck {
  const char* table;
  const char* firstOwner;  // nullptr: "read" reads the table by itself
  bool (*read)(SQLHSTMT statement, int32_t ownerId);
  // The pages do without the table (an older database): missing or empty,
  // it is no failure.
  bool optional = false;
};

constexpr TableCheck kTableChecks[] = {
    {"CatalogNames", nullptr, ReadCatalogueNames},
    {"Positions", "SELECT OwnerID FROM Positions LIMIT 1", ReadPosition},
    {"Spectra", "SELECT OwnerID FROM Spectra LIMIT 1", ReadSpectrum},
    {"StarFacts", "SELECT OwnerID FROM StarFacts LIMIT 1", ReadFacts, true},
    // The display names are read by block, INT(OwnerID/100), of the rows
    // that name a system (IsSystemName = Yes).
    {"ProperNames",
     "SELECT OwnerID FROM ProperNames WHERE IsSystemName = Yes LIMIT 1",
     ReadProperName},
    {"CatalogNumbers",
     "SELECT OwnerID FROM CatalogNumbers WHERE IsSystemName = Yes LIMIT 1",
     ReadDesignation},
};

// Writes the failure of "table" into "reason" and on standard error: what
// the driver said when it said something, else that the row was not there.
void ReportTableFailure(const char* program, const char* table, bool failed,
                        char (&reason)[96]) {
  std::snprintf(reason, sizeof(reason), "the table %s %s", table,
                failed ? "could not be read" : "has no row to read");
  ReportReadFault(program, reason);
}

bool CheckTables(const char* program, SQLHSTMT statement,
                 char (&reason)[96]) {
  for (const TableCheck& check : kTableChecks) {
    int32_t ownerId = 0;
    if (check.firstOwner != nullptr) {
      FirstRow first = ReadFirstRow(statement, check.firstOwner, SQL_C_LONG,
                                    &ownerId, 0);
      if (check.optional &&
          (first == FirstRow::kNone ||
           (first == FirstRow::kFailed && ReadFaultIsMissingTable()))) {
        ForgetReadFault();
        continue;
      }
      if (first != FirstRow::kRead) {
        ReportTableFailure(program, check.table, first == FirstRow::kFailed,
                           reason);
        return false;
      }
    }
    if (!check.read(statement, ownerId)) {
      ReportTableFailure(program, check.table, ReadFailed(), reason);
      return false;
    }
  }
  char key[kNameKeySize] = "";
  FirstRow first =
      ReadFirstRow(statement, kFirstKey, SQL_C_CHAR, key, sizeof(key));
  if (first != FirstRow::kRead || !ReadNameByKey(statement, key)) {
    ReportTableFailure(program, "NameLookup",
                       first == FirstRow::kFailed || ReadFailed(), reason);
    return false;
  }
  if (!ReadProperKey(statement)) {
    ReportTableFailure(program, "NameLookup (index NameLookupProperKeys)",
                       true, reason);
    return false;
  }
  return true;
}

void WriteHealthReply(bool healthy, StoredIndexState index) {
  if (!healthy) WriteLine("Status: 503 Service Unavailable");
  WriteLine("Content-Type: text/plain; charset=us-ascii");
  // A balancer, or a cache between, must ask every time.
  WriteLine("Cache-Control: no-store");
  if (healthy) {
    std::printf("Veloran-Position-Index: %s\n", StoredIndexStateWord(index));
  }
  WriteLine("");
  WriteLine(healthy ? "ok" : "unavailable");
  if (healthy && index != StoredIndexState::kUsable) {
    WriteLine(DescribeStoredIndexState(index));
  }
}

}  // namespace

DatabaseHealth CheckSiteDatabase(const char* program) {
  DatabaseHandles handles;
  DatabaseHealth health{false, "", StoredIndexState::kMissing};
  switch (OpenDataSource(&handles, Reading::kOneSnapshot)) {
    case Connection::kOpened:
      health.healthy = CheckTables(program, handles.statement, health.reason);
      if (health.healthy) {
        health.index = CheckStoredIndex(handles.connection, handles.statement);
        // The pages read Positions whole then, and meet any fault of it.
        ForgetReadFault();
      }
      break;
    case Connection::kNoHandle:
      std::snprintf(health.reason, sizeof(health.reason),
                    "no ODBC handle could be allocated");
      ReportDatabaseFault(program, health.reason);
      break;
    case Connection::kRefused:
      std::snprintf(health.reason, sizeof(health.reason),
                    "the data source cannot be reached");
      ReportRefusedConnection(program, handles);
      break;
  }
  handles.Release();
  return health;
}

int AnswerHealthRequest(const char*) {
  DatabaseHealth health = CheckSiteDatabase("health");
  WriteHealthReply(health.healthy, health.index);
  return health.healthy ? kExitAnswered : kExitFailed;
}

}  // namespace veloran
