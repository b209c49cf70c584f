#ifndef VELORAN_DRIVER_CONNECTION_H_
#define VELORAN_DRIVER_CONNECTION_H_

#include "driver/data_source.h"
#include "driver/handles.h"

// Opening and closing a connection's database, and the connection's and
// the environment's attributes.  The caller holds the connection's lock.
//
// Connecting never waits for a lock: the file is checked (a regular file
// with a database header in rollback-journal mode) without waiting, and a
// file that a writer has locked still connects; the statements that follow
// wait up to Timeout.  So the login time-out is always met.

namespace veloran::odbc {

// Opens the database the settings name, read-only, loads the extensions
// and sets the guards.  SQL_ERROR with 08001 when that fails: the message
// names the data source key (Database, LoadExt) and the cause, never a
// path, and one line with the paths and the whole cause goes to standard
// error; the connection is then as before.
SQLRETURN Connect(Connection* connection, const DataSourceSettings& settings);

// Frees every statement of the connection and closes the database.
SQLRETURN Disconnect(Connection* connection);

// SQLSetConnectAttr and SQLGetConnectAttr.  The access mode stays
// read-only and the isolation serializable whatever is asked (01S02);
// asynchronous execution and the like are refused (HYC00), unknown
// attributes are HY092.  Values are written as SQLUINTEGER.
SQLRETURN SetConnectionAttribute(Connection* connection, SQLINTEGER attribute,
                                 SQLULEN value);
SQLRETURN GetConnectionAttribute(Connection* connection, SQLINTEGER attribute,
                                 SQLPOINTER value, SQLINTEGER bufferLength,
                                 SQLINTEGER* length);

// SQLSetEnvAttr and SQLGetEnvAttr: the ODBC version; texts are always
// terminated; pooling is the driver manager's.
SQLRETURN SetEnvironmentAttribute(Environment* environment,
                                  SQLINTEGER attribute, SQLULEN value);
SQLRETURN GetEnvironmentAttribute(Environment* environment,
                                  SQLINTEGER attribute, SQLPOINTER value);

// In manual-commit mode (SQL_ATTR_AUTOCOMMIT off) the statements of a
// connection read one snapshot of the database: the first statement
// begins a read transaction, which holds SQLite's shared lock, and
// SQLEndTran (a commit or a rollback alike, as nothing is written) ends it,
// as does a switch back to autocommit or the disconnect.  Besides the
// snapshot, the statements then share one lock and one check of the file,
// rather than taking them each.  Cursors stay open across the end.
//
// Begins the read transaction of the next statement when the connection
// is in manual-commit mode and has none; false, with the diagnostic on
// "diagnostics", when SQLite refused (a busy file).
bool BeginReadTransaction(Connection* connection, Diagnostics* diagnostics);

// SQLEndTran on a connection: ends its read transaction, if it has one.
SQLRETURN EndTransaction(Connection* connection, SQLSMALLINT completionType);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_CONNECTION_H_
