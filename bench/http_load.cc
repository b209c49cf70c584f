// The client of bench/load: sends HTTP/1.0 requests to a server on
// 127.0.0.1, CONCURRENCY of them in flight at every moment, and checks that
// each reply has the status and, byte for byte, the body of one of the
// replies expected for its request.  One thread and epoll, so that the
// client takes little of the processor time that it measures (a process
// per request, as curl's, would take more than the programs served).
//
// A plan line is TAB-separated: the request's target (path and query), the
// HTTP status expected, and one or more files, each holding a body that is
// a right reply (more than one while the database is switched under load:
// each page must equal one database's reply entirely).  Request i is plan
// line i modulo the number of lines.
//
// Usage: http_load PORT CONCURRENCY PLAN LOG (--requests N | --seconds S)
//                  [--wrong DIR]
//   --requests N  send N requests
//   --seconds S   send requests for S seconds, then wait for those in flight
//   --wrong DIR   keep the first replies that are wrong there, whole
// Writes LOG, a line per request in the order they ended:
//   plan_line matched start_ns end_ns
// "matched" is the index of the expected body that the reply equals, -1
// for a reply with another status or body, -2 for a request that failed
// (refused, reset, or no reply within 60 s); the times are CLOCK_MONOTONIC.
// Prints one line:
//   requests N ok N wrong N failed N seconds S client_cpu_s S
// Exit status 0 when every reply was right, 1 otherwise, 2 on bad usage.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr long long kTimeoutNs = 60'000'000'000LL;

struct PlanLine {
  std::string request;  // the whole HTTP request
  std::string target;
  int status;
  std::vector<std::string> bodies;
};

struct Slot {
  int fd = -1;
  size_t planLine = 0;
  size_t sent = 0;  // bytes of the request written
  std::string reply;
  long long startNs = 0;
};

struct Ended {
  size_t planLine;
  int matched;
  long long startNs;
  long long endNs;
};

long long NowNs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  *text = all.str();
  return true;
}

bool ReadPlan(const char* path, std::vector<PlanLine>* plan) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "http_load: cannot read the plan %s\n", path);
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> words;
    std::istringstream fields(line);
    std::string word;
    while (std::getline(fields, word, '\t')) words.push_back(word);
    if (words.size() < 3) {
      std::fprintf(stderr, "http_load: a plan line needs a target, a status "
                           "and a body file: %s\n", line.c_str());
      return false;
    }
    PlanLine entry;
    entry.target = words[0];
    entry.status = std::atoi(words[1].c_str());
    entry.request = "GET " + words[0] +
                    " HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: http_load\r\n\r\n";
    for (size_t i = 2; i < words.size(); ++i) {
      std::string body;
      if (!ReadFile(words[i], &body)) {
        std::fprintf(stderr, "http_load: cannot read %s\n", words[i].c_str());
        return false;
      }
      entry.bodies.push_back(body);
    }
    plan->push_back(entry);
  }
  if (plan->empty()) {
    std::fprintf(stderr, "http_load: the plan %s is empty\n", path);
    return false;
  }
  return true;
}

// The index of the expected body that the reply equals, or -1: the status
// line must carry the line's status, and a Content-Length, when there is
// one, must be the body's length.
int Match(const std::string& reply, const PlanLine& line) {
  size_t headerEnd = reply.find("\r\n\r\n");
  if (headerEnd == std::string::npos || reply.compare(0, 5, "HTTP/") != 0) {
    return -1;
  }
  size_t space = reply.find(' ');
  if (space == std::string::npos || space > headerEnd ||
      std::atoi(reply.c_str() + space + 1) != line.status) {
    return -1;
  }
  size_t bodyStart = headerEnd + 4;
  size_t bodySize = reply.size() - bodyStart;
  std::string header = reply.substr(0, headerEnd + 2);
  for (char& c : header) c = static_cast<char>(std::tolower(c));
  size_t length = header.find("\r\ncontent-length:");
  if (length != std::string::npos &&
      std::strtoul(header.c_str() + length + 17, nullptr, 10) != bodySize) {
    return -1;
  }
  for (size_t i = 0; i < line.bodies.size(); ++i) {
    if (line.bodies[i].size() == bodySize &&
        reply.compare(bodyStart, bodySize, line.bodies[i]) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: http_load PORT CONCURRENCY PLAN LOG "
               "(--requests N | --seconds S) [--wrong DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7) return Usage();
  int port = std::atoi(argv[1]);
  int concurrency = std::atoi(argv[2]);
  const char* planPath = argv[3];
  const char* logPath = argv[4];
  long requests = -1;
  double seconds = -1;
  std::string wrongDir;
  for (int i = 5; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--requests") == 0) {
      requests = std::atol(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::atof(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--wrong") == 0) {
      wrongDir = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (port <= 0 || port > 65535 || concurrency < 1 || concurrency > 256 ||
      (requests < 1 && seconds <= 0) || (argc - 5) % 2 != 0) {
    return Usage();
  }
  std::vector<PlanLine> plan;
  if (!ReadPlan(planPath, &plan)) return 2;

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int poll = epoll_create1(0);
  if (poll < 0) {
    std::perror("http_load: epoll_create1");
    return 1;
  }

  std::vector<Slot> slots(static_cast<size_t>(concurrency));
  std::vector<Ended> ended;
  ended.reserve(requests > 0 ? static_cast<size_t>(requests) : 100000);
  long issued = 0;
  long ok = 0, wrong = 0, failed = 0, kept = 0;
  long long begin = NowNs();
  long long deadline =
      seconds > 0 ? begin + static_cast<long long>(seconds * 1e9) : 0;
  int inFlight = 0;

  auto more = [&]() {
    return requests > 0 ? issued < requests : NowNs() < deadline;
  };
  auto finish = [&](size_t index, int matched) {
    Slot& slot = slots[index];
    long long end = NowNs();
    const PlanLine& line = plan[slot.planLine];
    if (matched == -1 && !slot.reply.empty()) matched = Match(slot.reply, line);
    if (matched >= 0) {
      ++ok;
    } else if (matched == -1) {
      ++wrong;
      if (wrong <= 3) {
        std::fprintf(stderr, "http_load: a wrong reply to %s\n",
                     line.target.c_str());
      }
      if (!wrongDir.empty() && kept < 10) {
        std::ofstream out(wrongDir + "/wrong-" + std::to_string(kept++) +
                              ".http",
                          std::ios::binary);
        out << line.target << "\n" << slot.reply;
      }
    } else {
      ++failed;
      if (failed <= 3) {
        std::fprintf(stderr, "http_load: %s failed\n", line.target.c_str());
      }
    }
    ended.push_back({slot.planLine, matched, slot.startNs, end});
    epoll_ctl(poll, EPOLL_CTL_DEL, slot.fd, nullptr);
    close(slot.fd);
    slot.fd = -1;
    --inFlight;
  };
  auto start = [&](size_t index) {
    Slot& slot = slots[index];
    slot.planLine = static_cast<size_t>(issued % static_cast<long>(plan.size()));
    ++issued;
    slot.sent = 0;
    slot.reply.clear();
    slot.startNs = NowNs();
    slot.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ++inFlight;
    if (slot.fd < 0) {
      std::perror("http_load: socket");
      std::exit(1);
    }
    int one = 1;
    setsockopt(slot.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    if (connect(slot.fd, reinterpret_cast<sockaddr*>(&address),
                sizeof(address)) != 0 &&
        errno != EINPROGRESS) {
      epoll_event event{};
      event.data.u64 = index;
      epoll_ctl(poll, EPOLL_CTL_ADD, slot.fd, &event);
      finish(index, -2);
      return;
    }
    epoll_event event{};
    event.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
    event.data.u64 = index;
    epoll_ctl(poll, EPOLL_CTL_ADD, slot.fd, &event);
  };

  for (size_t i = 0; i < slots.size() && more(); ++i) start(i);
  std::vector<epoll_event> events(slots.size());
  std::vector<char> buffer(1 << 16);
  while (inFlight > 0) {
    int ready = epoll_wait(poll, events.data(), static_cast<int>(events.size()),
                           1000);
    if (ready < 0 && errno != EINTR) {
      std::perror("http_load: epoll_wait");
      return 1;
    }
    for (int e = 0; e < ready; ++e) {
      size_t index = events[e].data.u64;
      Slot& slot = slots[index];
      if (slot.fd < 0) continue;
      const std::string& request = plan[slot.planLine].request;
      bool done = false;
      int outcome = -1;
      if ((events[e].events & EPOLLOUT) && slot.sent < request.size()) {
        ssize_t n = send(slot.fd, request.data() + slot.sent,
                         request.size() - slot.sent, MSG_NOSIGNAL);
        if (n > 0) {
          slot.sent += static_cast<size_t>(n);
          if (slot.sent == request.size()) {
            epoll_event event{};
            event.events = EPOLLIN | EPOLLRDHUP;
            event.data.u64 = index;
            epoll_ctl(poll, EPOLL_CTL_MOD, slot.fd, &event);
          }
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
          done = true;
          outcome = -2;
        }
      }
      if (!done && (events[e].events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP |
                                        EPOLLERR))) {
        for (;;) {
          ssize_t n = recv(slot.fd, buffer.data(), buffer.size(), 0);
          if (n > 0) {
            slot.reply.append(buffer.data(), static_cast<size_t>(n));
            continue;
          }
          if (n == 0) {
            done = true;  // HTTP/1.0: the server closes after the reply
          } else if (errno != EAGAIN && errno != EINTR) {
            done = true;
            outcome = -2;
          }
          break;
        }
      }
      if (done) {
        finish(index, outcome == -2 || slot.reply.empty() ? -2 : -1);
        if (more()) start(index);
      }
    }
    long long now = NowNs();
    for (size_t i = 0; i < slots.size(); ++i) {
      if (slots[i].fd >= 0 && now - slots[i].startNs > kTimeoutNs) {
        finish(i, -2);
        if (more()) start(i);
      }
    }
    for (size_t i = 0; i < slots.size(); ++i) {
      if (slots[i].fd < 0 && more()) start(i);
    }
  }
  long long finished = NowNs();

  std::FILE* log = std::fopen(logPath, "w");
  if (log == nullptr) {
    std::perror(logPath);
    return 1;
  }
  for (const Ended& e : ended) {
    std::fprintf(log, "%zu %d %lld %lld\n", e.planLine, e.matched, e.startNs,
                 e.endNs);
  }
  std::fclose(log);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 +
               usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
  std::printf("requests %zu ok %ld wrong %ld failed %ld seconds %.6f "
              "client_cpu_s %.6f\n",
              ended.size(), ok, wrong, failed, (finished - begin) * 1e-9, cpu);
  return wrong == 0 && failed == 0 ? 0 : 1;
}
