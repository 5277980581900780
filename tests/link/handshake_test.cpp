#include "link/handshake.h"

#include <gmock/gmock.h>

#include "core/types.h"
#include "link/link_timeout.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

using ::testing::ElementsAre;
using Kind = ScriptedPort::OpKind;

constexpr std::uint16_t kData = 0x378;
constexpr std::uint16_t kStatus = 0x379;
constexpr std::uint16_t kControl = 0x37A;

class HandshakeTest : public LinkTest {
 protected:
  void SetUp() override { Bind(); }
  // Virtual milliseconds spent by `action`, which must time out.
  template <typename Action>
  std::uint64_t MsUntilTimeout(Action action) {
    const std::uint64_t start = clock_.Peek();
    EXPECT_THROW(action(), LinkTimeout);
    return (clock_.Peek() - start) / 1000;
  }
};

MATCHER_P3(IsOp, kind, port, value, "") { return arg.kind == kind && arg.port == port && arg.value == value; }

TEST_F(HandshakeTest, SendWhenReadyCostsTwoReadsOneWriteOneInversionAndNoTimerPoll) {
  SendByte(0x5A);
  EXPECT_THAT(port_.Ops(), ElementsAre(IsOp(Kind::In, kStatus, 0x80), IsOp(Kind::Out, kData, 0x5A),
                                       IsOp(Kind::NotBit, kControl, 0), IsOp(Kind::In, kStatus, 0x80)));
  EXPECT_EQ(clock_.CounterReads(), 0u);
}

TEST_F(HandshakeTest, ReceiveWhenReadyCostsFourReadsTwoInversionsAndNoTimerPoll) {
  port_.OfferByte(0xC3);
  EXPECT_EQ(ReceiveByte(), 0xC3);
  const auto& ops = port_.Ops();
  ASSERT_EQ(ops.size(), 6u);
  EXPECT_EQ(ops[0].kind, Kind::In);
  EXPECT_EQ(ops[1].kind, Kind::In);
  EXPECT_THAT(ops[2], IsOp(Kind::NotBit, kControl, 0));
  EXPECT_EQ(ops[3].kind, Kind::In);
  EXPECT_EQ(ops[4].kind, Kind::In);
  EXPECT_THAT(ops[5], IsOp(Kind::NotBit, kControl, 0));
  EXPECT_EQ(clock_.CounterReads(), 0u);
}

TEST_F(HandshakeTest, SendWaitsForLineHighThenWrites) {
  port_.ExpectSends(1, 100);
  SendByte(0x11);
  EXPECT_GE(clock_.NowMs(), 100u);
  EXPECT_GT(clock_.CounterReads(), 0u);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0x11));
}

TEST_F(HandshakeTest, NibblesComeFromStatusBitsThreeToSix) {
  port_.QueueStatusReads({0x00, 0x78, 0x00, 0x78});
  EXPECT_EQ(ReceiveByte(), 0xFF);
  // Bits 0 to 2 and bit 7 never contribute.
  port_.QueueStatusReads({0x07, 0x87, 0x07, 0x87});
  EXPECT_EQ(ReceiveByte(), 0x00);
  port_.QueueStatusReads({0x00, 0x08, 0x00, 0x40});
  EXPECT_EQ(ReceiveByte(), 0x81);
}

TEST_F(HandshakeTest, NibbleIsTakenFromTheReadAfterTheWaitNotTheReadThatEndedIt) {
  port_.QueueStatusReads({0x30, 0x08, 0x30, 0x40});
  EXPECT_EQ(ReceiveByte(), 0x81);
}

TEST_F(HandshakeTest, SendTimesOutAfter500MsWhenLineStaysLow) {
  port_.SetIdleStatus(0x00);
  const std::uint64_t ms = MsUntilTimeout([] { SendByte(0x42); });
  EXPECT_GE(ms, 500u);
  EXPECT_LE(ms, 501u);
  EXPECT_TRUE(port_.DataWritten().empty());
  EXPECT_EQ(port_.Count(Kind::NotBit, 2), 0u);
}

TEST_F(HandshakeTest, ReceiveTimesOutAfter500MsWhenLineStaysHigh) {
  port_.SetIdleStatus(0x80);
  const std::uint64_t ms = MsUntilTimeout([] { ReceiveByte(); });
  EXPECT_GE(ms, 500u);
  EXPECT_LE(ms, 501u);
}

TEST_F(HandshakeTest, EachHalfOfAReceiveHasItsOwn500Ms) {
  port_.OfferByte(0xA5, 400);
  EXPECT_EQ(ReceiveByte(), 0xA5);
  EXPECT_GE(clock_.NowMs(), 800u);
}

TEST_F(HandshakeTest, SecondHalfLateBeyond500MsTimesOut) {
  port_.AddPhase(0x28, 0);
  port_.AddPhase(0x28, 502);
  EXPECT_THROW(ReceiveByte(), LinkTimeout);
  EXPECT_EQ(port_.Count(Kind::NotBit, 2), 1u);  // the first half was taken
}

TEST_F(HandshakeTest, EveryByteGetsAFreshTimeOut) {
  for (int i = 0; i < 3; ++i) port_.ExpectSends(1, 450);
  SendByte(1);
  SendByte(2);
  SendByte(3);
  EXPECT_GE(clock_.NowMs(), 1350u);
}

TEST_F(HandshakeTest, WithoutCounterAWaitRaisesAfterExactlyThePollBudget) {
  clock_.SetFrequency(1'000'000, false);
  ASSERT_TRUE(InitPortDriver(1));
  ASSERT_EQ(TicksPerMs(), 0u);
  port_.SetLogging(false);
  port_.SetIdleStatus(0x00);
  const std::uint64_t readsBefore = port_.StatusReads();
  EXPECT_THROW(SendByte(7), LinkTimeout);
  // One read before the first poll, then one per unexpired poll.
  EXPECT_EQ(port_.StatusReads() - readsBefore, std::uint64_t{kPollBudgetWithoutCounter});
  EXPECT_EQ(clock_.CounterReads(), 0u);
}

TEST_F(HandshakeTest, WithoutCounterALineThatComesOnTheLastPollStillSucceeds) {
  clock_.SetFrequency(500);  // below 1000 Hz counts as no counter
  ASSERT_TRUE(InitPortDriver(1));
  ASSERT_EQ(TicksPerMs(), 0u);
  port_.SetLogging(false);
  // The first read and those after polls 1 to 0x1FFFFE see the line low; the
  // read after poll 0x1FFFFF, the last unexpired one, sees it high.
  port_.QueueStatusReads(std::vector<std::uint8_t>(kPollBudgetWithoutCounter - 1, 0x00));
  port_.QueueStatusReads({0x80});
  EXPECT_NO_THROW(SendByte(9));
}

TEST_F(HandshakeTest, ByteLayerWithoutBindingTimesOutInsteadOfCrashing) {
  ResetPortBinding();
  EXPECT_THROW(SendByte(1), LinkTimeout);
  EXPECT_THROW(ReceiveByte(), LinkTimeout);
}

class LinkTimerTest : public LinkTest {};

TEST_F(LinkTimerTest, PollExpiresWhenTheLimitIsReached) {
  Bind();
  clock_.SetAutoAdvance(0);
  EXPECT_TRUE(LinkTimer(-500));
  EXPECT_FALSE(LinkTimer(0));
  clock_.AdvanceMs(499);
  EXPECT_FALSE(LinkTimer(0));
  clock_.AdvanceMs(1);
  EXPECT_TRUE(LinkTimer(0));
}

TEST_F(LinkTimerTest, ElapsedTimeSurvivesCounterWrapAround) {
  Bind();
  clock_.SetAutoAdvance(0);
  clock_.Advance(~std::uint64_t{0} - 200'000);  // 200 ms before the counter wraps
  LinkTimer(-500);
  EXPECT_FALSE(LinkTimer(0));
  clock_.AdvanceMs(499);
  EXPECT_FALSE(LinkTimer(0));
  clock_.AdvanceMs(1);
  EXPECT_TRUE(LinkTimer(0));
}

TEST_F(LinkTimerTest, PositiveArgumentSleeps) {
  Bind();
  EXPECT_TRUE(LinkTimer(1));
  EXPECT_EQ(clock_.SleptMs(), 1u);
  EXPECT_EQ(clock_.NowMs(), 1u);
}

TEST_F(LinkTimerTest, TimeOutMessageNamesTheDevicesConsole) {
  ReportLinkTimeout();
  SelectedDevice = kDeviceSmd;
  ReportLinkTimeout();
  const auto messages = window_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text,
            "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the Super NES is "
            "turned on.");
  EXPECT_EQ(messages[1].text,
            "LPT read timeout\nThe backup device is not responding.  Make sure it's connected and the Genesis is "
            "turned on.");
  for (const auto& message : messages) {
    EXPECT_EQ(message.caption, "SWC Interface");
    EXPECT_EQ(message.icon, MessageIcon::Stop);
  }
}

}  // namespace
}  // namespace ql::testing
