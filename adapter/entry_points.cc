// The ODBC functions the adapter exports, the only symbols it exports: the
// table's forwarded ones, generated, and the ones written by hand below.
// Nothing here throws: the connect, which reads the data source into
// strings, turns an exhausted heap into HY001.
#include <sql.h>
#include <sqlext.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "adapter/adapter_settings.h"
#include "adapter/entry_table.h"
#include "adapter/handles.h"
#include "adapter/rewriting.h"
#include "adapter/target_driver.h"

#define VELORAN_EXPORT extern "C" __attribute__((visibility("default")))

namespace veloran::adapter {

void ClearDiagnostics(Diagnostics* diagnostics) {
  diagnostics->fromTarget = false;
  diagnostics->count = 0;
  diagnostics->returnCode = SQL_SUCCESS;
}

void PostDiagnostic(Diagnostics* diagnostics, const char* state,
                    const char* format, ...) {
  diagnostics->fromTarget = false;
  diagnostics->returnCode = SQL_ERROR;
  if (diagnostics->count >= static_cast<int>(std::size(diagnostics->records))) {
    return;
  }
  DiagnosticRecord& record = diagnostics->records[diagnostics->count++];
  std::snprintf(record.state, sizeof(record.state), "%s", state);
  int used = std::snprintf(record.message, sizeof(record.message), "%s", kComponent);
  va_list args;
  va_start(args, format);
  std::vsnprintf(record.message + used, sizeof(record.message) - used, format, args);
  va_end(args);
}

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

Descriptor* AsDescriptor(SQLHANDLE handle) {
  auto* descriptor = static_cast<Descriptor*>(handle);
  return descriptor != nullptr && descriptor->magic == kDescriptorMagic
             ? descriptor
             : nullptr;
}

namespace {

// Calls "function" of the target on the wrapped handle, whose diagnostics
// are then the target's.
template <typename Function, typename... Args>
SQLRETURN Forward(Wrapped* handle, Function function, const char* name,
                  Args... args) {
  ClearDiagnostics(&handle->diagnostics);
  if (function == nullptr) {
    PostDiagnostic(&handle->diagnostics, "IM001",
                   "the target driver %s has no %s", handle->target->path.c_str(),
                   name);
    return SQL_ERROR;
  }
  handle->diagnostics.fromTarget = true;
  return function(handle->inner, args...);
}

SQLRETURN NotConnected(Connection* connection) {
  PostDiagnostic(&connection->diagnostics, "08003", "the connection is not open");
  return SQL_ERROR;
}

template <typename Function, typename... Args>
SQLRETURN ForwardOnConnection(Connection* connection, Function function,
                              const char* name, Args... args) {
  ClearDiagnostics(&connection->diagnostics);
  if (!connection->connected) return NotConnected(connection);
  if (function == nullptr) {
    PostDiagnostic(&connection->diagnostics, "IM001",
                   "the target driver %s has no %s",
                   connection->target->path.c_str(), name);
    return SQL_ERROR;
  }
  connection->diagnostics.fromTarget = true;
  return function(connection->targetConnection, args...);
}

// Text out to an application's buffer of "length" bytes, cut and
// terminated when it does not fit.
template <typename Length>
SQLRETURN WriteText(const char* text, SQLCHAR* out, SQLSMALLINT length,
                    Length* outLength) {
  size_t size = std::strlen(text);
  if (outLength != nullptr) *outLength = static_cast<Length>(size);
  if (out == nullptr || length <= 0) return size == 0 ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
  size_t kept = size < static_cast<size_t>(length) ? size : static_cast<size_t>(length) - 1;
  std::memcpy(out, text, kept);
  out[kept] = '\0';
  return kept == size ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN OwnDiagnosticRecord(const Diagnostics& diagnostics, SQLSMALLINT record,
                              SQLCHAR* state, SQLINTEGER* native,
                              SQLCHAR* message, SQLSMALLINT length,
                              SQLSMALLINT* messageLength) {
  if (record <= 0 || length < 0) return SQL_ERROR;
  if (record > diagnostics.count) return SQL_NO_DATA;
  const DiagnosticRecord& found = diagnostics.records[record - 1];
  if (state != nullptr) std::memcpy(state, found.state, 6);
  if (native != nullptr) *native = 0;
  return WriteText(found.message, message, length, messageLength);
}

SQLRETURN OwnDiagnosticField(const Diagnostics& diagnostics, SQLSMALLINT record,
                             SQLSMALLINT field, SQLPOINTER value,
                             SQLSMALLINT length, SQLSMALLINT* valueLength) {
  auto* text = static_cast<SQLCHAR*>(value);
  switch (field) {
    case SQL_DIAG_NUMBER:
      if (value != nullptr) *static_cast<SQLINTEGER*>(value) = diagnostics.count;
      return SQL_SUCCESS;
    case SQL_DIAG_RETURNCODE:
      if (value != nullptr) *static_cast<SQLRETURN*>(value) = diagnostics.returnCode;
      return SQL_SUCCESS;
    default:
      break;
  }
  if (record <= 0) return SQL_ERROR;
  if (record > diagnostics.count) return SQL_NO_DATA;
  const DiagnosticRecord& found = diagnostics.records[record - 1];
  bool odbc = std::strncmp(found.state, "IM", 2) == 0;
  switch (field) {
    case SQL_DIAG_SQLSTATE:
      return WriteText(found.state, text, length, valueLength);
    case SQL_DIAG_MESSAGE_TEXT:
      return WriteText(found.message, text, length, valueLength);
    case SQL_DIAG_NATIVE:
      if (value != nullptr) *static_cast<SQLINTEGER*>(value) = 0;
      return SQL_SUCCESS;
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN:
      return WriteText(odbc ? "ODBC 3.0" : "ISO 9075", text, length, valueLength);
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME:
      return WriteText("", text, length, valueLength);
    default:
      return SQL_ERROR;
  }
}

// Copies the target's diagnostics of a handle that the adapter does not
// keep (the target's environment) into "diagnostics", after the adapter's
// own record that says what failed.
void CopyTargetDiagnostics(const TargetDriver* target, SQLSMALLINT type,
                           SQLHANDLE handle, Diagnostics* diagnostics) {
  for (SQLSMALLINT record = 1; record <= 2; ++record) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[512] = {0};
    SQLSMALLINT messageLength = 0;
    SQLRETURN result = target->SQLGetDiagRec(type, handle, record, state, &native,
                                             message, sizeof(message), &messageLength);
    if (!SQL_SUCCEEDED(result)) break;
    message[sizeof(message) - 1] = '\0';
    PostDiagnostic(diagnostics, reinterpret_cast<char*>(state), "the target said: %s",
                   reinterpret_cast<char*>(message));
  }
}

// Frees the target's connection and environment left from an earlier
// connect.
void ReleaseTarget(Connection* connection) {
  const TargetDriver* target = connection->target;
  if (target == nullptr) return;
  if (connection->targetConnection != SQL_NULL_HDBC) {
    target->SQLFreeHandle(SQL_HANDLE_DBC, connection->targetConnection);
  }
  if (connection->targetEnvironment != SQL_NULL_HENV) {
    target->SQLFreeHandle(SQL_HANDLE_ENV, connection->targetEnvironment);
  }
  connection->targetConnection = SQL_NULL_HDBC;
  connection->targetEnvironment = SQL_NULL_HENV;
  connection->target = nullptr;
}

// Keeps attribute "id" in "attributes" (replacing an earlier value).
// False when there is no room or the text is too long to keep.
bool Remember(Attribute* attributes, int* count, SQLINTEGER id, SQLPOINTER value,
              SQLINTEGER length, bool isText) {
  Attribute* slot = nullptr;
  for (int i = 0; i < *count; ++i) {
    if (attributes[i].id == id) slot = &attributes[i];
  }
  if (slot == nullptr) {
    if (*count >= kMaxAttributes) return false;
    slot = &attributes[(*count)++];
  }
  slot->id = id;
  slot->isText = isText;
  slot->value = value;
  if (isText) {
    size_t size = value == nullptr ? 0
                  : length == SQL_NTS ? std::strlen(static_cast<const char*>(value))
                  : length < 0        ? 0
                                      : static_cast<size_t>(length);
    if (size >= sizeof(slot->text)) return false;
    if (size != 0) std::memcpy(slot->text, value, size);
    slot->text[size] = '\0';
    slot->textLength = static_cast<SQLINTEGER>(size);
    slot->value = slot->text;
  }
  return true;
}

// The connection attributes whose values are texts; the others are
// integers or pointers, passed as the value itself.
bool IsTextAttribute(SQLINTEGER id) {
  return id == SQL_ATTR_CURRENT_CATALOG || id == SQL_ATTR_TRACEFILE ||
         id == SQL_ATTR_TRANSLATE_LIB;
}

void DeleteStatement(Statement* statement) {
  Connection* connection = statement->connection;
  {
    std::lock_guard<std::mutex> lock(connection->mutex);
    if (statement->previous != nullptr) {
      statement->previous->next = statement->next;
    } else {
      connection->statements = statement->next;
    }
    if (statement->next != nullptr) statement->next->previous = statement->previous;
  }
  for (Descriptor* d = statement->implicit; d != nullptr;) {
    Descriptor* next = d->next;
    delete d;
    d = next;
  }
  delete statement;
}

// After a disconnect, which freed the target's statements and descriptors.
void DeleteWrappers(Connection* connection) {
  while (connection->statements != nullptr) DeleteStatement(connection->statements);
  for (Descriptor* d = connection->descriptors; d != nullptr;) {
    Descriptor* next = d->next;
    delete d;
    d = next;
  }
  connection->descriptors = nullptr;
}

// Opens the target's environment and connection for the data source "dsn"
// and connects them with "connectTarget".  May throw std::bad_alloc.
template <typename ConnectTarget>
SQLRETURN Connect(Connection* connection, const std::string& dsn,
                  ConnectTarget connectTarget) {
  Diagnostics* diagnostics = &connection->diagnostics;
  if (connection->connected) {
    PostDiagnostic(diagnostics, "08002", "the connection is already open");
    return SQL_ERROR;
  }
  ReleaseTarget(connection);
  AdapterSettings settings;
  SettingsError error;
  if (!ReadAdapterSettings(dsn, &settings, &error)) {
    PostDiagnostic(diagnostics, error.state, "%s", error.message.c_str());
    return SQL_ERROR;
  }
  std::string reason;
  const TargetDriver* target = LoadTargetDriver(settings.targetPath, &reason);
  if (target == nullptr) {
    PostDiagnostic(diagnostics, "IM003", "data source '%s', Target '%s': %s",
                   dsn.c_str(), settings.target.c_str(), reason.c_str());
    return SQL_ERROR;
  }
  connection->target = target;

  SQLHENV environment = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(target->SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE,
                                            &environment))) {
    PostDiagnostic(diagnostics, "IM004",
                   "the target driver %s could not make an environment",
                   target->path.c_str());
    return SQL_ERROR;
  }
  connection->targetEnvironment = environment;
  const Environment* own = connection->environment;
  bool versionSet = false;
  for (int i = 0; i < own->attributeCount; ++i) {
    versionSet = versionSet || own->attributes[i].id == SQL_ATTR_ODBC_VERSION;
  }
  if (!versionSet && target->SQLSetEnvAttr != nullptr) {
    target->SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                          reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  for (int i = 0; i < own->attributeCount; ++i) {
    const Attribute& a = own->attributes[i];
    if (target->SQLSetEnvAttr == nullptr) break;
    SQLRETURN result = target->SQLSetEnvAttr(environment, a.id, a.value, 0);
    if (!SQL_SUCCEEDED(result) && a.id == SQL_ATTR_ODBC_VERSION) {
      PostDiagnostic(diagnostics, "IM004",
                     "the target driver %s refused the ODBC version of the "
                     "environment",
                     target->path.c_str());
      CopyTargetDiagnostics(target, SQL_HANDLE_ENV, environment, diagnostics);
      return SQL_ERROR;
    }
  }

  SQLHDBC targetConnection = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(target->SQLAllocHandle(SQL_HANDLE_DBC, environment,
                                            &targetConnection))) {
    PostDiagnostic(diagnostics, "IM005",
                   "the target driver %s could not make a connection",
                   target->path.c_str());
    CopyTargetDiagnostics(target, SQL_HANDLE_ENV, environment, diagnostics);
    return SQL_ERROR;
  }
  connection->targetConnection = targetConnection;
  for (int i = 0; i < connection->attributeCount; ++i) {
    const Attribute& a = connection->attributes[i];
    if (target->SQLSetConnectAttr == nullptr) break;
    SQLRETURN result = target->SQLSetConnectAttr(
        targetConnection, a.id, a.value, a.isText ? a.textLength : 0);
    // unixODBC tells every driver whether the application is an ANSI one;
    // a driver that does not care may refuse to hear it.
    if (!SQL_SUCCEEDED(result) && a.id != SQL_ATTR_ANSI_APP) {
      diagnostics->fromTarget = true;
      return result;
    }
  }
  SQLRETURN result = connectTarget(target, targetConnection);
  // Unless the adapter itself said why (a target without the call), the
  // target's connection holds the diagnostics.
  if (diagnostics->count == 0) diagnostics->fromTarget = true;
  if (SQL_SUCCEEDED(result)) {
    connection->connected = true;
    connection->settings = std::move(settings);
  }
  return result;
}

template <typename Body>
SQLRETURN Guarded(Diagnostics* diagnostics, Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    PostDiagnostic(diagnostics, "HY001", "out of memory");
    return SQL_ERROR;
  }
}

std::string TextOf(const SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return std::string();
  const char* bytes = reinterpret_cast<const char*>(text);
  if (length == SQL_NTS) return std::string(bytes);
  if (length < 0) return std::string();
  return std::string(bytes, static_cast<size_t>(length));
}

// The SQL text "text" of "length" bytes (or SQL_NTS) with the connection's
// rules applied, passed to "pass" as text and length.  Without rules, or
// with a length the target must refuse itself, the text goes unchanged.
template <typename Pass>
SQLRETURN WithRewrittenText(Connection* connection, Diagnostics* diagnostics,
                            SQLCHAR* text, SQLINTEGER length, Pass pass) {
  const AdapterSettings& settings = connection->settings;
  if (settings.rules.empty() || text == nullptr ||
      (length < 0 && length != SQL_NTS)) {
    return pass(text, length);
  }
  size_t size = length == SQL_NTS ? std::strlen(reinterpret_cast<char*>(text))
                                  : static_cast<size_t>(length);
  RewrittenText rewritten;
  if (!rewritten.Rewrite(settings.rules.data(), settings.rules.size(),
                         std::string_view(reinterpret_cast<char*>(text), size))) {
    if (rewritten.tooLong()) {
      PostDiagnostic(diagnostics, "HY001",
                     "the rules would make the text of %zu bytes more than "
                     "%zu bytes longer, which the adapter refuses: look for a "
                     "rule whose TO holds its FROM",
                     size, kMaxRewriteGrowth);
    } else {
      PostDiagnostic(diagnostics, "HY001",
                     "no memory for the rewritten text of %zu bytes", size);
    }
    return SQL_ERROR;
  }
  if (rewritten.length() > 0x7fffffff) {
    PostDiagnostic(diagnostics, "HY090",
                   "the rewritten text is longer than 2 GB");
    return SQL_ERROR;
  }
  return pass(reinterpret_cast<SQLCHAR*>(const_cast<char*>(rewritten.data())),
              static_cast<SQLINTEGER>(rewritten.length()));
}

// The descriptor wrapper that the application is given for the target's
// descriptor "inner" of "statement": an explicit one the application set,
// or one of the statement's own.
Descriptor* WrapperOf(Statement* statement, SQLHDESC inner) {
  Connection* connection = statement->connection;
  {
    std::lock_guard<std::mutex> lock(connection->mutex);
    for (Descriptor* d = connection->descriptors; d != nullptr; d = d->next) {
      if (d->inner == inner) return d;
    }
  }
  for (Descriptor* d = statement->implicit; d != nullptr; d = d->next) {
    if (d->inner == inner) return d;
  }
  auto* d = new (std::nothrow) Descriptor;
  if (d == nullptr) return nullptr;
  d->magic = kDescriptorMagic;
  d->connection = connection;
  d->target = statement->target;
  d->inner = inner;
  d->next = statement->implicit;
  statement->implicit = d;
  return d;
}

bool IsDescriptorAttribute(SQLINTEGER attribute) {
  return attribute == SQL_ATTR_APP_ROW_DESC || attribute == SQL_ATTR_APP_PARAM_DESC ||
         attribute == SQL_ATTR_IMP_ROW_DESC || attribute == SQL_ATTR_IMP_PARAM_DESC;
}

// The functions the adapter answers without its target.
bool IsOwnFunction(SQLUSMALLINT id) {
  return id == SQL_API_SQLALLOCHANDLE || id == SQL_API_SQLFREEHANDLE ||
         id == SQL_API_SQLGETDIAGREC || id == SQL_API_SQLGETDIAGFIELD ||
         id == SQL_API_SQLGETENVATTR || id == SQL_API_SQLSETENVATTR ||
         id == SQL_API_SQLGETFUNCTIONS;
}

void SetFunction(SQLUSMALLINT* bits, SQLUSMALLINT id) {
  bits[id >> 4] |= static_cast<SQLUSMALLINT>(1U << (id & 0xf));
}

// The functions that the adapter exports and, once connected, its target
// has too (and says it supports, where it answers SQLGetFunctions).
void SupportedFunctions(const Connection* connection,
                        SQLUSMALLINT bits[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE]) {
  std::memset(bits, 0, sizeof(SQLUSMALLINT) * SQL_API_ODBC3_ALL_FUNCTIONS_SIZE);
  const TargetDriver* target = connection->connected ? connection->target : nullptr;
  SQLUSMALLINT theirs[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE];
  bool targetAnswered =
      target != nullptr && target->SQLGetFunctions != nullptr &&
      SQL_SUCCEEDED(target->SQLGetFunctions(connection->targetConnection,
                                            SQL_API_ODBC3_ALL_FUNCTIONS, theirs));
#define VELORAN_SUPPORTED(id, name, on, params, args)                       \
  if (target == nullptr || IsOwnFunction(id) ||                             \
      (target->name != nullptr &&                                           \
       (!targetAnswered || SQL_FUNC_EXISTS(theirs, id) == SQL_TRUE))) {     \
    SetFunction(bits, id);                                                  \
  }
  VELORAN_ADAPTER_ENTRIES(VELORAN_SUPPORTED)
#undef VELORAN_SUPPORTED
}

// Where the diagnostics of handle "h" of "type" are: the adapter's own
// record, and the target's handle when the target holds them.
struct DiagnosticSource {
  const Diagnostics* diagnostics = nullptr;
  const TargetDriver* target = nullptr;
  SQLHANDLE inner = SQL_NULL_HANDLE;

  bool FromTarget() const {
    return diagnostics->fromTarget && target != nullptr &&
           inner != SQL_NULL_HANDLE;
  }
};

// Finds the diagnostics of "h"; SQL_SUCCESS, or the code to return.
SQLRETURN FindDiagnostics(SQLSMALLINT type, SQLHANDLE h,
                          DiagnosticSource* source) {
  switch (type) {
    case SQL_HANDLE_ENV:
      if (Environment* e = AsEnvironment(h)) source->diagnostics = &e->diagnostics;
      break;
    case SQL_HANDLE_DBC:
      if (Connection* c = AsConnection(h)) {
        source->diagnostics = &c->diagnostics;
        source->target = c->target;
        source->inner = c->targetConnection;
      }
      break;
    case SQL_HANDLE_STMT:
    case SQL_HANDLE_DESC: {
      Wrapped* w = type == SQL_HANDLE_STMT ? static_cast<Wrapped*>(AsStatement(h))
                                           : static_cast<Wrapped*>(AsDescriptor(h));
      if (w != nullptr) {
        source->diagnostics = &w->diagnostics;
        source->target = w->target;
        source->inner = w->inner;
      }
      break;
    }
    default:
      return SQL_ERROR;
  }
  return source->diagnostics == nullptr ? SQL_INVALID_HANDLE : SQL_SUCCESS;
}

}  // namespace
}  // namespace veloran::adapter

using namespace veloran::adapter;

// The forwarded functions of the table.
#define VELORAN_AFTER_HANDLE(...) __VA_OPT__(, ) __VA_ARGS__
#define VELORAN_FORWARD_Statement(name, params, args)                   \
  VELORAN_EXPORT SQLRETURN SQL_API name params {                        \
    Statement* statement = AsStatement(h);                              \
    if (statement == nullptr) return SQL_INVALID_HANDLE;                \
    return Forward(statement, statement->target->name,                  \
                   #name VELORAN_AFTER_HANDLE args);                    \
  }
#define VELORAN_FORWARD_Descriptor(name, params, args)                  \
  VELORAN_EXPORT SQLRETURN SQL_API name params {                        \
    Descriptor* descriptor = AsDescriptor(h);                           \
    if (descriptor == nullptr) return SQL_INVALID_HANDLE;               \
    return Forward(descriptor, descriptor->target->name,                \
                   #name VELORAN_AFTER_HANDLE args);                    \
  }
#define VELORAN_FORWARD_Connection(name, params, args)                  \
  VELORAN_EXPORT SQLRETURN SQL_API name params {                        \
    Connection* connection = AsConnection(h);                           \
    if (connection == nullptr) return SQL_INVALID_HANDLE;               \
    return ForwardOnConnection(                                         \
        connection,                                                     \
        connection->target != nullptr ? connection->target->name : nullptr, \
        #name VELORAN_AFTER_HANDLE args);                               \
  }
#define VELORAN_FORWARD_Own(name, params, args)
#define VELORAN_FORWARD(id, name, on, params, args) \
  VELORAN_FORWARD_##on(name, params, args)
VELORAN_ADAPTER_ENTRIES(VELORAN_FORWARD)
#undef VELORAN_FORWARD

// The hand-written ones, in the table's order.

VELORAN_EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE h,
                                                SQLHANDLE* out) {
  if (out == nullptr) return SQL_ERROR;
  switch (type) {
    case SQL_HANDLE_ENV: {
      auto* environment = new (std::nothrow) Environment;
      *out = environment;
      return environment != nullptr ? SQL_SUCCESS : SQL_ERROR;
    }
    case SQL_HANDLE_DBC: {
      Environment* environment = AsEnvironment(h);
      if (environment == nullptr) return SQL_INVALID_HANDLE;
      ClearDiagnostics(&environment->diagnostics);
      auto* connection = new (std::nothrow) Connection;
      *out = connection;
      if (connection == nullptr) {
        PostDiagnostic(&environment->diagnostics, "HY001", "out of memory");
        return SQL_ERROR;
      }
      connection->environment = environment;
      std::lock_guard<std::mutex> lock(environment->mutex);
      connection->next = environment->connections;
      environment->connections = connection;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT:
    case SQL_HANDLE_DESC: {
      Connection* connection = AsConnection(h);
      if (connection == nullptr) return SQL_INVALID_HANDLE;
      ClearDiagnostics(&connection->diagnostics);
      if (!connection->connected) return NotConnected(connection);
      SQLHANDLE inner = SQL_NULL_HANDLE;
      SQLRETURN result = connection->target->SQLAllocHandle(
          type, connection->targetConnection, &inner);
      connection->diagnostics.fromTarget = true;
      if (!SQL_SUCCEEDED(result)) return result;
      Wrapped* wrapped;
      if (type == SQL_HANDLE_STMT) {
        auto* statement = new (std::nothrow) Statement;
        if (statement != nullptr) {
          statement->magic = kStatementMagic;
          std::lock_guard<std::mutex> lock(connection->mutex);
          statement->next = connection->statements;
          if (statement->next != nullptr) statement->next->previous = statement;
          connection->statements = statement;
        }
        wrapped = statement;
      } else {
        auto* descriptor = new (std::nothrow) Descriptor;
        if (descriptor != nullptr) {
          descriptor->magic = kDescriptorMagic;
          std::lock_guard<std::mutex> lock(connection->mutex);
          descriptor->next = connection->descriptors;
          connection->descriptors = descriptor;
        }
        wrapped = descriptor;
      }
      if (wrapped == nullptr) {
        connection->target->SQLFreeHandle(type, inner);
        PostDiagnostic(&connection->diagnostics, "HY001", "out of memory");
        return SQL_ERROR;
      }
      wrapped->connection = connection;
      wrapped->target = connection->target;
      wrapped->inner = inner;
      *out = wrapped;
      return result;
    }
    default:
      return SQL_ERROR;
  }
}

VELORAN_EXPORT SQLRETURN SQL_API SQLConnect(SQLHDBC h, SQLCHAR* dsn,
                                            SQLSMALLINT dsnLength, SQLCHAR* user,
                                            SQLSMALLINT userLength,
                                            SQLCHAR* password,
                                            SQLSMALLINT passwordLength) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&connection->diagnostics);
  return Guarded(&connection->diagnostics, [&]() -> SQLRETURN {
    return Connect(connection, TextOf(dsn, dsnLength),
                   [&](const TargetDriver* target, SQLHDBC targetConnection) {
                     return target->SQLConnect(targetConnection, dsn, dsnLength,
                                               user, userLength, password,
                                               passwordLength);
                   });
  });
}

VELORAN_EXPORT SQLRETURN SQL_API SQLCopyDesc(SQLHDESC h, SQLHDESC to) {
  Descriptor* from = AsDescriptor(h);
  Descriptor* into = AsDescriptor(to);
  if (from == nullptr || into == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&into->diagnostics);
  if (from->target != into->target) {
    PostDiagnostic(&into->diagnostics, "HY000",
                   "the descriptors belong to different target drivers");
    return SQL_ERROR;
  }
  if (into->target->SQLCopyDesc == nullptr) {
    PostDiagnostic(&into->diagnostics, "IM001", "the target driver %s has no SQLCopyDesc",
                   into->target->path.c_str());
    return SQL_ERROR;
  }
  ClearDiagnostics(&from->diagnostics);
  from->diagnostics.fromTarget = true;
  into->diagnostics.fromTarget = true;
  return into->target->SQLCopyDesc(from->inner, into->inner);
}

VELORAN_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC h) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&connection->diagnostics);
  if (!connection->connected) return NotConnected(connection);
  SQLRETURN result = connection->target->SQLDisconnect(connection->targetConnection);
  connection->diagnostics.fromTarget = true;
  if (SQL_SUCCEEDED(result)) {
    DeleteWrappers(connection);
    connection->connected = false;
    connection->settings = AdapterSettings();
  }
  return result;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLDriverConnect(
    SQLHDBC h, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out,
    SQLSMALLINT outMax, SQLSMALLINT* outLength, SQLUSMALLINT completion) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&connection->diagnostics);
  return Guarded(&connection->diagnostics, [&]() -> SQLRETURN {
    std::string dsn = DataSourceOfConnectionString(TextOf(in, inLength));
    if (dsn.empty()) {
      PostDiagnostic(&connection->diagnostics, "IM002",
                     "the connection string names no data source: the adapter "
                     "reads its Target and rules from one, so connect with "
                     "DSN=NAME");
      return SQL_ERROR;
    }
    return Connect(connection, dsn,
                   [&](const TargetDriver* target, SQLHDBC targetConnection) -> SQLRETURN {
                     if (target->SQLDriverConnect == nullptr) {
                       PostDiagnostic(&connection->diagnostics, "IM001",
                                      "the target driver %s has no SQLDriverConnect",
                                      target->path.c_str());
                       return SQL_ERROR;
                     }
                     return target->SQLDriverConnect(targetConnection, window, in,
                                                     inLength, out, outMax,
                                                     outLength, completion);
                   });
  });
}

VELORAN_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE h,
                                            SQLSMALLINT completion) {
  if (type == SQL_HANDLE_DBC) {
    Connection* connection = AsConnection(h);
    if (connection == nullptr) return SQL_INVALID_HANDLE;
    ClearDiagnostics(&connection->diagnostics);
    if (!connection->connected) return NotConnected(connection);
    if (connection->target->SQLEndTran == nullptr) {
      PostDiagnostic(&connection->diagnostics, "IM001",
                     "the target driver %s has no SQLEndTran",
                     connection->target->path.c_str());
      return SQL_ERROR;
    }
    connection->diagnostics.fromTarget = true;
    return connection->target->SQLEndTran(SQL_HANDLE_DBC,
                                          connection->targetConnection, completion);
  }
  if (type != SQL_HANDLE_ENV) return SQL_ERROR;
  Environment* environment = AsEnvironment(h);
  if (environment == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&environment->diagnostics);
  SQLRETURN worst = SQL_SUCCESS;
  std::lock_guard<std::mutex> lock(environment->mutex);
  for (Connection* c = environment->connections; c != nullptr; c = c->next) {
    if (!c->connected || c->target->SQLEndTran == nullptr) continue;
    SQLRETURN result = c->target->SQLEndTran(SQL_HANDLE_DBC, c->targetConnection,
                                             completion);
    if (result == SQL_ERROR || (result != SQL_SUCCESS && worst == SQL_SUCCESS)) {
      worst = result;
    }
  }
  return worst;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLExecDirect(SQLHSTMT h, SQLCHAR* text,
                                               SQLINTEGER length) {
  Statement* statement = AsStatement(h);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&statement->diagnostics);
  return WithRewrittenText(statement->connection, &statement->diagnostics, text,
                           length, [&](SQLCHAR* sql, SQLINTEGER sqlLength) {
                             return Forward(statement, statement->target->SQLExecDirect,
                                            "SQLExecDirect", sql, sqlLength);
                           });
}

VELORAN_EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE h) {
  switch (type) {
    case SQL_HANDLE_ENV: {
      Environment* environment = AsEnvironment(h);
      if (environment == nullptr) return SQL_INVALID_HANDLE;
      ClearDiagnostics(&environment->diagnostics);
      if (environment->connections != nullptr) {
        PostDiagnostic(&environment->diagnostics, "HY010",
                       "the environment still has connections");
        return SQL_ERROR;
      }
      environment->magic = 0;
      delete environment;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
      Connection* connection = AsConnection(h);
      if (connection == nullptr) return SQL_INVALID_HANDLE;
      ClearDiagnostics(&connection->diagnostics);
      if (connection->connected) {
        PostDiagnostic(&connection->diagnostics, "HY010",
                       "the connection is still open");
        return SQL_ERROR;
      }
      ReleaseTarget(connection);
      Environment* environment = connection->environment;
      {
        std::lock_guard<std::mutex> lock(environment->mutex);
        Connection** link = &environment->connections;
        while (*link != connection) link = &(*link)->next;
        *link = connection->next;
      }
      connection->magic = 0;
      delete connection;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      Statement* statement = AsStatement(h);
      if (statement == nullptr) return SQL_INVALID_HANDLE;
      ClearDiagnostics(&statement->diagnostics);
      statement->diagnostics.fromTarget = true;
      SQLRETURN result =
          statement->target->SQLFreeHandle(SQL_HANDLE_STMT, statement->inner);
      if (!SQL_SUCCEEDED(result)) return result;
      statement->magic = 0;
      DeleteStatement(statement);
      return result;
    }
    case SQL_HANDLE_DESC: {
      Descriptor* descriptor = AsDescriptor(h);
      if (descriptor == nullptr) return SQL_INVALID_HANDLE;
      ClearDiagnostics(&descriptor->diagnostics);
      Connection* connection = descriptor->connection;
      std::lock_guard<std::mutex> lock(connection->mutex);
      Descriptor** link = &connection->descriptors;
      while (*link != nullptr && *link != descriptor) link = &(*link)->next;
      if (*link == nullptr) {
        PostDiagnostic(&descriptor->diagnostics, "HY017",
                       "a statement's own descriptor cannot be freed");
        return SQL_ERROR;
      }
      descriptor->diagnostics.fromTarget = true;
      SQLRETURN result =
          descriptor->target->SQLFreeHandle(SQL_HANDLE_DESC, descriptor->inner);
      if (!SQL_SUCCEEDED(result)) return result;
      *link = descriptor->next;
      descriptor->magic = 0;
      delete descriptor;
      return result;
    }
    default:
      return SQL_ERROR;
  }
}

VELORAN_EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT h, SQLUSMALLINT option) {
  if (option == SQL_DROP) return SQLFreeHandle(SQL_HANDLE_STMT, h);
  Statement* statement = AsStatement(h);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  return Forward(statement, statement->target->SQLFreeStmt, "SQLFreeStmt", option);
}

VELORAN_EXPORT SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC h, SQLINTEGER attribute,
                                                   SQLPOINTER value,
                                                   SQLINTEGER length,
                                                   SQLINTEGER* valueLength) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  return ForwardOnConnection(
      connection,
      connection->target != nullptr ? connection->target->SQLGetConnectAttr : nullptr,
      "SQLGetConnectAttr", attribute, value, length, valueLength);
}

VELORAN_EXPORT SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE h,
                                                 SQLSMALLINT record,
                                                 SQLSMALLINT field,
                                                 SQLPOINTER value,
                                                 SQLSMALLINT length,
                                                 SQLSMALLINT* valueLength) {
  DiagnosticSource source;
  if (SQLRETURN found = FindDiagnostics(type, h, &source); found != SQL_SUCCESS) {
    return found;
  }
  const TargetDriver* target = source.target;
  SQLHANDLE inner = source.inner;
  if (source.FromTarget()) {
    if (target->SQLGetDiagField == nullptr) return SQL_ERROR;
    return target->SQLGetDiagField(type, inner, record, field, value, length,
                                   valueLength);
  }
  return OwnDiagnosticField(*source.diagnostics, record, field, value, length, valueLength);
}

VELORAN_EXPORT SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE h,
                                               SQLSMALLINT record, SQLCHAR* state,
                                               SQLINTEGER* native,
                                               SQLCHAR* message,
                                               SQLSMALLINT length,
                                               SQLSMALLINT* messageLength) {
  DiagnosticSource source;
  if (SQLRETURN found = FindDiagnostics(type, h, &source); found != SQL_SUCCESS) {
    return found;
  }
  const TargetDriver* target = source.target;
  SQLHANDLE inner = source.inner;
  if (source.FromTarget()) {
    return target->SQLGetDiagRec(type, inner, record, state, native, message,
                                 length, messageLength);
  }
  return OwnDiagnosticRecord(*source.diagnostics, record, state, native, message, length,
                             messageLength);
}

VELORAN_EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV h, SQLINTEGER attribute,
                                               SQLPOINTER value, SQLINTEGER,
                                               SQLINTEGER* valueLength) {
  Environment* environment = AsEnvironment(h);
  if (environment == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&environment->diagnostics);
  // The defaults of ODBC 3, where the application set nothing.
  SQLINTEGER found = attribute == SQL_ATTR_ODBC_VERSION ? SQL_OV_ODBC3
                     : attribute == SQL_ATTR_OUTPUT_NTS ? SQL_TRUE
                                                        : 0;
  for (int i = 0; i < environment->attributeCount; ++i) {
    if (environment->attributes[i].id == attribute) {
      found = static_cast<SQLINTEGER>(
          reinterpret_cast<intptr_t>(environment->attributes[i].value));
    }
  }
  if (value != nullptr) *static_cast<SQLINTEGER*>(value) = found;
  if (valueLength != nullptr) *valueLength = sizeof(SQLINTEGER);
  return SQL_SUCCESS;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLGetFunctions(SQLHDBC h, SQLUSMALLINT function,
                                                 SQLUSMALLINT* supported) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&connection->diagnostics);
  if (supported == nullptr) return SQL_ERROR;
  SQLUSMALLINT bits[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE];
  SupportedFunctions(connection, bits);
  if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
    std::memcpy(supported, bits, sizeof(bits));
  } else if (function == SQL_API_ALL_FUNCTIONS) {
    for (SQLUSMALLINT id = 0; id < 100; ++id) supported[id] = SQL_FUNC_EXISTS(bits, id);
  } else {
    *supported = function < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * 16
                     ? SQL_FUNC_EXISTS(bits, function)
                     : SQL_FALSE;
  }
  return SQL_SUCCESS;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT h, SQLINTEGER attribute,
                                                SQLPOINTER value, SQLINTEGER length,
                                                SQLINTEGER* valueLength) {
  Statement* statement = AsStatement(h);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  SQLRETURN result = Forward(statement, statement->target->SQLGetStmtAttr,
                             "SQLGetStmtAttr", attribute, value, length, valueLength);
  if (SQL_SUCCEEDED(result) && IsDescriptorAttribute(attribute) && value != nullptr) {
    // The target's descriptor, handed out as the adapter's.
    SQLHDESC* descriptor = static_cast<SQLHDESC*>(value);
    Descriptor* wrapper = WrapperOf(statement, *descriptor);
    if (wrapper == nullptr) {
      PostDiagnostic(&statement->diagnostics, "HY001", "out of memory");
      return SQL_ERROR;
    }
    *descriptor = wrapper;
  }
  return result;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLNativeSql(SQLHDBC h, SQLCHAR* in,
                                              SQLINTEGER inLength, SQLCHAR* out,
                                              SQLINTEGER outMax,
                                              SQLINTEGER* outLength) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&connection->diagnostics);
  if (!connection->connected) return NotConnected(connection);
  return WithRewrittenText(
      connection, &connection->diagnostics, in, inLength,
      [&](SQLCHAR* sql, SQLINTEGER sqlLength) {
        return ForwardOnConnection(connection, connection->target->SQLNativeSql,
                                   "SQLNativeSql", sql, sqlLength, out, outMax,
                                   outLength);
      });
}

VELORAN_EXPORT SQLRETURN SQL_API SQLPrepare(SQLHSTMT h, SQLCHAR* text,
                                            SQLINTEGER length) {
  Statement* statement = AsStatement(h);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&statement->diagnostics);
  return WithRewrittenText(statement->connection, &statement->diagnostics, text,
                           length, [&](SQLCHAR* sql, SQLINTEGER sqlLength) {
                             return Forward(statement, statement->target->SQLPrepare,
                                            "SQLPrepare", sql, sqlLength);
                           });
}

VELORAN_EXPORT SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC h, SQLINTEGER attribute,
                                                   SQLPOINTER value,
                                                   SQLINTEGER length) {
  Connection* connection = AsConnection(h);
  if (connection == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&connection->diagnostics);
  if (connection->connected) {
    SQLRETURN result = ForwardOnConnection(
        connection, connection->target->SQLSetConnectAttr, "SQLSetConnectAttr",
        attribute, value, length);
    if (!SQL_SUCCEEDED(result)) return result;
  }
  // Kept for the target's connection at the next connect.
  if (!Remember(connection->attributes, &connection->attributeCount, attribute,
                value, length, IsTextAttribute(attribute))) {
    PostDiagnostic(&connection->diagnostics, "HY024",
                   "the adapter keeps at most %d connection attributes, texts "
                   "of at most 1023 bytes",
                   kMaxAttributes);
    return SQL_ERROR;
  }
  if (connection->connected) connection->diagnostics.fromTarget = true;
  return SQL_SUCCESS;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV h, SQLINTEGER attribute,
                                               SQLPOINTER value, SQLINTEGER length) {
  Environment* environment = AsEnvironment(h);
  if (environment == nullptr) return SQL_INVALID_HANDLE;
  ClearDiagnostics(&environment->diagnostics);
  if (!Remember(environment->attributes, &environment->attributeCount, attribute,
                value, length, false)) {
    PostDiagnostic(&environment->diagnostics, "HY024",
                   "the adapter keeps at most %d environment attributes",
                   kMaxAttributes);
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

VELORAN_EXPORT SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT h, SQLINTEGER attribute,
                                                SQLPOINTER value, SQLINTEGER length) {
  Statement* statement = AsStatement(h);
  if (statement == nullptr) return SQL_INVALID_HANDLE;
  if ((attribute == SQL_ATTR_APP_ROW_DESC || attribute == SQL_ATTR_APP_PARAM_DESC) &&
      value != nullptr) {
    // The application's descriptor is the adapter's wrapper: the target
    // gets its own.
    Descriptor* descriptor = AsDescriptor(value);
    if (descriptor == nullptr || descriptor->target != statement->target) {
      ClearDiagnostics(&statement->diagnostics);
      PostDiagnostic(&statement->diagnostics, "HY024",
                     "the value is no descriptor of this connection");
      return SQL_ERROR;
    }
    value = descriptor->inner;
  }
  return Forward(statement, statement->target->SQLSetStmtAttr, "SQLSetStmtAttr",
                 attribute, value, length);
}
