// Frames of the bridge's serial protocol and its opening.
#include "link/ports/bridge_frames.h"

#include <gtest/gtest.h>

#include <string>

#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_open.h"
#include "tests/link/fake_bridge_board.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

using bridge::FrameDecoder;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

// Feeds the bytes one at a time: "F<type>/<length>" per frame, "!" per bad CRC.
std::string Decode(const Bytes& stream, FrameDecoder& decoder) {
  std::string events;
  for (std::uint8_t byte : stream) {
    const FrameDecoder::Result result = decoder.Push(byte);
    if (result == FrameDecoder::Result::Complete)
      events += "F" + std::to_string(decoder.Last().type) + "/" + std::to_string(decoder.Last().length) + " ";
    if (result == FrameDecoder::Result::BadCrc) events += "! ";
  }
  return events;
}

// The frames are built by the PC's own encoder; the board ends of the other
// tests check its layout, and this CRC's check value pins the polynomial.
TEST(BridgeFrames, TheDecoderSkipsNoiseReportsDamageAndResumes) {
  std::uint16_t crc = QLBR_CRC_INIT;
  for (char c : std::string("123456789")) crc = qlbr_crc_update(crc, static_cast<std::uint8_t>(c));
  EXPECT_EQ(crc, 0x6F91);  // reflected 0x8408, start 0xFFFF, no final XOR
  Bytes done, data, credit;
  bridge::AppendFrame(done, QLBR_REP_DONE, Bytes{7, 1, 0, 0, 0});
  bridge::AppendFrame(data, QLBR_REP_DATA, Bytes(255, 0x7E));  // start bytes inside a payload are data
  bridge::AppendFrame(credit, QLBR_REP_CREDIT, Bytes{64, 0});
  Bytes damaged = done;
  damaged[4] ^= 0x01;
  const struct {
    const char* name;
    Bytes stream;
    std::string events;
    std::uint64_t skipped;
  } rows[] = {
      {"back to back", Join({done, data, credit}), "F145/5 F144/255 F148/2 ", 0},
      {"bootloader noise first", Join({{0x14, 0x10, 0x00}, done}), "F145/5 ", 3},
      {"a damaged frame, then a good one", Join({damaged, credit}), "! F148/2 ", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FrameDecoder decoder;
    EXPECT_EQ(Decode(row.stream, decoder), row.events);
    EXPECT_EQ(decoder.SkippedBytes(), row.skipped);
  }
  bridge::Frame frame;
  frame.length = 5;
  frame.payload = {7, 0x78, 0x56, 0x34, 0x12, 0xFF};
  EXPECT_EQ(frame.Field(1, 4), 0x12345678u);
  EXPECT_EQ(frame.Field(4, 4), 0x12u) << "bytes past the length read 0";
}

TEST(BridgeOpening, TheGreetingDecidesWhatAnswers) {
  const std::string foreign =
      "/dev/ttyFAKE0 answers, but not as a Quillon USB bridge (another device, or a board without the bridge "
      "firmware). Flash the bridge firmware: make bridge, then scripts/flash-bridge /dev/ttyFAKE0.";
  const struct {
    const char* name;
    std::function<void(FakeBridgeBoard&)> board;
    std::string says;
  } rows[] = {
      {"our firmware", [](FakeBridgeBoard&) {}, ""},
      {"silent", [](FakeBridgeBoard& b) { b.mute = true; },
       "USB bridge on /dev/ttyFAKE0: no answer within 1 s. Is the bridge firmware on the board? Flash the bridge "
       "firmware: make bridge, then scripts/flash-bridge /dev/ttyFAKE0."},
      {"another magic", [](FakeBridgeBoard& b) { b.helloReply = {'A', 'V', 'R', '!', 1, 1, 0, 0, 4}; }, foreign},
      {"another device talking", [](FakeBridgeBoard& b) { b.chatter = "$GPGGA,123519,4807.038,N*47\r\n"; }, foreign},
      {"too short",
       [](FakeBridgeBoard& b) {
         b.helloReply = {'Q', 'L', 'B', 'R'};
       },
       foreign},
      {"protocol 2", [](FakeBridgeBoard& b) { b.helloReply = {'Q', 'L', 'B', 'R', 2, 2, 0, 0, 4}; },
       "USB bridge on /dev/ttyFAKE0: its firmware speaks protocol version 2, this program version 1. Flash the "
       "bridge firmware: make bridge, then scripts/flash-bridge /dev/ttyFAKE0."},
      {"unplugged", [](FakeBridgeBoard& b) { b.gone = true; },
       "USB bridge on /dev/ttyFAKE0: the serial device failed while opening it."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SimLink sim;
    auto board = std::make_unique<FakeBridgeBoard>(sim.copier(), sim.clock(), 700);
    row.board(*board);
    std::string error;
    auto port = bridge::ConnectBridge(std::move(board), QLBR_DEFAULT_BAUD, error, 50);
    EXPECT_EQ(error, row.says);
    EXPECT_EQ(port == nullptr, !row.says.empty());
    if (port) {
      EXPECT_EQ(bridge::DescribeBridge(*port),
                "USB bridge on /dev/ttyFAKE0: firmware 1.0, protocol 1, 1000000 baud, receive window 700 bytes");
    }
  }
  std::string error;
  EXPECT_EQ(bridge::OpenBridgePort("/dev/ttyQUILLON-NONE", QLBR_DEFAULT_BAUD, error), nullptr);
  EXPECT_NE(error.find("Cannot open /dev/ttyQUILLON-NONE: no such device."), std::string::npos) << error;
}

}  // namespace
}  // namespace ql::testing
