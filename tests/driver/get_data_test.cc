// SQLGetData of a long value in pieces: texts, binaries and wide texts at
// every boundary of the buffer, with the return code, the indicator and the
// bytes of each call, and SQL_NO_DATA after the last piece.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/driver_session.h"

namespace veloran::driver_testing {
namespace {

// One SQLGetData call: the buffer length passed, and what comes back.
struct Piece {
  SQLLEN bufferLength;
  SQLRETURN result;
  SQLLEN indicator;   // not looked at for SQL_NO_DATA
  std::string bytes;  // the buffer's bytes up to the indicator's or the
                      // buffer's end (terminator not included)
};

struct PiecesCase {
  const char* name;
  const char* column;  // of the one row of SELECT
  SQLSMALLINT cType;
  std::vector<Piece> pieces;
};

const SQLRETURN kInfo = SQL_SUCCESS_WITH_INFO;

// The UTF-16 bytes (little-endian here) of an ASCII text.
std::string Wide(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.data()),
                     text.size() * sizeof(char16_t));
}

// What the call wrote: for texts up to the terminator, for binaries the
// bytes the piece holds.
std::string Written(SQLSMALLINT cType, const unsigned char* buffer,
                    SQLLEN bufferLength, SQLLEN indicator) {
  if (bufferLength == 0) return std::string();
  if (cType == SQL_C_BINARY) {
    SQLLEN count = indicator < bufferLength ? indicator : bufferLength;
    return std::string(reinterpret_cast<const char*>(buffer), count);
  }
  size_t unit = cType == SQL_C_WCHAR ? 2 : 1;
  size_t length = 0;
  while (length + unit <= static_cast<size_t>(bufferLength) &&
         std::memcmp(buffer + length, "\0\0", unit) != 0) {
    length += unit;
  }
  return std::string(reinterpret_cast<const char*>(buffer), length);
}

TEST(GetDataTest, PiecesOfLongValuesAtEveryBoundary) {
  std::string path = FreshDirectory("get-data") + "/values.db";
  CreateDatabase(path, "CREATE TABLE t(x);");
  Session session;
  ASSERT_EQ(session.ConnectString("Database=" + path + ";"), SQL_SUCCESS);
  SQLHSTMT statement = session.NewStatement();
  const std::string bytes10("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10);
  const PiecesCase cases[] = {
      // Ten characters.  The buffer holds a piece and its terminator.
      {"whole text and its terminator",
       "'abcdefghij'",
       SQL_C_CHAR,
       {{11, SQL_SUCCESS, 10, "abcdefghij"}, {11, SQL_NO_DATA, 0, ""}}},
      {"one byte short: the terminator's byte",
       "'abcdefghij'",
       SQL_C_CHAR,
       {{10, kInfo, 10, "abcdefghi"},
        {10, SQL_SUCCESS, 1, "j"},
        {10, SQL_NO_DATA, 0, ""}}},
      {"two pieces of exactly the buffer",
       "'abcdefghij'",
       SQL_C_CHAR,
       {{6, kInfo, 10, "abcde"},
        {6, SQL_SUCCESS, 5, "fghij"},
        {6, SQL_NO_DATA, 0, ""}}},
      {"pieces of varying buffers",
       "'abcdefghij'",
       SQL_C_CHAR,
       {{5, kInfo, 10, "abcd"},
        {2, kInfo, 6, "e"},
        {7, SQL_SUCCESS, 5, "fghij"},
        {7, SQL_NO_DATA, 0, ""}}},
      {"a buffer of 1 and of 0 deliver nothing",
       "'abcdefghij'",
       SQL_C_CHAR,
       {{1, kInfo, 10, ""},
        {0, kInfo, 10, ""},
        {4, kInfo, 10, "abc"},
        {0, kInfo, 7, ""},
        {1, kInfo, 7, ""},
        {8, SQL_SUCCESS, 7, "defghij"},
        {8, SQL_NO_DATA, 0, ""}}},
      {"an empty text is one piece",
       "''",
       SQL_C_CHAR,
       {{1, SQL_SUCCESS, 0, ""}, {1, SQL_NO_DATA, 0, ""}}},
      // Ten bytes, without terminator.
      {"whole binary",
       "x'00010203040506070809'",
       SQL_C_BINARY,
       {{10, SQL_SUCCESS, 10, bytes10}, {10, SQL_NO_DATA, 0, ""}}},
      {"binary one byte short",
       "x'00010203040506070809'",
       SQL_C_BINARY,
       {{9, kInfo, 10, bytes10.substr(0, 9)},
        {9, SQL_SUCCESS, 1, bytes10.substr(9)},
        {9, SQL_NO_DATA, 0, ""}}},
      {"binary in two exact pieces",
       "x'00010203040506070809'",
       SQL_C_BINARY,
       {{5, kInfo, 10, bytes10.substr(0, 5)},
        {5, SQL_SUCCESS, 5, bytes10.substr(5)},
        {5, SQL_NO_DATA, 0, ""}}},
      {"binary by 1 and by 0",
       "x'00010203040506070809'",
       SQL_C_BINARY,
       {{1, kInfo, 10, bytes10.substr(0, 1)},
        {0, kInfo, 9, ""},
        {1, kInfo, 9, bytes10.substr(1, 1)},
        {100, SQL_SUCCESS, 8, bytes10.substr(2)},
        {100, SQL_NO_DATA, 0, ""}}},
      // Four UTF-16 units (n with tilde, the euro sign), 8 bytes.
      {"whole wide text",
       "'a\xC3\xB1"
       "b\xE2\x82\xAC'",
       SQL_C_WCHAR,
       {{10, SQL_SUCCESS, 8, Wide(u"a\u00F1b\u20AC")},
        {10, SQL_NO_DATA, 0, ""}}},
      {"wide text one unit short",
       "'a\xC3\xB1"
       "b\xE2\x82\xAC'",
       SQL_C_WCHAR,
       {{8, kInfo, 8, Wide(u"a\u00F1b")},
        {8, SQL_SUCCESS, 2, Wide(u"\u20AC")},
        {8, SQL_NO_DATA, 0, ""}}},
      {"wide text by one unit",
       "'a\xC3\xB1"
       "b\xE2\x82\xAC'",
       SQL_C_WCHAR,
       {{4, kInfo, 8, Wide(u"a")},
        {4, kInfo, 6, Wide(u"\u00F1")},
        {5, kInfo, 4, Wide(u"b")},
        {4, SQL_SUCCESS, 2, Wide(u"\u20AC")},
        {4, SQL_NO_DATA, 0, ""}}},
      {"wide buffers of a terminator, an odd byte, nothing",
       "'a\xC3\xB1"
       "b\xE2\x82\xAC'",
       SQL_C_WCHAR,
       {{2, kInfo, 8, ""},
        {3, kInfo, 8, ""},
        {0, kInfo, 8, ""},
        {1, kInfo, 8, ""},
        {6, kInfo, 8, Wide(u"a\u00F1")},
        {6, SQL_SUCCESS, 4, Wide(u"b\u20AC")},
        {6, SQL_NO_DATA, 0, ""}}},
      // A pair of surrogates is never split: a buffer of one unit and the
      // terminator leaves it for the next piece.
      {"a surrogate pair stays whole",
       "'a\xF0\x9D\x84\x9E'",
       SQL_C_WCHAR,
       {{4, kInfo, 6, Wide(u"a")},
        {4, kInfo, 4, ""},
        {6, SQL_SUCCESS, 4, Wide(u"\U0001D11E")},
        {6, SQL_NO_DATA, 0, ""}}},
  };
  for (const PiecesCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Execute(statement, std::string("SELECT ") + c.column),
              SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(statement), SQL_SUCCESS);
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      const Piece& piece = c.pieces[i];
      SCOPED_TRACE("call " + std::to_string(i + 1));
      // Heap blocks of the exact size, for the sanitizers; 0x7F where
      // nothing is written.
      std::vector<unsigned char> buffer(piece.bufferLength + 1, 0x7F);
      SQLLEN indicator = -12345;
      SQLRETURN result = SQLGetData(statement, 1, c.cType, buffer.data(),
                                    piece.bufferLength, &indicator);
      ASSERT_EQ(result, piece.result) << StatesOf(SQL_HANDLE_STMT, statement);
      EXPECT_EQ(buffer[piece.bufferLength], 0x7F) << "written past the buffer";
      if (piece.bufferLength == 0) {
        EXPECT_EQ(buffer[0], 0x7F);
      }
      if (result == SQL_NO_DATA) continue;
      EXPECT_EQ(indicator, piece.indicator);
      EXPECT_EQ(StatesOf(SQL_HANDLE_STMT, statement),
                result == kInfo ? "01004" : "");
      if (piece.bufferLength > 0) {
        EXPECT_EQ(Written(c.cType, buffer.data(), piece.bufferLength,
                          piece.indicator),
                  piece.bytes);
      }
    }
    SQLFreeStmt(statement, SQL_CLOSE);
  }
}

}  // namespace
}  // namespace veloran::driver_testing
