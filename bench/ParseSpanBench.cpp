// ParseSpan against glibc's strtold on the same corpora of typical cell texts,
// and the two passes over a full column that the window runs; each in both
// extended arithmetics the core can compute with, the x87 unit (the default
// where long double is its format) and the software type (elsewhere), built
// side by side from the same sources.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/Ratios.h"
#include "core/Core.h"
#include "core/ExtendedPaths.h"
#include "core/SoftExtended.h"
#include "core/SpanValue.h"
#include "core/X87Extended.h"

namespace {

const std::vector<std::string>& ValidTexts() {
  static const std::vector<std::string> texts = {
      "70.5", "312", " 81 ",   "1.25e2", "245.75", "198",   "402.1", "355",
      "0.5",  "1e3", "287.25", "310.0",  "99",     "415.6", "120",   "64.35",
  };
  return texts;
}

// Typical cells: mostly spans, some empty rows, notes and mistyped numbers.
const std::vector<std::string>& MixedTexts() {
  static const std::vector<std::string> texts = {
      "70.5", "312", " 81 ", "1.25e2", "abc", "245.75", "",      "1,5", "198", "402.1",
      "12 m", "355", "0.5",  "1e3",    "-",   "287.25", "310.0", "99",  " ",   "415.6",
  };
  return texts;
}

using korvastel::detail::SoftExtended;
#if KORVASTEL_HAS_X87_EXTENDED
using korvastel::detail::X87Extended;
#endif

template <class Extended>
void ParseAll(benchmark::State& state, const std::vector<std::string>& texts) {
  for (auto _ : state) {
    for (const std::string& text : texts) {
      try {
        benchmark::DoNotOptimize(korvastel::detail::ParseSpanWith<Extended>(text));
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
template <class Extended>
void ValidityAll(benchmark::State& state, const std::vector<std::string>& texts) {
  typename Extended::Scope scope;
  for (auto _ : state) {
    for (const std::string& text : texts) {
      Extended value;
      benchmark::DoNotOptimize(korvastel::detail::TryParseSpanInScope(text, value));
      benchmark::DoNotOptimize(value);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}

void BM_Strtold_Valid(benchmark::State& state) { StrtoldAll(state, ValidTexts()); }
void BM_Strtold_Mixed(benchmark::State& state) { StrtoldAll(state, MixedTexts()); }
BENCHMARK(BM_Strtold_Valid);
BENCHMARK(BM_Strtold_Mixed);

#if KORVASTEL_HAS_X87_EXTENDED
void BM_ParseSpan_Valid_X87(benchmark::State& state) { ParseAll<X87Extended>(state, ValidTexts()); }
void BM_ParseSpan_Mixed_X87(benchmark::State& state) { ParseAll<X87Extended>(state, MixedTexts()); }
void BM_SpanTest_Mixed_X87(benchmark::State& state) { ValidityAll<X87Extended>(state, MixedTexts()); }
BENCHMARK(BM_ParseSpan_Valid_X87);
BENCHMARK(BM_ParseSpan_Mixed_X87);
BENCHMARK(BM_SpanTest_Mixed_X87);
BENCHMARK_RATIO(BM_ParseSpan_Valid_X87, BM_Strtold_Valid);
BENCHMARK_RATIO(BM_ParseSpan_Mixed_X87, BM_Strtold_Mixed);
BENCHMARK_RATIO(BM_SpanTest_Mixed_X87, BM_Strtold_Mixed);
#endif

void BM_ParseSpan_Valid_Software(benchmark::State& state) { ParseAll<SoftExtended>(state, ValidTexts()); }
void BM_ParseSpan_Mixed_Software(benchmark::State& state) { ParseAll<SoftExtended>(state, MixedTexts()); }
void BM_SpanTest_Mixed_Software(benchmark::State& state) { ValidityAll<SoftExtended>(state, MixedTexts()); }
BENCHMARK(BM_ParseSpan_Valid_Software);
BENCHMARK(BM_ParseSpan_Mixed_Software);
BENCHMARK(BM_SpanTest_Mixed_Software);
BENCHMARK_RATIO(BM_ParseSpan_Valid_Software, BM_Strtold_Valid);
BENCHMARK_RATIO(BM_ParseSpan_Mixed_Software, BM_Strtold_Mixed);
BENCHMARK_RATIO(BM_SpanTest_Mixed_Software, BM_Strtold_Mixed);

korvastel::SpanColumn FullColumn() {
  korvastel::SpanColumn column;
  for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row)
    column.SetText(row, MixedTexts()[static_cast<std::size_t>(row) % MixedTexts().size()]);
  return column;
}

template <class Extended>
void CountValidSpans(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::detail::CountValidSpansWith<Extended>(column));
}

template <class Extended>
void CalculateRulingSpan(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::detail::CalculateRulingSpanWith<Extended>(column));
}

#if KORVASTEL_HAS_X87_EXTENDED
void BM_CountValidSpans_X87(benchmark::State& state) { CountValidSpans<X87Extended>(state); }
void BM_CalculateRulingSpan_X87(benchmark::State& state) { CalculateRulingSpan<X87Extended>(state); }
BENCHMARK(BM_CountValidSpans_X87)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CalculateRulingSpan_X87)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_X87);
BENCHMARK_FRAME_SHARE(BM_CalculateRulingSpan_X87);
#endif

void BM_CountValidSpans_Software(benchmark::State& state) { CountValidSpans<SoftExtended>(state); }
void BM_CalculateRulingSpan_Software(benchmark::State& state) { CalculateRulingSpan<SoftExtended>(state); }
BENCHMARK(BM_CountValidSpans_Software)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CalculateRulingSpan_Software)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_Software);
BENCHMARK_FRAME_SHARE(BM_CalculateRulingSpan_Software);

}  // namespace
