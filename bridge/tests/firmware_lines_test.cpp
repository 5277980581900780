// What the copier sees on the register level, as the simulator derives it
// from the board's pins with its own PC-port facts: the handshake's exact
// order of reads, writes and STROBE flips, the status as a PC reads it, the
// control and data writes and the pauses. A firmware that inverted a line
// wrongly would show the copier other values here.
#include <gtest/gtest.h>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

TEST(BridgeLines, EachByteSentIsReadyWaitDataStrobeAndOneMoreRead) {
  SimSession sim("device=swc");
  // Each differs from the one before: the copier sees a data write only
  // where a line changes.
  sim.Send(QLBR_REQ_SEND, {0xFF, 0x00, 0x5A, 0xA5, 0x01, 0x80, 0x7E});
  sim.Sync(1);
  sim.Stop();
  // After the start-up park, per byte: the status read that finds the
  // copier ready, the data, the STROBE flip (only STROBE moves), the read
  // after it; the copier stays ready, so the read after one byte and the
  // wait of the next are one run of two.
  EXPECT_EQ(Text(sim.WireLog()),
            "C0C S80 DFF C0D S80x2 D00 C0C S80x2 D5A C0D S80x2 DA5 C0C S80x2 D01 C0D S80x2 D80 C0C S80x2 D7E C0D S80");
}

// The status as a PC reads its register, before and after the copier starts
// offering a byte; then the bytes received.
TEST(BridgeLines, EachByteReceivedIsTwoNibblesLowFirstWithTwoReadsEach) {
  SimSession sim("device=swc,state=@", {0x5B, 0x3C});
  sim.Send(QLBR_REQ_READ_STATUS);
  EXPECT_EQ(sim.Expect(QLBR_REP_STATUS).payload, Bytes{0x80});  // ready: BUSY low
  sim.Send(QLBR_REQ_SEND, CommandPacket(1, 0x8000, 2));
  sim.Send(QLBR_REQ_READ_STATUS);
  EXPECT_EQ(sim.Expect(QLBR_REP_STATUS).payload, Bytes{0x0B << 3});  // BUSY high, the low nibble of 0x5B
  sim.Send(QLBR_REQ_RECEIVE, U16(3));
  sim.Send(QLBR_REQ_SYNC, {1});
  EXPECT_EQ(sim.Expect(QLBR_REP_DATA).payload, (Bytes{0x5B, 0x3C, 0xE6}));  // check: 0x81 ^ 0x5B ^ 0x3C
  sim.Stop();
  // From the packet's ninth and last STROBE flip: per nibble (in status bits
  // 3-6, low first) the read that sees BUSY high (bit 7 = 0), the read that
  // takes the nibble, the flip. The first run also holds the read that ends
  // the packet's last byte and the status read.
  const auto log = sim.WireLog();
  ASSERT_GE(log.size(), 13u);
  EXPECT_EQ(Text({log.end() - 13, log.end()}), "C0D S58x4 C0C S28x2 C0D S60x2 C0C S18x2 C0D S30x2 C0C S70x2 C0D");
}

// Register writes and pauses in order, as a PC makes them. The board
// starts parked as a PC leaves the port (data 0x00 as the copier starts, so
// only the control shows).
TEST(BridgeLines, RegisterWritesAndPausesReachTheCopierAsAPcMakesThem) {
  SimSession sim;
  for (std::uint8_t value : {0x00, 0x01, 0x02, 0x04, 0x08, 0x0C}) sim.Send(QLBR_REQ_WRITE_CONTROL, {value});
  // Bits 4-7 drive no line: 0x2C looks like 0x0C, and changes nothing.
  sim.Send(QLBR_REQ_WRITE_CONTROL, {0x2C});
  for (std::uint8_t bit : {0, 1, 2, 3, 5}) sim.Send(QLBR_REQ_NOT_CONTROL_BIT, {bit});
  sim.Send(QLBR_REQ_WRITE_DATA, {0xA5});
  sim.Send(QLBR_REQ_PAUSE, {1});
  sim.Send(QLBR_REQ_WRITE_DATA, {0x5A});
  sim.Send(QLBR_REQ_PAUSE, {3});
  sim.Send(QLBR_REQ_WRITE_DATA, {0x00});
  sim.Send(QLBR_REQ_PAUSE, {0});
  sim.Send(QLBR_REQ_WRITE_DATA, {0xFF});
  sim.Sync(1);
  sim.Stop();
  // The park, the values as written, bits 0, 1, 2, 3 inverted in turn (bit 5 nothing), the data.
  const auto log = sim.WireLog();
  ASSERT_EQ(Text(log), "C0C C00 C01 C02 C04 C08 C0C C0D C0F C0B C03 DA5 D5A D00 DFF");
  const auto gap = [&log](std::size_t i) { return log[i + 1].micros - log[i].micros; };
  EXPECT_GE(gap(11), 1000u);
  EXPECT_LT(gap(11), 1500u);
  EXPECT_GE(gap(12), 3000u);
  EXPECT_LT(gap(13), 200u);
}

}  // namespace
}  // namespace ql::bridge::testing
