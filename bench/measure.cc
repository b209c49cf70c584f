// The timing harness of bench/run: runs every case of a plan once to warm
// up (keeping its output), then ROUNDS more times, interleaved (round r runs
// the cases starting at case r, so that no case always runs first or
// always follows the same one), and reports for each case the median, least
// and greatest wall-clock time and the peak resident memory of the process
// (ru_maxrss from wait4, what /usr/bin/time -f %M reports), with the median
// processor time (user + system), which other work on the machine disturbs
// less than the wall-clock time.
//
// A plan line is TAB-separated words: a label, then NAME=VALUE words for the
// environment of the case, then the program and its arguments (looked up in
// PATH).  Lines that are empty or start with '#' are skipped.
//
// Usage: bench_measure ROUNDS PLAN OUTDIR
// Writes OUTDIR/LABEL.out (the warm-up run's standard output),
// OUTDIR/LABEL.err (standard error of all runs), OUTDIR/samples.tsv (every
// run), and prints one line per case to standard output:
//   label runs median_s min_s max_s median_rss_kb max_rss_kb failed_runs
//   median_cpu_s
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Case {
  std::string label;
  std::vector<std::string> environment;
  std::vector<std::string> arguments;
  std::vector<double> seconds;
  std::vector<long> rssKb;
  std::vector<double> cpuSeconds;
  int failures = 0;
};

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Runs the case once; returns false when it could not be started or did not
// exit with status 0.
bool RunOnce(const Case& c, const std::string& outPath,
             const std::string& errPath, double* seconds, double* cpuSeconds,
             long* rssKb) {
  std::vector<char*> argv;
  for (const std::string& a : c.arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  double start = Now();
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    for (const std::string& e : c.environment)
      putenv(const_cast<char*>(e.c_str()));
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return false;
  *seconds = Now() - start;
  *rssKb = usage.ru_maxrss;
  *cpuSeconds =
      static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  if (n == 0) return T{};
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_measure ROUNDS PLAN OUTDIR\n");
    return 2;
  }
  int rounds = std::atoi(argv[1]);
  std::string outDir = argv[3];
  std::ifstream plan(argv[2]);
  if (rounds < 1 || !plan) {
    std::fprintf(stderr, "bench_measure: bad rounds or unreadable plan\n");
    return 2;
  }
  std::vector<Case> cases;
  std::string line;
  while (std::getline(plan, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string word;
    Case c;
    std::getline(words, c.label, '\t');
    while (std::getline(words, word, '\t')) {
      if (c.arguments.empty() && word.find('=') != std::string::npos &&
          word.find('/') > word.find('=')) {
        c.environment.push_back(word);
      } else {
        c.arguments.push_back(word);
      }
    }
    if (c.label.empty() || c.arguments.empty()) {
      std::fprintf(stderr, "bench_measure: bad plan line: %s\n", line.c_str());
      return 2;
    }
    cases.push_back(c);
  }

  std::ofstream samples(outDir + "/samples.tsv");
  samples << "label\tround\tseconds\tcpu_seconds\trss_kb\tok\n";
  for (Case& c : cases) std::remove((outDir + "/" + c.label + ".err").c_str());
  for (int round = -1; round < rounds; ++round) {
    size_t n = cases.size();
    for (size_t k = 0; k < n; ++k) {
      Case& c = cases[(k + static_cast<size_t>(round < 0 ? 0 : round)) % n];
      std::string out =
          round < 0 ? outDir + "/" + c.label + ".out" : "/dev/null";
      double seconds = 0, cpu = 0;
      long rss = 0;
      bool ok = RunOnce(c, out, outDir + "/" + c.label + ".err", &seconds, &cpu,
                        &rss);
      samples << c.label << '\t' << round << '\t' << seconds << '\t' << cpu
              << '\t' << rss << '\t' << ok << '\n';
      if (!ok) ++c.failures;
      if (round < 0) continue;  // the warm-up run is not counted
      c.seconds.push_back(seconds);
      c.rssKb.push_back(rss);
      c.cpuSeconds.push_back(cpu);
    }
  }
  for (const Case& c : cases) {
    std::printf("%s\t%zu\t%.4f\t%.4f\t%.4f\t%ld\t%ld\t%d\t%.4f\n",
                c.label.c_str(), c.seconds.size(), Median(c.seconds),
                *std::min_element(c.seconds.begin(), c.seconds.end()),
                *std::max_element(c.seconds.begin(), c.seconds.end()),
                Median(c.rssKb),
                *std::max_element(c.rssKb.begin(), c.rssKb.end()), c.failures,
                Median(c.cpuSeconds));
  }
  return 0;
}
