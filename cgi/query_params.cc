#include "cgi/query_params.h"

#include <cstdlib>
#include <cstring>

namespace veloran {

QueryParamList queryParams;

namespace {

// A raw value of 511 bytes can hold 511 single quotes, each of which is
// doubled, so the decoding area is sized for the doubled length: such a value
// is stored whole.
constexpr int kDecodedValueSize = 2 * kMaxRawValueLength + 1;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decodes the raw value raw[0..length) into "decoded", which holds
// kDecodedValueSize bytes, each single quote doubled when "doubleQuotes" is
// set.  A decoded byte 0 ends the stored text there.
void DecodeValue(const char* raw, int length, bool doubleQuotes,
                 char* decoded) {
  int out = 0;
  bool ended = false;  // set once an escape produced byte 0
  auto append = [&](unsigned char byte) {
    if (ended) return;
    if (byte == 0) {
      ended = true;
      return;
    }
    if (out < kDecodedValueSize - 1) decoded[out++] = static_cast<char>(byte);
  };
  int i = 0;
  while (i < length) {
    char c = raw[i++];
    if (c == '+') {
      append(' ');
    } else if (c == '*') {
      append(176);
    } else if (c == '\'') {
      append('\'');
      if (doubleQuotes) append('\'');
    } else if (c == '%' && i < length && HexDigitValue(raw[i]) >= 0) {
      int byte = HexDigitValue(raw[i++]);
      if (i < length && HexDigitValue(raw[i]) >= 0) {
        byte = byte * 16 + HexDigitValue(raw[i++]);
      }
      append(static_cast<unsigned char>(byte));
      if (byte == '\'' && doubleQuotes) append('\'');
    } else {
      append(static_cast<unsigned char>(c));
    }
  }
  decoded[out] = '\0';
}

char* CopyText(const char* text) {
  size_t size = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(size));
  if (copy != nullptr) std::memcpy(copy, text, size);
  return copy;
}

}  // namespace

bool AddQueryParam(const char* name, const char* value) {
  QueryParam* param = static_cast<QueryParam*>(std::malloc(sizeof(QueryParam)));
  if (param == nullptr) return false;
  param->name = CopyText(name);
  param->value = CopyText(value);
  param->next = nullptr;
  if (param->name == nullptr || param->value == nullptr) {
    std::free(param->name);
    std::free(param->value);
    std::free(param);
    return false;
  }
  if (queryParams.first == nullptr) {
    queryParams.first = param;
  } else {
    queryParams.last->next = param;
  }
  queryParams.last = param;
  return true;
}

namespace {

int DecodeQuery(const char* query, bool doubleQuotes) {
  int appended = 0;
  const char* p = query;
  char name[kMaxParamNameLength + 1];
  char decoded[kDecodedValueSize];
  while (*p != '\0') {
    const char* delimiter = p;
    while (*delimiter != '\0' && *delimiter != '=' && *delimiter != '&') {
      ++delimiter;
    }
    long nameLength = delimiter - p;
    if (nameLength > kMaxParamNameLength) return appended;
    if (nameLength == 0 || *delimiter != '=') {
      // Not a pair: only the delimiter itself is passed over.
      if (*delimiter == '\0') break;
      p = delimiter + 1;
      continue;
    }
    const char* raw = delimiter + 1;
    const char* end = raw;
    while (*end != '\0' && *end != '&') ++end;
    long rawLength = end - raw;
    if (rawLength > kMaxRawValueLength) return appended;

    std::memcpy(name, p, nameLength);
    name[nameLength] = '\0';
    DecodeValue(raw, static_cast<int>(rawLength), doubleQuotes, decoded);
    if (AddQueryParam(name, decoded)) ++appended;

    if (*end == '\0') break;
    p = end + 1;
  }
  return appended;
}

}  // namespace

int DecodeQueryString(const char* query) { return DecodeQuery(query, true); }

int DecodeQueryStringAsSent(const char* query) {
  return DecodeQuery(query, false);
}

void ClearQueryParams() {
  QueryParam* param = queryParams.first;
  while (param != nullptr) {
    QueryParam* next = param->next;
    std::free(param->name);
    std::free(param->value);
    std::free(param);
    param = next;
  }
  queryParams = QueryParamList{};
}

const char* FindQueryParam(const char* name) {
  for (const QueryParam* param = queryParams.first; param != nullptr;
       param = param->next) {
    if (std::strcmp(param->name, name) == 0) return param->value;
  }
  return nullptr;
}

}  // namespace veloran
