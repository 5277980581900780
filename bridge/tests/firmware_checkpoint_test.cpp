// CHECKPOINT, which lets the PC stream the next block before the last one's
// count is back: the count goes on across it, a count the PC does not share
// stops the board until SYNC, and after a time-out it is skipped, so nothing
// of a later block reaches the copier.
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
  const Bytes value = U32(count);
  payload.insert(payload.end(), value.begin(), value.end());
  return payload;
}

std::vector<std::uint8_t> TypesOf(const std::vector<Frame>& frames) {
  std::vector<std::uint8_t> types;
  for (const Frame& frame : frames) types.push_back(frame.type);
  return types;
}

TEST(BridgeCheckpoint, CountsGoOnAndACountThePcDoesNotShareStopsTheBoardUntilSync) {
  const struct {
    const char* what;
    std::uint32_t firstCount;  // what the PC says it sent before the first CHECKPOINT
    std::uint32_t syncCount;   // the SYNC's DONE
    const char* events;
  } cases[] = {
      {"the PC's count", kModeBytes, 2 * kModeBytes, "W 2001 03\nW 2001 03\nW 2001 03\n"},
      // A frame lost as noise: the second write and the CHECKPOINT behind it are skipped.
      {"one byte more", kModeBytes + 1, kModeBytes, "W 2001 03\nW 2001 03\n"},
      {"one byte less", kModeBytes - 1, kModeBytes, "W 2001 03\nW 2001 03\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimSession sim("device=smd,state=@");
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(1, c.firstCount));
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(2, 2 * kModeBytes));
    sim.Send(QLBR_REQ_SYNC, {3});
    std::vector<Frame> dones;
    for (int i = 0; i < 3; ++i) {
      dones.push_back(sim.Expect(QLBR_REP_DONE));
      if (dones.back().payload.at(0) == 3) break;
    }
    // The first CHECKPOINT is always answered with what was moved; the second only when the counts agreed.
    ASSERT_EQ(dones.size(), c.firstCount == kModeBytes ? 3u : 2u);
    EXPECT_EQ(dones.front().payload.at(0), 1);
    EXPECT_EQ(LittleEndian32(dones.front().payload, 1), kModeBytes);
    EXPECT_EQ(LittleEndian32(dones.back().payload, 1), c.syncCount);
    EXPECT_TRUE(sim.Skipped().empty()) << "no error is reported: the DONE says it";
    // Realigned by the SYNC, the board takes requests again.
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_SYNC, {4});
    EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_DONE).payload, 1), kModeBytes);
    sim.Stop();
    EXPECT_EQ(ReadFile(sim.Folder() / "events.log"), c.events);
  }
}

TEST(BridgeCheckpoint, AfterATimeOutItIsSkippedAndNothingMoreReachesTheCopier) {
  SimSession sim("device=smd,fault=stall:5");
  sim.Send(QLBR_REQ_SEND, kModeWrite);
  sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(1, kModeBytes));
  sim.Send(QLBR_REQ_SEND, kModeWrite);  // the next block: skipped, or it would time out again
  sim.Send(QLBR_REQ_CHECKPOINT, Checkpoint(2, 2 * kModeBytes));
  sim.Send(QLBR_REQ_SYNC, {3});
  const Frame done = sim.Expect(QLBR_REP_DONE, std::chrono::milliseconds(10000));
  EXPECT_EQ(done.payload.at(0), 3);
  EXPECT_EQ(LittleEndian32(done.payload, 1), 5u);
  ASSERT_EQ(TypesOf(sim.Skipped()), std::vector<std::uint8_t>{QLBR_REP_TIMEOUT});
  EXPECT_EQ(LittleEndian32(sim.Skipped()[0].payload, 0), 5u);
}

}  // namespace
}  // namespace ql::bridge::testing
