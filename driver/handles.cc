#include "driver/handles.h"

#include <algorithm>
#include <new>

namespace veloran::odbc {

Environment* AsEnvironment(SQLHANDLE handle) {
  auto* environment = static_cast<Environment*>(handle);
  return environment != nullptr && environment->magic == kEnvironmentMagic
             ? environment
             : nullptr;
}

Connection* AsConnection(SQLHANDLE handle) {
  auto* connection = static_cast<Connection*>(handle);
  return connection != nullptr && connection->magic == kConnectionMagic
             ? connection
             : nullptr;
}

Statement* AsStatement(SQLHANDLE handle) {
  auto* statement = static_cast<Statement*>(handle);
  return statement != nullptr && statement->magic == kStatementMagic ? statement
                                                                     : nullptr;
}

Environment* NewEnvironment() { return new (std::nothrow) Environment; }

void DeleteEnvironment(Environment* environment) {
  environment->magic = 0;
  delete environment;
}

Connection* NewConnection(Environment* environment) {
  Connection* connection = new (std::nothrow) Connection;
  if (connection == nullptr) return nullptr;
  connection->environment = environment;
  return connection;
}

void DeleteConnection(Connection* connection) {
  connection->magic = 0;
  delete connection;
}

Statement* NewStatement(Connection* connection) {
  Statement* statement = new (std::nothrow) Statement;
  if (statement == nullptr) return nullptr;
  statement->connection = connection;
  statement->queryTimeout = connection->defaultQueryTimeout;
  try {
    connection->statements.push_back(statement);
  } catch (const std::bad_alloc&) {
    delete statement;
    return nullptr;
  }
  return statement;
}

void DeleteStatement(Statement* statement) {
  sqlite3_finalize(statement->prepared);
  std::vector<Statement*>& list = statement->connection->statements;
  list.erase(std::remove(list.begin(), list.end(), statement), list.end());
  statement->magic = 0;
  delete statement;
}

}  // namespace veloran::odbc
