#ifndef VELORAN_DRIVER_C_TYPES_H_
#define VELORAN_DRIVER_C_TYPES_H_

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

// The fixed-size C types of the application's buffers, written once: which
// C++ type each numeric SQL_C_* type stands for (its width, signedness and
// range are that type's: SQL_C_SHORT is int16_t, 2 bytes, -32768..32767),
// and the sizes of the others.  SQLGetData and bound columns
// (conversions.cc, stored_numbers.h, statement_fetch.cc) and parameters
// (parameters.cc) all dispatch through this table; which conversion
// statuses write the buffer is kConversionStatusRules (conversions.h).

namespace veloran::odbc {

// Names the C++ type T for a visitor: VisitCNumberType's argument.
template <typename T>
struct CNumber {
  using Type = T;
};

// Calls visit(CNumber<T>{}) with the C++ type T of the numeric C type
// "cType" and returns true; returns false, without calling it, for every
// other C type (SQL_C_BIT, texts, bytes, dates and times).
//
//   C type                          C++ type   bytes  range
//   SQL_C_STINYINT, SQL_C_TINYINT   int8_t     1      -128..127
//   SQL_C_UTINYINT                  uint8_t    1      0..255
//   SQL_C_SSHORT, SQL_C_SHORT       int16_t    2      -2^15..2^15-1
//   SQL_C_USHORT                    uint16_t   2      0..2^16-1
//   SQL_C_SLONG, SQL_C_LONG         int32_t    4      -2^31..2^31-1
//   SQL_C_ULONG                     uint32_t   4      0..2^32-1
//   SQL_C_SBIGINT                   int64_t    8      -2^63..2^63-1
//   SQL_C_UBIGINT                   uint64_t   8      0..2^64-1
//   SQL_C_FLOAT                     float      4      IEEE single
//   SQL_C_DOUBLE                    double     8      IEEE double
template <typename Visit>
inline bool VisitCNumberType(SQLSMALLINT cType, Visit&& visit) {
  switch (cType) {
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
      visit(CNumber<int8_t>{});
      return true;
    case SQL_C_UTINYINT:
      visit(CNumber<uint8_t>{});
      return true;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
      visit(CNumber<int16_t>{});
      return true;
    case SQL_C_USHORT:
      visit(CNumber<uint16_t>{});
      return true;
    case SQL_C_SLONG:
    case SQL_C_LONG:
      visit(CNumber<int32_t>{});
      return true;
    case SQL_C_ULONG:
      visit(CNumber<uint32_t>{});
      return true;
    case SQL_C_SBIGINT:
      visit(CNumber<int64_t>{});
      return true;
    case SQL_C_UBIGINT:
      visit(CNumber<uint64_t>{});
      return true;
    case SQL_C_FLOAT:
      visit(CNumber<float>{});
      return true;
    case SQL_C_DOUBLE:
      visit(CNumber<double>{});
      return true;
    default:
      return false;
  }
}

// The size in bytes of a fixed-size C type: a number's from the table
// above, SQL_C_BIT's one byte (unsigned char, 0 or 1), the date and time
// structures'; 0 for SQL_C_CHAR, SQL_C_WCHAR, SQL_C_BINARY and unknown
// types.
inline SQLLEN FixedCTypeSize(SQLSMALLINT cType) {
  SQLLEN size = 0;
  if (VisitCNumberType(cType, [&size](auto number) {
        size = sizeof(typename decltype(number)::Type);
      })) {
    return size;
  }
  switch (cType) {
    case SQL_C_BIT:
      return sizeof(unsigned char);
    case SQL_C_DATE:
    case SQL_C_TYPE_DATE:
      return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TIME:
    case SQL_C_TYPE_TIME:
      return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TIMESTAMP:
    case SQL_C_TYPE_TIMESTAMP:
      return sizeof(SQL_TIMESTAMP_STRUCT);
    default:
      return 0;
  }
}

}  // namespace veloran::odbc

#endif  // VELORAN_DRIVER_C_TYPES_H_
