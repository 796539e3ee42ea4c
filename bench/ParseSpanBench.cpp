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
#include "core/arithmetic/ArithmeticVariant.h"
#include "core/arithmetic/ExtendedArithmetic.h"
#include "core/arithmetic/SoftExtended.h"
#include "core/arithmetic/X87Extended.h"

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

// The recount runs on every move of the grid's selection. Between two moves
// the user changes a row or none; loading a file or pasting changes them all.

// Every row written since the last count: each one is parsed, in the given
// arithmetic. This is what every move cost while the count parsed the whole
// column each time.
template <class Extended>
void CountAllRowsWritten(benchmark::State& state) {
  const korvastel::SpanColumn texts = FullColumn();
  korvastel::SpanColumn column;
  for (auto _ : state) {
    state.PauseTiming();
    for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) column.SetText(row, texts.Text(row));
    state.ResumeTiming();
    benchmark::DoNotOptimize(korvastel::detail::CountValidSpansWith<Extended>(column));
  }
}

// In the arithmetic the program computes with.
void BM_CountValidSpans_AllRowsWritten(benchmark::State& state) {
  CountAllRowsWritten<korvastel::detail::Extended>(state);
}
BENCHMARK(BM_CountValidSpans_AllRowsWritten)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_AllRowsWritten);

// A move with nothing written since the last count.
void BM_CountValidSpans(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::CountValidSpans(column));
}
BENCHMARK(BM_CountValidSpans)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans);

// The worst column the program opens: 4000 lines of 25 kB of digits (a
// 100 MB file). Each such text fails only once its mantissa overflows, after
// thousands of digits, so parsing one costs thousands of ordinary ones.
std::string LongDigitLine(int row) {
  std::string line(25'000, '0');
  for (std::size_t i = 0; i < line.size(); ++i)
    line[i] = static_cast<char>('1' + (i + static_cast<std::size_t>(row)) % 9);
  return line;
}

const korvastel::SpanColumn& LongDigitColumn() {
  static const korvastel::SpanColumn column = [] {
    korvastel::SpanColumn filled;
    for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row) filled.SetText(row, LongDigitLine(row));
    return filled;
  }();
  return column;
}

// A move with nothing written since the last count.
void BM_CountValidSpans_LongDigitRows(benchmark::State& state) {
  const korvastel::SpanColumn& column = LongDigitColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::CountValidSpans(column));
}
BENCHMARK(BM_CountValidSpans_LongDigitRows)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_LongDigitRows);

// A move after one 25 kB row was typed or pasted anew.
void BM_CountValidSpans_LongDigitRows_OneRowWritten(benchmark::State& state) {
  korvastel::SpanColumn column = LongDigitColumn();
  const std::string texts[2] = {LongDigitLine(1), LongDigitLine(2)};
  std::size_t next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    column.SetText(1000, texts[next ^= 1]);
    state.ResumeTiming();
    benchmark::DoNotOptimize(korvastel::CountValidSpans(column));
  }
}
BENCHMARK(BM_CountValidSpans_LongDigitRows_OneRowWritten)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_LongDigitRows_OneRowWritten);

// The first count after the file was opened: every row parsed once.
void BM_CountValidSpans_LongDigitRows_AllRowsWritten(benchmark::State& state) {
  korvastel::SpanColumn column = LongDigitColumn();
  for (auto _ : state) {
    state.PauseTiming();
    for (int row = 0; row < korvastel::SpanColumn::RowCount; ++row)
      column.SetText(row, LongDigitColumn().Text(row));
    state.ResumeTiming();
    benchmark::DoNotOptimize(korvastel::CountValidSpans(column));
  }
}
BENCHMARK(BM_CountValidSpans_LongDigitRows_AllRowsWritten)->Unit(benchmark::kMillisecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_LongDigitRows_AllRowsWritten);

BENCHMARK_RATIO(BM_CountValidSpans, BM_CountValidSpans_AllRowsWritten);
BENCHMARK_RATIO(BM_CountValidSpans_LongDigitRows, BM_CountValidSpans_AllRowsWritten);
BENCHMARK_RATIO(BM_CountValidSpans_LongDigitRows_OneRowWritten, BM_CountValidSpans_AllRowsWritten);
BENCHMARK_RATIO(BM_CountValidSpans_LongDigitRows_AllRowsWritten, BM_CountValidSpans_AllRowsWritten);

template <class Extended>
void CalculateRulingSpan(benchmark::State& state) {
  const korvastel::SpanColumn column = FullColumn();
  for (auto _ : state) benchmark::DoNotOptimize(korvastel::detail::CalculateRulingSpanWith<Extended>(column));
}

// Both arithmetics side by side: the count with every row written, and the calculation.
#if KORVASTEL_HAS_X87_EXTENDED
void BM_CountValidSpans_AllRowsWritten_X87(benchmark::State& state) {
  CountAllRowsWritten<X87Extended>(state);
}
void BM_CalculateRulingSpan_X87(benchmark::State& state) { CalculateRulingSpan<X87Extended>(state); }
BENCHMARK(BM_CountValidSpans_AllRowsWritten_X87)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CalculateRulingSpan_X87)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_AllRowsWritten_X87);
BENCHMARK_FRAME_SHARE(BM_CalculateRulingSpan_X87);
#endif

void BM_CountValidSpans_AllRowsWritten_Software(benchmark::State& state) {
  CountAllRowsWritten<SoftExtended>(state);
}
void BM_CalculateRulingSpan_Software(benchmark::State& state) { CalculateRulingSpan<SoftExtended>(state); }
BENCHMARK(BM_CountValidSpans_AllRowsWritten_Software)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CalculateRulingSpan_Software)->Unit(benchmark::kMicrosecond);
BENCHMARK_FRAME_SHARE(BM_CountValidSpans_AllRowsWritten_Software);
BENCHMARK_FRAME_SHARE(BM_CalculateRulingSpan_Software);

}  // namespace
