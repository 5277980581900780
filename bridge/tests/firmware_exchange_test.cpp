// The firmware against the copier emulator through the simulator: the
// hello, bytes sent and received under the handshake, SYNC counts and the
// flow-control credits, each checked from the PC's end of the serial line
// and from what the copier holds.
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

using namespace std::chrono_literals;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// SEND in frames of at most 255 bytes.
void SendAll(SimSession& sim, const Bytes& bytes) {
  for (std::size_t at = 0; at < bytes.size(); at += QLBR_MAX_PAYLOAD) {
    const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + QLBR_MAX_PAYLOAD));
    sim.Send(QLBR_REQ_SEND, Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), end));
  }
}

std::uint32_t SyncCount(SimSession& sim, std::uint8_t token) {
  sim.Send(QLBR_REQ_SYNC, {token});
  const Frame done = sim.Expect(QLBR_REP_DONE);
  EXPECT_EQ(done.payload.size(), QLBR_LEN_REP_DONE);
  EXPECT_EQ(done.payload.at(0), token);
  return LittleEndian32(done.payload, 1);
}

TEST(BridgeFirmware, HelloNamesProtocolFirmwareAndWindow) {
  ScratchFolder folder("hello");
  SimSession sim(folder.path(), {});
  sim.Send(QLBR_REQ_HELLO);
  const Frame hello = sim.Expect(QLBR_REP_HELLO);
  ASSERT_EQ(hello.payload.size(), QLBR_LEN_REP_HELLO);
  EXPECT_EQ(std::string(hello.payload.begin(), hello.payload.begin() + 4), QLBR_MAGIC);
  EXPECT_EQ(hello.payload[4], QLBR_PROTOCOL_VERSION);
  EXPECT_EQ(hello.payload[5], QLBR_FIRMWARE_MAJOR);
  EXPECT_EQ(hello.payload[6], QLBR_FIRMWARE_MINOR);
  const unsigned window = hello.payload[7] | (hello.payload[8] << 8);
  // Room for the largest request frame twice over, and within 2 KB of RAM.
  EXPECT_GE(window, 2u * (QLBR_MAX_PAYLOAD + QLBR_FRAME_OVERHEAD));
  EXPECT_LT(window, 2048u);
  // The board speaks only when spoken to.
  EXPECT_TRUE(sim.Skipped().empty());
}

TEST(BridgeFirmware, SentBytesReachCopierMemoryAndAreCounted) {
  ScratchFolder folder("send");
  Bytes data(700);
  std::iota(data.begin(), data.end(), 0);
  data[5] = QLBR_FRAME_START;  // payload bytes that look like a frame start change nothing
  Bytes wire = SelectPagePacket(3);
  const Bytes write = WritePacket(0x8000 + 0x100, data);
  wire.insert(wire.end(), write.begin(), write.end());
  {
    SimSession sim(folder.path(), {"device=swc,state=" + folder.path().string()});
    SendAll(sim, wire);
    EXPECT_EQ(SyncCount(sim, 7), wire.size());
    EXPECT_EQ(SyncCount(sim, 8), 0u);  // the count starts again at each SYNC
    // Every request byte is credited back, and before the DONE that follows it.
    const std::size_t frames = (wire.size() + QLBR_MAX_PAYLOAD - 1) / QLBR_MAX_PAYLOAD;
    EXPECT_EQ(sim.Credited(), wire.size() + frames * QLBR_FRAME_OVERHEAD + 2 * (QLBR_LEN_SYNC + QLBR_FRAME_OVERHEAD));
    sim.Stop();
  }
  const Bytes dram = ReadFile(folder.path() / "dram.bin");
  ASSERT_GE(dram.size(), 4u * 8192);
  EXPECT_EQ(Bytes(dram.begin() + 3 * 8192 + 0x100, dram.begin() + 3 * 8192 + 0x100 + 700), data);
  EXPECT_EQ(dram[3 * 8192 + 0xFF], 0);
}

TEST(BridgeFirmware, ReceivedBytesAreWhatTheCopierHolds) {
  ScratchFolder folder("receive");
  Bytes page(8192);
  for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  WriteFile(folder.path() / "dram.bin", page);
  // Across one DATA frame's end: 600 bytes and the check byte.
  constexpr std::uint16_t kLength = 600;
  SimSession sim(folder.path(), {"device=swc,state=" + folder.path().string()});
  Bytes wire = SelectPagePacket(0);
  const Bytes read = ReadPacket(0x8000 + 0x40, kLength);
  wire.insert(wire.end(), read.begin(), read.end());
  sim.Send(QLBR_REQ_SEND, wire);
  sim.Send(QLBR_REQ_PAUSE, {1});
  sim.Send(QLBR_REQ_RECEIVE, U16(kLength + 1));
  sim.Send(QLBR_REQ_PAUSE, {1});
  sim.Send(QLBR_REQ_SYNC, {1});
  Bytes received;
  std::size_t frames = 0;
  while (received.size() < kLength + 1u) {
    const Frame data = sim.Expect(QLBR_REP_DATA);
    ASSERT_GE(data.payload.size(), 1u);
    ASSERT_LE(data.payload.size(), QLBR_MAX_PAYLOAD);
    received.insert(received.end(), data.payload.begin(), data.payload.end());
    ++frames;
  }
  EXPECT_GE(frames, 3u);  // frames of at most 255 bytes
  const Frame done = sim.Expect(QLBR_REP_DONE);
  EXPECT_EQ(LittleEndian32(done.payload, 1), wire.size() + kLength + 1);
  const Bytes expected(page.begin() + 0x40, page.begin() + 0x40 + kLength);
  EXPECT_EQ(Bytes(received.begin(), received.begin() + kLength), expected);
  std::uint8_t check = 0x81;
  for (std::uint8_t byte : expected) check ^= byte;
  EXPECT_EQ(received.back(), check);
}

TEST(BridgeFirmware, OtherRatesAreAcknowledgedAtTheOldRate) {
  ScratchFolder folder("baud");
  SimSession sim(folder.path(), {});
  sim.Send(QLBR_REQ_SET_BAUD, U32(123456));
  const Frame error = sim.Expect(QLBR_REP_ERROR);
  EXPECT_EQ(error.payload, Bytes{QLBR_ERROR_BAD_REQUEST});
  EXPECT_EQ(SyncCount(sim, 1), 0u);
  for (std::uint32_t baud : {2'000'000u, 500'000u, 1'000'000u}) {
    sim.Send(QLBR_REQ_SET_BAUD, U32(baud));
    EXPECT_EQ(LittleEndian32(sim.Expect(QLBR_REP_ACK).payload, 0), baud);
    // The simulated line follows the board's rate, as the PC's must.
    sim.Send(QLBR_REQ_HELLO);
    EXPECT_EQ(sim.Expect(QLBR_REP_HELLO).payload.at(4), QLBR_PROTOCOL_VERSION) << baud;
  }
}

}  // namespace
}  // namespace ql::bridge::testing
