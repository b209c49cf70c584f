#ifndef VELORAN_SITE_SITE_ADDRESS_H_
#define VELORAN_SITE_SITE_ADDRESS_H_

#include <cstddef>

// Where the site's programs are, for the addresses that its files and its
// service documents give: a table saved to disk, or read by a tool of the
// Virtual Observatory, still leads back to the site.
//
// The operator may set VELORAN_PUBLIC_URL in the programs' environment:
// the address under which visitors reach the programs, ending in "/"
// ("https://stars.example/veloran/cgi-bin/").  It is used as it is, so
// that a site behind a proxy or a balancer names its public address.
// Without it, the address is made from the request's CGI variables: HTTPS,
// SERVER_NAME, SERVER_PORT and the directory of SCRIPT_NAME.  Only a plain
// host name or address, port and path make an address; anything else
// (markup, a user name, a query) is not taken.

namespace veloran {

// Room for the longest address and its terminator.
constexpr size_t kProgramAddressSize = 400;

// Writes the absolute address of the site's program "program" (a plain
// name such as "entry_page.exe") into "text", and returns true; false when
// neither the setting nor the request gives the site's address, with the
// program's name alone in "text" (an address relative to the program that
// answers).
bool FormatProgramAddress(const char* program,
                          char (&text)[kProgramAddressSize]);

// Whether "url" is an address that VELORAN_PUBLIC_URL may give: http or
// https, a host, a path that ends in "/", of letters, digits and
// "-._~:/[]%" alone, shorter than the room above less a program's name.
bool IsPublicUrl(const char* url);

}  // namespace veloran

#endif  // VELORAN_SITE_SITE_ADDRESS_H_
