// The handshake and the packet layer, seen from the PC's side of the wire.
#include <gtest/gtest.h>

#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

class WireTest : public ::testing::Test {
 protected:
  VirtualClock clock_;
  Copier copier_{Options{}, clock_};
  PcSide pc_{copier_};
};

TEST_F(WireTest, IdleCopierIsReadyForAByteAndStrobeLatchesTheDataRegister) {
  EXPECT_EQ(copier_.PortIn(0x379) & 0x80, 0x80);
  copier_.PortOut(0x378, 0x5A);
  EXPECT_EQ(copier_.PortIn(0x378), 0x5A);
  copier_.NotPortBit(0x37A, 0);
  EXPECT_EQ(copier_.BytesMoved(), 1u);
  EXPECT_EQ(copier_.ControlRegister() & 1, 1);
  // Inverting another control bit is not a step.
  copier_.NotPortBit(0x37A, 1);
  EXPECT_EQ(copier_.BytesMoved(), 1u);
}

TEST_F(WireTest, ReadOffersLowNibbleThenHighNibbleWithBit7Low) {
  ASSERT_TRUE(pc_.Write(0x1000, {0xA7}));
  ASSERT_TRUE(pc_.Command(1, 0x1000, 1));
  EXPECT_EQ(copier_.PortIn(0x379), 0x07 << 3);  // bit 7 low, low nibble on bits 3-6
  copier_.NotPortBit(0x37A, 0);
  EXPECT_EQ(copier_.PortIn(0x379), 0x0A << 3);
  copier_.NotPortBit(0x37A, 0);
  // The check byte 0xA7 ^ 0x81 = 0x26 follows.
  EXPECT_EQ(copier_.PortIn(0x379), 0x06 << 3);
  copier_.NotPortBit(0x37A, 0);
  EXPECT_EQ(copier_.PortIn(0x379), 0x02 << 3);
  copier_.NotPortBit(0x37A, 0);
  EXPECT_EQ(copier_.PortIn(0x379) & 0x80, 0x80) << "back to taking bytes";
}

TEST_F(WireTest, WholeControlWriteThatFlipsStrobeIsAStep) {
  copier_.PortOut(0x378, 0x11);
  copier_.PortOut(0x37A, 0x0B);  // bit 0 from 0 to 1
  EXPECT_EQ(copier_.BytesMoved(), 1u);
  copier_.PortOut(0x37A, 0x0B);  // no change, no step
  EXPECT_EQ(copier_.BytesMoved(), 1u);
  copier_.PortOut(0x37A, 0x0C);
  EXPECT_EQ(copier_.BytesMoved(), 2u);
  EXPECT_EQ(copier_.PortIn(0x37A), 0x0C);
}

// A port library without bit inversion: STROBE is flipped by reading the
// control register and writing it back whole.
TEST_F(WireTest, ReadModifyWriteStrobeCarriesWholePackets) {
  const auto strobe = [this] { copier_.PortOut(0x37A, copier_.PortIn(0x37A) ^ 1); };
  const auto send = [&](std::uint8_t b) {
    ASSERT_EQ(copier_.PortIn(0x379) & 0x80, 0x80);
    copier_.PortOut(0x378, b);
    strobe();
  };
  for (std::uint8_t b : PcSide::PacketBytes(0, 0x00, 0x10, 1, 0)) send(b);
  send(0xC3);
  send(0xC3 ^ 0x81);
  for (std::uint8_t b : PcSide::PacketBytes(1, 0x00, 0x10, 1, 0)) send(b);
  std::uint8_t bytes[2] = {};
  for (auto& byte : bytes) {
    const std::uint8_t low = (copier_.PortIn(0x379) >> 3) & 0x0F;
    strobe();
    const std::uint8_t high = (copier_.PortIn(0x379) << 1) & 0xF0;
    strobe();
    byte = high | low;
  }
  EXPECT_EQ(bytes[0], 0xC3);
  EXPECT_EQ(bytes[1], 0xC3 ^ 0x81);
  EXPECT_EQ(copier_.NotPortBitCount(), 0u);
}

TEST_F(WireTest, RegistersAreAddressedByTheLowTwoBitsOfThePort) {
  PcSide other(copier_, 0x278);
  ASSERT_TRUE(other.Write(0x1234, {1, 2, 3}));
  PcSide third(copier_, 0x3BC);
  EXPECT_EQ(third.Read(0x1234, 3), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(WireTest, WriteThenReadBlockRoundTripsWithItsCheckByte) {
  std::vector<std::uint8_t> data(300);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  ASSERT_TRUE(pc_.Write(0x0800, data));
  std::uint8_t check = 0;
  EXPECT_EQ(pc_.Read(0x0800, 300, &check), data);
  EXPECT_EQ(check, DataCheck(data));
}

TEST_F(WireTest, ZeroLengthReadSendsOnlyTheSeedCheckByte) {
  std::uint8_t check = 0;
  const auto data = pc_.Read(0x0800, 0, &check);
  ASSERT_TRUE(data);
  EXPECT_TRUE(data->empty());
  EXPECT_EQ(check, 0x81);
}

TEST_F(WireTest, PacketWithBadCheckByteIsIgnored) {
  auto packet = PcSide::PacketBytes(0, 0x00, 0x10, 1, 0);
  packet[8] ^= 0x01;
  ASSERT_TRUE(pc_.SendAll(packet));
  // The data byte and its check now arrive while the copier hunts for sync.
  ASSERT_TRUE(pc_.SendAll({0x55, 0x55 ^ 0x81}));
  EXPECT_EQ(pc_.ReadByte(0x1000), 0);
  EXPECT_EQ(copier_.RejectedCount(), 1u);
}

TEST_F(WireTest, WriteWithBadDataCheckIsNotCommitted) {
  ASSERT_TRUE(pc_.Write(0x1000, {0x10, 0x20}));
  ASSERT_TRUE(pc_.Command(0, 0x1000, 2));
  ASSERT_TRUE(pc_.SendAll({0x99, 0x98, static_cast<std::uint8_t>(0x81 ^ 0x99 ^ 0x98 ^ 0x40)}));
  EXPECT_EQ(pc_.Read(0x1000, 2), (std::vector<std::uint8_t>{0x10, 0x20}));
  EXPECT_EQ(copier_.RejectedCount(), 1u);
}

TEST_F(WireTest, GarbageBeforeSyncAndRepeatedD5AreSkipped) {
  ASSERT_TRUE(pc_.SendAll({0x00, 0xD5, 0xD5, 0xAA, 0xAA, 0x96, 0xD5}));
  ASSERT_TRUE(pc_.Write(0x1000, {0x42}));
  EXPECT_EQ(pc_.ReadByte(0x1000), 0x42);
}

TEST_F(WireTest, NewPacketInsideAnAbandonedOneIsFound) {
  // A PC that gave up after two bytes of a packet starts the next one.
  ASSERT_TRUE(pc_.SendAll({0xD5, 0xAA, 0x96, 0x00, 0x00}));
  ASSERT_TRUE(pc_.Write(0x1000, {0x33}));
  EXPECT_EQ(pc_.ReadByte(0x1000), 0x33);
}

TEST_F(WireTest, WriteWrapsAroundTheTopOfTheAddressSpace) {
  ASSERT_TRUE(pc_.Write(0x7FFE, {1, 2, 3}));  // plain memory on the SWC below 0x8000
  ASSERT_TRUE(pc_.Write(0xFFFF, {0xEE, 0xDD}));
  EXPECT_EQ(pc_.ReadByte(0xFFFF), 0xEE);
  EXPECT_EQ(pc_.ReadByte(0x0000), 0xDD);
  EXPECT_EQ(pc_.Read(0x7FFE, 2), (std::vector<std::uint8_t>{1, 2}));
}

TEST_F(WireTest, CountersFollowEveryPortCall) {
  ASSERT_TRUE(pc_.WriteByte(0x1000, 1));
  // 11 bytes sent: each one status read to wait, one after, one write, one strobe.
  EXPECT_EQ(copier_.BytesMoved(), 11u);
  EXPECT_EQ(copier_.PortOutCount(), 11u);
  EXPECT_EQ(copier_.NotPortBitCount(), 11u);
  EXPECT_EQ(copier_.PortInCount(), 22u);
  EXPECT_EQ(copier_.DataRegister(), 0x80);  // 1 ^ 0x81
  EXPECT_EQ(copier_.IsDriverInstalled(), 1);
}

}  // namespace
}  // namespace ql::emu::testing
