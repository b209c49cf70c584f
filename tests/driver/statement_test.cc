// The statement entry points through the driver manager: prepared and
// direct execution, parameters of every usual C type, result descriptions,
// cursors, attributes, catalog functions and what the driver says of
// itself.
#include <dlfcn.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

SQLCHAR* Sql(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

class StatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = FreshDirectory("statement") + "/stars.db";
    CreateDatabase(path_,
                   "CREATE TABLE Stars(ID INTEGER PRIMARY KEY, Name TEXT, "
                   "Distance REAL, Seen DATE, Photo BLOB);"
                   "CREATE VIEW Near AS SELECT Name FROM Stars "
                   "WHERE Distance < 10;"
                   "INSERT INTO Stars VALUES (100, 'Sol', 0.0, '2024-02-29', "
                   "NULL), (200, 'Sirius', 8.6, NULL, x'0102'), "
                   "(300, 'Vega', 25.04, '2023-01-01', NULL);");
    ASSERT_EQ(session_.ConnectString("Database=" + path_ + ";"), SQL_SUCCESS);
    statement_ = session_.NewStatement();
  }

  std::string path_;
  Session session_;
  SQLHSTMT statement_ = SQL_NULL_HSTMT;
};

TEST_F(StatementTest, OldAndNewHandleFunctionsWork) {
  SQLHENV environment = SQL_NULL_HENV;
  ASSERT_EQ(SQLAllocEnv(&environment), SQL_SUCCESS);
  SQLHDBC connection = SQL_NULL_HDBC;
  ASSERT_EQ(SQLAllocConnect(environment, &connection), SQL_SUCCESS);
  std::string text = "Driver=" + DriverPath() + ";Database=" + path_ + ";";
  ASSERT_EQ(SQLDriverConnect(connection, nullptr, Sql(text.c_str()), SQL_NTS,
                             nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
            SQL_SUCCESS);
  SQLHSTMT statement = SQL_NULL_HSTMT;
  ASSERT_EQ(SQLAllocStmt(connection, &statement), SQL_SUCCESS);
  ASSERT_EQ(Execute(statement, "SELECT COUNT(*) FROM Stars"), SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(statement), (std::vector<std::string>{"3"}));
  EXPECT_EQ(SQLFreeStmt(statement, SQL_DROP), SQL_SUCCESS);
  // A statement left allocated goes with the connection.
  ASSERT_EQ(SQLAllocStmt(connection, &statement), SQL_SUCCESS);
  ASSERT_EQ(Execute(statement, "SELECT Name FROM Stars"), SQL_SUCCESS);
  EXPECT_EQ(SQLDisconnect(connection), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeConnect(connection), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeEnv(environment), SQL_SUCCESS);
}

TEST_F(StatementTest, PreparedStatementsRunAgainWithNewParameters) {
  ASSERT_EQ(SQLPrepare(statement_,
                       Sql("SELECT Name FROM Stars WHERE ID = ? OR Name = ?"),
                       SQL_NTS),
            SQL_SUCCESS);
  SQLSMALLINT count = 0;
  EXPECT_EQ(SQLNumParams(statement_, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 2);
  SQLINTEGER id = 0;
  char name[32] = "";
  SQLLEN nameLength = SQL_NTS;
  ASSERT_EQ(SQLBindParameter(statement_, 1, SQL_PARAM_INPUT, SQL_C_SLONG,
                             SQL_INTEGER, 0, 0, &id, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(
      SQLBindParameter(statement_, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                       31, 0, name, sizeof(name), &nameLength),
      SQL_SUCCESS);
  struct {
    SQLINTEGER id;
    const char* name;
    std::vector<std::string> rows;
  } runs[] = {{100, "", {"Sol"}},
              {999, "Vega", {"Vega"}},
              {200, "Sol", {"Sol", "Sirius"}},
              {999, "Nobody", {}}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.name);
    id = run.id;
    std::snprintf(name, sizeof(name), "%s", run.name);
    ASSERT_EQ(SQLExecute(statement_), SQL_SUCCESS);
    EXPECT_EQ(FirstColumn(statement_), run.rows);
    EXPECT_EQ(SQLFreeStmt(statement_, SQL_CLOSE), SQL_SUCCESS);
  }
  // An unbound parameter is an error, not a silent NULL.
  EXPECT_EQ(SQLFreeStmt(statement_, SQL_RESET_PARAMS), SQL_SUCCESS);
  EXPECT_EQ(SQLExecute(statement_), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), "07002");
}

TEST_F(StatementTest, ParametersOfEveryUsualCType) {
  signed char tiny = -7;
  unsigned char utiny = 250, bit = 1;
  short small = -30000;
  unsigned short usmall = 60000;
  SQLINTEGER integer = -2000000000;
  SQLUINTEGER uinteger = 4000000000u;
  SQLBIGINT big = -9000000000000000000LL;
  SQLUBIGINT ubig = 9000000000000000000ULL;
  SQLUBIGINT tooBig = 18000000000000000000ULL;
  float single = 0.1f;
  double real = 10.000000000000002;
  SQL_DATE_STRUCT date{2024, 2, 29};
  SQL_TIME_STRUCT time{23, 59, 58};
  SQL_TIMESTAMP_STRUCT stamp{2024, 2, 29, 12, 34, 56, 500000000};
  SQL_DATE_STRUCT badDate{2023, 2, 29};
  const char text[] = "Sirius B";
  const unsigned char bytes[] = {0, 1, 255};
  SQLWCHAR wide[] = {'V', 0xE9, 'g', 'a', 0};
  SQLLEN textLength = 6, bytesLength = 3, nts = SQL_NTS, null = SQL_NULL_DATA;
  struct {
    SQLSMALLINT cType;
    SQLSMALLINT sqlType;
    void* value;
    SQLLEN* indicator;
    const char* result;  // quote(?) and typeof(?), or the SQLSTATE
  } cases[] = {
      {SQL_C_STINYINT, SQL_TINYINT, &tiny, nullptr, "-7 integer"},
      {SQL_C_UTINYINT, SQL_TINYINT, &utiny, nullptr, "250 integer"},
      {SQL_C_BIT, SQL_BIT, &bit, nullptr, "1 integer"},
      {SQL_C_SSHORT, SQL_SMALLINT, &small, nullptr, "-30000 integer"},
      {SQL_C_USHORT, SQL_INTEGER, &usmall, nullptr, "60000 integer"},
      {SQL_C_SLONG, SQL_INTEGER, &integer, nullptr, "-2000000000 integer"},
      {SQL_C_ULONG, SQL_BIGINT, &uinteger, nullptr, "4000000000 integer"},
      {SQL_C_SBIGINT, SQL_BIGINT, &big, nullptr,
       "-9000000000000000000 integer"},
      {SQL_C_UBIGINT, SQL_BIGINT, &ubig, nullptr,
       "9000000000000000000 integer"},
      {SQL_C_UBIGINT, SQL_BIGINT, &tooBig, nullptr, "22003"},
      {SQL_C_FLOAT, SQL_REAL, &single, nullptr,
       "1.00000001490116119384e-01 real"},
      {SQL_C_DOUBLE, SQL_DOUBLE, &real, nullptr,
       "1.00000000000000017759e+01 real"},
      {SQL_C_TYPE_DATE, SQL_TYPE_DATE, &date, nullptr, "'2024-02-29' text"},
      {SQL_C_TYPE_TIME, SQL_TYPE_TIME, &time, nullptr, "'23:59:58' text"},
      {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, &stamp, nullptr,
       "'2024-02-29 12:34:56.5' text"},
      {SQL_C_TYPE_DATE, SQL_TYPE_DATE, &badDate, nullptr, "22007"},
      {SQL_C_CHAR, SQL_VARCHAR, const_cast<char*>(text), &nts,
       "'Sirius B' text"},
      {SQL_C_CHAR, SQL_VARCHAR, const_cast<char*>(text), &textLength,
       "'Sirius' text"},
      {SQL_C_WCHAR, SQL_WVARCHAR, wide, &nts, "'V\xc3\xa9ga' text"},
      {SQL_C_BINARY, SQL_VARBINARY, const_cast<unsigned char*>(bytes),
       &bytesLength, "X'0001FF' blob"},
      {SQL_C_SLONG, SQL_INTEGER, &integer, &null, "NULL null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    SQLFreeStmt(statement_, SQL_CLOSE);
    ASSERT_EQ(SQLBindParameter(statement_, 1, SQL_PARAM_INPUT, c.cType,
                               c.sqlType, 0, 0, c.value, 0, c.indicator),
              SQL_SUCCESS);
    SQLRETURN result =
        Execute(statement_, "SELECT quote(?1) || ' ' || typeof(?1)");
    if (std::strlen(c.result) == 5) {
      EXPECT_EQ(result, SQL_ERROR);
      EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), c.result);
      continue;
    }
    ASSERT_EQ(result, SQL_SUCCESS) << StatesOf(SQL_HANDLE_STMT, statement_);
    EXPECT_EQ(FirstColumn(statement_), (std::vector<std::string>{c.result}));
  }
  // The double arrives with every bit.
  SQLFreeStmt(statement_, SQL_CLOSE);
  ASSERT_EQ(SQLBindParameter(statement_, 1, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                             SQL_DOUBLE, 0, 0, &real, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(Execute(statement_, "SELECT ?1 = 10.000000000000002, ?1 = 10.0"),
            SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  SQLINTEGER same = 0, rounded = 1;
  SQLGetData(statement_, 1, SQL_C_SLONG, &same, 0, nullptr);
  SQLGetData(statement_, 2, SQL_C_SLONG, &rounded, 0, nullptr);
  EXPECT_EQ(same, 1);
  EXPECT_EQ(rounded, 0);
}

TEST_F(StatementTest, ResultColumnsAreDescribed) {
  ASSERT_EQ(Execute(statement_,
                    "SELECT ID, Name, Distance, Seen, Photo, COUNT(*) AS n, "
                    "1.5 AS x FROM Stars"),
            SQL_SUCCESS);
  SQLSMALLINT columns = 0;
  ASSERT_EQ(SQLNumResultCols(statement_, &columns), SQL_SUCCESS);
  ASSERT_EQ(columns, 7);
  struct {
    const char* name;
    SQLSMALLINT sqlType;
    const char* typeName;
  } expected[] = {
      {"ID", SQL_BIGINT, "INTEGER"},    {"Name", SQL_VARCHAR, "TEXT"},
      {"Distance", SQL_DOUBLE, "REAL"}, {"Seen", SQL_TYPE_DATE, "DATE"},
      {"Photo", SQL_VARBINARY, "BLOB"}, {"n", SQL_BIGINT, "INTEGER"},
      {"x", SQL_DOUBLE, "REAL"}};
  for (SQLUSMALLINT i = 1; i <= 7; ++i) {
    SCOPED_TRACE(expected[i - 1].name);
    SQLCHAR name[32] = "";
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQLDescribeCol(statement_, i, name, sizeof(name), &nameLength,
                             &sqlType, &size, &digits, &nullable),
              SQL_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(name), expected[i - 1].name);
    EXPECT_EQ(sqlType, expected[i - 1].sqlType);
    char typeName[32] = "";
    EXPECT_EQ(SQLColAttribute(statement_, i, SQL_DESC_TYPE_NAME, typeName,
                              sizeof(typeName), nullptr, nullptr),
              SQL_SUCCESS);
    EXPECT_STREQ(typeName, expected[i - 1].typeName);
    SQLLEN number = 0;
    EXPECT_EQ(SQLColAttribute(statement_, i, SQL_DESC_CONCISE_TYPE, nullptr, 0,
                              nullptr, &number),
              SQL_SUCCESS);
    EXPECT_EQ(number, expected[i - 1].sqlType);
  }
  // A name cut to its buffer says so.
  SQLCHAR shortName[3] = "";
  SQLSMALLINT nameLength = 0;
  EXPECT_EQ(SQLDescribeCol(statement_, 3, shortName, sizeof(shortName),
                           &nameLength, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_STREQ(reinterpret_cast<char*>(shortName), "Di");
  EXPECT_EQ(nameLength, 8);
  EXPECT_EQ(SQLDescribeCol(statement_, 8, shortName, sizeof(shortName),
                           &nameLength, nullptr, nullptr, nullptr, nullptr),
            SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), "07009");
}

TEST_F(StatementTest, CursorsEndAndClose) {
  ASSERT_EQ(Execute(statement_, "SELECT Name FROM Stars ORDER BY ID"),
            SQL_SUCCESS);
  SQLLEN rows = 0;
  EXPECT_EQ(SQLRowCount(statement_, &rows), SQL_SUCCESS);
  EXPECT_EQ(rows, -1);
  SQLULEN fetched = 99;
  SQLUSMALLINT status = 99;
  ASSERT_EQ(SQLSetStmtAttr(statement_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0),
            SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(statement_, SQL_ATTR_ROW_STATUS_PTR, &status, 0),
            SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(status, SQL_ROW_SUCCESS);
  SQLULEN rowNumber = 0;
  EXPECT_EQ(
      SQLGetStmtAttr(statement_, SQL_ATTR_ROW_NUMBER, &rowNumber, 0, nullptr),
      SQL_SUCCESS);
  EXPECT_EQ(rowNumber, 1u);
  EXPECT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(statement_), SQL_NO_DATA);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(SQLMoreResults(statement_), SQL_NO_DATA);
  ASSERT_EQ(Execute(statement_, "SELECT Name FROM Stars"), SQL_SUCCESS);
  EXPECT_EQ(SQLCloseCursor(statement_), SQL_SUCCESS);
  EXPECT_EQ(SQLCloseCursor(statement_), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), "24000");
  // SQLCancel with nothing running closes the cursor, as the driver
  // manager takes it to.
  ASSERT_EQ(Execute(statement_, "SELECT Name FROM Stars"), SQL_SUCCESS);
  EXPECT_EQ(SQLCancel(statement_), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(statement_), SQL_ERROR);
  EXPECT_EQ(SQLCloseCursor(statement_), SQL_ERROR);
  // An unbound column is not written; SQL_UNBIND forgets all.
  ASSERT_EQ(Execute(statement_, "SELECT ID, Name FROM Stars ORDER BY ID"),
            SQL_SUCCESS);
  SQLINTEGER id = 0;
  char name[16] = "";
  SQLLEN indicators[2];
  ASSERT_EQ(SQLBindCol(statement_, 1, SQL_C_SLONG, &id, 0, &indicators[0]),
            SQL_SUCCESS);
  ASSERT_EQ(
      SQLBindCol(statement_, 2, SQL_C_CHAR, name, sizeof(name), &indicators[1]),
      SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  EXPECT_EQ(id, 100);
  EXPECT_STREQ(name, "Sol");
  ASSERT_EQ(SQLBindCol(statement_, 2, SQL_C_CHAR, nullptr, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  EXPECT_EQ(id, 200);
  EXPECT_STREQ(name, "Sol");
  ASSERT_EQ(SQLFreeStmt(statement_, SQL_UNBIND), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(statement_), SQL_SUCCESS);
  EXPECT_EQ(id, 200);
  // A column beyond the result cannot be filled.
  ASSERT_EQ(SQLFreeStmt(statement_, SQL_CLOSE), SQL_SUCCESS);
  ASSERT_EQ(Execute(statement_, "SELECT ID FROM Stars"), SQL_SUCCESS);
  ASSERT_EQ(
      SQLBindCol(statement_, 2, SQL_C_CHAR, name, sizeof(name), &indicators[1]),
      SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(statement_), SQL_ERROR);
  EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), "07009");
}

TEST_F(StatementTest, StatementAttributes) {
  struct {
    SQLINTEGER attribute;
    SQLULEN value;
    SQLRETURN result;
    const char* state;
  } cases[] = {
      {SQL_ATTR_ROW_ARRAY_SIZE, 1, SQL_SUCCESS, ""},
      {SQL_ATTR_ROW_ARRAY_SIZE, 2, SQL_ERROR, "HYC00"},
      {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY, SQL_SUCCESS, ""},
      {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_STATIC, SQL_SUCCESS_WITH_INFO, "01S02"},
      {SQL_ATTR_CONCURRENCY, SQL_CONCUR_LOCK, SQL_SUCCESS_WITH_INFO, "01S02"},
      {SQL_ATTR_QUERY_TIMEOUT, 0, SQL_SUCCESS, ""},
      {SQL_ATTR_MAX_ROWS, 5, SQL_SUCCESS_WITH_INFO, "01S02"},
      {SQL_ATTR_USE_BOOKMARKS, SQL_UB_VARIABLE, SQL_ERROR, "HYC00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attribute);
    EXPECT_EQ(SQLSetStmtAttr(statement_, c.attribute,
                             reinterpret_cast<SQLPOINTER>(c.value), 0),
              c.result);
    EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement_), c.state);
  }
  SQLULEN size = 0;
  EXPECT_EQ(
      SQLGetStmtAttr(statement_, SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr),
      SQL_SUCCESS);
  EXPECT_EQ(size, 1u);
}

TEST_F(StatementTest, SeveralStatementsOnOneConnection) {
  SQLHSTMT second = session_.NewStatement();
  SQLHSTMT third = session_.NewStatement();
  ASSERT_EQ(Execute(statement_, "SELECT ID FROM Stars ORDER BY ID"),
            SQL_SUCCESS);
  ASSERT_EQ(Execute(second, "SELECT Name FROM Stars ORDER BY ID DESC"),
            SQL_SUCCESS);
  ASSERT_EQ(SQLPrepare(third, Sql("SELECT Distance FROM Stars WHERE ID = ?"),
                       SQL_NTS),
            SQL_SUCCESS);
  std::string seen;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(SQLFetch(statement_), SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(second), SQL_SUCCESS);
    SQLINTEGER id = 0;
    char name[16];
    SQLGetData(statement_, 1, SQL_C_SLONG, &id, 0, nullptr);
    SQLGetData(second, 1, SQL_C_CHAR, name, sizeof(name), nullptr);
    SQLFreeStmt(third, SQL_CLOSE);
    SQLBindParameter(third, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                     &id, 0, nullptr);
    ASSERT_EQ(SQLExecute(third), SQL_SUCCESS);
    std::vector<std::string> distance = FirstColumn(third);
    seen += std::to_string(id) + " " + name + " " +
            (distance.empty() ? "-" : distance[0]) + "\n";
  }
  EXPECT_EQ(seen, "100 Vega 0\n200 Sirius 8.6\n300 Sol 25.04\n");
}

TEST_F(StatementTest, TablesAndColumnsAreListed) {
  ASSERT_EQ(
      SQLTables(statement_, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
      SQL_SUCCESS);
  std::vector<std::string> names;
  while (SQLFetch(statement_) == SQL_SUCCESS) {
    char name[32], type[32];
    SQLGetData(statement_, 3, SQL_C_CHAR, name, sizeof(name), nullptr);
    SQLGetData(statement_, 4, SQL_C_CHAR, type, sizeof(type), nullptr);
    names.push_back(std::string(name) + " " + type);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Stars TABLE", "Near VIEW"}));
  SQLFreeStmt(statement_, SQL_CLOSE);
  ASSERT_EQ(SQLTables(statement_, nullptr, 0, nullptr, 0, Sql("St%"), SQL_NTS,
                      Sql("'VIEW'"), SQL_NTS),
            SQL_SUCCESS);
  EXPECT_EQ(FirstColumn(statement_), std::vector<std::string>{});
  SQLFreeStmt(statement_, SQL_CLOSE);
  ASSERT_EQ(SQLColumns(statement_, nullptr, 0, nullptr, 0, Sql("Stars"),
                       SQL_NTS, nullptr, 0),
            SQL_SUCCESS);
  std::vector<std::string> columns;
  while (SQLFetch(statement_) == SQL_SUCCESS) {
    char name[32];
    SQLSMALLINT type = 0;
    SQLINTEGER position = 0;
    SQLGetData(statement_, 4, SQL_C_CHAR, name, sizeof(name), nullptr);
    SQLGetData(statement_, 5, SQL_C_SSHORT, &type, 0, nullptr);
    SQLGetData(statement_, 17, SQL_C_SLONG, &position, 0, nullptr);
    columns.push_back(std::to_string(position) + " " + name + " " +
                      std::to_string(type));
  }
  EXPECT_EQ(columns,
            (std::vector<std::string>{"1 ID -5", "2 Name 12", "3 Distance 8",
                                      "4 Seen 91", "5 Photo -3"}));
}

TEST_F(StatementTest, InfoAnswersWhatTheDriverIs) {
  struct {
    SQLUSMALLINT type;
    const char* text;
  } texts[] = {{SQL_DRIVER_NAME, "veloran_odbc.so"},
               {SQL_DBMS_NAME, "SQLite"},
               {SQL_DATA_SOURCE_READ_ONLY, "Y"},
               {SQL_XOPEN_CLI_YEAR, "1995"},
               {SQL_SEARCH_PATTERN_ESCAPE, "\\"}};
  for (const auto& c : texts) {
    SCOPED_TRACE(c.text);
    char value[64] = "";
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQLGetInfo(session_.connection(), c.type, value, sizeof(value),
                         &length),
              SQL_SUCCESS);
    EXPECT_STREQ(value, c.text);
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(std::strlen(c.text)));
  }
  SQLUINTEGER extensions = 0;
  EXPECT_EQ(SQLGetInfo(session_.connection(), SQL_GETDATA_EXTENSIONS,
                       &extensions, sizeof(extensions), nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(extensions,
            static_cast<SQLUINTEGER>(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER |
                                     SQL_GD_BOUND));
  char cut[4] = "";
  EXPECT_EQ(SQLGetInfo(session_.connection(), SQL_DRIVER_NAME, cut, sizeof(cut),
                       nullptr),
            SQL_SUCCESS_WITH_INFO);
  EXPECT_STREQ(cut, "vel");
}

// Every ODBC function the driver manager knows, by name and identifier.
struct Function {
  const char* name;
  SQLUSMALLINT id;
};

const Function kOdbcFunctions[] = {
    {"SQLAllocConnect", SQL_API_SQLALLOCCONNECT},
    {"SQLAllocEnv", SQL_API_SQLALLOCENV},
    {"SQLAllocHandle", SQL_API_SQLALLOCHANDLE},
    {"SQLAllocStmt", SQL_API_SQLALLOCSTMT},
    {"SQLBindCol", SQL_API_SQLBINDCOL},
    {"SQLBindParam", SQL_API_SQLBINDPARAM},
    {"SQLBindParameter", SQL_API_SQLBINDPARAMETER},
    {"SQLBrowseConnect", SQL_API_SQLBROWSECONNECT},
    {"SQLBulkOperations", SQL_API_SQLBULKOPERATIONS},
    {"SQLCancel", SQL_API_SQLCANCEL},
    {"SQLCloseCursor", SQL_API_SQLCLOSECURSOR},
    {"SQLColAttribute", SQL_API_SQLCOLATTRIBUTE},
    {"SQLColumnPrivileges", SQL_API_SQLCOLUMNPRIVILEGES},
    {"SQLColumns", SQL_API_SQLCOLUMNS},
    {"SQLConnect", SQL_API_SQLCONNECT},
    {"SQLCopyDesc", SQL_API_SQLCOPYDESC},
    {"SQLDataSources", SQL_API_SQLDATASOURCES},
    {"SQLDescribeCol", SQL_API_SQLDESCRIBECOL},
    {"SQLDescribeParam", SQL_API_SQLDESCRIBEPARAM},
    {"SQLDisconnect", SQL_API_SQLDISCONNECT},
    {"SQLDriverConnect", SQL_API_SQLDRIVERCONNECT},
    {"SQLDrivers", SQL_API_SQLDRIVERS},
    {"SQLEndTran", SQL_API_SQLENDTRAN},
    {"SQLError", SQL_API_SQLERROR},
    {"SQLExecDirect", SQL_API_SQLEXECDIRECT},
    {"SQLExecute", SQL_API_SQLEXECUTE},
    {"SQLExtendedFetch", SQL_API_SQLEXTENDEDFETCH},
    {"SQLFetch", SQL_API_SQLFETCH},
    {"SQLFetchScroll", SQL_API_SQLFETCHSCROLL},
    {"SQLForeignKeys", SQL_API_SQLFOREIGNKEYS},
    {"SQLFreeConnect", SQL_API_SQLFREECONNECT},
    {"SQLFreeEnv", SQL_API_SQLFREEENV},
    {"SQLFreeHandle", SQL_API_SQLFREEHANDLE},
    {"SQLFreeStmt", SQL_API_SQLFREESTMT},
    {"SQLGetConnectAttr", SQL_API_SQLGETCONNECTATTR},
    {"SQLGetConnectOption", SQL_API_SQLGETCONNECTOPTION},
    {"SQLGetCursorName", SQL_API_SQLGETCURSORNAME},
    {"SQLGetData", SQL_API_SQLGETDATA},
    {"SQLGetDescField", SQL_API_SQLGETDESCFIELD},
    {"SQLGetDescRec", SQL_API_SQLGETDESCREC},
    {"SQLGetDiagField", SQL_API_SQLGETDIAGFIELD},
    {"SQLGetDiagRec", SQL_API_SQLGETDIAGREC},
    {"SQLGetEnvAttr", SQL_API_SQLGETENVATTR},
    {"SQLGetFunctions", SQL_API_SQLGETFUNCTIONS},
    {"SQLGetInfo", SQL_API_SQLGETINFO},
    {"SQLGetStmtAttr", SQL_API_SQLGETSTMTATTR},
    {"SQLGetStmtOption", SQL_API_SQLGETSTMTOPTION},
    {"SQLGetTypeInfo", SQL_API_SQLGETTYPEINFO},
    {"SQLMoreResults", SQL_API_SQLMORERESULTS},
    {"SQLNativeSql", SQL_API_SQLNATIVESQL},
    {"SQLNumParams", SQL_API_SQLNUMPARAMS},
    {"SQLNumResultCols", SQL_API_SQLNUMRESULTCOLS},
    {"SQLParamData", SQL_API_SQLPARAMDATA},
    {"SQLParamOptions", SQL_API_SQLPARAMOPTIONS},
    {"SQLPrepare", SQL_API_SQLPREPARE},
    {"SQLPrimaryKeys", SQL_API_SQLPRIMARYKEYS},
    {"SQLProcedureColumns", SQL_API_SQLPROCEDURECOLUMNS},
    {"SQLProcedures", SQL_API_SQLPROCEDURES},
    {"SQLPutData", SQL_API_SQLPUTDATA},
    {"SQLRowCount", SQL_API_SQLROWCOUNT},
    {"SQLSetConnectAttr", SQL_API_SQLSETCONNECTATTR},
    {"SQLSetConnectOption", SQL_API_SQLSETCONNECTOPTION},
    {"SQLSetCursorName", SQL_API_SQLSETCURSORNAME},
    {"SQLSetDescField", SQL_API_SQLSETDESCFIELD},
    {"SQLSetDescRec", SQL_API_SQLSETDESCREC},
    {"SQLSetEnvAttr", SQL_API_SQLSETENVATTR},
    {"SQLSetParam", SQL_API_SQLSETPARAM},
    {"SQLSetPos", SQL_API_SQLSETPOS},
    {"SQLSetScrollOptions", SQL_API_SQLSETSCROLLOPTIONS},
    {"SQLSetStmtAttr", SQL_API_SQLSETSTMTATTR},
    {"SQLSetStmtOption", SQL_API_SQLSETSTMTOPTION},
    {"SQLSpecialColumns", SQL_API_SQLSPECIALCOLUMNS},
    {"SQLStatistics", SQL_API_SQLSTATISTICS},
    {"SQLTablePrivileges", SQL_API_SQLTABLEPRIVILEGES},
    {"SQLTables", SQL_API_SQLTABLES},
    {"SQLTransact", SQL_API_SQLTRANSACT},
};

// The driver itself, loaded without the driver manager, so that its own
// answer is seen (the driver manager answers SQLGetFunctions by itself).
TEST(FunctionsTest, ReportsExactlyWhatTheLibraryExports) {
  void* library = dlopen(DriverPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  using AllocHandle = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*);
  using GetFunctions = SQLRETURN (*)(SQLHDBC, SQLUSMALLINT, SQLUSMALLINT*);
  using FreeHandle = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE);
  auto allocHandle =
      reinterpret_cast<AllocHandle>(dlsym(library, "SQLAllocHandle"));
  auto getFunctions =
      reinterpret_cast<GetFunctions>(dlsym(library, "SQLGetFunctions"));
  auto freeHandle =
      reinterpret_cast<FreeHandle>(dlsym(library, "SQLFreeHandle"));
  ASSERT_NE(allocHandle, nullptr);
  ASSERT_NE(getFunctions, nullptr);
  ASSERT_NE(freeHandle, nullptr);
  SQLHANDLE environment = nullptr, connection = nullptr;
  ASSERT_EQ(allocHandle(SQL_HANDLE_ENV, nullptr, &environment), SQL_SUCCESS);
  ASSERT_EQ(allocHandle(SQL_HANDLE_DBC, environment, &connection), SQL_SUCCESS);
  SQLUSMALLINT bitmap[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE];
  ASSERT_EQ(getFunctions(connection, SQL_API_ODBC3_ALL_FUNCTIONS, bitmap),
            SQL_SUCCESS);
  SQLUSMALLINT odbc2[100];
  ASSERT_EQ(getFunctions(connection, SQL_API_ALL_FUNCTIONS, odbc2),
            SQL_SUCCESS);
  int exported = 0;
  for (const Function& function : kOdbcFunctions) {
    SCOPED_TRACE(function.name);
    bool present = dlsym(library, function.name) != nullptr;
    exported += present;
    EXPECT_EQ(SQL_FUNC_EXISTS(bitmap, function.id) == SQL_TRUE, present);
    SQLUSMALLINT single = 99;
    ASSERT_EQ(getFunctions(connection, function.id, &single), SQL_SUCCESS);
    EXPECT_EQ(single == SQL_TRUE, present);
    if (function.id < 100) {
      EXPECT_EQ(odbc2[function.id] == SQL_TRUE, present);
    }
  }
  // Nothing but ODBC functions is exported, and none is unknown here.
  EXPECT_EQ(exported, 42);
  freeHandle(SQL_HANDLE_DBC, connection);
  freeHandle(SQL_HANDLE_ENV, environment);
  dlclose(library);
}

// The driver called directly, as the driver manager calls it: environment
// attributes, and SQLError handing out each record once, which the driver
// manager relies on when it drains a failed connect.
TEST(FunctionsTest, EnvironmentAttributesAndErrorsOnce) {
  void* library = dlopen(DriverPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto allocHandle =
      reinterpret_cast<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>(
          dlsym(library, "SQLAllocHandle"));
  auto freeHandle = reinterpret_cast<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE)>(
      dlsym(library, "SQLFreeHandle"));
  auto setEnvAttr = reinterpret_cast<SQLRETURN (*)(SQLHENV, SQLINTEGER,
                                                   SQLPOINTER, SQLINTEGER)>(
      dlsym(library, "SQLSetEnvAttr"));
  auto getEnvAttr = reinterpret_cast<SQLRETURN (*)(
      SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER, SQLINTEGER*)>(
      dlsym(library, "SQLGetEnvAttr"));
  auto driverConnect = reinterpret_cast<SQLRETURN (*)(
      SQLHDBC, SQLHWND, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
      SQLSMALLINT*, SQLUSMALLINT)>(dlsym(library, "SQLDriverConnect"));
  auto error = reinterpret_cast<SQLRETURN (*)(
      SQLHENV, SQLHDBC, SQLHSTMT, SQLCHAR*, SQLINTEGER*, SQLCHAR*, SQLSMALLINT,
      SQLSMALLINT*)>(dlsym(library, "SQLError"));
  SQLHANDLE environment = nullptr, connection = nullptr;
  ASSERT_EQ(allocHandle(SQL_HANDLE_ENV, nullptr, &environment), SQL_SUCCESS);
  EXPECT_EQ(setEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                       reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0),
            SQL_SUCCESS);
  SQLINTEGER version = 0;
  EXPECT_EQ(
      getEnvAttr(environment, SQL_ATTR_ODBC_VERSION, &version, 0, nullptr),
      SQL_SUCCESS);
  EXPECT_EQ(version, SQL_OV_ODBC2);
  EXPECT_EQ(setEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                       reinterpret_cast<SQLPOINTER>(99), 0),
            SQL_ERROR);
  ASSERT_EQ(allocHandle(SQL_HANDLE_DBC, environment, &connection), SQL_SUCCESS);
  EXPECT_EQ(driverConnect(connection, nullptr,
                          Sql("Database=/nonexistent/x.db;Timeout=1;"), SQL_NTS,
                          nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
            SQL_ERROR);
  std::string states;
  for (int i = 0; i < 5; ++i) {
    SQLCHAR state[6] = "";
    SQLCHAR message[256];
    if (error(nullptr, connection, nullptr, state, nullptr, message,
              sizeof(message), nullptr) != SQL_SUCCESS) {
      break;
    }
    states += reinterpret_cast<char*>(state);
  }
  EXPECT_EQ(states, "08001");
  EXPECT_EQ(freeHandle(SQL_HANDLE_DBC, connection), SQL_SUCCESS);
  EXPECT_EQ(freeHandle(SQL_HANDLE_ENV, environment), SQL_SUCCESS);
  dlclose(library);
}

}  // namespace
}  // namespace veloran::driver_testing
