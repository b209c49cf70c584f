#include "driver/driver_info.h"

#include <cstring>
#include <string>

#include "driver/text_output.h"

namespace veloran::odbc {

const SQLUSMALLINT kExportedFunctions[] = {
    SQL_API_SQLALLOCCONNECT,
    SQL_API_SQLALLOCENV,
    SQL_API_SQLALLOCHANDLE,
    SQL_API_SQLALLOCSTMT,
    SQL_API_SQLBINDCOL,
    SQL_API_SQLBINDPARAMETER,
    SQL_API_SQLCANCEL,
    SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLCOLATTRIBUTE,
    SQL_API_SQLCOLUMNS,
    SQL_API_SQLCONNECT,
    SQL_API_SQLDESCRIBECOL,
    SQL_API_SQLDISCONNECT,
    SQL_API_SQLDRIVERCONNECT,
    SQL_API_SQLENDTRAN,
    SQL_API_SQLERROR,
    SQL_API_SQLEXECDIRECT,
    SQL_API_SQLEXECUTE,
    SQL_API_SQLFETCH,
    SQL_API_SQLFREECONNECT,
    SQL_API_SQLFREEENV,
    SQL_API_SQLFREEHANDLE,
    SQL_API_SQLFREESTMT,
    SQL_API_SQLGETCONNECTATTR,
    SQL_API_SQLGETDATA,
    SQL_API_SQLGETDIAGFIELD,
    SQL_API_SQLGETDIAGREC,
    SQL_API_SQLGETENVATTR,
    SQL_API_SQLGETFUNCTIONS,
    SQL_API_SQLGETINFO,
    SQL_API_SQLGETSTMTATTR,
    SQL_API_SQLGETTYPEINFO,
    SQL_API_SQLMORERESULTS,
    SQL_API_SQLNUMPARAMS,
    SQL_API_SQLNUMRESULTCOLS,
    SQL_API_SQLPREPARE,
    SQL_API_SQLROWCOUNT,
    SQL_API_SQLSETCONNECTATTR,
    SQL_API_SQLSETCONNECTOPTION,
    SQL_API_SQLSETENVATTR,
    SQL_API_SQLSETSTMTATTR,
    SQL_API_SQLTABLES,
};
const int kExportedFunctionCount =
    sizeof(kExportedFunctions) / sizeof(kExportedFunctions[0]);

SQLRETURN GetFunctions(SQLUSMALLINT function, SQLUSMALLINT* supported) {
  if (supported == nullptr) return SQL_SUCCESS;
  if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
    std::memset(supported, 0,
                SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * sizeof(SQLUSMALLINT));
    for (int i = 0; i < kExportedFunctionCount; ++i) {
      SQLUSMALLINT id = kExportedFunctions[i];
      supported[id >> 4] |= static_cast<SQLUSMALLINT>(1 << (id & 0xF));
    }
    return SQL_SUCCESS;
  }
  if (function == SQL_API_ALL_FUNCTIONS) {
    // The ODBC 2 form: one entry for each identifier below 100.
    std::memset(supported, 0, 100 * sizeof(SQLUSMALLINT));
    for (int i = 0; i < kExportedFunctionCount; ++i) {
      if (kExportedFunctions[i] < 100)
        supported[kExportedFunctions[i]] = SQL_TRUE;
    }
    return SQL_SUCCESS;
  }
  *supported = SQL_FALSE;
  for (int i = 0; i < kExportedFunctionCount; ++i) {
    if (kExportedFunctions[i] == function) *supported = SQL_TRUE;
  }
  return SQL_SUCCESS;
}

namespace {

enum class InfoKind { kText, kSmall, kInteger };

struct InfoEntry {
  SQLUSMALLINT type;
  InfoKind kind;
  const char* text;
  SQLUINTEGER value;
};

#define TEXT_INFO(type, text) \
  { type, InfoKind::kText, text, 0 }
#define SMALL_INFO(type, value) \
  { type, InfoKind::kSmall, nullptr, value }
#define INTEGER_INFO(type, value) \
  { type, InfoKind::kInteger, nullptr, value }

// Fixed answers.  A read-only forward-only driver: no scrolling, no
// positioned updates, no escapes translated, no procedures, no batches.
const InfoEntry kInfo[] = {
    TEXT_INFO(SQL_DRIVER_NAME, "veloran_odbc.so"),
    TEXT_INFO(SQL_DRIVER_VER, "01.00.0000"),
    TEXT_INFO(SQL_DRIVER_ODBC_VER, "03.00"),
    TEXT_INFO(SQL_DBMS_NAME, "SQLite"),
    TEXT_INFO(SQL_DATA_SOURCE_READ_ONLY, "Y"),
    TEXT_INFO(SQL_ACCESSIBLE_TABLES, "Y"),
    TEXT_INFO(SQL_ACCESSIBLE_PROCEDURES, "N"),
    TEXT_INFO(SQL_PROCEDURES, "N"),
    TEXT_INFO(SQL_IDENTIFIER_QUOTE_CHAR, "\""),
    TEXT_INFO(SQL_SEARCH_PATTERN_ESCAPE, "\\"),
    TEXT_INFO(SQL_CATALOG_NAME, "N"),
    TEXT_INFO(SQL_CATALOG_NAME_SEPARATOR, ""),
    TEXT_INFO(SQL_CATALOG_TERM, ""),
    TEXT_INFO(SQL_SCHEMA_TERM, ""),
    TEXT_INFO(SQL_TABLE_TERM, "table"),
    TEXT_INFO(SQL_PROCEDURE_TERM, ""),
    TEXT_INFO(SQL_USER_NAME, ""),
    TEXT_INFO(SQL_SERVER_NAME, ""),
    TEXT_INFO(SQL_XOPEN_CLI_YEAR, "1995"),
    TEXT_INFO(SQL_MULT_RESULT_SETS, "N"),
    TEXT_INFO(SQL_MULTIPLE_ACTIVE_TXN, "Y"),
    TEXT_INFO(SQL_NEED_LONG_DATA_LEN, "N"),
    TEXT_INFO(SQL_EXPRESSIONS_IN_ORDERBY, "Y"),
    TEXT_INFO(SQL_ORDER_BY_COLUMNS_IN_SELECT, "N"),
    TEXT_INFO(SQL_COLUMN_ALIAS, "Y"),
    TEXT_INFO(SQL_LIKE_ESCAPE_CLAUSE, "Y"),
    TEXT_INFO(SQL_OUTER_JOINS, "Y"),
    TEXT_INFO(SQL_DESCRIBE_PARAMETER, "N"),
    TEXT_INFO(SQL_ROW_UPDATES, "N"),
    TEXT_INFO(SQL_INTEGRITY, "N"),
    TEXT_INFO(SQL_MAX_ROW_SIZE_INCLUDES_LONG, "N"),
    TEXT_INFO(SQL_COLLATION_SEQ, "BINARY"),
    TEXT_INFO(SQL_KEYWORDS, ""),
    TEXT_INFO(SQL_SPECIAL_CHARACTERS, ""),
    SMALL_INFO(SQL_MAX_DRIVER_CONNECTIONS, 0),
    SMALL_INFO(SQL_MAX_CONCURRENT_ACTIVITIES, 0),
    SMALL_INFO(SQL_CURSOR_COMMIT_BEHAVIOR, SQL_CB_PRESERVE),
    SMALL_INFO(SQL_CURSOR_ROLLBACK_BEHAVIOR, SQL_CB_PRESERVE),
    SMALL_INFO(SQL_TXN_CAPABLE, SQL_TC_DML),
    SMALL_INFO(SQL_CONCAT_NULL_BEHAVIOR, SQL_CB_NULL),
    SMALL_INFO(SQL_CORRELATION_NAME, SQL_CN_ANY),
    SMALL_INFO(SQL_GROUP_BY, SQL_GB_NO_RELATION),
    SMALL_INFO(SQL_IDENTIFIER_CASE, SQL_IC_MIXED),
    SMALL_INFO(SQL_QUOTED_IDENTIFIER_CASE, SQL_IC_MIXED),
    SMALL_INFO(SQL_NON_NULLABLE_COLUMNS, SQL_NNC_NON_NULL),
    SMALL_INFO(SQL_NULL_COLLATION, SQL_NC_LOW),
    SMALL_INFO(SQL_FILE_USAGE, SQL_FILE_NOT_SUPPORTED),
    SMALL_INFO(SQL_ODBC_API_CONFORMANCE, SQL_OAC_LEVEL1),
    SMALL_INFO(SQL_ODBC_SQL_CONFORMANCE, SQL_OSC_MINIMUM),
    SMALL_INFO(SQL_MAX_COLUMN_NAME_LEN, 0),
    SMALL_INFO(SQL_MAX_TABLE_NAME_LEN, 0),
    SMALL_INFO(SQL_MAX_SCHEMA_NAME_LEN, 0),
    SMALL_INFO(SQL_MAX_CATALOG_NAME_LEN, 0),
    SMALL_INFO(SQL_MAX_CURSOR_NAME_LEN, 0),
    SMALL_INFO(SQL_MAX_IDENTIFIER_LEN, 0),
    SMALL_INFO(SQL_MAX_COLUMNS_IN_SELECT, 2000),
    SMALL_INFO(SQL_MAX_COLUMNS_IN_TABLE, 2000),
    SMALL_INFO(SQL_MAX_TABLES_IN_SELECT, 64),
    SMALL_INFO(SQL_MAX_COLUMNS_IN_GROUP_BY, 0),
    SMALL_INFO(SQL_MAX_COLUMNS_IN_ORDER_BY, 0),
    SMALL_INFO(SQL_MAX_COLUMNS_IN_INDEX, 0),
    SMALL_INFO(SQL_MAX_USER_NAME_LEN, 0),
    SMALL_INFO(SQL_MAX_PROCEDURE_NAME_LEN, 0),
    SMALL_INFO(SQL_ACTIVE_ENVIRONMENTS, 0),
    INTEGER_INFO(SQL_ODBC_INTERFACE_CONFORMANCE, SQL_OIC_CORE),
    INTEGER_INFO(SQL_SQL_CONFORMANCE, SQL_SC_SQL92_ENTRY),
    INTEGER_INFO(SQL_GETDATA_EXTENSIONS,
                 SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND),
    INTEGER_INFO(SQL_SCROLL_OPTIONS, SQL_SO_FORWARD_ONLY),
    INTEGER_INFO(SQL_FETCH_DIRECTION, SQL_FD_FETCH_NEXT),
    INTEGER_INFO(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, SQL_CA1_NEXT),
    INTEGER_INFO(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2,
                 SQL_CA2_READ_ONLY_CONCURRENCY),
    INTEGER_INFO(SQL_STATIC_CURSOR_ATTRIBUTES1, 0),
    INTEGER_INFO(SQL_STATIC_CURSOR_ATTRIBUTES2, 0),
    INTEGER_INFO(SQL_DYNAMIC_CURSOR_ATTRIBUTES1, 0),
    INTEGER_INFO(SQL_DYNAMIC_CURSOR_ATTRIBUTES2, 0),
    INTEGER_INFO(SQL_KEYSET_CURSOR_ATTRIBUTES1, 0),
    INTEGER_INFO(SQL_KEYSET_CURSOR_ATTRIBUTES2, 0),
    INTEGER_INFO(SQL_CURSOR_SENSITIVITY, SQL_INSENSITIVE),
    INTEGER_INFO(SQL_SCROLL_CONCURRENCY, SQL_SCCO_READ_ONLY),
    INTEGER_INFO(SQL_LOCK_TYPES, 0),
    INTEGER_INFO(SQL_POS_OPERATIONS, 0),
    INTEGER_INFO(SQL_POSITIONED_STATEMENTS, 0),
    INTEGER_INFO(SQL_STATIC_SENSITIVITY, 0),
    INTEGER_INFO(SQL_BOOKMARK_PERSISTENCE, 0),
    INTEGER_INFO(SQL_TXN_ISOLATION_OPTION, SQL_TXN_SERIALIZABLE),
    INTEGER_INFO(SQL_DEFAULT_TXN_ISOLATION, SQL_TXN_SERIALIZABLE),
    INTEGER_INFO(SQL_ASYNC_MODE, SQL_AM_NONE),
    INTEGER_INFO(SQL_MAX_ASYNC_CONCURRENT_STATEMENTS, 0),
    INTEGER_INFO(SQL_BATCH_SUPPORT, 0),
    INTEGER_INFO(SQL_BATCH_ROW_COUNT, 0),
    INTEGER_INFO(SQL_PARAM_ARRAY_ROW_COUNTS, SQL_PARC_NO_BATCH),
    INTEGER_INFO(SQL_PARAM_ARRAY_SELECTS, SQL_PAS_NO_SELECT),
    INTEGER_INFO(SQL_DATETIME_LITERALS, 0),
    INTEGER_INFO(SQL_TIMEDATE_FUNCTIONS, 0),
    INTEGER_INFO(SQL_NUMERIC_FUNCTIONS, 0),
    INTEGER_INFO(SQL_STRING_FUNCTIONS, 0),
    INTEGER_INFO(SQL_SYSTEM_FUNCTIONS, 0),
    INTEGER_INFO(SQL_CONVERT_FUNCTIONS, 0),
    INTEGER_INFO(SQL_TIMEDATE_ADD_INTERVALS, 0),
    INTEGER_INFO(SQL_TIMEDATE_DIFF_INTERVALS, 0),
    INTEGER_INFO(SQL_AGGREGATE_FUNCTIONS,
                 SQL_AF_ALL | SQL_AF_AVG | SQL_AF_COUNT | SQL_AF_DISTINCT |
                     SQL_AF_MAX | SQL_AF_MIN | SQL_AF_SUM),
    INTEGER_INFO(SQL_OJ_CAPABILITIES, SQL_OJ_LEFT | SQL_OJ_RIGHT | SQL_OJ_FULL |
                                          SQL_OJ_NESTED | SQL_OJ_NOT_ORDERED |
                                          SQL_OJ_INNER |
                                          SQL_OJ_ALL_COMPARISON_OPS),
    INTEGER_INFO(SQL_UNION, SQL_U_UNION | SQL_U_UNION_ALL),
    INTEGER_INFO(SQL_SUBQUERIES, SQL_SQ_COMPARISON | SQL_SQ_EXISTS | SQL_SQ_IN |
                                     SQL_SQ_CORRELATED_SUBQUERIES),
    INTEGER_INFO(SQL_CATALOG_USAGE, 0),
    INTEGER_INFO(SQL_SCHEMA_USAGE, 0),
    INTEGER_INFO(SQL_CATALOG_LOCATION, 0),
    INTEGER_INFO(SQL_ALTER_TABLE, 0),
    INTEGER_INFO(SQL_CREATE_TABLE, 0),
    INTEGER_INFO(SQL_CREATE_VIEW, 0),
    INTEGER_INFO(SQL_DROP_TABLE, 0),
    INTEGER_INFO(SQL_DROP_VIEW, 0),
    INTEGER_INFO(SQL_DDL_INDEX, 0),
    INTEGER_INFO(SQL_INDEX_KEYWORDS, SQL_IK_NONE),
    INTEGER_INFO(SQL_INSERT_STATEMENT, 0),
    INTEGER_INFO(SQL_INFO_SCHEMA_VIEWS, 0),
    INTEGER_INFO(SQL_MAX_ROW_SIZE, 0),
    INTEGER_INFO(SQL_MAX_STATEMENT_LEN, 0),
    INTEGER_INFO(SQL_MAX_CHAR_LITERAL_LEN, 0),
    INTEGER_INFO(SQL_MAX_BINARY_LITERAL_LEN, 0),
    INTEGER_INFO(SQL_MAX_INDEX_SIZE, 0),
    INTEGER_INFO(SQL_SQL92_PREDICATES, 0),
    INTEGER_INFO(SQL_SQL92_RELATIONAL_JOIN_OPERATORS, 0),
    INTEGER_INFO(SQL_SQL92_VALUE_EXPRESSIONS, 0),
    INTEGER_INFO(SQL_SQL92_STRING_FUNCTIONS, 0),
    INTEGER_INFO(SQL_SQL92_NUMERIC_VALUE_FUNCTIONS, 0),
    INTEGER_INFO(SQL_SQL92_DATETIME_FUNCTIONS, 0),
    INTEGER_INFO(SQL_SQL92_GRANT, 0),
    INTEGER_INFO(SQL_SQL92_REVOKE, 0),
    INTEGER_INFO(SQL_SQL92_ROW_VALUE_CONSTRUCTOR, 0),
    INTEGER_INFO(SQL_SQL92_FOREIGN_KEY_DELETE_RULE, 0),
    INTEGER_INFO(SQL_SQL92_FOREIGN_KEY_UPDATE_RULE, 0),
    INTEGER_INFO(SQL_STANDARD_CLI_CONFORMANCE, 0),
};

#undef TEXT_INFO
#undef SMALL_INFO
#undef INTEGER_INFO

SQLRETURN WriteInfoText(Connection* connection, const char* text,
                        SQLPOINTER value, SQLSMALLINT bufferLength,
                        SQLSMALLINT* length) {
  if (WriteOutputText(text, std::strlen(text), static_cast<SQLCHAR*>(value),
                      bufferLength, length)) {
    return SQL_SUCCESS;
  }
  PostDiagnostic(&connection->diagnostics, "01004", kDriverComponent,
                 "string data, right truncated");
  return SQL_SUCCESS_WITH_INFO;
}

}  // namespace

SQLRETURN GetInfo(Connection* connection, SQLUSMALLINT infoType,
                  SQLPOINTER value, SQLSMALLINT bufferLength,
                  SQLSMALLINT* length) {
  switch (infoType) {
    case SQL_DATA_SOURCE_NAME:
      return WriteInfoText(connection, connection->dataSourceName.c_str(),
                           value, bufferLength, length);
    case SQL_DATABASE_NAME:
      return WriteInfoText(connection, connection->databasePath.c_str(), value,
                           bufferLength, length);
    case SQL_DBMS_VER:
      return WriteInfoText(connection, sqlite3_libversion(), value,
                           bufferLength, length);
    default:
      break;
  }
  for (const InfoEntry& entry : kInfo) {
    if (entry.type != infoType) continue;
    switch (entry.kind) {
      case InfoKind::kText:
        return WriteInfoText(connection, entry.text, value, bufferLength,
                             length);
      case InfoKind::kSmall: {
        SQLUSMALLINT small = static_cast<SQLUSMALLINT>(entry.value);
        if (value != nullptr) std::memcpy(value, &small, sizeof(small));
        if (length != nullptr) *length = sizeof(small);
        return SQL_SUCCESS;
      }
      case InfoKind::kInteger: {
        SQLUINTEGER integer = entry.value;
        if (value != nullptr) std::memcpy(value, &integer, sizeof(integer));
        if (length != nullptr) *length = sizeof(integer);
        return SQL_SUCCESS;
      }
    }
  }
  PostDiagnostic(&connection->diagnostics, "HY096", kDriverComponent,
                 "information type %u is not known", infoType);
  return SQL_ERROR;
}

}  // namespace veloran::odbc
