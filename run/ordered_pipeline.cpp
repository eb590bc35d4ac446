#include "run/ordered_pipeline.h"

#include <sched.h>

#include <cstring>

namespace lanzhou {

int DefaultThreadCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
  const unsigned count = std::thread::hardware_concurrency();
  return count > 0 ? static_cast<int>(count) : 1;
}

int ThreadsFor(std::size_t bytes, int threads) {
  constexpr std::size_t kWorthThreads = 4 << 20;
  return bytes < kWorthThreads || threads < 1 ? 1 : threads;
}

}  // namespace lanzhou
