#include "resident/fastcgi_service.h"

#include <fcgiapp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "catalogue/catalogue_names.h"
#include "catalogue/kept_connection.h"
#include "catalogue/kept_lookups.h"
#include "catalogue/read_fault.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "cgi/search_window.h"
#include "search/kept_positions.h"

extern char** environ;

namespace veloran {

namespace {

constexpr int kMaxWorkers = 64;

volatile sig_atomic_t stopRequested = 0;
volatile sig_atomic_t idleExpired = 0;

void OnStop(int) { stopRequested = 1; }
void OnIdle(int) { idleExpired = 1; }

// Installs "handler" without SA_RESTART, so that a wait for a connection
// or for a worker returns at the signal.
void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(signal, &action, nullptr);
}

// Reads a whole decimal number in [low, high]; nullptr keeps *value.
bool ReadLimit(const char* text, long low, long high, long* value) {
  if (text == nullptr) return true;
  if (text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  long number = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || number < low || number > high) {
    return false;
  }
  *value = number;
  return true;
}

// --- One request -------------------------------------------------------

// Everything a request of the program may have left behind, as a process
// starts: the query, the window, the read fault, the catalogue table.
void ResetRequestState() {
  ClearQueryParams();
  searchWindow = SearchWindow{};
  ForgetReadFault();
  FreeCatalogueNames();
  catalogueNames.count = 0;
}

ssize_t WriteToStream(void* cookie, const char* data, size_t size) {
  auto* stream = static_cast<FCGX_Stream*>(cookie);
  size_t done = 0;
  while (done < size) {
    size_t left = size - done;
    int chunk = left > (1u << 20) ? (1 << 20) : static_cast<int>(left);
    if (FCGX_PutStr(data + done, chunk, stream) != chunk) {
      int error = FCGX_GetError(stream);
      errno = error > 0 ? error : EPIPE;
      return -1;
    }
    done += static_cast<size_t>(chunk);
  }
  return static_cast<ssize_t>(size);
}

ssize_t ReadFromStream(void* cookie, char* data, size_t size) {
  auto* stream = static_cast<FCGX_Stream*>(cookie);
  int chunk = size > (1u << 20) ? (1 << 20) : static_cast<int>(size);
  int read = FCGX_GetStr(data, chunk, stream);
  return read < 0 ? -1 : read;
}

FILE* OpenStream(FCGX_Stream* stream) {
  cookie_io_functions_t functions{};
  functions.write = WriteToStream;
  return fopencookie(stream, "w", functions);
}

// The request's body, which a program run once per request reads from
// standard input (a form sent with POST).
FILE* OpenBody(FCGX_Stream* stream) {
  cookie_io_functions_t functions{};
  functions.read = ReadFromStream;
  return fopencookie(stream, "r", functions);
}

size_t CountOf(char** variables) {
  size_t count = 0;
  while (variables != nullptr && variables[count] != nullptr) ++count;
  return count;
}

// The environment of one request: the parameters the server sent, then the
// process's own environment (the server's settings for the program), so
// that getenv finds a request's variable before the process's.  nullptr
// when it finds no memory.
char** MergeEnvironment(char** parameters, char** process) {
  size_t ownCount = CountOf(parameters);
  size_t processCount = CountOf(process);
  auto** merged = static_cast<char**>(
      std::malloc((ownCount + processCount + 1) * sizeof(char*)));
  if (merged == nullptr) return nullptr;
  for (size_t i = 0; i < ownCount; ++i) merged[i] = parameters[i];
  for (size_t i = 0; i < processCount; ++i) merged[ownCount + i] = process[i];
  merged[ownCount + processCount] = nullptr;
  return merged;
}

void ReportLostReply(const char* program, int error) {
  std::fprintf(stderr, "%s: the reply did not reach the server%s%s\n", program,
               error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "");
}

// Answers one accepted request: standard input, output and error are the
// request's streams and the environment is the request's while "answer"
// runs.  Returns its exit status.
int AnswerOne(const char* program, int (*answer)(const char*),
              FCGX_Request* request) {
  FILE* in = OpenBody(request->in);
  FILE* out = OpenStream(request->out);
  FILE* err = OpenStream(request->err);
  char** merged = MergeEnvironment(request->envp, environ);
  if (in == nullptr || out == nullptr || err == nullptr || merged == nullptr) {
    if (in != nullptr) std::fclose(in);
    if (out != nullptr) std::fclose(out);
    if (err != nullptr) std::fclose(err);
    std::free(merged);
    std::fprintf(stderr, "%s: no memory to answer a request\n", program);
    FCGX_PutS(
        "Status: 503 Service Unavailable\nContent-type: text/plain\n\n"
        "The server is short of memory. Please try again later.\n",
        request->out);
    return -1;
  }
  setvbuf(err, nullptr, _IOLBF, 0);
  FILE* processIn = stdin;
  FILE* processOut = stdout;
  FILE* processErr = stderr;
  char** processEnvironment = environ;
  stdin = in;
  stdout = out;
  stderr = err;
  environ = merged;

  ResetRequestState();
  int status = answer(FCGX_GetParam("QUERY_STRING", request->envp));
  int error = 0;
  if (!FlushReply(&error)) {
    ReportLostReply(program, error);
    status = -1;
  }

  environ = processEnvironment;
  stdout = processOut;
  stderr = processErr;
  stdin = processIn;
  std::fclose(in);
  std::fclose(out);
  std::fclose(err);
  std::free(merged);
  return status;
}

// --- A worker ----------------------------------------------------------

int ServeRequests(const char* program, int (*answer)(const char*),
                  const ServiceLimits& limits) {
  if (FCGX_Init() != 0) {
    std::fprintf(stderr, "%s: the FastCGI library could not start\n", program);
    return 1;
  }
  FCGX_Request request;
  FCGX_InitRequest(&request, 0, FCGI_FAIL_ACCEPT_ON_INTR);
  IgnoreBrokenPipes();
  Handle(SIGALRM, OnIdle);
  KeepConnection();
  SetKeptRowLimit(limits.keptRows);
  long served = 0;
  int status = 0;
  while (!stopRequested) {
    if (limits.idleSeconds > 0)
      alarm(static_cast<unsigned>(limits.idleSeconds));
    int accepted = FCGX_Accept_r(&request);
    alarm(0);
    if (accepted < 0) {
      if (!stopRequested && !idleExpired) {
        std::fprintf(stderr, "%s: no request could be accepted: %s\n", program,
                     std::strerror(errno));
        status = 1;
      }
      break;
    }
    // A signal waits until the reply is whole: it would break off the
    // writes to the server.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signal : {SIGTERM, SIGINT, SIGUSR1, SIGALRM}) {
      sigaddset(&stopSignals, signal);
    }
    sigset_t before;
    sigprocmask(SIG_BLOCK, &stopSignals, &before);
    int answered = AnswerOne(program, answer, &request);
    FCGX_SetExitStatus(answered & 0xFF, request.out);
    FCGX_Finish_r(&request);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    // A failed read may be a lost connection or a damaged file: the next
    // request starts afresh.
    if (ReadFailed()) {
      DropKeptConnection();
      FreeKeptPositions();
      FreeKeptLookups();
    }
    ForgetReadFault();
    if (limits.maxRequests > 0 && ++served >= limits.maxRequests) break;
  }
  DropKeptConnection();
  FreeKeptPositions();
  FreeKeptLookups();
  FreeCatalogueNames();
  ClearQueryParams();
  FCGX_Free(&request, 1);
  return status;
}

// --- The supervisor ----------------------------------------------------

pid_t StartWorker(const char* program, int (*answer)(const char*),
                  const ServiceLimits& limits) {
  pid_t pid = fork();
  if (pid == 0) {
    std::fflush(stderr);
    _exit(ServeRequests(program, answer, limits));
  }
  if (pid < 0) {
    std::fprintf(stderr, "%s: no worker could be started: %s\n", program,
                 std::strerror(errno));
  }
  return pid;
}

int Supervise(const char* program, int (*answer)(const char*),
              const ServiceLimits& limits) {
  pid_t workers[kMaxWorkers];
  time_t started[kMaxWorkers];
  for (int i = 0; i < limits.workers; ++i) {
    workers[i] = StartWorker(program, answer, limits);
    started[i] = std::time(nullptr);
  }
  while (!stopRequested) {
    int status = 0;
    pid_t ended = waitpid(-1, &status, 0);
    if (ended < 0) {
      if (errno == EINTR) continue;
      if (errno != ECHILD) break;
      sleep(1);  // every start failed: try again
    }
    for (int i = 0; i < limits.workers && !stopRequested; ++i) {
      if (workers[i] > 0 && workers[i] != ended) continue;
      bool failed =
          workers[i] > 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      // A worker that fails as it starts is not started again at once.
      if (workers[i] <= 0 || (failed && std::time(nullptr) - started[i] < 2)) {
        sleep(1);
      }
      workers[i] = StartWorker(program, answer, limits);
      started[i] = std::time(nullptr);
    }
  }
  // A worker waiting for a connection ends at once; one answering, after
  // its reply; one that does not end within five seconds is killed.
  for (int i = 0; i < limits.workers; ++i) {
    if (workers[i] > 0) kill(workers[i], SIGTERM);
  }
  for (int wait = 0; wait < 50; ++wait) {
    pid_t ended;
    while ((ended = waitpid(-1, nullptr, WNOHANG)) > 0) {
    }
    if (ended < 0 && errno == ECHILD) return 0;
    usleep(100000);
  }
  for (int i = 0; i < limits.workers; ++i) {
    if (workers[i] > 0) kill(workers[i], SIGKILL);
  }
  while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
  }
  return 0;
}

}  // namespace

bool ReadServiceLimits(const char* workers, const char* maxRequests,
                       const char* idleSeconds, const char* keptRows,
                       ServiceLimits* limits, const char** rejection) {
  *limits = ServiceLimits{};
  long workerCount = limits->workers;
  if (!ReadLimit(workers, 1, kMaxWorkers, &workerCount)) {
    *rejection =
        "VELORAN_FASTCGI_WORKERS takes a number of workers from 1 to 64";
    return false;
  }
  limits->workers = static_cast<int>(workerCount);
  if (!ReadLimit(maxRequests, 0, 1000000000L, &limits->maxRequests)) {
    *rejection =
        "VELORAN_FASTCGI_MAX_REQUESTS takes a number of requests (0: no limit)";
    return false;
  }
  if (!ReadLimit(idleSeconds, 0, 31536000L, &limits->idleSeconds)) {
    *rejection =
        "VELORAN_FASTCGI_IDLE_SECONDS takes a number of seconds up to a year "
        "(0: no limit)";
    return false;
  }
  if (!ReadLimit(keptRows, 0, 2000000000L, &limits->keptRows)) {
    *rejection =
        "VELORAN_FASTCGI_KEPT_ROWS takes a number of rows up to 2000000000 "
        "(0: keep none)";
    return false;
  }
  return true;
}

bool StartedAsFastCgi() {
  // The test of the FastCGI library: a socket that is not connected.
  sockaddr_storage address;
  socklen_t length = sizeof(address);
  errno = 0;
  return getpeername(STDIN_FILENO, reinterpret_cast<sockaddr*>(&address),
                     &length) != 0 &&
         errno == ENOTCONN;
}

int ServeFastCgi(const char* program, int (*answer)(const char* queryString)) {
  ServiceLimits limits;
  const char* rejection = nullptr;
  if (!ReadServiceLimits(std::getenv("VELORAN_FASTCGI_WORKERS"),
                         std::getenv("VELORAN_FASTCGI_MAX_REQUESTS"),
                         std::getenv("VELORAN_FASTCGI_IDLE_SECONDS"),
                         std::getenv("VELORAN_FASTCGI_KEPT_ROWS"), &limits,
                         &rejection)) {
    std::fprintf(stderr, "%s: %s; the FastCGI service does not start\n",
                 program, rejection);
    return 1;
  }
  Handle(SIGTERM, OnStop);
  Handle(SIGINT, OnStop);
  Handle(SIGUSR1, OnStop);
  return Supervise(program, answer, limits);
}

}  // namespace veloran
