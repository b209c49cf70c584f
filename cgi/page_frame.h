#ifndef VELORAN_CGI_PAGE_FRAME_H_
#define VELORAN_CGI_PAGE_FRAME_H_

#include <cstdint>

// The framing that every reply shares.

namespace veloran {

// Writes the text/plain header, an empty line and "message" as one line.
void WritePlainReply(const char* message);

// Writes the text/html header, an empty line and the page head up to and
// including "<BODY>", with "titleLine" (a whole "<TITLE>...</TITLE>" line).
void WritePageHead(const char* titleLine);

// Writes "</BODY>" and "</HTML>", each as one line.
void WritePageTail();

// Writes the page that ends every search that found no answer, naming the
// star ID (0 for a coordinate-centred search).
void WriteNoMatchPage(int32_t starId);

}  // namespace veloran

#endif  // VELORAN_CGI_PAGE_FRAME_H_
