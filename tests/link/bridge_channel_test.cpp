// The bridge back end against an in-process board that drives the emulated
// copier: the same operations through it and through a parallel port must
// leave the copier in the same state and write the same trace, time-outs
// included; the PC keeps within the board's window; failures of the board
// itself come out as messages and time-outs.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <numeric>
#include <string>

#include "core/state.h"
#include "link/commands.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"
#include "link/ports/bridge_open.h"
#include "link/trace.h"
#include "tests/link/fake_bridge_board.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

// The emulated copier behind the fake board, bound as the port library.
struct BridgeRig {
  explicit BridgeRig(const emu::Options& options = {}, std::uint16_t window = 512) : sim(options) {
    SetPortLibraryLoader([this, window](std::string& why) -> std::unique_ptr<PortIo> {
      auto line = std::make_unique<FakeBridgeBoard>(sim.copier(), sim.clock(), window);
      board = line.get();
      configure(*board);
      return bridge::ConnectBridge(std::move(line), QLBR_DEFAULT_BAUD, why, 50);
    });
  }
  SimLink sim;
  FakeBridgeBoard* board = nullptr;
  std::function<void(FakeBridgeBoard&)> configure = [](FakeBridgeBoard&) {};
};

struct Outcome {
  std::string trace;
  bool timedOut = false;
  Bytes read;
  Bytes page0;
  std::vector<std::string> events;
  std::vector<std::string> messages;
};

// A little of everything the transfers do: queued packets and byte writes,
// a block write, a block read and a byte read, a function.
void Traffic(Bytes& read) {
  const Bytes block = Noise(8192);
  SelectBankPage(0, 0);
  WriteMemoryByte(0xC010, 0);
  WriteMemoryBlock(0x8000, block.data(), 8192);
  read.assign(8192, 0);
  ReadMemoryBlock(0x8000, read.data(), 8192);
  read.push_back(static_cast<std::uint8_t>(ReadMemoryByte(0x8001)));
  SendFunction(1, 0x2D, 0, 0);
}

Outcome Drive(emu::Copier& copier, WindowModel& window, void (*traffic)(Bytes&) = Traffic) {
  Outcome outcome;
  std::FILE* file = std::tmpfile();
  SetLinkTrace(file);
  EXPECT_TRUE(EnsureLinkReady());
  try {
    traffic(outcome.read);
  } catch (const LinkTimeout&) {
    outcome.timedOut = true;
  }
  FlushLinkTrace();
  SetLinkTrace(nullptr);
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) outcome.trace += static_cast<char>(c);
  std::fclose(file);
  outcome.page0 = copier.DramPage(0);
  outcome.events = copier.Events();
  for (const auto& message : window.Messages()) outcome.messages.push_back(message.text);
  return outcome;
}

TEST(BridgeChannel, SameCopierStateAndTraceAsAParallelPortWhateverTheCopierDoes) {
  // Bytes of Traffic: 9+2, 9+8192+1, 9+8193, 9+2, 9: a stall at each edge and inside each run.
  const char* options[] = {"",
                           "fault=dead",
                           "fault=stall:0",
                           "fault=stall:4",
                           "fault=stall:11",
                           "fault=stall:20",
                           "fault=stall:600",
                           "fault=stall:8213",
                           "fault=stall:8222",
                           "fault=stall:9000",
                           "fault=stall:16415",
                           "fault=stall:16430",
                           "fault=badcheck"};
  for (const char* text : options) {
    SCOPED_TRACE(text);
    emu::Options parsed;
    std::string error;
    ASSERT_TRUE(emu::ParseOptions(text, parsed, error)) << error;
    Outcome parallel;
    {
      SimLink sim(parsed);
      parallel = Drive(sim.copier(), sim.window());
    }
    BridgeRig rig(parsed);
    const Outcome bridged = Drive(rig.sim.copier(), rig.sim.window());
    EXPECT_EQ(bridged.trace, parallel.trace);
    EXPECT_EQ(bridged.timedOut, parallel.timedOut);
    EXPECT_EQ(bridged.read, parallel.read);
    EXPECT_EQ(bridged.page0, parallel.page0);
    EXPECT_EQ(bridged.events, parallel.events);
    EXPECT_EQ(bridged.messages, parallel.messages);  // a copier time-out adds no message of the bridge's
    EXPECT_FALSE(rig.board->overrun);
  }
}

TEST(BridgeChannel, StreamsWithinTheWindowAndSyncsOncePerBlock) {
  for (std::uint16_t window : {300, 600, 1024}) {
    SCOPED_TRACE(window);
    BridgeRig rig({}, window);
    ASSERT_TRUE(EnsureLinkReady());
    rig.board->requests.clear();
    const Bytes block = Noise(16384);
    SelectPage(3);
    WriteMemoryBlock(0x8000, block.data(), 16384);
    Bytes back(16384);
    EXPECT_TRUE(ReadMemoryBlock(0x8000, back.data(), 16384));
    EXPECT_EQ(back, block);
    EXPECT_LE(rig.board->maxInFlight, window);
    EXPECT_FALSE(rig.board->overrun);
    // The packets, the block and its check byte share frames (a short one
    // only to fill the window, or at the end of a run); the read and its
    // check byte are one receive with both pauses around it.
    const auto& sizes = rig.board->sendSizes;
    EXPECT_EQ(std::accumulate(sizes.begin(), sizes.end(), 0u), 9u + 9 + 16384 + 1 + 9);
    EXPECT_LE(std::count_if(sizes.begin(), sizes.end(), [](std::uint8_t size) { return size < 32; }), 2);
    EXPECT_EQ(rig.board->receiveCounts, std::vector<std::uint16_t>{16385});
    EXPECT_EQ(rig.board->pausedMs, 2u);
    EXPECT_EQ(std::count(rig.board->requests.begin(), rig.board->requests.end(), QLBR_REQ_SYNC), 2)
        << ::testing::PrintToString(rig.board->requests);
  }
}

TEST(BridgeChannel, RegisterAccessReachesTheCopierInOrderWithTheBytes) {
  BridgeRig rig;
  ASSERT_TRUE(EnsureLinkReady());
  PortIo& port = BoundPort();
  SelectPage(1);  // nine bytes: STROBE inverted an odd number of times
  port.PortOut(0x378, 0x5A);
  port.NotPortBit(0x37A, 1);
  EXPECT_EQ(port.PortIn(0x379) & 0x80, rig.sim.copier().PortIn(0x379) & 0x80);
  EXPECT_EQ(rig.sim.copier().DataRegister(), 0x5A);
  EXPECT_EQ(port.PortIn(0x378), 0x5A);
  EXPECT_EQ(port.PortIn(0x37A), rig.sim.copier().ControlRegister());
  ShutdownPortDriver();  // parks through the board before letting it go
  EXPECT_EQ(rig.sim.copier().DataRegister(), 0x00);
  EXPECT_EQ(rig.sim.copier().ControlRegister(), 0x0C);
}

TEST(BridgeChannel, FailuresOfTheBoardOrItsLineAreMessagesAndTimeOuts) {
  const struct {
    const char* name;
    std::function<void(FakeBridgeBoard&)> fault;
    const char* message;
    bool recovers;  // the next operation goes through
  } rows[] = {
      // Byte 40 lies in the first SEND frame of the block write.
      {"damaged request", [](FakeBridgeBoard& b) { b.corruptAt = 40; }, "was not passed to the copier", true},
      {"unplugged", [](FakeBridgeBoard& b) { b.gone = true; }, "the serial device is gone", false},
      {"hung firmware", [](FakeBridgeBoard& b) { b.mute = true; }, "no answer from the board", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    BridgeRig rig;
    ASSERT_TRUE(EnsureLinkReady());
    row.fault(*rig.board);
    const Bytes block(512, 0x10);  // the damaged byte would read 0x00
    EXPECT_THROW(WriteMemoryBlock(0x0400, block.data(), 512), LinkTimeout);
    ASSERT_EQ(rig.sim.window().Messages().size(), 1u);
    EXPECT_NE(rig.sim.window().Messages()[0].text.find(row.message), std::string::npos)
        << rig.sim.window().Messages()[0].text;
    EXPECT_EQ(rig.sim.copier().UploadHeader()[0], 0) << "nothing of the block reached the copier";
    if (row.recovers) {
      WriteMemoryBlock(0x0400, block.data(), 512);
      EXPECT_EQ(rig.sim.copier().UploadHeader()[511], 0x10);
    } else {
      EXPECT_THROW(ReadMemoryByte(0), LinkTimeout);
      EXPECT_EQ(rig.sim.window().Messages().size(), 1u) << "said once";
    }
  }
}

// Three 2 KB blocks as a ROM upload streams them (6234 bytes, 2078 a block),
// all in page 0.
void StreamedTraffic(Bytes&) {
  const Bytes data = Noise(3 * 2048);
  for (std::uint16_t i = 0; i < 3; ++i) {
    WriteMemoryByte(0xC010, 0);
    SelectBankPage(0, 0);
    StreamMemoryBlock(static_cast<std::uint16_t>(0x8000 + i * 2048), data.data() + i * 2048, 2048);
  }
  FinishBlocks();
}

// Whether the board had frames of the next block before it answered the first CHECKPOINT or failed.
bool StreamedPastABlock(const std::vector<std::uint8_t>& requests) {
  const auto checkpoint = std::find(requests.begin(), requests.end(), QLBR_REQ_CHECKPOINT);
  return checkpoint != requests.end() && checkpoint + 1 != requests.end() && checkpoint[1] == QLBR_REQ_SEND;
}

// A copier that stops at byte N, through a parallel port, against the bridge
// with the same copier, and with a copier that misses only that byte's wait
// and would take any byte after it: nothing more may reach it either way.
TEST(BridgeChannel, StreamedBlocksStopWhereAParallelPortStops) {
  const struct {
    long stallAt;      // -1: the copier always answers
    bool streamsPast;  // a 1.1 board gets frames of the second block before the first is settled
  } rows[] = {
      {-1, true},   {0, false},   {1000, false}, {2000, true},  // late in the first block: the second is on its way
      {2077, true},                                             // the first block's check byte
      {2078, true},                                             // the second block's first packet
      {3000, true}, {4155, true},                               // the second block's check byte
      {6233, true},                                             // the last check byte: found by FinishBlocks
  };
  for (const auto& row : rows) {
    const emu::Options stalled = row.stallAt < 0 ? emu::Options{} : With(emu::Fault::Stall, row.stallAt);
    Outcome parallel;
    std::uint64_t movedInParallel = 0;
    {
      SimLink sim(stalled);
      parallel = Drive(sim.copier(), sim.window(), StreamedTraffic);
      movedInParallel = sim.copier().BytesMoved();
    }
    for (const bool copierStalls : {true, false}) {
      for (const std::uint8_t minor : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "byte " << row.stallAt << (copierStalls ? ", copier stalls" : ", one miss")
                                          << ", firmware 1." << int{minor});
        BridgeRig rig(copierStalls ? stalled : emu::Options{});
        rig.configure = [&](FakeBridgeBoard& board) {
          board.firmwareMinor = minor;
          if (!copierStalls) board.missAt = row.stallAt;
        };
        const Outcome bridged = Drive(rig.sim.copier(), rig.sim.window(), StreamedTraffic);
        EXPECT_EQ(bridged.trace, parallel.trace);
        EXPECT_EQ(bridged.timedOut, parallel.timedOut);
        EXPECT_EQ(bridged.page0, parallel.page0);
        EXPECT_EQ(bridged.events, parallel.events);
        EXPECT_EQ(rig.sim.copier().BytesMoved(), movedInParallel) << "nothing after the time-out reached the copier";
        EXPECT_EQ(bridged.messages, parallel.messages);
        EXPECT_FALSE(rig.board->overrun);
        const auto& requests = rig.board->requests;
        EXPECT_EQ(StreamedPastABlock(requests), minor == 1 && row.streamsPast) << ::testing::PrintToString(requests);
        if (minor == 1 && row.stallAt < 0) {
          EXPECT_EQ(std::count(requests.begin(), requests.end(), QLBR_REQ_CHECKPOINT), 3);
        }
      }
    }
  }
}

}  // namespace
}  // namespace ql::testing
