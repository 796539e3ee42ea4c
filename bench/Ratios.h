#pragma once

// Benchmarks report their goals as ratios measured in the same run: a
// benchmark against its baseline, or against a 16 ms frame of the window.
#include <string>

namespace bench {

bool CompareWithBaseline(const std::string& benchmark, const std::string& baseline);
bool CompareWithFrame(const std::string& benchmark);

}  // namespace bench

#define BENCH_JOIN2(a, b) a##b
#define BENCH_JOIN(a, b) BENCH_JOIN2(a, b)
// BENCHMARK_RATIO(BM_Mine, BM_Baseline) prints "BM_Mine / BM_Baseline = 0.42x".
#define BENCHMARK_RATIO(benchmark, baseline) \
  static const bool BENCH_JOIN(ratio_, __LINE__) = bench::CompareWithBaseline(#benchmark, #baseline)
// BENCHMARK_FRAME_SHARE(BM_Mine) prints its time as a share of a 16 ms frame.
#define BENCHMARK_FRAME_SHARE(benchmark) \
  static const bool BENCH_JOIN(frame_, __LINE__) = bench::CompareWithFrame(#benchmark)
