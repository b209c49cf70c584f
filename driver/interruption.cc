#include "driver/interruption.h"

#include <cassert>
#include <thread>

namespace veloran::odbc {

namespace {

using Clock = std::chrono::steady_clock;

// How many virtual-machine instructions between two looks at the flag and
// the clock: a fraction of a millisecond of work, a negligible cost.
constexpr int kProgressInstructions = 1000;

// True when the work must stop now, with the reason in connection->stop.
bool MustStop(Connection* connection) {
  Statement* statement = connection->stepping;
  if (statement != nullptr &&
      statement->cancelRequested.load(std::memory_order_relaxed)) {
    connection->stop = Stop::kCancelled;
    return true;
  }
  if (connection->deadline != Clock::time_point::max() &&
      Clock::now() >= connection->deadline) {
    connection->stop = Stop::kTimedOut;
    return true;
  }
  return false;
}

int OnProgress(void* context) {
  return MustStop(static_cast<Connection*>(context)) ? 1 : 0;
}

// Waits in short sleeps, so that a cancel or a deadline ends the wait
// within a few milliseconds; gives up after the connection's busyTimeout.
int OnBusy(void* context, int attempt) {
  static const int kSleeps[] = {1, 2, 5, 10, 15, 20, 25};
  constexpr int kSleepCount = sizeof(kSleeps) / sizeof(kSleeps[0]);
  auto* connection = static_cast<Connection*>(context);
  if (MustStop(connection)) return 0;
  // The time slept so far, by the schedule.
  long slept = 0;
  for (int i = 0; i < attempt; ++i) {
    slept += kSleeps[i < kSleepCount ? i : kSleepCount - 1];
  }
  if (slept >= connection->busyTimeout) return 0;
  int sleep = kSleeps[attempt < kSleepCount ? attempt : kSleepCount - 1];
  if (slept + sleep > connection->busyTimeout) {
    sleep = static_cast<int>(connection->busyTimeout - slept);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(sleep));
  return MustStop(connection) ? 0 : 1;
}

}  // namespace

void InstallInterruption(Connection* connection, sqlite3* database) {
  sqlite3_progress_handler(database, kProgressInstructions, OnProgress,
                           connection);
  sqlite3_busy_handler(database, OnBusy, connection);
}

void BeginStatementWork(Statement* statement) {
  Connection* connection = statement->connection;
  assert(connection->stepping == nullptr);
  connection->stepping = statement;
  connection->stop = Stop::kNone;
  connection->deadline =
      statement->queryTimeout == 0
          ? Clock::time_point::max()
          : Clock::now() + std::chrono::seconds(statement->queryTimeout);
}

void EndStatementWork(Statement* statement) {
  Connection* connection = statement->connection;
  assert(connection->stepping == statement);
  connection->stepping = nullptr;
  connection->deadline = Clock::time_point::max();
  // The cancel is answered by this stop; one that came too late for it
  // waits for the statement's next call.
  if (connection->stop == Stop::kCancelled) {
    statement->cancelRequested.store(false, std::memory_order_relaxed);
  }
}

int StepStatement(Statement* statement) {
  BeginStatementWork(statement);
  int rc = sqlite3_step(statement->prepared);
  EndStatementWork(statement);
  return rc;
}

void BeginLoginWork(Connection* connection, SQLUINTEGER seconds) {
  connection->stop = Stop::kNone;
  connection->deadline = seconds == 0
                             ? Clock::time_point::max()
                             : Clock::now() + std::chrono::seconds(seconds);
}

void EndLoginWork(Connection* connection) {
  connection->deadline = Clock::time_point::max();
}

}  // namespace veloran::odbc
