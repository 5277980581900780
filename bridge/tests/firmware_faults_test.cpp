// What the board does when things go wrong: a serial byte damaged on the
// way, a PC that falls silent, a PC that overfills the window, requests it
// cannot carry out. Each case from the PC's end of the line and from what
// the copier saw. (A copier that stops: firmware_checkpoint_test.cpp.)
#include <gtest/gtest.h>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

// The SMD's mode register write, D5 AA 96 00 01 20 01 00 A1 03 82: it shows
// in the copier's events as "W 2001 03" once it has arrived whole.
const Bytes kModeWrite = WritePacket(0x2001, {0x03});

TEST(BridgeFaults, DamagedRequestNeverReachesTheCopier) {
  const struct {
    std::uint64_t byte;  // of the SEND frame, counting its start byte as 1
    int error;           // the ERROR code reported, or 0 for none
    const char* what;
  } cases[] = {
      {2, QLBR_ERROR_BAD_REQUEST, "type"},
      {3, QLBR_ERROR_BAD_CRC, "length"},
      {14, QLBR_ERROR_BAD_CRC, "last payload byte"},
      {16, QLBR_ERROR_BAD_CRC, "CRC"},
      {1, 0, "start byte: the frame is skipped as noise"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimSession sim("device=smd,state=@", {}, c.byte);
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    EXPECT_EQ(sim.Sync(1), 0u);
    std::vector<int> errors;
    for (const Frame& frame : sim.skipped) {
      if (frame.type == QLBR_REP_ERROR) errors.push_back(frame.payload.at(0));
    }
    EXPECT_EQ(errors, c.error ? std::vector<int>{c.error} : std::vector<int>{});
    // Realigned by the SYNC, the same request goes through.
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    EXPECT_EQ(sim.Sync(2), kModeWrite.size());
    sim.Stop();
    // Only the clean copy was put on the data lines.
    EXPECT_EQ(Text(sim.WireLog(false)),
              "C0C DD5 C0D DAA C0C D96 C0D D00 C0C D01 C0D D20 C0C D01 C0D D00 C0C DA1 C0D D03 C0C D82 C0D");
    EXPECT_EQ(sim.File("events.log"), "W 2001 03\n");
  }
}

// A control write alone opens no transfer: silence after it changes
// nothing. Three bytes into a SEND it parks data and control as a PC
// leaves the port.
TEST(BridgeFaults, SilenceParksTheLinesOnlyInsideATransfer) {
  SimSession sim("device=smd");
  sim.Send(QLBR_REQ_WRITE_CONTROL, {0x0E});
  sim.Sync(4);
  sim.Idle(1500ms);
  sim.Send(QLBR_REQ_SEND, {0xD5, 0xAA, 0x96});
  EXPECT_EQ(sim.Expect(QLBR_REP_ERROR).payload, Bytes{QLBR_ERROR_SILENCE});
  EXPECT_EQ(sim.Sync(5), 3u);
  sim.Stop();
  const auto writes = sim.WireLog(false);
  ASSERT_EQ(Text(writes), "C0C C0E DD5 C0F DAA C0E D96 C0F D00 C0C");
  // A second after the last byte, in simulated time.
  const std::uint64_t quiet = writes[9].micros - writes[7].micros;
  EXPECT_GE(quiet, 1'000'000u);
  EXPECT_LT(quiet, 1'100'000u);
}

TEST(BridgeFaults, OverfilledWindowIsReportedAndStillCredited) {
  SimSession sim;
  // The board is busy pausing while more than its window arrives.
  sim.Send(QLBR_REQ_PAUSE, {255});
  sim.Write(Bytes(1300, 0x00));
  EXPECT_EQ(sim.Expect(QLBR_REP_ERROR).payload, Bytes{QLBR_ERROR_OVERRUN});
  sim.Sync(6);
  EXPECT_EQ(sim.credited, QLBR_LEN_PAUSE + 1300 + QLBR_LEN_SYNC + 2 * QLBR_FRAME_OVERHEAD);
}

TEST(BridgeFaults, BadRequestsAreRefusedUntilSync) {
  const struct {
    std::uint8_t type;
    Bytes payload;
    const char* what;
  } cases[] = {
      {0x33, {}, "unknown type"},
      {QLBR_REQ_RECEIVE, {0x00, 0x00}, "RECEIVE of nothing"},
      {QLBR_REQ_RECEIVE, {0x01}, "RECEIVE with a short count"},
      {QLBR_REQ_NOT_CONTROL_BIT, {8}, "no control bit 8"},
      {QLBR_REQ_SEND, {}, "SEND of nothing"},
      {QLBR_REQ_SYNC, {}, "SYNC without its token"},
      {QLBR_REQ_SET_BAUD, U32(123456), "a rate the board cannot make exactly"},
  };
  SimSession sim("device=smd,state=@");
  std::uint8_t token = 10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim.Send(c.type, c.payload);
    EXPECT_EQ(sim.Expect(QLBR_REP_ERROR).payload, Bytes{QLBR_ERROR_BAD_REQUEST});
    sim.Send(QLBR_REQ_SEND, kModeWrite);  // discarded: the PC has not realigned yet
    EXPECT_EQ(sim.Sync(++token), 0u);
  }
  sim.Stop();
  EXPECT_EQ(Text(sim.WireLog(false)), "C0C");
}

}  // namespace
}  // namespace ql::bridge::testing
