// What the board does when things go wrong: a serial byte damaged on the
// way, a copier that stops answering, a PC that falls silent, a PC that
// overfills the window. Each case from the PC's end of the line and from
// what the copier saw.
#include <gtest/gtest.h>

#include <fstream>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

using namespace std::chrono_literals;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t DataWrites(const std::vector<WireEvent>& log) {
  std::size_t count = 0;
  for (const WireEvent& event : log) count += event.kind == 'D';
  return count;
}

// The SMD's mode register write, D5 AA 96 00 01 20 01 00 A1 03 82: it shows
// in the copier's events as "W 2001 03" once it has arrived whole.
const Bytes kModeWrite = WritePacket(0x2001, {0x03});

TEST(BridgeFaults, DamagedRequestNeverReachesTheCopier) {
  struct Case {
    std::uint64_t byte;  // of the SEND frame, counting its start byte as 1
    int error;           // the ERROR code reported, or 0 for none
    const char* what;
  };
  const Case cases[] = {
      {2, QLBR_ERROR_BAD_REQUEST, "type"},
      {3, QLBR_ERROR_BAD_CRC, "length"},
      {4, QLBR_ERROR_BAD_CRC, "first payload byte"},
      {14, QLBR_ERROR_BAD_CRC, "last payload byte"},
      {16, QLBR_ERROR_BAD_CRC, "CRC"},
      {1, 0, "start byte: the frame is skipped as noise"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder("corrupt");
    SimSession sim(folder.path(), {"--corrupt-byte", std::to_string(c.byte), "device=smd,state=" + folder.path().string()});
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_SYNC, {1});
    const Frame done = sim.Expect(QLBR_REP_DONE);
    EXPECT_EQ(LittleEndian32(done.payload, 1), 0u);
    std::vector<int> errors;
    for (const Frame& frame : sim.Skipped()) {
      if (frame.type == QLBR_REP_ERROR) errors.push_back(frame.payload.at(0));
    }
    EXPECT_EQ(errors, c.error ? std::vector<int>{c.error} : std::vector<int>{});
    // Realigned by the SYNC, the same request goes through.
    sim.Send(QLBR_REQ_SEND, kModeWrite);
    sim.Send(QLBR_REQ_SYNC, {2});
    EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_DONE).payload, 1), kModeWrite.size());
    sim.Stop();
    EXPECT_EQ(DataWrites(sim.WireLog()), kModeWrite.size()) << "only the clean copy was put on the data lines";
    EXPECT_EQ(ReadText(folder.path() / "events.log"), "W 2001 03\n");
  }
}

TEST(BridgeFaults, CopierThatStopsGivesTimeoutWithTheCountMoved) {
  ScratchFolder folder("stall-send");
  SimSession sim(folder.path(), {"device=smd,fault=stall:5"});
  sim.Send(QLBR_REQ_SEND, kModeWrite);
  sim.Send(QLBR_REQ_SEND, kModeWrite);  // discarded after the time-out
  const Frame timeout = sim.Expect(QLBR_REP_TIMEOUT);
  EXPECT_EQ(LittleEndian32(timeout.payload, 0), 5u);
  sim.Send(QLBR_REQ_SYNC, {3});
  EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_DONE).payload, 1), 5u);
  sim.Send(QLBR_REQ_WRITE_DATA, {0x55});  // marks the time after the time-out on the wire
  sim.Send(QLBR_REQ_SYNC, {4});
  sim.Expect(QLBR_REP_DONE);
  sim.Stop();
  const auto log = sim.WireLog();
  EXPECT_EQ(DataWrites(log), 6u);
  // The board waited its 500 ms (simulated time) after the fifth STROBE flip.
  std::uint64_t lastFlip = 0;
  for (const WireEvent& event : log) {
    if (event.kind == 'C') lastFlip = event.micros;
  }
  ASSERT_EQ(log.back().kind, 'D');
  EXPECT_EQ(log.back().value, 0x55);
  EXPECT_GE(log.back().micros - lastFlip, 500'000u);
  EXPECT_LT(log.back().micros - lastFlip, 600'000u);
}

TEST(BridgeFaults, TimeoutInsideReceiveSendsTheBytesReceivedFirst) {
  ScratchFolder folder("stall-receive");
  // 9 packet bytes sent, then 4 received before the copier stops.
  SimSession sim(folder.path(), {"device=swc,fault=stall:13"});
  sim.Send(QLBR_REQ_SEND, ReadPacket(0x8000, 16));
  sim.Send(QLBR_REQ_RECEIVE, U16(17));
  const Frame timeout = sim.Expect(QLBR_REP_TIMEOUT);
  EXPECT_EQ(LittleEndian32(timeout.payload, 0), 13u);
  ASSERT_EQ(sim.Skipped().size(), 1u);
  EXPECT_EQ(sim.Skipped()[0].type, QLBR_REP_DATA);
  EXPECT_EQ(sim.Skipped()[0].payload, Bytes(4, 0x00));
}

TEST(BridgeFaults, SilenceInsideATransferParksTheLines) {
  ScratchFolder folder("silence");
  SimSession sim(folder.path(), {"device=smd"});
  // Three bytes leave STROBE inverted once more than parked.
  sim.Send(QLBR_REQ_SEND, {0xD5, 0xAA, 0x96});
  const Frame error = sim.Expect(QLBR_REP_ERROR, 10s);
  EXPECT_EQ(error.payload, Bytes{QLBR_ERROR_SILENCE});
  sim.Send(QLBR_REQ_SYNC, {4});
  EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_DONE).payload, 1), 3u);
  sim.Stop();
  std::vector<WireEvent> writes;
  for (const WireEvent& event : sim.WireLog()) {
    if (event.kind != 'S') writes.push_back(event);
  }
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[writes.size() - 2].kind, 'D');
  EXPECT_EQ(writes[writes.size() - 2].value, QLBR_PARK_DATA);
  EXPECT_EQ(writes.back().kind, 'C');
  EXPECT_EQ(writes.back().value, QLBR_PARK_CONTROL);
  // A second after the last byte, in simulated time.
  EXPECT_GE(writes.back().micros - writes[writes.size() - 3].micros, 1'000'000u);
  EXPECT_LT(writes.back().micros - writes[writes.size() - 3].micros, 1'100'000u);
}

TEST(BridgeFaults, SilenceWithoutATransferChangesNothing) {
  ScratchFolder folder("quiet");
  SimSession sim(folder.path(), {});
  sim.Send(QLBR_REQ_WRITE_CONTROL, {0x0D});
  sim.Send(QLBR_REQ_SYNC, {5});
  sim.Expect(QLBR_REP_DONE);
  EXPECT_TRUE(sim.Collect(1500ms).empty());
  sim.Stop();
  EXPECT_EQ(sim.WireLog().back().kind, 'C');
  EXPECT_EQ(sim.WireLog().back().value, 0x0D);
}

TEST(BridgeFaults, OverfilledWindowIsReportedAndStillCredited) {
  ScratchFolder folder("overrun");
  SimSession sim(folder.path(), {});
  // The board is busy pausing while more than its window arrives.
  const Bytes pause = EncodeFrame(QLBR_REQ_PAUSE, {255});
  const Bytes noise(1300, 0x00);
  sim.Write(pause);
  sim.Write(noise);
  const Frame error = sim.Expect(QLBR_REP_ERROR);
  EXPECT_EQ(error.payload, Bytes{QLBR_ERROR_OVERRUN});
  sim.Send(QLBR_REQ_SYNC, {6});
  sim.Expect(QLBR_REP_DONE);
  EXPECT_EQ(sim.Credited(), pause.size() + noise.size() + QLBR_LEN_SYNC + QLBR_FRAME_OVERHEAD);
}

TEST(BridgeFaults, BadRequestsAreRefusedUntilSync) {
  struct Case {
    std::uint8_t type;
    Bytes payload;
    const char* what;
  };
  const Case cases[] = {
      {0x33, {}, "unknown type"},
      {QLBR_REQ_RECEIVE, {0x00, 0x00}, "RECEIVE of nothing"},
      {QLBR_REQ_RECEIVE, {0x01}, "RECEIVE with a short count"},
      {QLBR_REQ_NOT_CONTROL_BIT, {8}, "no control bit 8"},
      {QLBR_REQ_SEND, {}, "SEND of nothing"},
      {QLBR_REQ_SYNC, {}, "SYNC without its token"},
  };
  ScratchFolder folder("bad");
  SimSession sim(folder.path(), {"device=smd,state=" + folder.path().string()});
  std::uint8_t token = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.Send(c.type, c.payload);
    EXPECT_EQ(sim.Expect(QLBR_REP_ERROR).payload, Bytes{QLBR_ERROR_BAD_REQUEST});
    sim.Send(QLBR_REQ_SEND, kModeWrite);  // discarded: the PC has not realigned yet
    sim.Send(QLBR_REQ_SYNC, {++token});
    const Frame done = sim.Expect(QLBR_REP_DONE);
    EXPECT_EQ(done.payload.at(0), token);
    EXPECT_EQ(LittleEndian32(done.payload, 1), 0u);
  }
  sim.Stop();
  EXPECT_EQ(DataWrites(sim.WireLog()), 0u);
}

}  // namespace
}  // namespace ql::bridge::testing
