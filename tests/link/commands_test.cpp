#include "link/commands.h"

#include <gmock/gmock.h>

#include <vector>

#include "link/link_timeout.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;

class CommandsTest : public LinkTest {
 protected:
  void SetUp() override { Bind(); }
  // The copier answers a read of `data` with the given check byte.
  void OfferRead(const Bytes& data, std::uint8_t check) {
    port_.ExpectSends(9);
    for (std::uint8_t b : data) port_.OfferByte(b);
    port_.OfferByte(check);
  }
};

TEST_F(CommandsTest, WriteMemoryBytePacketDataAndCheck) {
  WriteMemoryByte(0x2001, 3);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x00, 0x01, 0x20, 0x01, 0x00, 0xA1, 0x03, 0x82));
}

TEST_F(CommandsTest, SelectBankPageSendsSixteenBitPage) {
  SelectBankPage(0x80, 3);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x05, 0x03, 0x02, 0x00, 0x00, 0x85));
}

TEST_F(CommandsTest, SelectPageSendsThePageUnchanged) {
  SelectPage(0x12);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x05, 0x12, 0x00, 0x00, 0x00, 0x81 ^ 0x05 ^ 0x12));
}

TEST_F(CommandsTest, SendFunctionChecksWithCommandSix) {
  SendFunction(2, 0, 0, 0);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x06, 0x02, 0x00, 0x00, 0x00, 0x85));
  port_.ClearOps();
  SendFunction(5, 0x40, 0x01, 0x00);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x06, 0x05, 0x40, 0x01, 0x00, 0xC3));
}

TEST_F(CommandsTest, SendCommandPutsAddressAndLengthLowByteFirst) {
  SendCommand(1, 0xBFC0, 0x0123);
  EXPECT_THAT(port_.DataWritten(),
              ElementsAre(0xD5, 0xAA, 0x96, 0x01, 0xC0, 0xBF, 0x23, 0x01, 0x81 ^ 0x01 ^ 0xC0 ^ 0xBF ^ 0x23 ^ 0x01));
}

TEST_F(CommandsTest, BlockOfZerosEndsWithSeedCheckByte) {
  const Bytes zeros(8192, 0);
  WriteMemoryBlock(0x8000, zeros.data(), static_cast<std::uint16_t>(zeros.size()));
  const Bytes sent = port_.DataWritten();
  ASSERT_EQ(sent.size(), 9u + 8192u + 1u);
  EXPECT_EQ(sent[6], 0x00);
  EXPECT_EQ(sent[7], 0x20);
  EXPECT_EQ(sent.back(), 0x81);
}

TEST_F(CommandsTest, BlockWhoseBytesFoldToSeedEndsWithZero) {
  const Bytes data = {0x80, 0x01, 0x5A, 0x5A};
  WriteMemoryBlock(0x0400, data.data(), 4);
  const Bytes sent = port_.DataWritten();
  EXPECT_THAT(Bytes(sent.begin() + 9, sent.end()), ElementsAre(0x80, 0x01, 0x5A, 0x5A, 0x00));
}

TEST_F(CommandsTest, LargestBlockLengthTravelsAs0040) {
  const Bytes block(16384, 0x33);
  WriteMemoryBlock(0x8000, block.data(), 16384);
  const Bytes sent = port_.DataWritten();
  EXPECT_EQ(sent[6], 0x00);
  EXPECT_EQ(sent[7], 0x40);
  EXPECT_EQ(sent.size(), 9u + 16384u + 1u);
}

TEST_F(CommandsTest, ReadMemoryByteReturnsByteWhenCheckMatches) {
  OfferRead({0x12}, 0x93);
  EXPECT_EQ(ReadMemoryByte(0xA0A0), 0x12);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x01, 0xA0, 0xA0, 0x01, 0x00, 0x81 ^ 0x01 ^ 0x01));
  EXPECT_EQ(port_.PhasesLeft(), 0u);
}

TEST_F(CommandsTest, ReadMemoryByteReturnsMinusOneNot255OnBadCheck) {
  OfferRead({0x12}, 0x92);
  EXPECT_EQ(ReadMemoryByte(0x2000), -1);
  OfferRead({0xFF}, 0x7E);
  EXPECT_EQ(ReadMemoryByte(0x2000), 255);
  OfferRead({0xFF}, 0xFF);
  EXPECT_EQ(ReadMemoryByte(0x2000), -1);
}

TEST_F(CommandsTest, ReadMemoryBytePausesBeforeAndAfterTheData) {
  OfferRead({0x12}, 0x93);
  ReadMemoryByte(0xB080);
  EXPECT_EQ(clock_.SleptMs(), 2u);
  // The first status read of the data comes at least 1 ms after the packet's last byte.
  const auto& ops = port_.Ops();
  // Each byte sent is read, write, inversion, read: the read after the
  // ninth write's inversion ends the packet.
  std::size_t settleOfNinth = 0;
  int writes = 0;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].kind == ScriptedPort::OpKind::Out && ++writes == 9) settleOfNinth = i + 2;
  }
  ASSERT_LT(settleOfNinth + 1, ops.size());
  EXPECT_GE(ops[settleOfNinth + 1].at - ops[settleOfNinth].at, 1000u);
  EXPECT_GE(clock_.Peek() - ops.back().at, 1000u);
}

TEST_F(CommandsTest, ReadMemoryBlockFillsBufferAndReportsCheck) {
  OfferRead({1, 2, 3}, 0x81 ^ 1 ^ 2 ^ 3);
  Bytes buffer(3, 0xEE);
  EXPECT_TRUE(ReadMemoryBlock(0x8000, buffer.data(), 3));
  EXPECT_THAT(buffer, ElementsAre(1, 2, 3));
  EXPECT_EQ(clock_.SleptMs(), 2u);

  OfferRead({4, 5}, 0x00);
  EXPECT_FALSE(ReadMemoryBlock(0x8000, buffer.data(), 2));
  EXPECT_THAT(buffer, ElementsAre(4, 5, 3));  // delivered as received
}

TEST_F(CommandsTest, TimeOutInTheMiddleOfAPacketPassesThrough) {
  port_.ExpectSends(4);
  port_.SetIdleStatus(0x00);
  EXPECT_THROW(WriteMemoryByte(0xC008, 0), LinkTimeout);
  EXPECT_THAT(port_.DataWritten(), ElementsAre(0xD5, 0xAA, 0x96, 0x00));
}

TEST_F(CommandsTest, TimeOutWhileReadingDataPassesThrough) {
  port_.ExpectSends(9);
  port_.OfferByte(0x10);
  port_.SetIdleStatus(0x80);
  Bytes buffer(4);
  EXPECT_THROW(ReadMemoryBlock(0x8000, buffer.data(), 4), LinkTimeout);
  EXPECT_EQ(buffer[0], 0x10);
}

}  // namespace
}  // namespace ql::testing
