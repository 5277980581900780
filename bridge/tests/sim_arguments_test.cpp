// The simulator's command line: what it accepts, and that it refuses the
// rest with a message instead of running with a setting it did not take.
// (--corrupt-byte, --wire-log and the emulator's options are taken by the
// simulator tests themselves.)
#include "bridge/sim/sim_arguments.h"

#include <gtest/gtest.h>

namespace ql::bridge {
namespace {

TEST(SimArguments, AcceptedSettingsAndRefusedCommandLines) {
  BridgeSettings settings;
  bool help = true;
  std::string error;
  ASSERT_TRUE(ParseSimArguments({"--baud", "1000000", "--latency-ms", "3"}, settings, help, error)) << error;
  EXPECT_FALSE(help);
  EXPECT_EQ(settings.maxBaud, 1'000'000u);
  EXPECT_EQ(settings.latencyMs, 3u);
  // "device=swc" "rts=0": the emulator's options come as one text, joined with commas.
  const std::vector<std::vector<std::string>> refused = {
      {"--baud", "fast"}, {"--baud", "100"}, {"--latency-ms", "2000"}, {"--corrupt-byte", "0"},
      {"--firmware"},     {"--speed", "1"},  {"device=swc", "rts=0"},  {"device=pce"},
  };
  for (const auto& arguments : refused) {
    error.clear();
    EXPECT_FALSE(ParseSimArguments(arguments, settings, help, error)) << arguments.front();
    EXPECT_FALSE(error.empty()) << arguments.front();
  }
}

}  // namespace
}  // namespace ql::bridge
