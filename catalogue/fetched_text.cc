#include "catalogue/fetched_text.h"

#include <cassert>
#include <cstring>

namespace veloran {

void TerminateFetchedText(char* text, size_t size, SQLLEN indicator) {
  assert(size > 0);
  if (indicator >= 0 && static_cast<size_t>(indicator) < size) {
    text[indicator] = '\0';
  }
  text[size - 1] = '\0';
}

bool FetchDiagnostic(SQLHENV environment, SQLHDBC connection,
                     SQLHSTMT statement, char* state, char* message,
                     size_t messageSize) {
  assert(messageSize > 1 && messageSize <= 32768);
  // Cleared, so that a driver that writes no terminator leaves zeros after
  // its text rather than what the buffer held.
  SQLCHAR stateText[20] = "";
  std::memset(message, 0, messageSize);
  state[0] = '\0';
  SQLINTEGER nativeError = 0;
  SQLSMALLINT messageLength = 0;
  SQLRETURN result = SQLError(
      environment, connection, statement, stateText, &nativeError,
      reinterpret_cast<SQLCHAR*>(message),
      static_cast<SQLSMALLINT>(messageSize - 1), &messageLength);
  if (result != SQL_SUCCESS && result != SQL_SUCCESS_WITH_INFO) {
    message[0] = '\0';
    return false;
  }
  stateText[5] = '\0';
  std::memcpy(state, stateText, 6);
  // The driver was given one byte fewer: its last byte is the one before.
  TerminateFetchedText(message, messageSize - 1, messageLength);
  for (char* c = message; *c != '\0'; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  return true;
}

}  // namespace veloran
