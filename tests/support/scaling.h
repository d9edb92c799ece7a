#pragma once
// Growth checks: an operation timed at a size N and at 4N. They check growth, not speed: N is
// doubled until the operation takes at least MinSeconds of processor time, and a check fails
// only when 4N takes more than MaxRatio times as long as N (quadratic growth gives 16) on two
// tries in a row. No absolute time is asserted.
#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

namespace pellora::test {

constexpr double MinSeconds = 0.2;
constexpr double MaxRatio = 10;
// No run of the search for N goes on longer than this.
constexpr double SearchLimitSeconds = 60;

// Processor time of the process: other programs on a shared machine do not count.
inline double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The processor time of run(input), run in a child process stopped after limit seconds (a
// quadratic run at 4N would otherwise take minutes); a negative time when it was stopped.
template <class Run, class Input> double TimedRun(Run& run, const Input& input, double limit) {
  struct TResult {
    double seconds;
    bool failed;
  } result{-1, false};
  int channel[2];
  if (pipe(channel) != 0) return -1;
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(limit);
    timer.it_value.tv_usec = static_cast<suseconds_t>((limit - std::floor(limit)) * 1e6);
    setitimer(ITIMER_PROF, &timer, nullptr); // SIGPROF ends the child at the limit
    double begin = CpuSeconds();
    run(input);
    result = {CpuSeconds() - begin, ::testing::Test::HasFailure()};
    _exit(write(channel[1], &result, sizeof result) == sizeof result ? 0 : 1);
  }
  close(channel[1]);
  if (read(channel[0], &result, sizeof result) != sizeof result) result = {-1, false};
  close(channel[0]);
  waitpid(child, nullptr, 0);
  if (result.failed) ADD_FAILURE() << "the operation failed in its own checks";
  return result.seconds;
}

// make(n) builds an input of size n (not timed); run(input) is timed. n starts at start and
// grows up to maxN while the operation is too quick to measure.
template <class Make, class Run>
void ExpectLinearGrowth(const std::string& what, size_t start, size_t maxN, Make make, Run run) {
  size_t n = start;
  double small = TimedRun(run, make(n), SearchLimitSeconds);
  while (small >= 0 && small < MinSeconds && n * 2 <= maxN) {
    double next = TimedRun(run, make(n * 2), SearchLimitSeconds);
    if (next < 0) break; // too slow to finish: growth shows from n already
    n *= 2;
    small = next;
  }
  ASSERT_GE(small, 0) << what << ": N=" << n << " did not finish in " << SearchLimitSeconds << " s";
  for (int attempt = 1; attempt <= 2; ++attempt) {
    if (attempt > 1) small = TimedRun(run, make(n), SearchLimitSeconds);
    double large = TimedRun(run, make(4 * n), MaxRatio * std::max(small, 1e-3));
    char line[200];
    if (large < 0)
      std::snprintf(line, sizeof line, "%s: N=%zu %.3f s, 4N stopped after %.3f s, ratio > %.0f\n",
                    what.c_str(), n, small, MaxRatio * small, MaxRatio);
    else
      std::snprintf(line, sizeof line, "%s: N=%zu %.3f s, 4N %.3f s, ratio %.1f\n", what.c_str(), n,
                    small, large, large / std::max(small, 1e-6));
    std::fputs(line, stdout);
    if (large >= 0 && large <= MaxRatio * small) return;
  }
  ADD_FAILURE() << what << ": time grows faster than the input (figures above)";
}

// Heap bytes in use (this process's main arena and its mapped chunks).
inline size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

} // namespace pellora::test
