// `probe --thorough`: a link test that tells a bad cable from a dead
// copier. Patterns are written to one DRAM page and read back; the errors
// per pattern, the lines they point at and the speed in each direction are
// reported. It overwrites that page, so it asks first.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_front_end.h"
#include "cli/line_analysis.h"

namespace ql::cli {

struct PatternResult {
  std::string name;
  std::uint64_t bytes = 0;
  std::uint64_t byteErrors = 0;
  int reads = 0;
  int badChecks = 0;  // reads whose data check byte did not match
};

struct LinkTestResult {
  std::uint32_t pageSize = 0;
  std::vector<PatternResult> patterns;
  std::array<BitVerdict, 8> verdicts{};
  std::uint64_t bytesEachWay = 0;
  double sendSeconds = 0;
  double receiveSeconds = 0;
  std::string timedOutDuring;  // the pattern during which the copier stopped answering
  // Offsets in the page where a byte came back wrong, the first few only: a
  // handful hit again and again is a memory cell, not the cable.
  std::vector<std::uint32_t> errorOffsets;
  bool moreErrorOffsets = false;
};

// The patterns through DRAM page 0 of the selected device; the link must
// be bound. Catches LinkTimeout (timedOutDuring).
LinkTestResult RunLinkTest();
std::string FormatLinkTestReport(const LinkTestResult& result);
bool LinkTestPassed(const LinkTestResult& result);

// The warning, then (without yes) the question on a terminal or a refusal
// (exit 2) without one, then the test and its report. Exit 0 when no error
// was seen, 1 otherwise.
int RunThoroughProbe(bool yes, CliFrontEnd& ui);

}  // namespace ql::cli
