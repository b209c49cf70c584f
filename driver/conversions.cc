#include "driver/conversions.h"

#include <sqlite3.h>

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <type_traits>

#include "driver/stored_numbers.h"
#include "driver/text_values.h"
#include "driver/wide_text.h"

namespace veloran::odbc {

namespace {

using Status = ConversionStatus;

ConversionResult Fail(Status status) {
  ConversionResult result;
  result.status = status;
  return result;
}

template <typename T>
ConversionResult WriteFixed(void* target, const T& value,
                            Status status = Status::kOk) {
  if (target != nullptr) std::memcpy(target, &value, sizeof(T));
  ConversionResult result;
  result.status = status;
  result.indicator = static_cast<SQLLEN>(sizeof(T));
  return result;
}

// --- numbers as text ---------------------------------------------------

// The decimal text of a stored number: integers in full, reals in their
// shortest form that reads back to the same double.
struct NumberText {
  char text[32];
  size_t size = 0;
};

NumberText FormatNumber(const SqliteValue& value) {
  NumberText number;
  std::to_chars_result result =
      value.type == SQLITE_INTEGER
          ? std::to_chars(number.text, number.text + sizeof(number.text),
                          value.integer)
          : std::to_chars(number.text, number.text + sizeof(number.text),
                          value.real);
  number.size = static_cast<size_t>(result.ptr - number.text);
  return number;
}

// The characters of a number's text that may not be cut off: all of it
// when it has an exponent (or is no finite number), else up to the point.
size_t WholePartSize(const NumberText& number) {
  for (size_t i = 0; i < number.size; ++i) {
    char c = number.text[i];
    if (c == 'e' || c == 'n' || c == 'i') return number.size;
  }
  const void* point = std::memchr(number.text, '.', number.size);
  return point == nullptr ? number.size
                          : static_cast<size_t>(
                                static_cast<const char*>(point) - number.text);
}

// --- texts and bytes in pieces --------------------------------------------

// Copies the bytes from "offset" on into a character buffer, terminated.
ConversionResult CopyCharacters(const unsigned char* bytes, size_t size,
                                size_t offset, char* target,
                                SQLLEN bufferLength) {
  ConversionResult result;
  size_t remaining = offset < size ? size - offset : 0;
  result.indicator = static_cast<SQLLEN>(remaining);
  size_t room = 0;
  if (target != nullptr && bufferLength > 0) {
    room = static_cast<size_t>(bufferLength) - 1;
    size_t count = remaining < room ? remaining : room;
    if (count > 0) std::memcpy(target, bytes + offset, count);
    assert(count < static_cast<size_t>(bufferLength));
    target[count] = '\0';
    result.consumed = count;
  }
  result.complete = result.consumed == remaining;
  result.status = result.complete ? Status::kOk : Status::kTruncated;
  return result;
}

// Copies the bytes from "offset" on into a binary buffer.
ConversionResult CopyBytes(const unsigned char* bytes, size_t size,
                           size_t offset, void* target, SQLLEN bufferLength) {
  ConversionResult result;
  size_t remaining = offset < size ? size - offset : 0;
  result.indicator = static_cast<SQLLEN>(remaining);
  if (target != nullptr && bufferLength > 0) {
    size_t room = static_cast<size_t>(bufferLength);
    size_t count = remaining < room ? remaining : room;
    if (count > 0) std::memcpy(target, bytes + offset, count);
    result.consumed = count;
  }
  result.complete = result.consumed == remaining;
  result.status = result.complete ? Status::kOk : Status::kTruncated;
  return result;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Writes the bytes from "offset" on as hexadecimal digits, two a byte, into
// a buffer of "capacity" characters of type Char (terminator included).
template <typename Char>
ConversionResult WriteHex(const unsigned char* bytes, size_t size,
                          size_t offset, Char* target, size_t capacity) {
  ConversionResult result;
  size_t remaining = offset < size ? size - offset : 0;
  result.indicator = static_cast<SQLLEN>(remaining * 2 * sizeof(Char));
  if (target != nullptr && capacity > 0) {
    size_t count = (capacity - 1) / 2;
    if (count > remaining) count = remaining;
    for (size_t i = 0; i < count; ++i) {
      unsigned char byte = bytes[offset + i];
      target[2 * i] = static_cast<Char>(kHexDigits[byte >> 4]);
      target[2 * i + 1] = static_cast<Char>(kHexDigits[byte & 0xF]);
    }
    assert(2 * count < capacity);
    target[2 * count] = Char(0);
    result.consumed = count;
  }
  result.complete = result.consumed == remaining;
  result.status = result.complete ? Status::kOk : Status::kTruncated;
  return result;
}

// Writes the text from "offset" on as UTF-16 into a buffer of "capacity"
// code units (terminator included), never splitting a surrogate pair.
ConversionResult WriteWide(const unsigned char* bytes, size_t size,
                           size_t offset, bool utf8, uint16_t* target,
                           size_t capacity) {
  ConversionResult result;
  if (offset > size) offset = size;
  size_t units = 0;
  for (size_t i = offset; i < size;) {
    uint32_t codePoint;
    i += DecodeCharacter(bytes + i, size - i, utf8, &codePoint);
    units += Utf16Units(codePoint);
  }
  result.indicator = static_cast<SQLLEN>(units * sizeof(uint16_t));
  if (target != nullptr && capacity > 0) {
    size_t written = 0;
    size_t i = offset;
    while (i < size) {
      uint32_t codePoint;
      size_t taken = DecodeCharacter(bytes + i, size - i, utf8, &codePoint);
      size_t need = Utf16Units(codePoint);
      if (written + need > capacity - 1) break;
      if (need == 2) {
        uint32_t v = codePoint - 0x10000;
        target[written] = static_cast<uint16_t>(0xD800 + (v >> 10));
        target[written + 1] = static_cast<uint16_t>(0xDC00 + (v & 0x3FF));
      } else {
        target[written] = static_cast<uint16_t>(codePoint);
      }
      written += need;
      i += taken;
    }
    // The terminator is written through memcpy-free code: the buffer is
    // at least one unit large here.
    assert(written < capacity);
    target[written] = 0;
    result.consumed = i - offset;
  }
  result.complete = result.consumed == size - offset;
  result.status = result.complete ? Status::kOk : Status::kTruncated;
  return result;
}

// A stored number written as characters (Char: char or uint16_t) into a
// buffer of "capacity" characters: cut only within its fraction.
template <typename Char>
ConversionResult WriteNumberText(const SqliteValue& value, size_t offset,
                                 Char* target, size_t capacity) {
  NumberText number = FormatNumber(value);
  if (offset == 0 && target != nullptr && number.size >= capacity &&
      WholePartSize(number) >= capacity) {
    return Fail(Status::kOutOfRange);
  }
  ConversionResult result;
  size_t remaining = offset < number.size ? number.size - offset : 0;
  result.indicator = static_cast<SQLLEN>(remaining * sizeof(Char));
  if (target != nullptr && capacity > 0) {
    size_t count = remaining < capacity - 1 ? remaining : capacity - 1;
    for (size_t i = 0; i < count; ++i) {
      target[i] = static_cast<Char>(number.text[offset + i]);
    }
    target[count] = Char(0);
    result.consumed = count;
  }
  result.complete = result.consumed == remaining;
  result.status = result.complete ? Status::kOk : Status::kTruncated;
  return result;
}

ConversionResult ToChar(const SqliteValue& value, void* target,
                        SQLLEN bufferLength, size_t offset) {
  char* chars = static_cast<char*>(target);
  size_t capacity = bufferLength > 0 ? static_cast<size_t>(bufferLength) : 0;
  switch (value.type) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return WriteNumberText(value, offset, chars, capacity);
    case SQLITE_TEXT:
      return CopyCharacters(value.bytes, value.size, offset, chars,
                            bufferLength);
    default:
      return WriteHex(value.bytes, value.size, offset, chars, capacity);
  }
}

ConversionResult ToWideChar(const SqliteValue& value, void* target,
                            SQLLEN bufferLength, size_t offset) {
  uint16_t* units = static_cast<uint16_t*>(target);
  size_t capacity = bufferLength > 0
                        ? static_cast<size_t>(bufferLength) / sizeof(uint16_t)
                        : 0;
  switch (value.type) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return WriteNumberText(value, offset, units, capacity);
    case SQLITE_TEXT:
      return WriteWide(value.bytes, value.size, offset,
                       IsValidUtf8(value.bytes, value.size), units, capacity);
    default:
      return WriteHex(value.bytes, value.size, offset, units, capacity);
  }
}

ConversionResult ToBinary(const SqliteValue& value, void* target,
                          SQLLEN bufferLength, size_t offset) {
  switch (value.type) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: {
      // The stored number's own bytes, whole or not at all.
      const void* source = value.type == SQLITE_INTEGER
                               ? static_cast<const void*>(&value.integer)
                               : static_cast<const void*>(&value.real);
      if (offset > 0) {
        ConversionResult done;
        done.indicator = 0;
        return done;
      }
      if (target != nullptr && bufferLength < 8) {
        return Fail(Status::kOutOfRange);
      }
      if (target != nullptr) std::memcpy(target, source, 8);
      ConversionResult result;
      result.indicator = 8;
      result.consumed = 8;
      return result;
    }
    default:
      return CopyBytes(value.bytes, value.size, offset, target, bufferLength);
  }
}

// --- integers ------------------------------------------------------------

// Stored integers and reals are converted by ConvertStoredNumber
// (stored_numbers.h); these take texts.
template <typename T>
ConversionResult ToInteger(const SqliteValue& value, void* target) {
  constexpr __int128 kMin = std::numeric_limits<T>::min();
  constexpr __int128 kMax = std::numeric_limits<T>::max();
  switch (value.type) {
    case SQLITE_TEXT: {
      NumericLiteral literal;
      if (!ParseNumericLiteral(reinterpret_cast<const char*>(value.bytes),
                               value.size, &literal)) {
        return Fail(Status::kNotAValue);
      }
      __int128 whole;
      bool fractionDropped;
      if (!LiteralIntegerPart(literal, &whole, &fractionDropped) ||
          whole < kMin || whole > kMax) {
        return Fail(Status::kOutOfRange);
      }
      return WriteFixed(
          target, static_cast<T>(whole),
          fractionDropped ? Status::kFractionDropped : Status::kOk);
    }
    default:
      return Fail(Status::kRestricted);
  }
}

ConversionResult ToBit(const SqliteValue& value, void* target) {
  switch (value.type) {
    case SQLITE_INTEGER:
      if (value.integer != 0 && value.integer != 1) {
        return Fail(Status::kOutOfRange);
      }
      return WriteFixed(target, static_cast<unsigned char>(value.integer));
    case SQLITE_FLOAT: {
      double real = value.real;
      if (real == 0.0 || real == 1.0) {
        return WriteFixed(target, static_cast<unsigned char>(real));
      }
      if (!(real > 0.0 && real < 2.0)) return Fail(Status::kOutOfRange);
      return WriteFixed(target, static_cast<unsigned char>(real),
                        Status::kFractionDropped);
    }
    case SQLITE_TEXT: {
      NumericLiteral literal;
      if (!ParseNumericLiteral(reinterpret_cast<const char*>(value.bytes),
                               value.size, &literal)) {
        return Fail(Status::kNotAValue);
      }
      __int128 whole;
      bool fractionDropped;
      if (!LiteralIntegerPart(literal, &whole, &fractionDropped) || whole < 0 ||
          whole > 1 || (literal.negative && fractionDropped)) {  // below 0
        return Fail(Status::kOutOfRange);
      }
      return WriteFixed(
          target, static_cast<unsigned char>(whole),
          fractionDropped ? Status::kFractionDropped : Status::kOk);
    }
    default:
      return Fail(Status::kRestricted);
  }
}

// --- reals -------------------------------------------------------------

ConversionResult ToDouble(const SqliteValue& value, void* target) {
  switch (value.type) {
    case SQLITE_TEXT: {
      NumericLiteral literal;
      if (!ParseNumericLiteral(reinterpret_cast<const char*>(value.bytes),
                               value.size, &literal)) {
        return Fail(Status::kNotAValue);
      }
      double real;
      if (!LiteralToDouble(literal, &real)) return Fail(Status::kOutOfRange);
      return WriteFixed(target, real);
    }
    default:
      return Fail(Status::kRestricted);
  }
}

ConversionResult ToFloat(const SqliteValue& value, void* target) {
  switch (value.type) {
    case SQLITE_TEXT: {
      NumericLiteral literal;
      if (!ParseNumericLiteral(reinterpret_cast<const char*>(value.bytes),
                               value.size, &literal)) {
        return Fail(Status::kNotAValue);
      }
      float real;
      if (!LiteralToFloat(literal, &real)) return Fail(Status::kOutOfRange);
      return WriteFixed(target, real);
    }
    default:
      return Fail(Status::kRestricted);
  }
}

// A text into number type T, by the rules above.
template <typename T>
ConversionResult ToNumber(const SqliteValue& value, void* target) {
  if constexpr (std::is_same_v<T, double>) {
    return ToDouble(value, target);
  } else if constexpr (std::is_same_v<T, float>) {
    return ToFloat(value, target);
  } else {
    return ToInteger<T>(value, target);
  }
}

// --- dates and times -------------------------------------------------------

bool ReadDateTime(const SqliteValue& value, DateTimeText* text,
                  ConversionResult* failure) {
  if (value.type != SQLITE_TEXT) {
    *failure = Fail(Status::kRestricted);
    return false;
  }
  if (!ParseDateTimeText(reinterpret_cast<const char*>(value.bytes), value.size,
                         text)) {
    *failure = Fail(Status::kNotAValue);
    return false;
  }
  return true;
}

ConversionResult ToDate(const SqliteValue& value, void* target) {
  DateTimeText text;
  ConversionResult failure;
  if (!ReadDateTime(value, &text, &failure)) return failure;
  if (!text.hasDate) return Fail(Status::kNotAValue);
  bool timeDropped = text.hour != 0 || text.minute != 0 || text.second != 0 ||
                     text.nanoseconds != 0 || text.fractionCut;
  SQL_DATE_STRUCT date;
  date.year = static_cast<SQLSMALLINT>(text.year);
  date.month = static_cast<SQLUSMALLINT>(text.month);
  date.day = static_cast<SQLUSMALLINT>(text.day);
  return WriteFixed(target, date,
                    timeDropped ? Status::kFractionDropped : Status::kOk);
}

ConversionResult ToTime(const SqliteValue& value, void* target) {
  DateTimeText text;
  ConversionResult failure;
  if (!ReadDateTime(value, &text, &failure)) return failure;
  if (!text.hasTime) return Fail(Status::kNotAValue);
  bool fractionDropped = text.nanoseconds != 0 || text.fractionCut;
  SQL_TIME_STRUCT time;
  time.hour = static_cast<SQLUSMALLINT>(text.hour);
  time.minute = static_cast<SQLUSMALLINT>(text.minute);
  time.second = static_cast<SQLUSMALLINT>(text.second);
  return WriteFixed(target, time,
                    fractionDropped ? Status::kFractionDropped : Status::kOk);
}

ConversionResult ToTimestamp(const SqliteValue& value, void* target) {
  DateTimeText text;
  ConversionResult failure;
  if (!ReadDateTime(value, &text, &failure)) return failure;
  SQL_TIMESTAMP_STRUCT timestamp{};
  if (text.hasDate) {
    timestamp.year = static_cast<SQLSMALLINT>(text.year);
    timestamp.month = static_cast<SQLUSMALLINT>(text.month);
    timestamp.day = static_cast<SQLUSMALLINT>(text.day);
  } else {
    // A time of day alone is taken as today's, as ODBC asks.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    timestamp.year = static_cast<SQLSMALLINT>(local.tm_year + 1900);
    timestamp.month = static_cast<SQLUSMALLINT>(local.tm_mon + 1);
    timestamp.day = static_cast<SQLUSMALLINT>(local.tm_mday);
  }
  timestamp.hour = static_cast<SQLUSMALLINT>(text.hour);
  timestamp.minute = static_cast<SQLUSMALLINT>(text.minute);
  timestamp.second = static_cast<SQLUSMALLINT>(text.second);
  timestamp.fraction = text.nanoseconds;
  return WriteFixed(target, timestamp,
                    text.fractionCut ? Status::kFractionDropped : Status::kOk);
}

}  // namespace

ConversionResult ConvertValue(const SqliteValue& value, SQLSMALLINT cType,
                              void* target, SQLLEN bufferLength,
                              size_t offset) {
  ConversionResult number;
  if (ConvertStoredNumber(value, cType, target, &number)) return number;
  // A text (or a blob or NULL) into a number.
  if (VisitCNumberType(cType, [&](auto type) {
        number = ToNumber<typename decltype(type)::Type>(value, target);
      })) {
    return number;
  }
  switch (cType) {
    case SQL_C_CHAR:
      return ToChar(value, target, bufferLength, offset);
    case SQL_C_WCHAR:
      return ToWideChar(value, target, bufferLength, offset);
    case SQL_C_BINARY:
      return ToBinary(value, target, bufferLength, offset);
    case SQL_C_BIT:
      return ToBit(value, target);
    case SQL_C_DATE:
    case SQL_C_TYPE_DATE:
      return ToDate(value, target);
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME:
      return ToTime(value, target);
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP:
      return ToTimestamp(value, target);
    default:
      return Fail(Status::kUnknownType);
  }
}

bool IsKnownCType(SQLSMALLINT cType) {
  return cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY ||
         FixedCTypeSize(cType) != 0;
}

}  // namespace veloran::odbc
