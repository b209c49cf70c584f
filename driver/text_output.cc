#include "driver/text_output.h"

#include <cassert>
#include <cstring>
#include <limits>

namespace veloran::odbc {

namespace {

bool CopyText(const char* text, size_t size, SQLCHAR* buffer,
              SQLLEN bufferLength) {
  if (buffer == nullptr) return true;  // only the length was asked for
  if (bufferLength <= 0) return size == 0;
  size_t room = static_cast<size_t>(bufferLength) - 1;
  size_t count = size < room ? size : room;
  assert(count < static_cast<size_t>(bufferLength));
  std::memcpy(buffer, text, count);
  buffer[count] = '\0';
  return count == size;
}

template <typename Length>
void SetLength(size_t size, Length* length) {
  if (length == nullptr) return;
  constexpr size_t kMax = std::numeric_limits<Length>::max();
  *length = static_cast<Length>(size < kMax ? size : kMax);
}

}  // namespace

bool WriteOutputText(const char* text, size_t size, SQLCHAR* buffer,
                     SQLLEN bufferLength, SQLSMALLINT* length) {
  SetLength(size, length);
  return CopyText(text, size, buffer, bufferLength);
}

bool WriteOutputText(const char* text, size_t size, SQLCHAR* buffer,
                     SQLLEN bufferLength, SQLINTEGER* length) {
  SetLength(size, length);
  return CopyText(text, size, buffer, bufferLength);
}

}  // namespace veloran::odbc
