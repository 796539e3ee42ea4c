// The long run of the differential check of the software extended arithmetic
// against the x87 unit (the core tests run a short one). Started by hand:
//   korvastel_extended_check [operation rounds] [span rounds] [seed]
// Prints the checks made per operation and every mismatch found; exits 1 on
// a mismatch.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/ExtendedDifferential.h"

int main(int argc, char** argv) {
#if KORVASTEL_HAS_X87_EXTENDED
  const std::uint64_t operationRounds = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 4'000'000;
  const std::uint64_t spanRounds = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1'000'000;
  const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
  std::printf("seed %llu: %llu operation rounds, %llu span rounds\n", static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(operationRounds), static_cast<unsigned long long>(spanRounds));
  const auto start = std::chrono::steady_clock::now();
  korvastel::differential::ExtendedDifferential differential(seed);
  differential.RunOperations(operationRounds);
  differential.RunSpanWork(spanRounds);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const auto& [operation, count] : differential.Checks())
    std::printf("  %-18s %14llu\n", operation.c_str(), static_cast<unsigned long long>(count));
  std::printf("  %-18s %14llu checks in %.1f s, %llu mismatches\n", "total",
              static_cast<unsigned long long>(differential.TotalChecks()), seconds,
              static_cast<unsigned long long>(differential.Mismatches()));
  for (const std::string& example : differential.Examples()) std::printf("  mismatch: %s\n", example.c_str());
  return differential.Mismatches() == 0 ? 0 : 1;
#else
  (void)argc;
  (void)argv;
  std::puts("no x87 unit on this target: nothing to compare with");
  return 0;
#endif
}
