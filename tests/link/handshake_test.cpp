#include "link/handshake.h"

#include <functional>

#include "link/commands.h"
#include "link/link_timeout.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

// Each nibble comes from a fresh status read after the read that ended its wait.
TEST(Handshake, NibblesComeFromStatusBitsThreeToSix) {
  Wire wire;
  wire.Bind();
  // Four status reads, then the byte they give.
  for (const Bytes& row : {Bytes{0x00, 0x78, 0x00, 0x78, 0xFF}, Bytes{0x07, 0x87, 0x07, 0x87, 0x00},
                           Bytes{0x30, 0x08, 0x30, 0x40, 0x81}}) {
    wire.reads.assign(row.begin(), row.end() - 1);
    EXPECT_EQ(ReceiveByte(), row.back()) << int{row[1]};
  }
}

TEST(Handshake, AWaitTimesOutAfter500MsWithoutMovingTheLines) {
  const struct {
    emu::Options options;
    std::function<void()> wait;
    std::size_t waitStart;  // operations before the wait that times out
  } rows[] = {{With(emu::Fault::Dead), [] { SendByte(0x42); }, 0},
              {With(emu::Fault::Stall, 9), [] { ReadMemoryByte(0x8000); }, 36}};
  for (const auto& row : rows) {
    Wire wire(row.options);
    wire.Bind();
    EXPECT_THROW(row.wait(), LinkTimeout);
    const std::uint64_t ms = (wire.sim.clock().Peek() - wire.ops[row.waitStart].at) / 1000;
    EXPECT_GE(ms, 500u);
    EXPECT_LE(ms, 501u);
    EXPECT_EQ(wire.Shape(row.waitStart).find_first_of("ON"), std::string::npos);
  }
}

// The copier takes 400 ms over every byte it takes and every nibble it offers.
TEST(Handshake, EveryWaitHasAFresh500Ms) {
  Wire wire(With(emu::Fault::Slow, 0, 400));
  wire.Bind();
  WriteMemoryByte(0x8000, 0xA5);
  EXPECT_EQ(ReadMemoryByte(0x8000), 0xA5);
  EXPECT_GE(wire.sim.clock().NowMs(), 23 * 400u);
}

TEST(Handshake, WithoutACounterAWaitGivesUpAfterThePollBudget) {
  Wire wire(With(emu::Fault::Dead));
  wire.sim.clock().SetFrequency(1'000'000, false);
  ASSERT_TRUE(InitPortDriver(1));
  EXPECT_THROW(SendByte(7), LinkTimeout);
  // One read before the first poll, then one after each poll that has not expired.
  EXPECT_EQ(wire.ops.size(), std::size_t{0x200000});
  EXPECT_EQ(wire.sim.clock().CounterReads(), 0u);
}

TEST(Handshake, TimerExpiresAtItsLimitAcrossACounterWrap) {
  Wire wire;
  EXPECT_THROW(SendByte(1), LinkTimeout);  // unbound: nothing can answer
  EXPECT_THROW(ReceiveByte(), LinkTimeout);
  wire.Bind();
  VirtualClock& clock = wire.sim.clock();
  clock.SetAutoAdvance(0);
  clock.Advance(~std::uint64_t{0} - 200'000 - clock.Peek());  // 200 ms before the counter wraps
  EXPECT_TRUE(LinkTimer(-500));
  EXPECT_FALSE(LinkTimer(0));
  clock.AdvanceMs(499);
  EXPECT_FALSE(LinkTimer(0));
  clock.AdvanceMs(1);
  EXPECT_TRUE(LinkTimer(0));
}

}  // namespace
}  // namespace ql::testing
