// Runs the benchmarks, then prints each registered ratio from the times
// measured in this same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/Ratios.h"

namespace bench {

namespace {

std::vector<std::pair<std::string, std::string>>& Ratios() {
  static std::vector<std::pair<std::string, std::string>> ratios;
  return ratios;
}

std::vector<std::string>& FrameShares() {
  static std::vector<std::string> shares;
  return shares;
}

// Remembers the real time per iteration, in nanoseconds, of every run.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        nanoseconds_[run.benchmark_name()] = run.GetAdjustedRealTime() * Multiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }

  const double* Time(const std::string& name) const {
    const auto it = nanoseconds_.find(name);
    return it == nanoseconds_.end() ? nullptr : &it->second;
  }

 private:
  static double Multiplier(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      default: return 1.0;
    }
  }
  std::map<std::string, double> nanoseconds_;
};

void PrintRatios(const RecordingReporter& reporter) {
  std::printf("\nRatios measured in this run:\n");
  for (const auto& [name, baseline] : Ratios()) {
    const double* mine = reporter.Time(name);
    const double* base = reporter.Time(baseline);
    if (mine && base) std::printf("  %-40s / %-32s = %.3fx\n", name.c_str(), baseline.c_str(), *mine / *base);
  }
  constexpr double kFrameNanoseconds = 16e6;
  for (const std::string& name : FrameShares())
    if (const double* mine = reporter.Time(name))
      std::printf("  %-40s = %.3f%% of a 16 ms frame\n", name.c_str(), 100.0 * *mine / kFrameNanoseconds);
}

}  // namespace

bool CompareWithBaseline(const std::string& benchmark, const std::string& baseline) {
  Ratios().emplace_back(benchmark, baseline);
  return true;
}

bool CompareWithFrame(const std::string& benchmark) {
  FrameShares().push_back(benchmark);
  return true;
}

}  // namespace bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  bench::PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
