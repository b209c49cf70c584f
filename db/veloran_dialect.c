/* The SQL dialect of the Veloran statements on SQLite: the function INT,
 * the integer part of its argument, as in "INT(OwnerID/100) = 7", and
 * NAME_KEY, the search key of a name, which fills NameLookup.  Loaded
 * by the ODBC driver through LoadExt= in the data source, and by every
 * program that writes a Veloran database (its indexes use INT). */

#include <math.h>
#include <stddef.h>
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

/* names/name_keys.h's NameKey, for C (dialect_name_key.cc). */
int VeloranNameKey(const char* text, size_t length, char* key, size_t keySize);

/* The search key of a text, NULL for NULL or when the text has no key
 * (nothing to search by, or too long). */
static void NameKeyFunction(sqlite3_context* context, int argc,
                            sqlite3_value** argv) {
  (void)argc;
  const char* text = (const char*)sqlite3_value_text(argv[0]);
  char key[256];
  if (text == NULL ||
      !VeloranNameKey(text, (size_t)sqlite3_value_bytes(argv[0]), key,
                      sizeof(key))) {
    sqlite3_result_null(context);
    return;
  }
  sqlite3_result_text(context, key, -1, SQLITE_TRANSIENT);
}

#ifdef _WIN32
__declspec(dllexport)
#endif
    int sqlite3_velorandialect_init(sqlite3* db, char** errorMessage,
                                    const sqlite3_api_routines* api) {
  (void)errorMessage;
  SQLITE_EXTENSION_INIT2(api);
  int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  int status = sqlite3_create_function(db, "INT", 1, flags, 0, IntFunction,
                                       0, 0);
  if (status != SQLITE_OK) return status;
  return sqlite3_create_function(db, "NAME_KEY", 1, flags, 0, NameKeyFunction,
                                 0, 0);
}
