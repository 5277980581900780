// CHECKPOINT, which lets the PC stream the next block before the last one's
// count is back: the count goes on across it, a count the PC does not share
// stops the board until SYNC, and after a time-out it is skipped, so nothing
// of a later block reaches the copier. (Bytes both ways, the counts of SYNC
// and the credits are checked end to end by the command line's bridge suite.)
#include <gtest/gtest.h>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

// The SMD's mode register write (11 bytes): "W 2001 03" in the copier's events.
const Bytes kModeWrite = WritePacket(0x2001, {0x03});
const std::uint32_t kModeBytes = static_cast<std::uint32_t>(kModeWrite.size());

Bytes Checkpoint(std::uint8_t token, std::uint32_t count) {
  Bytes payload{token};
  Append(payload, U32(count));
  return payload;
}

TEST(BridgeCheckpoint, CountsGoOnAndACountThePcDoesNotShareStopsTheBoardUntilSync) {
  // A frame lost as noise shows as a count one off either way: the second write and the CHECKPOINT behind it
  // are skipped; the first CHECKPOINT is answered with what was moved all the same.
  for (const std::uint32_t firstCount : {kModeBytes, kModeBytes + 1, kModeBytes - 1}) {
    SCOPED_TRACE(firstCount);
    const bool agreed = firstCount == kModeBytes;
    SimSession sim("device=smd,state=@");
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(1, firstCount));
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(2, 2 * kModeBytes));
    sim.Send(QLBR_REQ_SYNC, {3});
    std::vector<Frame> dones{sim.Expect(QLBR_REP_DONE)};
    while (dones.back().payload.at(0) != 3) dones.push_back(sim.Expect(QLBR_REP_DONE));
    ASSERT_EQ(dones.size(), agreed ? 3u : 2u);
    EXPECT_EQ(dones.front().payload.at(0), 1);
    EXPECT_EQ(LittleEndian32(dones.front().payload, 1), kModeBytes);
    EXPECT_EQ(LittleEndian32(dones.back().payload, 1), agreed ? 2 * kModeBytes : kModeBytes);
    EXPECT_TRUE(sim.skipped.empty()) << "no error is reported: the DONE says it";
    // Realigned by the SYNC, the board takes requests again.
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    EXPECT_EQ(sim.Sync(4), kModeBytes);
    sim.Stop();
    EXPECT_EQ(sim.File("events.log"), agreed ? "W 2001 03\nW 2001 03\nW 2001 03\n" : "W 2001 03\nW 2001 03\n");
  }
}

// A copier that stops after five bytes: TIMEOUT with the count moved, and
// after it a CHECKPOINT is skipped like any request, the next block with it.
TEST(BridgeCheckpoint, AfterATimeOutItIsSkippedAndNothingMoreReachesTheCopier) {
  SimSession sim("device=smd,fault=stall:5");
  sim.Send(QLBR_REQ_SEND, kModeWrite);
  sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(1, kModeBytes));
  sim.Send(QLBR_REQ_SEND, kModeWrite);
  sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(2, 2 * kModeBytes));
  EXPECT_EQ(sim.Sync(3), 5u);
  ASSERT_EQ(sim.skipped.size(), 1u);
  EXPECT_EQ(sim.skipped[0].type, QLBR_REP_TIMEOUT);
  EXPECT_EQ(LittleEndian32(sim.skipped[0].payload, 0), 5u);
  sim.Stop();
  // Five bytes with their STROBE flips; the sixth waited first and was never written.
  EXPECT_EQ(Text(sim.WireLog(false)), "C0C DD5 C0D DAA C0C D96 C0D D00 C0C D01 C0D");
}

}  // namespace
}  // namespace ql::bridge::testing
