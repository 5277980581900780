// The firmware against the copier emulator through the simulator: the
// hello, bytes sent and received under the handshake, SYNC counts and the
// flow-control credits, each checked from the PC's end of the serial line
// and from what the copier holds.
#include <gtest/gtest.h>

#include <numeric>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

// Every rate the board takes is acknowledged at the old rate, and a HELLO at
// the new one is answered: the simulated line follows the board's rate, as
// the PC's must, so a board on the wrong rate answers nothing readable.
TEST(BridgeFirmware, HelloAnsweredAtEachRateTheBoardTakes) {
  SimSession sim;
  sim.Send(QLBR_REQ_SET_BAUD, U32(123456));
  EXPECT_EQ(sim.Expect(QLBR_REP_ERROR).payload, Bytes{QLBR_ERROR_BAD_REQUEST});
  EXPECT_EQ(sim.Sync(1), 0u);
  for (std::uint32_t baud : {0u, 2'000'000u, 500'000u, 1'000'000u}) {
    SCOPED_TRACE(baud);
    if (baud != 0) {
      sim.Send(QLBR_REQ_SET_BAUD, U32(baud));
      EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_ACK).payload, 0), baud);
    }
    sim.Send(QLBR_REQ_HELLO);
    const Bytes hello = sim.Expect(QLBR_REP_HELLO).payload;
    ASSERT_EQ(hello.size(), QLBR_LEN_REP_HELLO);
    EXPECT_EQ(Bytes(hello.begin(), hello.begin() + 7),
              (Bytes{'Q', 'L', 'B', 'R', QLBR_PROTOCOL_VERSION, QLBR_FIRMWARE_MAJOR, QLBR_FIRMWARE_MINOR}));
    const unsigned window = hello[7] | (hello[8] << 8);
    // Room for the largest request frame twice over, and within 2 KB of RAM.
    EXPECT_GE(window, 2u * (QLBR_MAX_PAYLOAD + QLBR_FRAME_OVERHEAD));
    EXPECT_LT(window, 2048u);
  }
  // The board speaks only when spoken to.
  EXPECT_TRUE(sim.Skipped().empty());
}

// 700 bytes written to the copier's memory in SEND frames of at most 255
// bytes, then 600 of them read back across DATA frames.
TEST(BridgeFirmware, BytesSentAndReceivedAreWhatTheCopierHolds) {
  Bytes data(700);
  std::iota(data.begin(), data.end(), 0);
  data[5] = QLBR_FRAME_START;  // payload bytes that look like a frame start change nothing
  Bytes wire = SelectPagePacket(3);
  Append(wire, WritePacket(0x8000 + 0x100, data));
  SimSession sim("device=swc,state=@");
  for (std::size_t at = 0; at < wire.size(); at += QLBR_MAX_PAYLOAD) {
    const auto end = wire.begin() + static_cast<std::ptrdiff_t>(std::min(wire.size(), at + QLBR_MAX_PAYLOAD));
    sim.Send(QLBR_REQ_SEND, Bytes(wire.begin() + static_cast<std::ptrdiff_t>(at), end));
  }
  EXPECT_EQ(sim.Sync(7), wire.size());
  EXPECT_EQ(sim.Sync(8), 0u);  // the count starts again at each SYNC
  // Every request byte is credited back, and before the DONE that follows it.
  const std::size_t frames = (wire.size() + QLBR_MAX_PAYLOAD - 1) / QLBR_MAX_PAYLOAD;
  EXPECT_EQ(sim.Credited(), wire.size() + frames * QLBR_FRAME_OVERHEAD + 2 * (QLBR_LEN_SYNC + QLBR_FRAME_OVERHEAD));

  constexpr std::uint16_t kLength = 600;  // and the check byte
  const Bytes read = ReadPacket(0x8000 + 0x140, kLength);
  sim.Send(QLBR_REQ_SEND, read);
  sim.Send(QLBR_REQ_PAUSE, {1});
  sim.Send(QLBR_REQ_RECEIVE, U16(kLength + 1));
  sim.Send(QLBR_REQ_PAUSE, {1});
  sim.Send(QLBR_REQ_SYNC, {9});
  Bytes received;
  std::size_t dataFrames = 0;
  for (; received.size() < kLength + 1u; ++dataFrames) {
    const Frame frame = sim.Expect(QLBR_REP_DATA);
    ASSERT_FALSE(frame.payload.empty());
    Append(received, frame.payload);
  }
  EXPECT_GE(dataFrames, 3u);  // frames of at most 255 bytes
  EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_DONE).payload, 1), read.size() + kLength + 1);
  Bytes expected(data.begin() + 0x40, data.begin() + 0x40 + kLength);
  expected.push_back(CheckByte(expected));
  EXPECT_EQ(received, expected);

  sim.Stop();
  const std::string dram = ReadFile(sim.Folder() / "dram.bin");
  ASSERT_GE(dram.size(), 4u * 8192);
  const auto at = dram.begin() + 3 * 8192 + 0x100;
  EXPECT_EQ(Bytes(at, at + 700), data);
  EXPECT_EQ(at[-1], 0);
}

}  // namespace
}  // namespace ql::bridge::testing
