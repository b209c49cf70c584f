#ifndef VELORAN_CGI_QUERY_PARAMS_H_
#define VELORAN_CGI_QUERY_PARAMS_H_

// The decoded parameters of the request's query string.
//
// Names are taken raw; values know "+" (a space), "*" (byte 176, the degree
// sign), "%" with one or two hexadecimal digits, and every single quote in a
// value is doubled.  This is the system's own small decoder, not a general URL
// decoder.

namespace veloran {

// Limits of the decoder, in bytes without the terminator.
constexpr int kMaxParamNameLength = 255;
constexpr int kMaxRawValueLength = 511;

struct QueryParam {
  char* name;   // as written in the query text, not decoded
  char* value;  // decoded
  QueryParam* next;
};

// The process-wide list, in query order, duplicates kept.  Pairs are only ever
// appended; nothing is released before the process exits.
struct QueryParamList {
  QueryParam* first = nullptr;
  // The tail, so that a query of tens of thousands of pairs does not make
  // every append walk the whole list.
  QueryParam* last = nullptr;
};

extern QueryParamList queryParams;

// Splits the terminated query text into name/value pairs, decodes each value
// and appends the pairs to queryParams in query order.  A name over 255 bytes
// or a raw value over 511 bytes ends the decoding silently; segments without
// "=" or with an empty name are skipped.  Returns the number of pairs this
// call appended.
int DecodeQueryString(const char* query);

// Decodes as DecodeQueryString does, except that each single quote of a
// value stays as it was sent: for the site's pages, which show and link
// the values as sent and never double them.
int DecodeQueryStringAsSent(const char* query);

// Appends a copy of (name, value) at the tail of queryParams.  Returns false,
// appending nothing, when the heap is exhausted.
bool AddQueryParam(const char* name, const char* value);

// Releases every pair and empties queryParams.  The program itself never
// does; the tests and fuzzers, which decode many queries in one process, do.
void ClearQueryParams();

// Returns the value of the first pair whose name equals "name" byte for byte,
// or nullptr when there is none.  An empty value is an empty text, not
// nullptr.  The text belongs to the list and lives until the process exits.
const char* FindQueryParam(const char* name);

}  // namespace veloran

#endif  // VELORAN_CGI_QUERY_PARAMS_H_
