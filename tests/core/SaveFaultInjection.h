// Fault injection into a save, shared by the file layers whose calls go through a table.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <set>
#include <string>

#include "core/Core.h"
#include "tests/core/SpanFileFixture.h"

namespace korvastel::test {

// One save with one call armed to fail: the save's error code (-1: none) and
// whether the armed call was reached at all.
struct FaultRun {
  int code;
  bool hit;
};

// What the fault-injection runs came to. Each run must end with exactly the
// old bytes when the save failed and exactly the new ones when it succeeded,
// and a save that met no failing call must succeed.
class FaultTally {
 public:
  void Check(const std::string& run, FaultRun result, const std::string& bytes, const std::string& oldBytes,
             const std::string& newBytes) {
    ++runs_;
    if (result.hit) {
      ++struck_;
      ++(result.code == -1 ? savedAnyway_ : reportedWithOld_);
    } else {
      EXPECT_EQ(result.code, -1) << run << ": failed without a fault";
    }
    if (result.code == -1) {
      EXPECT_TRUE(bytes == newBytes) << run << ": success without the new bytes";
    } else {
      EXPECT_TRUE(bytes == oldBytes) << run << ": failed with code " << result.code
                                     << " and the old bytes lost";
    }
  }
  void Print(const char* note) const {
    std::printf(
        "[ FAULTS   ] %d runs: %d with a failed call (%d reported, old bytes kept; %d saved all the same), "
        "%d without that call%s\n",
        runs_, struck_, reportedWithOld_, savedAnyway_, runs_ - struck_, note);
  }

 private:
  int runs_ = 0, struck_ = 0, reportedWithOld_ = 0, savedAnyway_ = 0;
};

// SQLite's way of testing storage: from each set-up, every kind of call a
// save makes fails in turn, at its first, second and third use, on the file
// spans.txt of `folder`. A set-up has a `name`, the file's `old` bytes, the
// `rows` saved, and whether the file has a second name, other.txt (`linked`).
//
// Both names are removed before each run, then `prepare(setup, run)` lays
// the file out (a fatal failure there ends the runs), `inject(setup, kind,
// at)` arms the call for the one save, and `keptOf(path)` says in words what
// the save must keep of an existing file besides its bytes. After every run
// the file holds its old bytes or, only after a reported success, the new
// ones; it has kept what keptOf says; both names of a linked file agree; and
// nothing is left beside it. Every kind of call for which
// `mustBeReached(kind)` holds must have been reached by some run.
template <class Setups, std::size_t kKinds, class Prepare, class Inject, class KeptOf, class MustBeReached>
FaultTally FailEveryCallOfASave(const std::string& folder, const Setups& setups,
                                const char* const (&callNames)[kKinds], Prepare prepare, Inject inject,
                                KeptOf keptOf, MustBeReached mustBeReached) {
  const std::string path = folder + "spans.txt";
  const std::string other = folder + "other.txt";
  FaultTally tally;
  int reached[kKinds] = {};
  for (const auto& setup : setups) {
    const SpanColumn column = ColumnOf(setup.rows);
    const std::string newBytes = SavedBytes(setup.rows);
    std::set<std::string> names{"spans.txt"};
    if (setup.linked) names.insert("other.txt");
    for (std::size_t kind = 0; kind < kKinds; ++kind) {
      for (int at = 1; at <= 3; ++at) {
        const std::string run = std::string(setup.name) + ", " + callNames[kind] + " #" + std::to_string(at);
        Remove(other);
        Remove(path);
        prepare(setup, run);
        if (testing::Test::HasFatalFailure()) return tally;
        const bool existed = NamesIn(folder).contains("spans.txt");
        const std::string kept = keptOf(path);

        FaultRun result;
        {
          const auto fault = inject(setup, static_cast<int>(kind), at);
          result = {ErrorCodeOf([&] { WriteSpanFile(path, column); }), fault.Struck()};
        }
        const std::string bytes = ReadBytes(path);
        reached[kind] += result.hit;
        tally.Check(run, result, bytes, setup.old, newBytes);
        if (existed) {
          EXPECT_EQ(keptOf(path), kept) << run;
        }
        if (setup.linked) {
          EXPECT_TRUE(ReadBytes(other) == bytes) << run << ": the names disagree";
        }
        EXPECT_EQ(NamesIn(folder), existed || result.code == -1 ? names : std::set<std::string>{}) << run;
      }
    }
  }
  for (std::size_t kind = 0; kind < kKinds; ++kind)
    EXPECT_TRUE(!mustBeReached(static_cast<int>(kind)) || reached[kind] > 0)
        << callNames[kind] << " was never called through the table";
  return tally;
}

}  // namespace korvastel::test
