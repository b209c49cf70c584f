/* The SQL dialect of the Veloran statements on SQLite: the function INT,
 * the integer part of its argument, as in "INT(OwnerID/100) = 7".  Loaded
 * by the ODBC driver through LoadExt= in the data source, and by every
 * program that writes a Veloran database (its indexes use INT). */

#include <math.h>
#include <sqlite3ext.h>

SQLITE_EXTENSION_INIT1

/* The integer part, truncated toward zero: INT(7.9) is 7, INT(-7.9) is -7.
 * NULL stays NULL; an integer is returned as it is. */
static void IntFunction(sqlite3_context* context, int argc,
                        sqlite3_value** argv) {
  (void)argc;
  switch (sqlite3_value_numeric_type(argv[0])) {
    case SQLITE_NULL:
      sqlite3_result_null(context);
      return;
    case SQLITE_INTEGER:
      sqlite3_result_int64(context, sqlite3_value_int64(argv[0]));
      return;
    default: {
      double value = trunc(sqlite3_value_double(argv[0]));
      if (value >= -9223372036854775808.0 && value < 9223372036854775808.0) {
        sqlite3_result_int64(context, (sqlite3_int64)value);
      } else {
        sqlite3_result_double(context, value);
      }
      return;
    }
  }
}

#ifdef _WIN32
__declspec(dllexport)
#endif
    int sqlite3_velorandialect_init(sqlite3* db, char** errorMessage,
                                    const sqlite3_api_routines* api) {
  (void)errorMessage;
  SQLITE_EXTENSION_INIT2(api);
  return sqlite3_create_function(
      db, "INT", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, 0,
      IntFunction, 0, 0);
}
