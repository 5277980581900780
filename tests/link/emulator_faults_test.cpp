// Each fault of the emulated copier ends a copier operation with the
// time-out message exactly once where the operation has one, and never in
// cartridge detection.
#include <gmock/gmock.h>

#include <vector>

#include "core/state.h"
#include "core/types.h"
#include "link/commands.h"
#include "link/copier_ops.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"
#include "tests/support/sim_link.h"

namespace ql::testing {
namespace {

emu::Options WithFault(emu::Fault fault, std::uint64_t stallAfter = 0, std::uint32_t slowMs = 0) {
  emu::Options options;
  options.fault = fault;
  options.stallAfterBytes = stallAfter;
  options.slowMs = slowMs;
  return options;
}

int TimeoutMessages(const WindowModel& window) {
  int count = 0;
  for (const auto& message : window.Messages()) {
    if (message.text.rfind("LPT read timeout\n", 0) == 0 && message.caption == "SWC Interface") ++count;
  }
  return count;
}

TEST(EmulatorFaultTest, DeadCopierTimesOutExecuteOnceAfter500Ms) {
  SimLink sim(WithFault(emu::Fault::Dead));
  ExecuteImage();
  EXPECT_EQ(TimeoutMessages(sim.window()), 1);
  EXPECT_EQ(sim.window().Messages().size(), 1u);
  EXPECT_GE(sim.clock().NowMs(), 500u);
  EXPECT_LT(sim.clock().NowMs(), 600u);
  EXPECT_NE(sim.copier().ControlRegister(), 0x0B);  // not released
}

TEST(EmulatorFaultTest, DeadCopierMeansNoCartridgeForPlayWithoutTimeOutMessage) {
  SimLink sim(WithFault(emu::Fault::Dead));
  PlayCartridge();
  const auto messages = sim.window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "No game cartridge is detected");
  EXPECT_EQ(messages[0].caption, "Play Cartridge");
}

TEST(EmulatorFaultTest, DeadSmdTimesOutPlayWithTheGenesisText) {
  emu::Options options = WithFault(emu::Fault::Dead);
  options.device = emu::Device::Smd;
  SimLink sim(options);
  SelectedDevice = kDeviceSmd;
  PlayCartridge();
  const auto messages = sim.window().Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("the Genesis is turned on."), std::string::npos);
}

TEST(EmulatorFaultTest, StallMidExecuteStopsAfterTheBytesMoved) {
  SimLink sim(WithFault(emu::Fault::Stall, 14));
  RomBlockCount = 8;
  ExecuteImage();
  EXPECT_EQ(TimeoutMessages(sim.window()), 1);
  EXPECT_EQ(sim.copier().BytesMoved(), 14u);
  EXPECT_TRUE(sim.copier().Events().empty());  // the function packet never completed
}

TEST(EmulatorFaultTest, StallInsideABlockReadRaisesToTheCaller) {
  SimLink sim(WithFault(emu::Fault::Stall, 9 + 100));
  ASSERT_TRUE(EnsureLinkReady());
  std::vector<std::uint8_t> buffer(8192);
  EXPECT_THROW(ReadMemoryBlock(0x8000, buffer.data(), 8192), LinkTimeout);
  EXPECT_TRUE(sim.window().Messages().empty());  // reporting is the caller's
}

TEST(EmulatorFaultTest, BadCheckGivesMinusOneAndBlockMismatch) {
  SimLink sim(WithFault(emu::Fault::BadCheck));
  ASSERT_TRUE(EnsureLinkReady());
  WriteMemoryByte(0x8000, 0x12);
  EXPECT_EQ(ReadMemoryByte(0x8000), -1);
  std::vector<std::uint8_t> buffer(16);
  EXPECT_FALSE(ReadMemoryBlock(0x8000, buffer.data(), 16));
  EXPECT_EQ(buffer[0], 0x12);  // data still delivered
  EXPECT_TRUE(sim.window().Messages().empty());
}

TEST(EmulatorFaultTest, BadCheckSamplesAllReadFFSoNoCartridge) {
  SimLink sim(WithFault(emu::Fault::BadCheck));
  std::vector<std::uint8_t> image(1024 * 1024);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
  sim.copier().SetCartridge(image, false);
  ASSERT_TRUE(EnsureLinkReady());
  std::uint8_t size = 0x55;
  EXPECT_FALSE(DetectCartridge(&size, nullptr));
  EXPECT_EQ(size, 0x55);
  EXPECT_EQ(CartridgeSamples[0], 0xFF);
  EXPECT_TRUE(sim.window().Messages().empty());
}

TEST(EmulatorFaultTest, SlowCopierWithinTheTimeOutCompletes) {
  SimLink sim(WithFault(emu::Fault::Slow, 0, 400));
  RomBlockCount = 0x0140;
  SwcModeByte = 0x2C;
  ExecuteImage();
  EXPECT_TRUE(sim.window().Messages().empty());
  EXPECT_THAT(sim.copier().Events(), ::testing::ElementsAre("F 05 40 01 00", "F 01 2C 00 00"));
  // Every step after the first is 400 ms late.
  EXPECT_GE(sim.clock().NowMs(), 26u * 400u);
}

TEST(EmulatorFaultTest, SlowCopierBeyondTheTimeOutFailsOnTheFirstByte) {
  SimLink sim(WithFault(emu::Fault::Slow, 0, 600));
  ExecuteImage();
  EXPECT_EQ(TimeoutMessages(sim.window()), 1);
  EXPECT_TRUE(sim.copier().Events().empty());
}

}  // namespace
}  // namespace ql::testing
