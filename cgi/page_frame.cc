#include "cgi/page_frame.h"

#include <cstdio>

#include "cgi/output.h"

namespace veloran {

void WritePlainReply(const char* message) {
  WriteLine("Content-type: text/plain");
  WriteLine("");
  WriteLine(message);
}

void WritePageHead(const char* titleLine) {
  std::printf("Content-type: text/html%c%c", '\n', '\n');
  WriteLine("<HTML>");
  WriteLine("<HEAD>");
  WriteLine(
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
      "charset=windows-1252\">");
  WriteLine(titleLine);
  WriteLine("</HEAD>");
  WriteLine("<BODY>");
}

void WritePageTail() { WriteLine("</BODY>\n</HTML>"); }

void WriteNoMatchPage(int32_t starId) {
  WritePageHead("<TITLE>Veloran search results</TITLE>");
  std::printf("No star name matching ID %ld found.\n",
              static_cast<long>(starId));
  WritePageTail();
}

}  // namespace veloran
