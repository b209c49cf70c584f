// The driver's conversions of SQLite values to C types, on any value, C
// type, buffer length and piece offset.  The buffer is allocated at exactly
// its length, so AddressSanitizer sees any write past it; the checks are
// the promises of the conversions: texts terminated inside the buffer,
// lengths that add up, pieces that deliver the whole value once, numbers
// read back exactly.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "driver/conversions.h"

namespace {

using veloran::odbc::ConversionResult;
using veloran::odbc::ConversionStatus;
using veloran::odbc::ConvertValue;
using veloran::odbc::FixedCTypeSize;
using veloran::odbc::SqliteValue;

constexpr SQLSMALLINT kCTypes[] = {
    SQL_C_CHAR,     SQL_C_WCHAR,     SQL_C_BINARY,    SQL_C_STINYINT,
    SQL_C_UTINYINT, SQL_C_TINYINT,   SQL_C_SSHORT,    SQL_C_USHORT,
    SQL_C_SHORT,    SQL_C_SLONG,     SQL_C_ULONG,     SQL_C_LONG,
    SQL_C_SBIGINT,  SQL_C_UBIGINT,   SQL_C_FLOAT,     SQL_C_DOUBLE,
    SQL_C_BIT,      SQL_C_TYPE_DATE, SQL_C_TYPE_TIME, SQL_C_TYPE_TIMESTAMP,
    SQL_C_DATE,     SQL_C_TIME,      SQL_C_TIMESTAMP, SQL_C_NUMERIC};
constexpr int kStorageClasses[] = {SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT,
                                   SQLITE_BLOB};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "conversions_fuzzer: %s\n", what);
    std::abort();
  }
}

bool Delivers(ConversionStatus status) {
  return status == ConversionStatus::kOk ||
         status == ConversionStatus::kTruncated ||
         status == ConversionStatus::kFractionDropped;
}

bool IsPieceType(SQLSMALLINT cType) {
  return cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  SqliteValue value;
  value.type = kStorageClasses[data[0] % 4];
  SQLSMALLINT cType = kCTypes[data[1] % (sizeof(kCTypes) / sizeof(kCTypes[0]))];
  SQLLEN bufferLength = data[2] % 40;
  data += 3;
  size -= 3;
  // The value's own bytes, in a copy of exactly their size.
  std::unique_ptr<unsigned char[]> bytes(new unsigned char[size + 1]);
  std::memcpy(bytes.get(), data, size);
  if (value.type == SQLITE_INTEGER || value.type == SQLITE_FLOAT) {
    unsigned char number[8] = {};
    std::memcpy(number, data, size < 8 ? size : 8);
    std::memcpy(&value.integer, number, 8);
    std::memcpy(&value.real, number, 8);
  } else {
    value.bytes = bytes.get();
    value.size = size;
  }
  if (!IsPieceType(cType)) bufferLength = FixedCTypeSize(cType);

  // Read the whole value in pieces, as SQLGetData does.
  size_t offset = 0;
  std::string delivered;
  for (int piece = 0; piece < 10000; ++piece) {
    size_t length = bufferLength > 0 ? static_cast<size_t>(bufferLength) : 1;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[length]);
    std::memset(buffer.get(), 0xAA, length);
    ConversionResult result =
        ConvertValue(value, cType, buffer.get(), bufferLength, offset);
    if (!Delivers(result.status)) return 0;
    Check(result.indicator >= 0, "negative indicator");
    if (!IsPieceType(cType)) {
      Check(result.indicator == FixedCTypeSize(cType), "fixed size");
      Check(result.complete, "fixed-size value in pieces");
      if (cType == SQL_C_DOUBLE && value.type == SQLITE_FLOAT) {
        Check(std::memcmp(buffer.get(), &value.real, 8) == 0, "double bits");
      }
      if (cType == SQL_C_SBIGINT && value.type == SQLITE_INTEGER) {
        Check(std::memcmp(buffer.get(), &value.integer, 8) == 0,
              "integer value");
      }
      return 0;
    }
    if (cType == SQL_C_CHAR && bufferLength > 0) {
      Check(std::memchr(buffer.get(), '\0', length) != nullptr,
            "text not terminated");
      Check(result.consumed <= length - 1, "more than the buffer holds");
      if (value.type == SQLITE_TEXT) {
        Check(result.indicator == static_cast<SQLLEN>(value.size - offset),
              "indicator is not the remaining length");
        delivered.append(reinterpret_cast<char*>(buffer.get()),
                         result.consumed);
      }
    }
    if (cType == SQL_C_WCHAR && bufferLength >= 2) {
      bool terminated = false;
      for (size_t i = 0; i + 1 < length; i += 2) {
        if (buffer[i] == 0 && buffer[i + 1] == 0) terminated = true;
      }
      Check(terminated, "wide text not terminated");
    }
    if (cType == SQL_C_BINARY && value.type == SQLITE_BLOB) {
      Check(result.consumed <= length, "more bytes than the buffer holds");
      delivered.append(reinterpret_cast<char*>(buffer.get()), result.consumed);
    }
    Check(result.complete == (result.status != ConversionStatus::kTruncated),
          "complete and truncated disagree");
    offset += result.consumed;
    if (result.complete) break;
    if (result.consumed == 0) return 0;  // a buffer too small to progress
  }
  if ((cType == SQL_C_CHAR && value.type == SQLITE_TEXT) ||
      (cType == SQL_C_BINARY && value.type == SQLITE_BLOB)) {
    if (bufferLength > 0) {
      Check(
          delivered == std::string(reinterpret_cast<char*>(bytes.get()), size),
          "the pieces do not add up to the value");
    }
  }
  return 0;
}
