// SQLSetStmtAttr and SQLGetStmtAttr.
#include "driver/statement.h"

#include <cassert>
#include <cstring>
#include <string>

namespace veloran::odbc {

namespace {

// Statement attributes whose value is fixed.  Asking for another either
// keeps the fixed one with 01S02 or is refused with HYC00.
struct FixedAttribute {
  SQLINTEGER attribute;
  SQLULEN value;
  bool refuseOthers;
};

constexpr FixedAttribute kFixedAttributes[] = {
    {SQL_ATTR_ROW_ARRAY_SIZE, 1, true},
    {SQL_ROWSET_SIZE, 1, true},
    {SQL_ATTR_PARAMSET_SIZE, 1, true},
    {SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, true},
    {SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, true},
    {SQL_ATTR_ROW_BIND_OFFSET_PTR, 0, true},
    {SQL_ATTR_PARAM_BIND_OFFSET_PTR, 0, true},
    {SQL_ATTR_PARAMS_PROCESSED_PTR, 0, true},
    {SQL_ATTR_PARAM_STATUS_PTR, 0, true},
    {SQL_ATTR_PARAM_OPERATION_PTR, 0, true},
    {SQL_ATTR_ROW_OPERATION_PTR, 0, true},
    {SQL_ATTR_USE_BOOKMARKS, SQL_UB_OFF, true},
    {SQL_ATTR_FETCH_BOOKMARK_PTR, 0, true},
    {SQL_ATTR_ASYNC_ENABLE, SQL_ASYNC_ENABLE_OFF, true},
    {SQL_ATTR_ENABLE_AUTO_IPD, SQL_FALSE, true},
    {SQL_ATTR_METADATA_ID, SQL_FALSE, true},
    {SQL_ATTR_KEYSET_SIZE, 0, true},
    {SQL_ATTR_CURSOR_SCROLLABLE, SQL_NONSCROLLABLE, true},
    {SQL_ATTR_SIMULATE_CURSOR, SQL_SC_UNIQUE, true},
    {SQL_ATTR_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY, false},
    {SQL_ATTR_CONCURRENCY, SQL_CONCUR_READ_ONLY, false},
    {SQL_ATTR_CURSOR_SENSITIVITY, SQL_INSENSITIVE, false},
    {SQL_ATTR_MAX_ROWS, 0, false},
    {SQL_ATTR_MAX_LENGTH, 0, false},
    {SQL_ATTR_NOSCAN, SQL_NOSCAN_OFF, false},
    {SQL_ATTR_RETRIEVE_DATA, SQL_RD_ON, false},
};

const FixedAttribute* FindFixed(SQLINTEGER attribute) {
  for (const FixedAttribute& fixed : kFixedAttributes) {
    if (fixed.attribute == attribute) return &fixed;
  }
  return nullptr;
}

}  // namespace

SQLRETURN SetStatementAttribute(Statement* statement, SQLINTEGER attribute,
                                SQLPOINTER value) {
  auto number = static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(value));
  switch (attribute) {
    case SQL_ATTR_ROWS_FETCHED_PTR:
      statement->rowsFetched = static_cast<SQLULEN*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_STATUS_PTR:
      statement->rowStatus = static_cast<SQLUSMALLINT*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_NOSCAN:
      // Escape sequences are never translated: scanning or not is the same.
      return SQL_SUCCESS;
    case SQL_ATTR_QUERY_TIMEOUT:
      statement->queryTimeout = number;
      return SQL_SUCCESS;
    default:
      break;
  }
  const FixedAttribute* fixed = FindFixed(attribute);
  if (fixed == nullptr) {
    PostDiagnostic(&statement->diagnostics, "HY092",
                   "statement attribute %d is not known or not settable",
                   static_cast<int>(attribute));
    return SQL_ERROR;
  }
  if (number == fixed->value) return SQL_SUCCESS;
  if (attribute == SQL_ATTR_CURSOR_SENSITIVITY && number == SQL_UNSPECIFIED) {
    return SQL_SUCCESS;
  }
  if (fixed->refuseOthers) {
    PostDiagnostic(&statement->diagnostics, "HYC00",
                   "statement attribute %d = %lu (only %lu)",
                   static_cast<int>(attribute),
                   static_cast<unsigned long>(number),
                   static_cast<unsigned long>(fixed->value));
    return SQL_ERROR;
  }
  PostDiagnostic(
      &statement->diagnostics, "01S02", "statement attribute %d stays %lu",
      static_cast<int>(attribute), static_cast<unsigned long>(fixed->value));
  return SQL_SUCCESS_WITH_INFO;
}

SQLRETURN GetStatementAttribute(Statement* statement, SQLINTEGER attribute,
                                SQLPOINTER value) {
  SQLULEN number = 0;
  switch (attribute) {
    case SQL_ATTR_ROWS_FETCHED_PTR:
      if (value != nullptr) {
        std::memcpy(value, &statement->rowsFetched, sizeof(SQLPOINTER));
      }
      return SQL_SUCCESS;
    case SQL_ATTR_ROW_STATUS_PTR:
      if (value != nullptr) {
        std::memcpy(value, &statement->rowStatus, sizeof(SQLPOINTER));
      }
      return SQL_SUCCESS;
    case SQL_ATTR_QUERY_TIMEOUT:
      number = statement->queryTimeout;
      break;
    case SQL_ATTR_ROW_NUMBER:
      number = statement->cursor == CursorState::kOnRow
                   ? static_cast<SQLULEN>(statement->rowNumber)
                   : 0;
      break;
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
    case SQL_ATTR_IMP_ROW_DESC:
    case SQL_ATTR_IMP_PARAM_DESC:
      PostDiagnostic(&statement->diagnostics, "HYC00",
                     "descriptors are not supported");
      return SQL_ERROR;
    default: {
      const FixedAttribute* fixed = FindFixed(attribute);
      if (fixed == nullptr) {
        PostDiagnostic(&statement->diagnostics, "HY092",
                       "statement attribute %d is not known",
                       static_cast<int>(attribute));
        return SQL_ERROR;
      }
      number = fixed->value;
    }
  }
  if (value != nullptr) std::memcpy(value, &number, sizeof(number));
  return SQL_SUCCESS;
}

}  // namespace veloran::odbc
