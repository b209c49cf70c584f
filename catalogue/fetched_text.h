#ifndef VELORAN_CATALOGUE_FETCHED_TEXT_H_
#define VELORAN_CATALOGUE_FETCHED_TEXT_H_

#include <sql.h>
#include <sqlext.h>

#include <cstddef>

// What a driver writes into a text buffer is not trusted to end the way
// ODBC says it should: one driver fills the whole buffer of a text cut to
// it with no terminator, another writes a diagnostic of several lines.
// Every text the programs fetch goes through one of these before it is
// read.

namespace veloran {

// Ends the text that a fetch wrote into "text", a buffer of "size" bytes
// whose column was bound with "indicator": at the length the indicator
// gives when the whole text fitted, and at the last byte in any case.  A
// NULL (SQL_NULL_DATA) leaves what the buffer held, terminated.
void TerminateFetchedText(char* text, size_t size, SQLLEN indicator);

template <size_t kSize>
void TerminateFetchedText(char (&text)[kSize], SQLLEN indicator) {
  TerminateFetchedText(text, kSize, indicator);
}

// Calls SQLError once on the handles given, as the programs always have:
// a state buffer of 20 bytes, "message" of "messageSize" bytes with one
// byte fewer given as its size.  On SQL_SUCCESS or SQL_SUCCESS_WITH_INFO
// it returns true with "state" (6 bytes) holding the SQLSTATE and
// "message" the text, both terminated, and the message on one line (each
// line end a blank); otherwise false, with both empty.
bool FetchDiagnostic(SQLHENV environment, SQLHDBC connection,
                     SQLHSTMT statement, char* state, char* message,
                     size_t messageSize);

}  // namespace veloran

#endif  // VELORAN_CATALOGUE_FETCHED_TEXT_H_
