// Runs two commands alternately and reports, for each, the median wall time
// and the median peak resident memory of the whole process, as the kernel
// counts them for a child (wait4). Used by scripts/bench.sh.
//
//   zv_runbench RUNS RESET_FROM RESET_TO -- COMMAND_A... -- COMMAND_B...
//
// RESET_FROM is copied over RESET_TO before every run of COMMAND_A (not
// timed), so that each run starts from the same stored state; "-" for none.
// A run that fails ends the benchmark: a failed run measures nothing.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Sample {
  double milliseconds;
  long peakKib;
};

Sample RunOnce(const std::vector<char*>& command) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    // What a command prints (grep its line) is no figure.
    const int nothing = open("/dev/null", O_WRONLY);
    if (nothing >= 0) dup2(nothing, STDOUT_FILENO);
    execvp(command[0], command.data());
    std::perror(command[0]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) {
    std::perror("zv_runbench");
    std::exit(1);
  }
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "zv_runbench: %s failed (status %d)\n", command[0], status);
    std::exit(1);
  }
  return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

template <typename T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Reset(const std::string& from, const std::string& to) {
  if (from == "-") return;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Splits "A... -- B..." into two null-terminated argument vectors.
bool SplitCommands(int argc, char** argv, int first, std::vector<char*>* a, std::vector<char*>* b) {
  std::vector<char*>* current = a;
  for (int i = first; i < argc; ++i) {
    if (std::string(argv[i]) == "--" && current == a) {
      current = b;
    } else {
      current->push_back(argv[i]);
    }
  }
  a->push_back(nullptr);
  b->push_back(nullptr);
  return a->size() > 1 && b->size() > 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> commandA;
  std::vector<char*> commandB;
  if (argc < 7 || std::string(argv[4]) != "--" ||
      !SplitCommands(argc, argv, 5, &commandA, &commandB)) {
    std::fprintf(stderr, "usage: zv_runbench RUNS RESET_FROM RESET_TO -- A... -- B...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<double> timesA, timesB;
  std::vector<long> peaksA, peaksB;
  // One untimed run each, so that both find the files in the page cache.
  Reset(argv[2], argv[3]);
  RunOnce(commandA);
  RunOnce(commandB);
  for (int i = 0; i < runs; ++i) {
    Reset(argv[2], argv[3]);
    const Sample a = RunOnce(commandA);
    const Sample b = RunOnce(commandB);
    timesA.push_back(a.milliseconds);
    peaksA.push_back(a.peakKib);
    timesB.push_back(b.milliseconds);
    peaksB.push_back(b.peakKib);
  }
  const double timeA = Median(timesA), timeB = Median(timesB);
  const long peakA = Median(peaksA), peakB = Median(peaksB);
  std::printf("%8.1f %8.1f %6.2f %9ld %9ld %6.2f\n", timeA, timeB, timeA / timeB, peakA, peakB,
              double(peakA) / double(peakB));
  return 0;
}
