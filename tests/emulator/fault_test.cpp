// The copier's faults as the PC meets them on the wire.
#include <gtest/gtest.h>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

Options WithFault(Fault fault, std::uint64_t stall = 0, std::uint32_t slowMs = 0) {
  Options options;
  options.fault = fault;
  options.stallAfterBytes = stall;
  options.slowMs = slowMs;
  return options;
}

TEST(DeadFault, NeverTakesAByteAndIgnoresStrobes) {
  VirtualClock clock;
  Copier copier(WithFault(Fault::Dead), clock);
  PcSide pc(copier, 0x378, 1000);
  EXPECT_EQ(copier.PortIn(0x379) & 0x80, 0);
  EXPECT_FALSE(pc.Send(0xD5));
  copier.PortOut(0x378, 0xD5);
  copier.NotPortBit(0x37A, 0);
  EXPECT_EQ(copier.BytesMoved(), 0u);
  EXPECT_EQ(copier.IsDriverInstalled(), 1) << "the driver is there; the copier is not";
}

TEST(StallFault, StopsAfterNBytesInEitherDirection) {
  VirtualClock clock;
  // A write of one byte is 11 bytes; a one-byte read 9 + 2.
  Copier copier(WithFault(Fault::Stall, 11 + 9 + 1), clock);
  PcSide pc(copier, 0x378, 1000);
  ASSERT_TRUE(pc.WriteByte(0x1000, 0x42));
  ASSERT_TRUE(pc.Command(1, 0x1000, 1));
  EXPECT_EQ(pc.Receive(), 0x42);
  // The check byte would be byte 22: bit 7 stays high, no nibble comes.
  EXPECT_FALSE(pc.Receive());
  EXPECT_EQ(copier.PortIn(0x379) & 0x80, 0x80);
  EXPECT_EQ(copier.BytesMoved(), 21u);
  // A PC that gives up and sends a packet finds no copier either: at most
  // one byte is taken for ready before the level turns against it.
  EXPECT_FALSE(pc.Command(5, 0, 0));
  EXPECT_EQ(copier.BytesMoved(), 21u);
}

TEST(StallFault, StalledWhileTakingBytesNeverAcceptsAnother) {
  VirtualClock clock;
  Copier copier(WithFault(Fault::Stall, 3), clock);
  PcSide pc(copier, 0x378, 1000);
  EXPECT_FALSE(pc.Command(5, 0, 0));
  EXPECT_EQ(copier.BytesMoved(), 3u);
  EXPECT_FALSE(pc.Receive()) << "a stray strobe shows the other level, still no byte moves";
  EXPECT_EQ(copier.BytesMoved(), 3u);
}

TEST(StallFault, StallInsideAWriteLeavesItUncommitted) {
  VirtualClock clock;
  Copier copier(WithFault(Fault::Stall, 9 + 2), clock);
  PcSide pc(copier, 0x378, 1000);
  EXPECT_FALSE(pc.Write(0x1000, {1, 2, 3}));
  EXPECT_EQ(copier.BytesMoved(), 11u);
}

TEST(StallFault, ZeroMeansDeadFromTheStart) {
  VirtualClock clock;
  Copier copier(WithFault(Fault::Stall, 0), clock);
  PcSide pc(copier, 0x378, 1000);
  EXPECT_FALSE(pc.Send(0));
}

TEST(BadCheckFault, EveryReadCarriesAWrongCheckByteButRightData) {
  VirtualClock clock;
  Copier copier(WithFault(Fault::BadCheck), clock);
  PcSide pc(copier);
  ASSERT_TRUE(pc.Write(0x1000, {0x12, 0x34}));
  EXPECT_EQ(pc.ReadByte(0x1000), -1);
  std::uint8_t check = 0;
  EXPECT_EQ(pc.Read(0x1000, 2, &check), (std::vector<std::uint8_t>{0x12, 0x34}));
  EXPECT_NE(check, DataCheck({0x12, 0x34}));
  pc.Read(0x1000, 0, &check);
  EXPECT_NE(check, 0x81);
  // Writes from the PC are still checked and taken.
  ASSERT_TRUE(pc.WriteByte(0x1000, 0x77));
  std::uint8_t unused = 0;
  EXPECT_EQ(pc.Read(0x1000, 1, &unused), std::vector<std::uint8_t>{0x77});
}

TEST(SlowFault, EachStepBecomesReadyThatManyMillisecondsAfterTheLast) {
  VirtualClock clock(1'000'000, 10);
  Copier copier(WithFault(Fault::Slow, 0, 40), clock);
  PcSide pc(copier, 0x378, 1'000'000);
  ASSERT_TRUE(pc.Send(0x00));  // the first step is ready at once
  const std::uint64_t afterFirst = clock.NowMs();
  EXPECT_LT(afterFirst, 1u);
  EXPECT_EQ(copier.PortIn(0x379) & 0x80, 0) << "not ready right after a step";
  ASSERT_TRUE(pc.Send(0x00));
  EXPECT_GE(clock.NowMs(), 40u);
  EXPECT_LT(clock.NowMs(), 42u);
  // A byte received is two steps: twice the delay.
  ASSERT_TRUE(pc.Write(0x1000, {0x42}));
  ASSERT_TRUE(pc.Command(1, 0x1000, 1));
  const std::uint64_t before = clock.NowMs();
  EXPECT_EQ(pc.Receive(), 0x42);
  EXPECT_GE(clock.NowMs() - before, 80u);
}

TEST(SlowFault, NotReadyLevelIsTheOppositeOfWhatThePcWaitsFor) {
  VirtualClock clock(1'000'000, 1);
  Copier copier(WithFault(Fault::Slow, 0, 5), clock);
  PcSide pc(copier);
  ASSERT_TRUE(pc.WriteByte(0x1000, 0x0F));
  ASSERT_TRUE(pc.Command(1, 0x1000, 1));
  // Sending to the PC, not yet ready: bit 7 high, which a receive does not take.
  EXPECT_EQ(copier.PortIn(0x379) & 0x80, 0x80);
  clock.AdvanceMs(5);
  EXPECT_EQ(copier.PortIn(0x379), 0x0F << 3);
}

TEST(SlowFault, ClockWithoutACounterStillPacesTheCopier) {
  VirtualClock clock(1'000'000, 10);
  clock.SetFrequency(1'000'000, false);
  Copier copier(WithFault(Fault::Slow, 0, 3), clock);
  PcSide pc(copier, 0x378, 1'000'000);
  ASSERT_TRUE(pc.Send(0));
  ASSERT_TRUE(pc.Send(0));
  EXPECT_GE(clock.NowMs(), 3u);
}

TEST(NoFault, StatusReadsDoNotTouchTheClock) {
  VirtualClock clock;
  Copier copier(Options{}, clock);
  PcSide pc(copier);
  ASSERT_TRUE(pc.Write(0x1000, std::vector<std::uint8_t>(100, 1)));
  EXPECT_EQ(clock.CounterReads(), 0u);
}

}  // namespace
}  // namespace ql::emu::testing
