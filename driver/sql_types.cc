#include "driver/sql_types.h"

#include <strings.h>
#include <cstdlib>
#include <cstring>

namespace veloran::odbc {

namespace {

// A width for texts and blobs whose declaration gives none.  SQLite sets
// no limit: longer values arrive in pieces through SQLGetData, or cut with
// 01004 in a bound buffer.
constexpr SQLULEN kDefaultTextSize = 255;

ColumnType Make(SQLSMALLINT sqlType, SQLULEN columnSize,
                SQLSMALLINT decimalDigits, SQLLEN displaySize,
                SQLSMALLINT defaultCType, const char* typeName) {
  ColumnType type;
  type.sqlType = sqlType;
  type.columnSize = columnSize;
  type.decimalDigits = decimalDigits;
  type.displaySize = displaySize;
  type.defaultCType = defaultCType;
  type.typeName = typeName;
  return type;
}

ColumnType Integer() {
  return Make(SQL_BIGINT, 19, 0, 20, SQL_C_SBIGINT, "INTEGER");
}
ColumnType Real() { return Make(SQL_DOUBLE, 15, 0, 24, SQL_C_DOUBLE, "REAL"); }
ColumnType Text(SQLULEN size) {
  return Make(SQL_VARCHAR, size, 0, static_cast<SQLLEN>(size), SQL_C_CHAR,
              "TEXT");
}
ColumnType Blob(SQLULEN size) {
  return Make(SQL_VARBINARY, size, 0, static_cast<SQLLEN>(2 * size),
              SQL_C_BINARY, "BLOB");
}

bool Contains(const char* text, const char* word) {
  size_t length = std::strlen(word);
  for (const char* p = text; *p != '\0'; ++p) {
    if (strncasecmp(p, word, length) == 0) return true;
  }
  return false;
}

// The first word of a declaration, compared without case.
bool IsNamed(const char* declaredType, const char* name) {
  size_t length = std::strlen(name);
  if (strncasecmp(declaredType, name, length) != 0) return false;
  char next = declaredType[length];
  return next == '\0' || next == ' ' || next == '(';
}

// The size in "VARCHAR(20)", or the default.
SQLULEN DeclaredSize(const char* declaredType) {
  const char* open = std::strchr(declaredType, '(');
  if (open == nullptr) return kDefaultTextSize;
  long size = std::strtol(open + 1, nullptr, 10);
  return size > 0 ? static_cast<SQLULEN>(size) : kDefaultTextSize;
}

}  // namespace

bool DescribeDeclaredType(const char* declaredType, ColumnType* type) {
  if (declaredType == nullptr || declaredType[0] == '\0') return false;
  if (IsNamed(declaredType, "DATE")) {
    *type = Make(SQL_TYPE_DATE, 10, 0, 10, SQL_C_TYPE_DATE, "DATE");
  } else if (IsNamed(declaredType, "TIME")) {
    *type = Make(SQL_TYPE_TIME, 8, 0, 8, SQL_C_TYPE_TIME, "TIME");
  } else if (IsNamed(declaredType, "DATETIME") ||
             IsNamed(declaredType, "TIMESTAMP")) {
    *type =
        Make(SQL_TYPE_TIMESTAMP, 23, 3, 23, SQL_C_TYPE_TIMESTAMP, "TIMESTAMP");
  } else if (Contains(declaredType, "INT")) {
    *type = Integer();
  } else if (Contains(declaredType, "CHAR") || Contains(declaredType, "CLOB") ||
             Contains(declaredType, "TEXT")) {
    *type = Text(DeclaredSize(declaredType));
  } else if (Contains(declaredType, "BLOB")) {
    *type = Blob(DeclaredSize(declaredType));
  } else if (Contains(declaredType, "REAL") || Contains(declaredType, "FLOA") ||
             Contains(declaredType, "DOUB")) {
    *type = Real();
  } else {
    return false;
  }
  return true;
}

ColumnType DescribeStorageClass(int storageClass) {
  switch (storageClass) {
    case SQLITE_INTEGER:
      return Integer();
    case SQLITE_FLOAT:
      return Real();
    case SQLITE_BLOB:
      return Blob(kDefaultTextSize);
    default:
      return Text(kDefaultTextSize);
  }
}

}  // namespace veloran::odbc
