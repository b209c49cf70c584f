#ifndef VELORAN_DRIVER_TEXT_OUTPUT_H_
#define VELORAN_DRIVER_TEXT_OUTPUT_H_

#include <sql.h>

#include <cstddef>

// Texts returned through an application's output buffer, as every ODBC
// function with a string output does it: the text cut to the buffer's
// length less one and terminated, and its full length reported.

namespace veloran::odbc {

// Copies "text" (of "size" bytes) into "buffer" of "bufferLength" bytes.
// Returns false when it had to be cut (the caller reports 01004).  The full
// length goes to *length when it is not null.  A null buffer receives
// nothing and counts as not cut (only the length was asked for).
bool WriteOutputText(const char* text, size_t size, SQLCHAR* buffer,
                     SQLLEN bufferLength, SQLSMALLINT* length);
bool WriteOutputText(const char* text, size_t size, SQLCHAR* buffer,
                     SQLLEN bufferLength, SQLINTEGER* length);

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_TEXT_OUTPUT_H_
