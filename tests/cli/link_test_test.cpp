// The link test: what spoilt bits say about the lines (pure), and the test
// run against the emulated copier behind a cable with a line fault.
#include "cli/link_test.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/line_analysis.h"
#include "core/state.h"
#include "core/types.h"
#include "link/port_binding.h"
#include "tests/support/sim_link.h"

namespace ql::cli {
namespace {

using Fault = testing::SimLink::StatusLines;

std::uint8_t Swap(std::uint8_t v, int a, int b) {
  const unsigned x = ((v >> a) ^ (v >> b)) & 1u;
  return static_cast<std::uint8_t>(v ^ ((x << a) | (x << b)));
}

// Every byte value, then walking ones: what the test's patterns hold.
LineEvidence Evidence(const Fault& fault) {
  std::vector<std::uint8_t> sent;
  for (int v = 0; v < 256; ++v) sent.push_back(static_cast<std::uint8_t>(v));
  for (int i = 0; i < 64; ++i) sent.push_back(static_cast<std::uint8_t>(1u << (i % 8)));
  std::vector<std::uint8_t> received;
  for (std::size_t i = 0; i < sent.size(); ++i) received.push_back(fault(sent[i]));
  LineEvidence evidence;
  evidence.Add(sent.data(), received.data(), sent.size());
  return evidence;
}

TEST(LineAnalysis, NamesTheLineThatASpoiltBitPointsAt) {
  const std::tuple<const char*, Fault, std::vector<std::string>> cases[] = {
      {"sound", [](std::uint8_t v) { return v; }, {}},
      {"one bit stuck low",
       [](std::uint8_t v) { return std::uint8_t(v & ~0x20); },
       {"data line D5 (pin 7) or bit 5 of the copier's memory looks stuck low (always 0)"}},
      {"a status line stuck high",
       [](std::uint8_t v) { return std::uint8_t(v | 0x44); },
       {"status line PAPER-OUT (pin 12, status bit 5) looks stuck high (always 1): received bits 2 and 6 both "
        "spoilt"}},
      {"two status lines crossed",
       [](std::uint8_t v) { return Swap(Swap(v, 0, 1), 4, 5); },
       {"status line ERROR (pin 15, status bit 3) looks crossed with status line SELECT (pin 13, status bit 4): "
        "received bits 0 and 4 follow sent bits 1 and 5"}},
      {"two data lines crossed",
       [](std::uint8_t v) { return Swap(v, 2, 3); },
       {"data line D2 (pin 4) or bit 2 of the copier's memory looks crossed with D3 (pin 5): received bit 2 "
        "follows sent bit 3"}},
      // Bits 0 and 5: no one status line carries both, so two single bits are named.
      {"two bits apart",
       [](std::uint8_t v) { return std::uint8_t(v & ~0x21); },
       {"data line D0 (pin 2) or bit 0 of the copier's memory looks stuck low (always 0)",
        "data line D5 (pin 7) or bit 5 of the copier's memory looks stuck low (always 0)"}}};
  for (const auto& [name, fault, lines] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DescribeSuspectLines(Evidence(fault).Verdicts()), lines);
  }
}

// The test run against the emulated copier behind a cable that changes the status lines.
LinkTestResult TestThrough(const testing::SimLink::StatusLines& status, emu::Options options = {}) {
  testing::SimLink link(options);
  link.SetStatusLines(status);
  SelectedDevice = options.device == emu::Device::Smd ? kDeviceSmd : kDeviceSwc;
  EXPECT_TRUE(EnsureLinkReady());
  return RunLinkTest();
}

// A sound link and a stuck memory bit are run by cli_verify; a faulty cable and a copier that stops only here.
TEST(LinkTest, ReportsAFaultyCableAndACopierThatStopsAnswering) {
  emu::Options smd;
  smd.device = emu::Device::Smd;
  emu::Options stall;
  stall.fault = emu::Fault::Stall;
  stall.stallAfterBytes = 40000;  // during the first pattern's second round
  const std::tuple<Fault, emu::Options, std::string> cases[] = {
      {[](std::uint8_t v) { return Swap(v, 4, 5); },
       {},
       "status line SELECT (pin 13, status bit 4) looks crossed with status line PAPER-OUT (pin 12, status bit 5)"},
      {[](std::uint8_t v) { return std::uint8_t(v | 0x40); }, smd,
       "status line ACK (pin 10, status bit 6) looks stuck high"},
      {[](std::uint8_t v) { return v; }, stall, "  all zeros     the copier stopped answering\n"}};
  for (const auto& [status, options, text] : cases) {
    const LinkTestResult result = TestThrough(status, options);
    EXPECT_FALSE(LinkTestPassed(result));
    EXPECT_NE(FormatLinkTestReport(result).find(text), std::string::npos) << FormatLinkTestReport(result);
  }
}

}  // namespace
}  // namespace ql::cli
