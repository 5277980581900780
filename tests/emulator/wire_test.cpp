// The handshake, the packet layer and the faults, seen from the PC's side.
#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {
namespace {

TEST(Wire, BytesRoundTripWithTheirCheckByteOnAnyPortBase) {
  Rig rig;
  ASSERT_TRUE(rig.pc.Write(0x1000, {1}));  // 11 bytes, each a wait, a data write and a STROBE flip
  const Copier& c = rig.copier;
  EXPECT_EQ(std::tuple(c.PortInCount(), c.PortOutCount(), c.NotPortBitCount(), c.DataRegister()),
            std::tuple(11u, 11u, 11u, 0x80));
  ASSERT_TRUE((PcSide{rig.copier, 0x278}.Write(0x0800, {0x3C})));  // registers are chosen by port & 3
  EXPECT_EQ((PcSide{rig.copier, 0x3BC}.ReadByte(0x0800)), 0x3C);
}

// A packet or a write whose check byte fails does nothing; the bytes of a
// rejected packet are met while hunting for the next sync.
TEST(Wire, PacketsAndWritesWithABadCheckByteAreRejected) {
  Rig rig;
  ASSERT_TRUE(rig.pc.Write(0x1000, {0x10, 0x20}));
  Bytes packet = Packet(0, 0x1000, 1);
  packet[8] ^= 1;
  ASSERT_TRUE(rig.pc.Send(packet) && rig.pc.Send({0x55, 0x55 ^ 0x81}));
  ASSERT_TRUE(rig.pc.Command(0, 0x1000, 2) && rig.pc.Send({0x99, 0x98, 0x81 ^ 0x99 ^ 0x98 ^ 0x40}));
  EXPECT_EQ(rig.pc.Read(0x1000, 2), (Bytes{0x10, 0x20}));
  EXPECT_EQ(rig.copier.RejectedCount(), 2u);
}

TEST(Wire, SyncIsFoundAfterGarbageAndInsideAnAbandonedPacket) {
  for (const Bytes& before : {Bytes{0x00, 0xD5, 0xD5, 0xAA, 0xAA, 0x96, 0xD5}, Bytes{0xD5, 0xAA, 0x96, 0x00, 0x00}}) {
    Rig rig;
    ASSERT_TRUE(rig.pc.Send(before) && rig.pc.Write(0x1000, {0x42}));
    EXPECT_EQ(rig.pc.ReadByte(0x1000), 0x42) << ::testing::PrintToString(before);
  }
}

// A one-byte write and a one-byte read move 11 + 11 bytes; stalled at the
// read's data byte (not its check byte), the copier from then on shows the
// other level than the one the PC waits for, and no STROBE moves a byte.
TEST(Faults, StalledCopierMovesNothingMore) {
  Rig rig(Make(Device::Swc, Fault::Stall, 21));
  PcSide pc{rig.copier, 0x378, 1000};
  EXPECT_FALSE(pc.Write(0x1000, {0x42}) && pc.Read(0x1000, 1));
  EXPECT_FALSE(pc.Command(5, 0)) << "a PC that gives up finds no copier either";
  EXPECT_FALSE(pc.Receive());
  EXPECT_EQ(rig.copier.BytesMoved(), 21u);
}

// The link's tests pace it on a clock with a counter; one without still does.
TEST(Faults, SlowCopierIsReadyMillisecondsAfterEachStepInVirtualTime) {
  VirtualClock clock;
  clock.SetFrequency(1'000'000, false);
  Copier copier(Make(Device::Swc, Fault::Slow, 40), clock);
  PcSide pc{copier};
  ASSERT_TRUE(pc.Send({0}));  // the first step is ready at once
  EXPECT_LT(clock.NowMs(), 1u);
  ASSERT_TRUE(pc.Send({0}));
  EXPECT_GE(clock.NowMs(), 40u);
  EXPECT_LT(clock.NowMs(), 42u);
}

}  // namespace
}  // namespace ql::emu::testing
