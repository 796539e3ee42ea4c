// ParseSpan against glibc's strtold on the same corpus of typical cell texts,
// and the two passes over a full column that the window runs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/Core.h"

namespace {

const std::vector<std::string>& Corpus() {
  static const std::vector<std::string> corpus = {
      "70.5", "312", " 81 ", "1.25e2", "abc", "245.75", "", "1,5", "198", "402.1",
      "12 m", "355", "0.5", "1e3", "-", "287.25", "310.0", "99", " ", "415.6",
  };
  return corpus;
}

void BM_ParseSpan(benchmark::State& state) {
  for (auto _ : state) {
    for (const std::string& text : Corpus()) {
      try {
        benchmark::DoNotOptimize(korvastel::ParseSpan(text));
      } catch (const korvastel::EConvertError&) {
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Corpus().size()));
}
BENCHMARK(BM_ParseSpan);

// The baseline: strtold with the end pointer checked, as a plain validity test.
void BM_Strtold(benchmark::State& state) {
  for (auto _ : state) {
    for (const std::string& text : Corpus()) {
      char* end = nullptr;
      long double value = std::strtold(text.c_str(), &end);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Corpus().size()));
}
BENCHMARK(BM_Strtold);

korvastel::SpanColumn FullColumn() {
  korvastel::SpanColumn column;
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row)
    column.SetText(row, Corpus()[static_cast<std::size_t>(row) % Corpus().size()]);
  return column;
}

void BM_CountValidSpans(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::CountValidSpans(column));
}
BENCHMARK(BM_CountValidSpans)->Unit(benchmark::kMicrosecond);

void BM_CalculateRulingSpan(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::CalculateRulingSpan(column));
}
BENCHMARK(BM_CalculateRulingSpan)->Unit(benchmark::kMicrosecond);

}  // namespace
