#ifndef VELORAN_RESIDENT_FASTCGI_SERVICE_H_
#define VELORAN_RESIDENT_FASTCGI_SERVICE_H_

// A program of the site served as a FastCGI responder: one process answers
// request after request, with the same bytes as the program run once per
// request, keeping its connection and the star positions from one request
// to the next (kept_connection.h).
//
// The program is a FastCGI responder when it is started with a listening
// socket as its standard input, as lighttpd's mod_fastcgi, Apache's
// mod_fcgid, spawn-fcgi and a systemd socket unit with StandardInput=socket
// start it.  Its environment may set:
//   VELORAN_FASTCGI_WORKERS       the worker processes that answer on the
//                                 socket (1 to 64, default 1)
//   VELORAN_FASTCGI_MAX_REQUESTS  the requests a worker answers before it
//                                 ends (default 1000000; 0: no limit)
//   VELORAN_FASTCGI_IDLE_SECONDS  the seconds a worker waits for a request
//                                 before it ends (default 600; 0: no limit)
//   VELORAN_FASTCGI_KEPT_ROWS     the most rows of one table a worker keeps
//                                 in memory (kept_connection.h; default
//                                 25000000, about 2.5 GB of a catalogue of
//                                 that many stars; 0: none)
// The process started answers nothing itself: it starts the workers and a
// new one for each that ends, so that a worker's limits free its memory
// without leaving the socket unserved.  SIGTERM, SIGINT or SIGUSR1 end the
// service: each worker after the request it is answering; a worker ends too
// when its supervisor has gone.  What a client controls is bounded (see
// fastcgi_records.h and the connection limits in fastcgi_service.cc).

namespace veloran {

struct ServiceLimits {
  int workers = 1;
  long maxRequests = 1000000;  // 0: none
  long idleSeconds = 600;    // 0: none
  long keptRows = 25000000;  // 0: none
};

// Reads the limits from the four texts (nullptr: absent, the default).
// False with *rejection, a sentence that names the variable and what it
// takes, when one is not a number in its range.
bool ReadServiceLimits(const char* workers, const char* maxRequests,
                       const char* idleSeconds, const char* keptRows,
                       ServiceLimits* limits, const char** rejection);

// Whether standard input is a listening socket: the program was started as
// a FastCGI responder.
bool StartedAsFastCgi();

// Answers FastCGI requests on standard input with "answer", which is given
// the request's QUERY_STRING (nullptr when the server sent none), finds
// the request's other variables with RequestVariable and its body on
// standard input, and writes the reply to standard output, as the program
// run once per request does (a worker's descriptors 0, 1 and 2 are files
// in memory that stand for the request's streams).
// Returns the exit status: 0 after the limits or a signal ended the
// service, 1 when its settings were rejected or the socket failed.
// "program" heads the lines on standard error.
int ServeFastCgi(const char* program, int (*answer)(const char* queryString));

}  // namespace veloran

#endif  // VELORAN_RESIDENT_FASTCGI_SERVICE_H_
