// ReadSpanFile against the speed limit of reading, a plain read of the same
// file that only counts its newlines, measured side by side in one run and
// printed as a ratio (goal: ReadSpanFile at 0.5 or more of the count's
// throughput). And the peak memory of reading a 10 MB and a 100 MB file,
// each in a child of its own, since a process's peak never goes down (goal:
// the same within 1 MiB). The files are made in a temporary folder and
// removed at exit.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/Core.h"

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// The generated span files, made on first use and removed at exit.
class SpanFiles {
 public:
  enum Kind { Spans10MB, Spans100MB, LongLines100MB };

  static const std::string& Path(Kind kind) {
    static SpanFiles files;
    return files.paths_[kind];
  }

 private:
  SpanFiles() {
    std::string folder = (std::filesystem::temp_directory_path() / "korvastel-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    folder_ = folder;
    paths_[Spans10MB] = WriteSpans(folder + "/spans-10MB.txt", 1'000'000);
    paths_[Spans100MB] = WriteSpans(folder + "/spans-100MB.txt", 10'000'000);
    paths_[LongLines100MB] = WriteLongLines(folder + "/long-lines-100MB.txt");
  }
  ~SpanFiles() { std::filesystem::remove_all(folder_); }

  // Lines of 10 bytes, "dddd.ddd\r\n", so 10 million of them make 100 MB.
  static std::string WriteSpans(const std::string& path, int lines) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    unsigned state = 12345;
    char line[16];
    for (int i = 0; i < lines; ++i) {
      state = state * 1103515245u + 12345u;
      const unsigned value = (state >> 8) % 10'000'000u;
      std::snprintf(line, sizeof line, "%04u.%03u\r\n", value / 1000, value % 1000);
      std::fwrite(line, 1, 10, file);
    }
    std::fclose(file);
    return path;
  }

  // 4000 lines of 25,000 bytes: every byte of the file is kept.
  static std::string WriteLongLines(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::string line(25'000 - 2, '7');
    line += "\r\n";
    for (int i = 0; i < 4000; ++i) std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
    return path;
  }

  std::string folder_;
  std::string paths_[3];
};

// Reads the file in the same blocks as ReadSpanFile and hands each to `use`.
template <class Use>
void ReadBlocks(const std::string& path, Use use) {
  const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const auto buffer = std::make_unique_for_overwrite<char[]>(kBlockSize);
  for (ssize_t got; (got = read(file, buffer.get(), kBlockSize)) > 0;)
    use(buffer.get(), static_cast<std::size_t>(got));
  close(file);
}

// The speed limit: the same blocks read, only their newlines counted.
std::size_t CountNewlines(const std::string& path) {
  std::size_t newlines = 0;
  ReadBlocks(path, [&](const char* data, std::size_t size) {
    newlines += static_cast<std::size_t>(std::count(data, data + size, '\n'));
  });
  return newlines;
}

// The ceiling of any reader: the blocks read and not looked at.
void ReadOnly(const std::string& path) {
  ReadBlocks(path, [](const char* data, std::size_t) { benchmark::DoNotOptimize(data); });
}

double SecondsOf(const auto& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ratio = ReadSpanFile's throughput / the newline count's (the goal: >= 0.5);
// ratio_to_read_only against the blocks read and not looked at.
void BM_ReadSpanFileVsNewlineCount(benchmark::State& state, SpanFiles::Kind kind) {
  const std::string& path = SpanFiles::Path(kind);
  const auto bytes = static_cast<double>(std::filesystem::file_size(path));
  double readSeconds = 0;
  double countSeconds = 0;
  double readOnlySeconds = 0;
  for (auto _ : state) {
    readOnlySeconds += SecondsOf([&] { ReadOnly(path); });
    countSeconds += SecondsOf([&] { benchmark::DoNotOptimize(CountNewlines(path)); });
    readSeconds += SecondsOf([&] { benchmark::DoNotOptimize(korvastel::ReadSpanFile(path)); });
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["ReadSpanFile_MBps"] = bytes * runs / readSeconds / 1e6;
  state.counters["count_MBps"] = bytes * runs / countSeconds / 1e6;
  state.counters["read_only_MBps"] = bytes * runs / readOnlySeconds / 1e6;
  state.counters["ratio"] = countSeconds / readSeconds;
  state.counters["ratio_to_read_only"] = readOnlySeconds / readSeconds;
}
// 100 MB of 10 million span lines: the case the goal is set for.
BENCHMARK_CAPTURE(BM_ReadSpanFileVsNewlineCount, ten_million_spans, SpanFiles::Spans100MB)
    ->Unit(benchmark::kMillisecond);
// 100 MB in 4000 lines of 25 kB, every byte kept: the worst case, where the
// time goes into the memory of the 100 MB result rather than into reading.
BENCHMARK_CAPTURE(BM_ReadSpanFileVsNewlineCount, every_byte_kept, SpanFiles::LongLines100MB)
    ->Unit(benchmark::kMillisecond);

// The child's own peak resident set in KiB after reading `path`, and before.
struct PeakMemory {
  long before = 0;
  long after = 0;
};

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

PeakMemory PeakMemoryOfReading(const std::string& path) {
  int channel[2];
  if (pipe(channel) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child == 0) {
    PeakMemory peak;
    peak.before = PeakKiB();
    benchmark::DoNotOptimize(korvastel::ReadSpanFile(path));
    peak.after = PeakKiB();
    (void)!write(channel[1], &peak, sizeof peak);
    _exit(0);
  }
  close(channel[1]);
  PeakMemory peak;
  const bool complete = read(channel[0], &peak, sizeof peak) == static_cast<ssize_t>(sizeof peak);
  close(channel[0]);
  waitpid(child, nullptr, 0);
  if (!complete) throw std::runtime_error("the child measured nothing");
  return peak;
}

void BM_ReadSpanFilePeakMemory(benchmark::State& state) {
  PeakMemory small, large;
  for (auto _ : state) {
    small = PeakMemoryOfReading(SpanFiles::Path(SpanFiles::Spans10MB));
    large = PeakMemoryOfReading(SpanFiles::Path(SpanFiles::Spans100MB));
  }
  state.counters["peak_10MB_KiB"] = static_cast<double>(small.after);
  state.counters["peak_100MB_KiB"] = static_cast<double>(large.after);
  state.counters["growth_10MB_KiB"] = static_cast<double>(small.after - small.before);
  state.counters["growth_100MB_KiB"] = static_cast<double>(large.after - large.before);
  state.counters["difference_KiB"] = static_cast<double>(large.after - small.after);
}
BENCHMARK(BM_ReadSpanFilePeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
