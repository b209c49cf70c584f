// Defaults for the sanitizer build of the program, whoever runs it.

// Allocations are traced with full stacks, so that the leaks which the
// SQLite ODBC driver leaves at connect time can be told from the program's
// own and passed over.
extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libsqlite3odbc.so\n";
}

extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
