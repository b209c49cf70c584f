#ifndef VELORAN_CGI_WHOLE_NUMBER_H_
#define VELORAN_CGI_WHOLE_NUMBER_H_

#include <cstdint>

// A whole number as the site's own parameters and settings take it: star
// IDs, page numbers and sizes, the cone search's VERB and MAXREC, the
// limits of the FastCGI service.  It is written one way only, so that an
// address or a setting that one program takes no other refuses: decimal
// digits alone, without a sign, blanks or leading zeros ("0" itself is a
// number).  The classic page's numbers are read otherwise
// (number_reading.h).

namespace veloran {

// Numbers of more digits than this are beyond every range read here.
inline constexpr int kMaxWholeNumberDigits = 18;

// Whether all of "text" is a whole number written that way, of any size.
bool IsWholeNumber(const char* text);

// Reads all of "text" as a whole number from "low" to "high" (0 <= low <=
// high < 10^18).  Returns false, with *value untouched, for a text that is
// no whole number or one outside the range.
bool ReadWholeNumber(const char* text, int64_t low, int64_t high,
                     int64_t* value);

}  // namespace veloran

#endif  // VELORAN_CGI_WHOLE_NUMBER_H_
