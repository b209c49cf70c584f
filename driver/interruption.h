#ifndef VELORAN_DRIVER_INTERRUPTION_H_
#define VELORAN_DRIVER_INTERRUPTION_H_

#include "driver/handles.h"

// Stopping a statement's work: SQLCancel and the time-outs.
//
// sqlite3_interrupt stops every statement of a connection, so it is not
// used: a cancel would fail the other open cursors too.  Instead SQLite
// calls the connection's progress handler every few hundred virtual-machine
// instructions, and its busy handler while it waits for a writer's lock;
// both stop the work when the statement being stepped has its cancel flag
// raised or its deadline has passed.  Only the thread that holds the
// connection's lock steps, so the handlers look at one statement, and
// SQLCancel never waits for that lock.

namespace veloran::odbc {

// Sets the progress and busy handlers of "database", the connection's: a
// writer's lock is waited for up to connection->busyTimeout milliseconds.
void InstallInterruption(Connection* connection, sqlite3* database);

// Around other work of SQLite's for the statement (preparing it reads the
// schema, and may wait for a lock): stopped in the same way.
void BeginStatementWork(Statement* statement);
void EndStatementWork(Statement* statement);

// sqlite3_step of the statement, stopped (SQLITE_INTERRUPT, or SQLITE_BUSY
// while waiting for a lock) when it is cancelled or its query time-out
// passes; connection->stop says which.
int StepStatement(Statement* statement);

// The work of a connect, bounded by the login time-out ("seconds", 0 for
// none): Begin before, End after.
void BeginLoginWork(Connection* connection, SQLUINTEGER seconds);
void EndLoginWork(Connection* connection);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_INTERRUPTION_H_
