#ifndef VELORAN_CGI_OUTPUT_H_
#define VELORAN_CGI_OUTPUT_H_

// Writing to standard output, which is the response.  Texts are bytes:
// windows-1252 texts go out unchanged.

namespace veloran {

// Writes "text" and a newline.
void WriteLine(const char* text);

// Writes "text" as it is.
void WriteText(const char* text);

// Whether standard output is an open descriptor.  When it is closed, the
// reply has nowhere to go, and the first file the process opens would take
// its place.
bool StandardOutputIsOpen();

// Makes a write to a pipe whose reader has gone fail with EPIPE, as any
// other failed write, so that FlushReply sees it: SIGPIPE, which would end
// the process unannounced, is ignored from here on, whatever disposition
// the process was started with.
void IgnoreBrokenPipes();

// Flushes standard output and returns whether every byte written to it
// reached the descriptor.  A failed write anywhere in the reply counts: the
// stream remembers it.  On false, *error is the errno of the failure, or 0
// when it is no longer known.
bool FlushReply(int* error);

// A 64-bit float formatted as "%g" (six significant digits, trailing zeros
// dropped), with an exponent, where one is written, of at least three digits:
// one million is "1e+006".  Use as GNumber(value).text in a "%s" conversion.
struct GNumber {
  explicit GNumber(double value);
  char text[32];
};

}  // namespace veloran

#endif  // VELORAN_CGI_OUTPUT_H_
