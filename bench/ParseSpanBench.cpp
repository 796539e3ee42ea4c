// ParseSpan against glibc's strtold on the same corpora of typical cell texts,
// and the two passes over a full column that the window runs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/Ratios.h"
#include "core/Core.h"
#include "core/ExtendedArithmetic.h"
#include "core/SpanValue.h"

namespace {

const std::vector<std::string>& ValidTexts() {
  static const std::vector<std::string> texts = {
      "70.5", "312", " 81 ", "1.25e2", "245.75", "198", "402.1", "355", "0.5", "1e3",
      "287.25", "310.0", "99", "415.6", "120", "64.35",
  };
  return texts;
}

// Typical cells: mostly spans, some empty rows, notes and mistyped numbers.
const std::vector<std::string>& MixedTexts() {
  static const std::vector<std::string> texts = {
      "70.5", "312", " 81 ", "1.25e2", "abc", "245.75", "", "1,5", "198", "402.1",
      "12 m", "355", "0.5", "1e3", "-", "287.25", "310.0", "99", " ", "415.6",
  };
  return texts;
}

void ParseAll(benchmark::State& state, const std::vector<std::string>& texts) {
  for (auto _ : state) {
    for (const std::string& text : texts) {
      try {
        benchmark::DoNotOptimize(korvastel::ParseSpan(text));
      } catch (const korvastel::EConvertError&) {
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}

// The baseline: strtold with its end pointer, a plain validity test.
void StrtoldAll(benchmark::State& state, const std::vector<std::string>& texts) {
  for (auto _ : state) {
    for (const std::string& text : texts) {
      char* end = nullptr;
      long double value = std::strtold(text.c_str(), &end);
      benchmark::DoNotOptimize(value);
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}

// What the count, the calculation and the save run per cell: the same parse
// without an exception for a text that is no span.
void ValidityAll(benchmark::State& state, const std::vector<std::string>& texts) {
  korvastel::detail::ExtendedArithmeticScope scope;
  for (auto _ : state) {
    for (const std::string& text : texts) {
      long double value;
      benchmark::DoNotOptimize(korvastel::detail::TryParseSpanInScope(text, value));
      benchmark::DoNotOptimize(value);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}

void BM_ParseSpan_Valid(benchmark::State& state) { ParseAll(state, ValidTexts()); }
void BM_Strtold_Valid(benchmark::State& state) { StrtoldAll(state, ValidTexts()); }
void BM_ParseSpan_Mixed(benchmark::State& state) { ParseAll(state, MixedTexts()); }
void BM_Strtold_Mixed(benchmark::State& state) { StrtoldAll(state, MixedTexts()); }
void BM_SpanTest_Mixed(benchmark::State& state) { ValidityAll(state, MixedTexts()); }
BENCHMARK(BM_ParseSpan_Valid);
BENCHMARK(BM_Strtold_Valid);
BENCHMARK(BM_ParseSpan_Mixed);
BENCHMARK(BM_Strtold_Mixed);
BENCHMARK(BM_SpanTest_Mixed);
BENCHMARK_RATIO(BM_ParseSpan_Valid, BM_Strtold_Valid);
BENCHMARK_RATIO(BM_ParseSpan_Mixed, BM_Strtold_Mixed);
BENCHMARK_RATIO(BM_SpanTest_Mixed, BM_Strtold_Mixed);

korvastel::SpanColumn FullColumn() {
  korvastel::SpanColumn column;
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row)
    column.SetText(row, MixedTexts()[static_cast<std::size_t>(row) % MixedTexts().size()]);
  return column;
}

void BM_CountValidSpans(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::CountValidSpans(column));
}
BENCHMARK(BM_CountValidSpans)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans);

void BM_CalculateRulingSpan(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::CalculateRulingSpan(column));
}
BENCHMARK(BM_CalculateRulingSpan)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CalculateRulingSpan);

}  // namespace
