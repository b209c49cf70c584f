#ifndef VELORAN_ADAPTER_HANDLES_H_
#define VELORAN_ADAPTER_HANDLES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <mutex>

#include "adapter/adapter_settings.h"
#include "adapter/target_driver.h"

// The adapter's handles.  Environments and connections exist before the
// target is known, so they are the adapter's own and remember what is set
// on them until the connect, which opens the target's environment and
// connection and sets it there.  Statements and descriptors wrap the
// target's handles: each knows its target, whose functions take it.

namespace veloran::adapter {

inline constexpr uint32_t kEnvironmentMagic = 0x41454e56;  // "AENV"
inline constexpr uint32_t kConnectionMagic = 0x4144424b;   // "ADBK"
inline constexpr uint32_t kStatementMagic = 0x4153544d;    // "ASTM"
inline constexpr uint32_t kDescriptorMagic = 0x41445343;   // "ADSC"

inline constexpr char kComponent[] = "[Veloran][Adapter]";

struct DiagnosticRecord {
  char state[6];
  char message[1024];
};

// A handle's diagnostics: the adapter's own records, or, when the last call
// on the handle went to the target, the target's, read from its handle.
struct Diagnostics {
  bool fromTarget = false;
  int count = 0;
  SQLRETURN returnCode = SQL_SUCCESS;
  DiagnosticRecord records[4];
};

void ClearDiagnostics(Diagnostics* diagnostics);
void PostDiagnostic(Diagnostics* diagnostics, const char* state,
                    const char* format, ...) __attribute__((format(printf, 3, 4)));

// A value set with SQLSetEnvAttr or SQLSetConnectAttr, kept to be set on
// the target's handle at connect: an integer (or pointer) or a text.
struct Attribute {
  SQLINTEGER id = 0;
  SQLPOINTER value = nullptr;
  bool isText = false;
  SQLINTEGER textLength = 0;
  char text[1024];
};

inline constexpr int kMaxAttributes = 16;

struct Connection;

struct Environment {
  uint32_t magic = kEnvironmentMagic;
  std::mutex mutex;  // guards "connections"
  Diagnostics diagnostics;
  Attribute attributes[kMaxAttributes];
  int attributeCount = 0;
  Connection* connections = nullptr;  // a list through Connection::next
};

struct Statement;
struct Descriptor;

struct Connection {
  uint32_t magic = kConnectionMagic;
  Environment* environment = nullptr;
  Connection* next = nullptr;  // in the environment's list
  std::mutex mutex;            // guards "statements" and "descriptors"
  Diagnostics diagnostics;
  Attribute attributes[kMaxAttributes];
  int attributeCount = 0;
  // From the connect on (kept after a failed connect, for its diagnostics).
  const TargetDriver* target = nullptr;
  SQLHENV targetEnvironment = SQL_NULL_HENV;
  SQLHDBC targetConnection = SQL_NULL_HDBC;
  bool connected = false;
  AdapterSettings settings;  // the rules, while connected
  Statement* statements = nullptr;    // a list through Statement::next
  Descriptor* descriptors = nullptr;  // explicit ones, through Descriptor::next
};

// What statements and descriptors share: their target and its handle.
struct Wrapped {
  uint32_t magic;
  Connection* connection;
  const TargetDriver* target;
  SQLHANDLE inner;
  Diagnostics diagnostics;
};

struct Descriptor : Wrapped {
  Descriptor* next = nullptr;
};

struct Statement : Wrapped {
  Statement* previous = nullptr;
  Statement* next = nullptr;
  // The wrappers of the target's descriptors that SQLGetStmtAttr handed
  // out for this statement (its implicit ones), a list through next.
  Descriptor* implicit = nullptr;
};

Environment* AsEnvironment(SQLHANDLE handle);
Connection* AsConnection(SQLHANDLE handle);
Statement* AsStatement(SQLHANDLE handle);
Descriptor* AsDescriptor(SQLHANDLE handle);

}  // namespace veloran::adapter

#endif  // VELORAN_ADAPTER_HANDLES_H_
