#pragma once
// What every benchmark measures with: the best time of a few runs, and the process's memory.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <unistd.h>

namespace pellora::bench {

using TClock = std::chrono::steady_clock;

inline double Seconds(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

// The shortest of runs timings of run: the machine is shared.
template <class F> double BestSeconds(int runs, F&& run) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = TClock::now();
    run();
    best = std::min(best, Seconds(start));
  }
  return best;
}

// Resident memory now, in KB.
inline long CurrentRssKb() {
  std::ifstream status("/proc/self/statm");
  long pages = 0, resident = 0;
  status >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace pellora::bench
