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

// The PC's frames are checked by the fake board that decodes them; the
// replies of the fake board are all sound, so damage is made here.
TEST(BridgeFrames, TheDecoderSkipsNoiseReportsDamageAndResumes) {
  std::uint16_t crc = QLBR_CRC_INIT;
  for (char c : std::string("123456789")) crc = qlbr_crc_update(crc, static_cast<std::uint8_t>(c));
  EXPECT_EQ(crc, 0x6F91);          // the check value of this CRC (reflected 0x8408, start 0xFFFF, no final XOR)
  Bytes stream{0x14, 0x10, 0x00};  // a bootloader's noise
  bridge::AppendFrame(stream, QLBR_REP_DONE, Bytes{7, 1, 0, 0, 0});
  stream[3 + 4] ^= 0x01;                                         // damaged in its payload
  bridge::AppendFrame(stream, QLBR_REP_DATA, Bytes(255, 0x7E));  // start bytes inside a payload are data
  FrameDecoder decoder;
  EXPECT_EQ(Decode(stream, decoder), "! F144/255 ");
  EXPECT_EQ(decoder.SkippedBytes(), 3u);
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
