#ifndef VELORAN_DRIVER_DIAGNOSTICS_H_
#define VELORAN_DRIVER_DIAGNOSTICS_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdarg>

// The diagnostic records of one handle: posted by a call, read by
// SQLGetDiagRec, SQLGetDiagField and SQLError, cleared when the next call
// on the handle starts.  The records live in the handle itself, so that
// posting one never allocates (an exhausted heap can still be reported)
// and clearing an empty list costs one comparison.
//
// Messages take the ODBC form "[vendor][component]text": "[Veloran][SQLite]"
// for what the database said or refused, "[Veloran][ODBC driver]" for the
// driver's own checks.

namespace veloran::odbc {

inline constexpr char kSqliteComponent[] = "[Veloran][SQLite]";
inline constexpr char kDriverComponent[] = "[Veloran][ODBC driver]";

// Records beyond this many in one call are dropped (the count says so).
inline constexpr int kMaxDiagnosticRecords = 8;
inline constexpr int kMaxMessageSize = SQL_MAX_MESSAGE_LENGTH;

// One record, as SQLGetDiagRec and SQLGetDiagField give it.
struct DiagnosticRecord {
  char state[6];
  SQLINTEGER nativeError;
  SQLINTEGER columnNumber;  // SQL_NO_COLUMN_NUMBER when none
  SQLLEN rowNumber;         // SQL_NO_ROW_NUMBER when none
  char message[kMaxMessageSize];
};

// The records of one handle, in the order posted.
struct Diagnostics {
  int count = 0;
  // Records already handed out by SQLError, which returns each once.
  int errorCursor = 0;
  // The return code of the call that posted them.
  SQLRETURN returnCode = SQL_SUCCESS;
  DiagnosticRecord records[kMaxDiagnosticRecords];
};

// Empties the list, as each call on the handle does first.
inline void ClearDiagnostics(Diagnostics* diagnostics) {
  if (diagnostics->count != 0) {
    diagnostics->count = 0;
    diagnostics->errorCursor = 0;
    diagnostics->returnCode = SQL_SUCCESS;
  }
}

// The standard text of "state", as the ODBC reference names it:
// "HY090" gives "invalid string or buffer length".  Every state the driver
// posts is in the one table behind this (diagnostics.cc); a state missing
// from it gives "general error" (and fails an assert).
const char* StandardText(const char* state);

// Adds a record of the driver's own: its message is the standard text of
// "state", then ": " and the printf-style detail when one is given,
// "[Veloran][ODBC driver]invalid string or buffer length: invalid buffer
// length -3", cut to the record's size.  Column and row are
// SQL_NO_COLUMN_NUMBER and SQL_NO_ROW_NUMBER unless given, the native error
// 0.  Returns the record posted (to set its native error), or null when the
// handle already held kMaxDiagnosticRecords and this one was dropped.
DiagnosticRecord* PostDiagnostic(Diagnostics* diagnostics, const char* state);
DiagnosticRecord* PostDiagnostic(Diagnostics* diagnostics, const char* state,
                                 const char* detailFormat, ...)
    __attribute__((format(printf, 3, 4)));
DiagnosticRecord* PostDiagnosticAt(Diagnostics* diagnostics, const char* state,
                                   SQLINTEGER columnNumber, SQLLEN rowNumber,
                                   const char* detailFormat, ...)
    __attribute__((format(printf, 5, 6)));

// The same for what SQLite said or refused: "[Veloran][SQLite]standard
// text: detail".
DiagnosticRecord* PostSqliteDiagnostic(Diagnostics* diagnostics,
                                       const char* state,
                                       const char* detailFormat, ...)
    __attribute__((format(printf, 3, 4)));

// A failed connect, whose message a web page shows its visitor word for
// word: "component" and the printf-style text alone, without the standard
// text of "state" (08001's "client unable to establish connection" would
// only push back what the operator has to mend).
DiagnosticRecord* PostConnectFailure(Diagnostics* diagnostics,
                                     const char* state, const char* component,
                                     const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// SQLGetDiagRec on one handle's records.
SQLRETURN GetDiagnosticRecord(const Diagnostics& diagnostics,
                              SQLSMALLINT recordNumber, SQLCHAR* state,
                              SQLINTEGER* nativeError, SQLCHAR* message,
                              SQLSMALLINT bufferLength,
                              SQLSMALLINT* textLength);

// SQLError: the next record not yet returned, then SQL_NO_DATA.
SQLRETURN TakeNextError(Diagnostics* diagnostics, SQLCHAR* state,
                        SQLINTEGER* nativeError, SQLCHAR* message,
                        SQLSMALLINT bufferLength, SQLSMALLINT* textLength);

// SQLGetDiagField on one handle's records.  "rowCount" answers the header
// fields SQL_DIAG_ROW_COUNT and SQL_DIAG_CURSOR_ROW_COUNT of a statement's
// records; "serverName" the connection and server name fields.
SQLRETURN GetDiagnosticField(const Diagnostics& diagnostics,
                             SQLSMALLINT handleType, SQLSMALLINT recordNumber,
                             SQLSMALLINT field, SQLPOINTER value,
                             SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                             SQLLEN rowCount, const char* serverName);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_DIAGNOSTICS_H_
