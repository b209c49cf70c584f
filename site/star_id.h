#ifndef VELORAN_SITE_STAR_ID_H_
#define VELORAN_SITE_STAR_ID_H_

#include <cstdint>

// A star ID as the site's addresses write it.

namespace veloran {

// Reads "text", a decoded query value, as a star ID: a whole number
// (whole_number.h: digits alone, without a sign, blanks or leading zeros),
// a positive multiple of 100 within 32 bits.  Every page of the site reads
// an ID this way.  Returns false, with *id untouched, for anything else;
// only a text read this way is ever written back into a page.
bool ParseStarId(const char* text, int32_t* id);

}  // namespace veloran

#endif  // VELORAN_SITE_STAR_ID_H_
