// Defaults for the sanitizer build of the program, whoever runs it.

// The SQLite ODBC driver leaves allocations behind at every connection, and
// is built without frame pointers, so its leaks cannot be told from the
// program's without tracing every allocation slowly.  Leaks are therefore
// looked for in-process by the unit and catalogue tests, not here.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
