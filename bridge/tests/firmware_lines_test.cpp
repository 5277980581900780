// What the copier sees on the register level, as the simulator derives it
// from the board's pins with its own PC-port facts: the handshake's exact
// order of reads, writes and STROBE flips, the control and data writes,
// the status as a PC reads it, and the pauses. A firmware that inverted a
// line wrongly would show the copier other values here.
#include <gtest/gtest.h>

#include <fstream>

#include "bridge/protocol/quillon_bridge.h"
#include "bridge/tests/copier_packets.h"
#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {
namespace {

std::vector<WireEvent> Writes(const std::vector<WireEvent>& log) {
  std::vector<WireEvent> writes;
  for (const WireEvent& event : log) {
    if (event.kind != 'S') writes.push_back(event);
  }
  return writes;
}

std::string Kinds(const std::vector<WireEvent>& log) {
  std::string kinds;
  for (const WireEvent& event : log) kinds += event.kind;
  return kinds;
}

TEST(BridgeLines, BoardStartsParkedAsAPcLeavesThePort) {
  ScratchFolder folder("start");
  SimSession sim(folder.path(), {});
  sim.Stop();
  // The copier starts at data 0x00; only the control change shows.
  const auto log = sim.WireLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].kind, 'C');
  EXPECT_EQ(log[0].value, QLBR_PARK_CONTROL);
}

TEST(BridgeLines, EachByteSentIsReadyWaitDataStrobeAndOneMoreRead) {
  ScratchFolder folder("send-order");
  // Each differs from the one before: the copier sees a data write only
  // where a line changes.
  const Bytes bytes{0xFF, 0x00, 0x5A, 0xA5, 0x01, 0x80, 0x7E};
  SimSession sim(folder.path(), {"device=swc"});
  sim.Send(QLBR_REQ_SEND, bytes);
  sim.Send(QLBR_REQ_SYNC, {1});
  sim.Expect(QLBR_REP_DONE);
  sim.Stop();
  auto log = sim.WireLog();
  ASSERT_FALSE(log.empty());
  log.erase(log.begin());  // the start-up park
  // Per byte: the status read that finds the copier ready, the data, the
  // STROBE flip, the read after it; the copier stays ready, so the read
  // after one byte and the wait of the next are one run of two.
  std::string expected = "S";
  for (std::size_t i = 0; i < bytes.size(); ++i) expected += "DCS";
  ASSERT_EQ(Kinds(log), expected);
  std::uint8_t control = QLBR_PARK_CONTROL;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const WireEvent& read = log[3 * i];
    EXPECT_EQ(read.value, 0x80);
    EXPECT_EQ(read.count, i == 0 ? 1u : 2u);
    EXPECT_EQ(log[3 * i + 1].value, bytes[i]) << "data byte " << i;
    control ^= 0x01;  // only STROBE moves
    EXPECT_EQ(log[3 * i + 2].value, control) << "control after byte " << i;
  }
  EXPECT_EQ(log.back().count, 1u);
}

TEST(BridgeLines, EachByteReceivedIsTwoNibblesLowFirstWithTwoReadsEach) {
  ScratchFolder folder("receive-order");
  const Bytes page{0x81, 0x3C};
  {
    std::ofstream(folder.path() / "dram.bin", std::ios::binary).write(reinterpret_cast<const char*>(page.data()), 2);
  }
  SimSession sim(folder.path(), {"device=swc,state=" + folder.path().string()});
  sim.Send(QLBR_REQ_SEND, ReadPacket(0x8000, 2));
  sim.Send(QLBR_REQ_RECEIVE, U16(3));
  sim.Send(QLBR_REQ_SYNC, {1});
  EXPECT_EQ(sim.Expect(QLBR_REP_DATA).payload, (Bytes{0x81, 0x3C, 0x3C}));  // check: 0x81 ^ 0x81 ^ 0x3C
  sim.Stop();
  auto log = sim.WireLog();
  // After the packet's last STROBE flip: per nibble the read that sees
  // BUSY high (bit 7 = 0), the read that takes the nibble, the flip. The
  // first run also holds the read that ends the packet's last byte.
  std::size_t at = log.size();
  for (std::size_t flips = 0; at > 0 && flips < 7; --at) flips += log[at - 1].kind == 'C';
  const std::vector<WireEvent> receive(log.begin() + static_cast<std::ptrdiff_t>(at) + 1, log.end());
  const std::uint8_t nibbles[] = {0x1, 0x8, 0xC, 0x3, 0xC, 0x3};  // 0x81, 0x3C, check 0x3C
  ASSERT_EQ(Kinds(receive), "SCSCSCSCSCSC");
  std::uint8_t control = receive.empty() ? 0 : receive[1].value;
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(receive[2 * i].value, nibbles[i] << 3) << "nibble " << i;  // bit 7 = 0: BUSY high
    EXPECT_EQ(receive[2 * i].count, i == 0 ? 3u : 2u) << "nibble " << i;
    EXPECT_EQ(receive[2 * i + 1].value, control) << "flip " << i;
    control ^= 0x01;
  }
}

TEST(BridgeLines, ControlRegisterWritesReachTheCopierAsAPcWritesThem) {
  ScratchFolder folder("control");
  SimSession sim(folder.path(), {});
  const std::uint8_t values[] = {0x00, 0x01, 0x02, 0x04, 0x08, 0x0F, 0x0A, 0x05, 0x0C};
  for (std::uint8_t value : values) sim.Send(QLBR_REQ_WRITE_CONTROL, {value});
  // Bits 4-7 drive no line: 0x2C looks like 0x0C, and changes nothing.
  sim.Send(QLBR_REQ_WRITE_CONTROL, {0x2C});
  for (std::uint8_t bit : {0, 1, 2, 3, 5}) sim.Send(QLBR_REQ_NOT_CONTROL_BIT, {bit});
  sim.Send(QLBR_REQ_WRITE_DATA, {0xA5});
  sim.Send(QLBR_REQ_WRITE_DATA, {0x00});
  sim.Send(QLBR_REQ_SYNC, {1});
  sim.Expect(QLBR_REP_DONE);
  sim.Stop();
  const auto writes = Writes(sim.WireLog());
  std::vector<std::pair<char, int>> seen;
  for (const WireEvent& event : writes) seen.emplace_back(event.kind, event.value);
  const std::vector<std::pair<char, int>> expected{
      {'C', 0x0C},  // start-up
      {'C', 0x00}, {'C', 0x01}, {'C', 0x02}, {'C', 0x04}, {'C', 0x08}, {'C', 0x0F}, {'C', 0x0A}, {'C', 0x05},
      {'C', 0x0C},  // written
      {'C', 0x0D}, {'C', 0x0F}, {'C', 0x0B}, {'C', 0x03},  // bits 0, 1, 2, 3 inverted in turn; bit 5 nothing
      {'D', 0xA5}, {'D', 0x00},
  };
  EXPECT_EQ(seen, expected);
}

TEST(BridgeLines, StatusReadsAsAPcReadsItsStatusRegister) {
  struct Case {
    const char* options;
    Bytes before;  // sent to the copier first
    std::uint8_t status;
  };
  const Case cases[] = {
      {"device=swc", {}, 0x80},                                // ready: BUSY low
      {"device=swc,fault=dead", {}, 0x00},                     // BUSY high, nothing offered
      {"device=swc,state=@", ReadPacket(0x8000, 1), 0x0B << 3},  // offering the low nibble of 0x5B
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    ScratchFolder folder("status");
    {
      const std::uint8_t byte = 0x5B;
      std::ofstream(folder.path() / "dram.bin", std::ios::binary).write(reinterpret_cast<const char*>(&byte), 1);
    }
    std::string options = c.options;
    if (const auto at = options.find('@'); at != std::string::npos) options.replace(at, 1, folder.path().string());
    SimSession sim(folder.path(), {options});
    if (!c.before.empty()) sim.Send(QLBR_REQ_SEND, c.before);
    sim.Send(QLBR_REQ_READ_STATUS);
    EXPECT_EQ(sim.Expect(QLBR_REP_STATUS).payload, Bytes{c.status});
  }
}

TEST(BridgeLines, PausesLastAtLeastTheirLengthInOrderWithTheBytes) {
  ScratchFolder folder("pause");
  SimSession sim(folder.path(), {});
  for (std::uint8_t ms : {1, 3, 0}) {
    sim.Send(QLBR_REQ_WRITE_DATA, {static_cast<std::uint8_t>(0x10 + ms)});
    sim.Send(QLBR_REQ_PAUSE, {ms});
  }
  sim.Send(QLBR_REQ_WRITE_DATA, {0x20});
  sim.Send(QLBR_REQ_SYNC, {1});
  sim.Expect(QLBR_REP_DONE);
  sim.Stop();
  auto writes = Writes(sim.WireLog());
  writes.erase(writes.begin());
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_GE(writes[1].micros - writes[0].micros, 1000u);
  EXPECT_LT(writes[1].micros - writes[0].micros, 1500u);
  EXPECT_GE(writes[2].micros - writes[1].micros, 3000u);
  EXPECT_LT(writes[3].micros - writes[2].micros, 200u);
}

}  // namespace
}  // namespace ql::bridge::testing
