#include "cli/link_test.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "cli/exit_codes.h"
#include "cli/terminal.h"
#include "core/state.h"
#include "core/types.h"
#include "core/units.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/link_timeout.h"

namespace ql::cli {
namespace {

// Enough bytes per pattern that a line failing once in some thousand bytes shows.
constexpr std::uint32_t kBytesPerPattern = 32768;
constexpr std::uint16_t kDramWindow = CopierAddress::DramWindow;

enum class Pattern { Zeros, Ones, WalkingOne, WalkingZero, Random };
constexpr Pattern kPatterns[] = {Pattern::Zeros, Pattern::Ones, Pattern::WalkingOne, Pattern::WalkingZero,
                                 Pattern::Random};

const char* PatternName(Pattern pattern) {
  switch (pattern) {
    case Pattern::Zeros:
      return "all zeros";
    case Pattern::Ones:
      return "all ones";
    case Pattern::WalkingOne:
      return "walking one";
    case Pattern::WalkingZero:
      return "walking zero";
    default:
      return "random";
  }
}

// Random bytes from a fixed seed: a second run sends the same bytes.
void FillPattern(Pattern pattern, std::uint32_t round, std::vector<std::uint8_t>& page) {
  std::uint32_t state = 0x9E3779B9u ^ (round * 0x85EBCA6Bu);
  for (std::size_t i = 0; i < page.size(); ++i) {
    // The walk moves one bit per byte and starts one bit later each round.
    const auto walk = static_cast<std::uint8_t>(1u << ((i + round) % 8));
    switch (pattern) {
      case Pattern::Zeros:
        page[i] = 0x00;
        break;
      case Pattern::Ones:
        page[i] = 0xFF;
        break;
      case Pattern::WalkingOne:
        page[i] = walk;
        break;
      case Pattern::WalkingZero:
        page[i] = static_cast<std::uint8_t>(~walk);
        break;
      case Pattern::Random:
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        page[i] = static_cast<std::uint8_t>(state >> 24);
        break;
    }
  }
}

// DRAM page 0 in view, as a ROM upload puts its first block there.
void SelectTestPage() {
  if (SelectedDevice == kDeviceSmd) {
    WriteMemoryByte(CopierAddress::SmdModeRegister, SmdMode::Transfer);
    SelectPage(0);
  } else {
    WriteMemoryByte(CopierAddress::SwcDramHighPages, 0);
    SelectBankPage(0, 0);
  }
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string Rate(std::uint64_t bytes, double seconds) {
  if (seconds <= 0) return "too fast to measure";
  return fmt::format("{:.1f} KB/s", static_cast<double>(bytes) / 1024.0 / seconds);
}

constexpr std::size_t kOffsetsKept = 4;

void NoteErrorOffset(LinkTestResult& result, std::uint32_t offset) {
  auto& offsets = result.errorOffsets;
  if (std::find(offsets.begin(), offsets.end(), offset) != offsets.end()) return;
  if (offsets.size() < kOffsetsKept) {
    offsets.push_back(offset);
  } else {
    result.moreErrorOffsets = true;
  }
}

// Every wrong byte at a few places of the page, each hit more than once.
bool ErrorsStayInPlace(const LinkTestResult& result, std::uint64_t errors) {
  return !result.moreErrorOffsets && !result.errorOffsets.empty() && errors > result.errorOffsets.size();
}

std::string OffsetList(const std::vector<std::uint32_t>& offsets) {
  std::string list;
  for (std::uint32_t offset : offsets) list += fmt::format("{}0x{:04X}", list.empty() ? "" : ", ", offset);
  return list;
}

constexpr const char* kWarning =
    "The link test overwrites DRAM page 0 of the copier: the start of an uploaded image is lost. Upload it again "
    "afterwards.";

}  // namespace

LinkTestResult RunLinkTest() {
  LinkTestResult result;
  result.pageSize = SelectedDevice == kDeviceSmd ? kSmdBlockSize : kSwcBlockSize;
  const auto length = static_cast<std::uint16_t>(result.pageSize);
  std::vector<std::uint8_t> sent(result.pageSize);
  std::vector<std::uint8_t> received(result.pageSize);
  LineEvidence evidence;
  for (Pattern pattern : kPatterns) {
    PatternResult& tally = result.patterns.emplace_back(PatternResult{PatternName(pattern)});
    try {
      for (std::uint32_t round = 0; round < kBytesPerPattern / result.pageSize; ++round) {
        FillPattern(pattern, round, sent);
        auto start = std::chrono::steady_clock::now();
        SelectTestPage();
        WriteMemoryBlock(kDramWindow, sent.data(), length);
        result.sendSeconds += Seconds(start);
        start = std::chrono::steady_clock::now();
        SelectTestPage();
        // A damaged block is counted, not read again: errors are what this test is after.
        const bool intact = ReadMemoryBlock(kDramWindow, received.data(), length);
        result.receiveSeconds += Seconds(start);
        ++tally.reads;
        tally.badChecks += intact ? 0 : 1;
        tally.bytes += length;
        for (std::uint32_t i = 0; i < length; ++i) {
          if (sent[i] == received[i]) continue;
          ++tally.byteErrors;
          NoteErrorOffset(result, i);
        }
        evidence.Add(sent.data(), received.data(), length);
        result.bytesEachWay += length;
      }
    } catch (const LinkTimeout&) {
      result.timedOutDuring = tally.name;
      break;
    }
  }
  result.verdicts = evidence.Verdicts();
  return result;
}

bool LinkTestPassed(const LinkTestResult& result) {
  if (!result.timedOutDuring.empty()) return false;
  for (const PatternResult& p : result.patterns) {
    if (p.byteErrors > 0 || p.badChecks > 0) return false;
  }
  return true;
}

std::string FormatLinkTestReport(const LinkTestResult& result) {
  std::string report = fmt::format(
      "Link test: {} bytes per pattern through DRAM page 0 ({} bytes at 0x{:04X}), "
      "written and read back.\n",
      kBytesPerPattern, result.pageSize, kDramWindow);
  std::uint64_t errors = 0;
  for (const PatternResult& p : result.patterns) {
    errors += p.byteErrors;
    if (p.name == result.timedOutDuring) {
      report += fmt::format("  {:<13} the copier stopped answering\n", p.name);
      continue;
    }
    report += fmt::format("  {:<13} {} byte errors in {} bytes", p.name, p.byteErrors, p.bytes);
    if (p.badChecks > 0) report += fmt::format(", {} of {} reads with a bad check byte", p.badChecks, p.reads);
    report += "\n";
  }
  const std::vector<std::string> suspects = DescribeSuspectLines(result.verdicts);
  if (suspects.empty()) {
    report += "Lines: all 8 data lines and 4 status lines carried every bit as sent.\n";
  } else {
    report += "Lines:\n";
    for (const std::string& line : suspects) report += "  " + line + "\n";
  }
  report += fmt::format("Speed: PC to copier {}, copier to PC {}.\n", Rate(result.bytesEachWay, result.sendSeconds),
                        Rate(result.bytesEachWay, result.receiveSeconds));
  if (!result.timedOutDuring.empty()) {
    report +=
        "Result: the copier answered at first and then stopped: a loose cable, a copier losing power, or a "
        "status line that fails under load.";
  } else if (LinkTestPassed(result)) {
    report += "Result: no errors. The cable, the port and this page of the copier's memory work.";
  } else if (errors == 0) {
    report += "Result: the check bytes caught damage the bytes compared did not show: a noisy or too long cable.";
  } else if (ErrorsStayInPlace(result, errors)) {
    report += fmt::format(
        "Result: {} byte errors, all at the same place of the page (offset {}): a fault of the copier's memory "
        "there, not of the cable.",
        errors, OffsetList(result.errorOffsets));
  } else if (std::ranges::any_of(result.verdicts, [](const BitVerdict& v) {
               return v.kind != BitVerdict::Kind::Sound && v.kind != BitVerdict::Kind::Unreliable;
             })) {
    report += fmt::format(
        "Result: {} byte errors. The lines named look stuck or crossed: check the cable and its plugs, then the "
        "port.",
        errors);
  } else {
    report += fmt::format(
        "Result: {} byte errors spread over the page: a noisy or too long cable, or a port mode other than "
        "standard (SPP).",
        errors);
  }
  return report;
}

int RunThoroughProbe(bool yes, CliFrontEnd& ui) {
  ui.PrintError(kWarning);
  if (!yes) {
    if (!StandardInputIsTerminal()) {
      ui.Error("probe --thorough: give --yes to run the link test without a terminal to ask on");
      return kExitUsage;
    }
    ui.PrintError("Run the link test? [y/N]");
    std::string answer;
    if (!std::getline(std::cin, answer) || (answer != "y" && answer != "Y" && answer != "yes")) {
      ui.PrintError("Link test not run; nothing was written.");
      return kExitFailed;
    }
  }
  const LinkTestResult result = RunLinkTest();
  ui.Print(FormatLinkTestReport(result));
  return LinkTestPassed(result) ? kExitOk : kExitFailed;
}

}  // namespace ql::cli
