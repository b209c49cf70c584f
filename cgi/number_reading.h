#ifndef VELORAN_CGI_NUMBER_READING_H_
#define VELORAN_CGI_NUMBER_READING_H_

#include <cstdint>

// Read a number from the start of a text, the way every query value is read.
// Leading white space (blank, tab, line feed, vertical tab, form feed,
// carriage return) is skipped, reading stops at the first character that does
// not continue the number, and a text that does not begin with a number reads
// as 0.  Only plain decimal forms are numbers: "inf", "nan" and "0x10" read
// as 0 (the last as the 0 before the "x").

namespace veloran {

// An optional sign and decimal digits.  A value beyond the signed 32-bit
// range saturates at its limits.
int32_t ReadInteger(const char* text);

// An optional sign, digits with an optional fraction (".5" and "5." are
// numbers), and an optional exponent: one of e, E, d, D, an optional sign and
// at least one digit.  The result is the 64-bit float nearest the decimal
// value; a value too large reads as infinity and one too small as 0.
double ReadReal(const char* text);

// Whether all of a text is one such number, with blanks around it at most:
// a whole one as ReadReal reads it ("inf", "nan", "0x1p3", "12abc" and ""
// are no numbers); a count, digits with an optional "+".
bool IsDecimalNumber(const char* text);
bool IsCount(const char* text);

}  // namespace veloran

#endif  // VELORAN_CGI_NUMBER_READING_H_
