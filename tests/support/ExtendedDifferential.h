#pragma once

// The software extended arithmetic against the x87 unit, bit for bit, on
// operands drawn to hit the hard places of the rounding: denormals and the
// edge of underflow, the edge of overflow, exact ties and near-ties, every
// power of ten of the scaling tables, cancellation in sums; then whole
// parses, formats and calculations done both ways. Shared by the core tests
// (a short run) and bench/ExtendedDifferentialCheck (a long one, by hand);
// there only where an x87 unit is there to compare with.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/arithmetic/X87Extended.h"

#if KORVASTEL_HAS_X87_EXTENDED

namespace korvastel::differential {

class ExtendedDifferential {
 public:
  // The same seed draws the same operands.
  explicit ExtendedDifferential(std::uint64_t seed);
  ~ExtendedDifferential();
  ExtendedDifferential(const ExtendedDifferential&) = delete;
  ExtendedDifferential& operator=(const ExtendedDifferential&) = delete;

  // One round checks every operation on fresh operands: about 25 checks.
  void RunOperations(std::uint64_t rounds);

  // One round parses a text, formats a double and, every 64th round,
  // calculates a small column, each both ways.
  void RunSpanWork(std::uint64_t rounds);

  // Checks made, by operation.
  const std::map<std::string, std::uint64_t>& Checks() const;
  std::uint64_t TotalChecks() const;
  std::uint64_t Mismatches() const;
  // The first few mismatches, described.
  const std::vector<std::string>& Examples() const;

 private:
  class Engine;
  std::unique_ptr<Engine> engine_;
  std::map<std::string, std::uint64_t> checks_;
  std::uint64_t mismatches_ = 0;
  std::vector<std::string> examples_;
};

}  // namespace korvastel::differential

#endif
