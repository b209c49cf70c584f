#include "resident/fastcgi_service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "catalogue/catalogue_names.h"
#include "catalogue/kept_connection.h"
#include "catalogue/kept_lookups.h"
#include "catalogue/read_fault.h"
#include "cgi/output.h"
#include "cgi/query_params.h"
#include "cgi/request_variables.h"
#include "cgi/search_window.h"
#include "cgi/whole_number.h"
#include "resident/fastcgi_records.h"
#include "search/kept_positions.h"

namespace veloran {

namespace {

constexpr int kMaxWorkers = 64;

volatile sig_atomic_t stopRequested = 0;

void OnStop(int) { stopRequested = 1; }

// Installs "handler" without SA_RESTART, so that a wait for a connection
// or for a worker returns at the signal.
void Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(signal, &action, nullptr);
}

// Reads a whole number (whole_number.h) in [low, high]; nullptr keeps
// *value.
bool ReadLimit(const char* text, long low, long high, long* value) {
  if (text == nullptr) return true;
  int64_t number = 0;
  if (!ReadWholeNumber(text, low, high, &number)) return false;
  *value = static_cast<long>(number);
  return true;
}

// --- The connections of a worker ----------------------------------------

// A worker reads all its connections at once and answers each request as
// soon as it is whole, so that a client that sends nothing, or half a
// request, or reads its reply slowly, stops no one else.  What a client
// may hold is bounded: the connections (the oldest idle one is closed for
// a new one), the time to send a whole request, and the time its reply may
// wait for it.
constexpr int kMaxConnections = kFastCgiMaxConnections;
// A connection waiting for a request, as a server keeps one open.
constexpr long kIdleConnectionSeconds = 60;
// A request, from its first byte to its last.
constexpr long kRequestSeconds = 10;
// A reply, from the answer to its last byte taken.
constexpr long kReplySeconds = 30;

struct Connection {
  int fd = -1;
  FastCgiReader* reader = nullptr;
  // When the connection's present wait began: for a request (idle or
  // started) or for its reply to be taken.
  long since = 0;
  unsigned char* reply = nullptr;
  size_t replyBytes = 0;
  size_t replySent = 0;
  bool closeAfterReply = false;
};

// What the worker owns: the listening socket, the connections, and the
// files that stand for a request's standard input, output and error while
// the page answers (descriptors 0, 1 and 2, set once, so that the pages
// read and write as the program run once per request does).
struct Worker {
  const char* program = "";
  int listener = -1;
  int log = -1;  // the worker's own standard error: the server's error log
  int body = -1;
  int out = -1;
  int err = -1;
  Connection connections[kMaxConnections];
};

long Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long>(now.tv_sec);
}

// One line on the worker's log, headed by the program's name.
void Log(const Worker& worker, const char* format, const char* detail) {
  char line[512];
  int length = std::snprintf(line, sizeof(line), "%s: ", worker.program);
  if (length < 0) return;
  std::snprintf(line + length, sizeof(line) - static_cast<size_t>(length),
                format, detail);
  size_t bytes = std::strlen(line);
  if (bytes + 1 < sizeof(line)) line[bytes++] = '\n';
  ssize_t written = write(worker.log, line, bytes);
  (void)written;
}

void Close(Connection* connection) {
  if (connection->fd >= 0) close(connection->fd);
  connection->fd = -1;
  std::free(connection->reply);
  connection->reply = nullptr;
  connection->replyBytes = connection->replySent = 0;
  connection->closeAfterReply = false;
  if (connection->reader != nullptr) {
    connection->reader->~FastCgiReader();
    new (connection->reader) FastCgiReader();
  }
}

bool Replying(const Connection& connection) {
  return connection.reply != nullptr;
}

// A file in memory in place of descriptor "fd", or false.
bool PutMemoryFile(int fd, const char* name) {
  int file = memfd_create(name, 0);
  if (file < 0) return false;
  bool put = dup2(file, fd) == fd;
  close(file);
  return put;
}

// Empties the file of descriptor "fd" and its stream before an answer.
bool Rewind(int fd, FILE* stream) {
  std::fflush(stream);
  if (ftruncate(fd, 0) != 0 || std::fseek(stream, 0, SEEK_SET) != 0) {
    return false;
  }
  std::clearerr(stream);
  return true;
}

// What the page wrote into the file of descriptor "fd": its size, and its
// bytes read into a buffer of ours (nullptr with size 0 for none).  False
// when it cannot be read.
bool TakeFile(int fd, char** bytes, size_t* size) {
  *bytes = nullptr;
  *size = 0;
  off_t end = lseek(fd, 0, SEEK_END);
  if (end < 0) return false;
  if (end == 0) return true;
  *bytes = static_cast<char*>(std::malloc(static_cast<size_t>(end)));
  if (*bytes == nullptr) return false;
  size_t done = 0;
  while (done < static_cast<size_t>(end)) {
    ssize_t read = pread(fd, *bytes + done, static_cast<size_t>(end) - done,
                         static_cast<off_t>(done));
    if (read <= 0) {
      if (read < 0 && errno == EINTR) continue;
      std::free(*bytes);
      *bytes = nullptr;
      return false;
    }
    done += static_cast<size_t>(read);
  }
  *size = done;
  return true;
}

// Everything a request of the program may have left behind, as a process
// starts: the query, the window, the read fault, the catalogue table.
void ResetRequestState() {
  ClearQueryParams();
  searchWindow = SearchWindow{};
  ForgetReadFault();
  FreeCatalogueNames();
  catalogueNames.count = 0;
}

// The reply to a request whose parameters were too many or too large.
constexpr char kTooLargeReply[] =
    "Status: 431 Request Header Fields Too Large\n"
    "Content-type: text/plain\n\n"
    "The request's header fields are too large.\n";

// Runs the page for the request: its variables are the request's, its body
// is standard input, and what it writes on standard output and error is
// kept in *out and *err.  Returns its exit status.
int RunPage(Worker* worker, int (*answer)(const char*),
            const FastCgiRequest& request, char** out, size_t* outBytes,
            char** err, size_t* errBytes) {
  *out = *err = nullptr;
  *outBytes = *errBytes = 0;
  if (request.tooLarge) {
    Log(*worker, "%s",
        "a request's parameters were too large; it is answered 431");
    *outBytes = sizeof(kTooLargeReply) - 1;
    *out = static_cast<char*>(std::malloc(*outBytes));
    if (*out == nullptr) return -1;
    std::memcpy(*out, kTooLargeReply, *outBytes);
    return -1;
  }
  if (!Rewind(worker->body, stdin) || !Rewind(worker->out, stdout) ||
      !Rewind(worker->err, stderr) ||
      pwrite(worker->body, request.body, request.bodyBytes, 0) !=
          static_cast<ssize_t>(request.bodyBytes)) {
    Log(*worker, "%s", "no memory to answer a request");
    return -1;
  }
  RequestVariableList variables;
  variables.count = request.count;
  variables.names = request.names;
  variables.values = request.values;
  UseRequestVariables(&variables);
  ResetRequestState();
  int status = answer(request.Find("QUERY_STRING"));
  int error = 0;
  if (!FlushReply(&error)) status = -1;
  std::fflush(stderr);
  UseRequestVariables(nullptr);
  if (!TakeFile(worker->out, out, outBytes) ||
      !TakeFile(worker->err, err, errBytes)) {
    std::free(*out);
    *out = nullptr;
    *outBytes = 0;
    Log(*worker, "%s", "no memory for a reply");
    return -1;
  }
  return status;
}

// Answers the whole request read on "connection": the page's reply, in
// records, waits to be sent.  False when no reply could be made.
bool Answer(Worker* worker, int (*answer)(const char*),
            Connection* connection) {
  const FastCgiRequest& request = connection->reader->request();
  char* out = nullptr;
  char* err = nullptr;
  size_t outBytes = 0, errBytes = 0;
  // A signal waits until the page is whole.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  for (int signal : {SIGTERM, SIGINT, SIGUSR1}) sigaddset(&stopSignals, signal);
  sigset_t before;
  sigprocmask(SIG_BLOCK, &stopSignals, &before);
  int status =
      RunPage(worker, answer, request, &out, &outBytes, &err, &errBytes);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  size_t capacity =
      FastCgiStreamBytes(outBytes) +
      (errBytes > 0 ? FastCgiStreamBytes(errBytes) + FastCgiStreamBytes(0)
                    : 0) +
      FastCgiStreamBytes(0) + 2 * kFastCgiHeaderBytes;
  auto* reply = static_cast<unsigned char*>(std::malloc(capacity));
  bool made = reply != nullptr;
  size_t used = 0;
  if (made) {
    made = AppendFastCgiStream(FastCgiRecordType::kStdout, request.id, out,
                               outBytes, reply, capacity, &used) &&
           (outBytes == 0 ||
            AppendFastCgiStream(FastCgiRecordType::kStdout, request.id, nullptr,
                                0, reply, capacity, &used)) &&
           (errBytes == 0 ||
            (AppendFastCgiStream(FastCgiRecordType::kStderr, request.id, err,
                                 errBytes, reply, capacity, &used) &&
             AppendFastCgiStream(FastCgiRecordType::kStderr, request.id,
                                 nullptr, 0, reply, capacity, &used))) &&
           AppendFastCgiEnd(request.id, static_cast<uint32_t>(status & 0xFF),
                            reply, capacity, &used);
    assert(made);
  }
  std::free(out);
  std::free(err);
  if (!made) {
    std::free(reply);
    Log(*worker, "%s", "no memory for a reply");
    return false;
  }
  connection->reply = reply;
  connection->replyBytes = used;
  connection->replySent = 0;
  connection->closeAfterReply = !request.keepConnection;
  connection->since = Now();
  connection->reader->FinishRequest();
  return true;
}

// Sends what the connection owes its client, as much as the socket takes
// now.  False when the connection is to be closed: its client has gone,
// or the reply is sent and the client did not keep the connection.
bool Send(Worker* worker, Connection* connection) {
  FastCgiReader* reader = connection->reader;
  while (reader->ControlBytes() > 0) {
    ssize_t sent = send(connection->fd, reader->Control(),
                        reader->ControlBytes(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    reader->ControlSent(static_cast<size_t>(sent));
  }
  if (!Replying(*connection)) return !reader->CloseAfterControl();
  while (connection->replySent < connection->replyBytes) {
    ssize_t sent =
        send(connection->fd, connection->reply + connection->replySent,
             connection->replyBytes - connection->replySent, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
      Log(*worker, "the reply did not reach the server: %s",
          std::strerror(errno));
      return false;
    }
    connection->replySent += static_cast<size_t>(sent);
  }
  std::free(connection->reply);
  connection->reply = nullptr;
  connection->replyBytes = connection->replySent = 0;
  connection->since = Now();
  return !connection->closeAfterReply;
}

// Sends what the connection owes, and while no reply waits to be taken,
// reads the records received and answers a request that is whole.  False
// when the connection is to be closed.
bool Progress(Worker* worker, int (*answer)(const char*),
              Connection* connection, long* served) {
  FastCgiReader* reader = connection->reader;
  while (true) {
    if (!Send(worker, connection)) return false;
    if (Replying(*connection) || reader->ControlBytes() > 0) return true;
    switch (reader->Read()) {
      case FastCgiRead::kNeedMore:
        if (reader->ControlBytes() == 0) return true;
        break;  // its control replies are sent first
      case FastCgiRead::kBroken:
        Log(*worker, "a client %s; its connection is closed",
            reader->Problem());
        return false;
      case FastCgiRead::kRequest:
        ++*served;
        if (!Answer(worker, answer, connection)) return false;
        break;
    }
  }
}

// Reads what the client sent and goes on with it.  False when the
// connection is to be closed.
bool Receive(Worker* worker, int (*answer)(const char*), Connection* connection,
             long* served) {
  FastCgiReader* reader = connection->reader;
  bool wasStarted = reader->Started();
  ssize_t got = 0;
  do {
    got = recv(connection->fd, reader->Space(), reader->SpaceBytes(), 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
  if (got == 0) return false;  // the client closed it
  reader->Received(static_cast<size_t>(got));
  if (!wasStarted) connection->since = Now();
  return Progress(worker, answer, connection, served);
}

// When the connection's present wait ends.
long Deadline(const Connection& connection) {
  if (Replying(connection)) return connection.since + kReplySeconds;
  if (connection.reader->Started()) return connection.since + kRequestSeconds;
  return connection.since + kIdleConnectionSeconds;
}

// A free place for a new connection: an empty one, or else that of the
// connection idle or sending its request the longest, closed.  nullptr
// when every connection waits for its reply to be taken.
Connection* PlaceForConnection(Worker* worker) {
  Connection* oldest = nullptr;
  for (Connection& connection : worker->connections) {
    if (connection.fd < 0) return &connection;
    if (Replying(connection)) continue;
    if (oldest == nullptr || connection.since < oldest->since)
      oldest = &connection;
  }
  if (oldest != nullptr) Close(oldest);
  return oldest;
}

// Whether PlaceForConnection would find a place.
bool HasPlace(const Worker& worker) {
  for (const Connection& connection : worker.connections) {
    if (connection.fd < 0 || !Replying(connection)) return true;
  }
  return false;
}

void Accept(Worker* worker) {
  Connection* place = PlaceForConnection(worker);
  if (place == nullptr) return;
  int fd =
      accept4(worker->listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;  // another worker took it, or the client went
  place->fd = fd;
  place->since = Now();
}

// Sends the replies that wait, for as long as their deadlines allow: the
// last thing a worker does.
void FinishReplies(Worker* worker) {
  for (Connection& connection : worker->connections) {
    while (connection.fd >= 0 && Replying(connection)) {
      long left = Deadline(connection) - Now();
      pollfd waiting{connection.fd, POLLOUT, 0};
      if (left <= 0 || poll(&waiting, 1, static_cast<int>(left * 1000)) <= 0 ||
          !Send(worker, &connection)) {
        break;
      }
    }
    Close(&connection);
  }
}

// Sets the worker's descriptors up, or says why it cannot start.
bool StartWorkerFiles(Worker* worker) {
  worker->log = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  worker->listener = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  if (worker->log < 0 || worker->listener < 0) return false;
  int flags = fcntl(worker->listener, F_GETFL);
  if (flags < 0 || fcntl(worker->listener, F_SETFL, flags | O_NONBLOCK) != 0) {
    return false;
  }
  if (!PutMemoryFile(STDIN_FILENO, "request-body") ||
      !PutMemoryFile(STDOUT_FILENO, "reply") ||
      !PutMemoryFile(STDERR_FILENO, "reply-errors")) {
    return false;
  }
  worker->body = STDIN_FILENO;
  worker->out = STDOUT_FILENO;
  worker->err = STDERR_FILENO;
  for (Connection& connection : worker->connections) {
    void* memory = std::malloc(sizeof(FastCgiReader));
    if (memory == nullptr) return false;
    connection.reader = new (memory) FastCgiReader();
  }
  return true;
}

void FreeWorkerFiles(Worker* worker) {
  for (Connection& connection : worker->connections) {
    Close(&connection);
    if (connection.reader != nullptr) {
      connection.reader->~FastCgiReader();
      std::free(connection.reader);
      connection.reader = nullptr;
    }
  }
}

// --- A worker ----------------------------------------------------------

int ServeRequests(const char* program, int (*answer)(const char*),
                  const ServiceLimits& limits) {
  static Worker worker;
  worker.program = program;
  if (!StartWorkerFiles(&worker)) {
    std::fprintf(stderr, "%s: a worker could not set up its files: %s\n",
                 program, std::strerror(errno));
    return 1;
  }
  IgnoreBrokenPipes();
  KeepConnection();
  SetKeptRowLimit(limits.keptRows);
  long served = 0;
  long lastRequest = Now();
  int status = 0;
  while (!stopRequested &&
         !(limits.maxRequests > 0 && served >= limits.maxRequests)) {
    pollfd waiting[kMaxConnections + 1];
    Connection* polled[kMaxConnections + 1];
    nfds_t count = 0;
    long now = Now();
    long wake = limits.idleSeconds > 0 ? lastRequest + limits.idleSeconds : -1;
    bool open = false;
    for (Connection& connection : worker.connections) {
      if (connection.fd < 0) continue;
      open = true;
      bool writing =
          Replying(connection) || connection.reader->ControlBytes() > 0;
      waiting[count] = {connection.fd,
                        static_cast<short>(writing ? POLLOUT : POLLIN), 0};
      polled[count++] = &connection;
      long deadline = Deadline(connection);
      if (wake < 0 || deadline < wake) wake = deadline;
    }
    if (!open && limits.idleSeconds > 0 &&
        now >= lastRequest + limits.idleSeconds) {
      break;  // idle: the supervisor starts another when one is needed
    }
    // While every connection waits for its reply to be taken, new ones
    // wait in the socket's queue (or for another worker).
    if (HasPlace(worker)) {
      waiting[count] = {worker.listener, POLLIN, 0};
      polled[count++] = nullptr;
    }
    int timeout =
        wake < 0 ? -1
                 : static_cast<int>((wake > now ? wake - now : 0) * 1000 + 100);
    int ready = poll(waiting, count, timeout);
    if (ready < 0) {
      if (errno == EINTR) continue;
      Log(worker, "no connection could be awaited: %s", std::strerror(errno));
      status = 1;
      break;
    }
    long servedBefore = served;
    for (nfds_t i = 0; i < count; ++i) {
      Connection* connection = polled[i];
      if (connection == nullptr) {
        if (waiting[i].revents & POLLIN) Accept(&worker);
        continue;
      }
      bool keep = true;
      if (waiting[i].revents & (POLLERR | POLLHUP | POLLNVAL) &&
          !(waiting[i].revents & POLLIN)) {
        if (Replying(*connection))
          Log(worker, "%s",
              "the reply did not reach the server: the connection closed");
        keep = false;
      } else if (waiting[i].revents & POLLOUT) {
        keep = Progress(&worker, answer, connection, &served);
      } else if (waiting[i].revents & POLLIN) {
        keep = Receive(&worker, answer, connection, &served);
      }
      if (keep && Now() >= Deadline(*connection)) {
        if (Replying(*connection)) {
          Log(worker, "%s",
              "the reply did not reach the server: it was not read in time");
        } else if (connection->reader->Started()) {
          Log(worker, "%s",
              "a client did not send its whole request in time; its "
              "connection is closed");
        }
        keep = false;
      }
      if (!keep) Close(connection);
    }
    if (served != servedBefore) lastRequest = Now();
    // A failed read may be a lost connection or a damaged file: the next
    // request starts afresh.
    if (ReadFailed()) {
      DropKeptConnection();
      FreeKeptPositions();
      FreeKeptLookups();
    }
    ForgetReadFault();
  }
  FinishReplies(&worker);
  FreeWorkerFiles(&worker);
  DropKeptConnection();
  FreeKeptPositions();
  FreeKeptLookups();
  FreeCatalogueNames();
  ClearQueryParams();
  return status;
}

// --- The supervisor ----------------------------------------------------

pid_t StartWorker(const char* program, int (*answer)(const char*),
                  const ServiceLimits& limits) {
  pid_t supervisor = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // A worker ends with its supervisor, which would not replace it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != supervisor) _exit(0);
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
  // A socket that is not connected.
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
