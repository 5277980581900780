// The bridge back end against an in-process board that drives the emulated
// copier: the same operations through it and through a parallel port leave
// the copier in the same state and write the same trace, time-outs included,
// within the board's window; failures of the board are messages and time-outs.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
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
  std::uint64_t moved = 0;
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

Outcome Drive(SimLink& sim, void (*traffic)(Bytes&) = Traffic) {
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
  outcome.page0 = sim.copier().DramPage(0);
  outcome.events = sim.copier().Events();
  for (const auto& message : sim.window().Messages()) outcome.messages.push_back(message.text);
  outcome.moved = sim.copier().BytesMoved();
  return outcome;
}

Outcome DriveParallel(const emu::Options& options, void (*traffic)(Bytes&) = Traffic) {
  SimLink sim(options);
  return Drive(sim, traffic);
}

// A copier time-out adds no message of the bridge's; nothing after it reaches the copier.
void ExpectSame(const Outcome& bridged, const Outcome& parallel) {
  EXPECT_EQ(bridged.trace, parallel.trace);
  EXPECT_EQ(bridged.timedOut, parallel.timedOut);
  EXPECT_EQ(bridged.read, parallel.read);
  EXPECT_EQ(bridged.page0, parallel.page0);
  EXPECT_EQ(bridged.events, parallel.events);
  EXPECT_EQ(bridged.messages, parallel.messages);
  EXPECT_EQ(bridged.moved, parallel.moved);
}

TEST(BridgeChannel, SameCopierStateAndTraceAsAParallelPortWhateverTheCopierDoes) {
  // Bytes of Traffic: 9+2, 9+8192+1, 9+8193, 9+2, 9: a stall at the first byte, past a SEND frame, at the
  // first and inside the received bytes, and in a byte read.
  const emu::Options options[] = {{},
                                  With(emu::Fault::Dead),
                                  With(emu::Fault::Stall, 0),
                                  With(emu::Fault::Stall, 600),
                                  With(emu::Fault::Stall, 8222),
                                  With(emu::Fault::Stall, 9000),
                                  With(emu::Fault::Stall, 16415),
                                  With(emu::Fault::BadCheck)};
  for (const emu::Options& option : options) {
    SCOPED_TRACE(::testing::Message() << int(option.fault) << " at " << option.stallAfterBytes);
    const Outcome parallel = DriveParallel(option);
    BridgeRig rig(option, 300);  // room for less than a full SEND frame beside the credit reserve
    ExpectSame(Drive(rig.sim), parallel);
    EXPECT_FALSE(rig.board->overrun);
    if (!parallel.timedOut) {
      EXPECT_EQ(rig.board->pausedMs, 4u) << "1 ms before and after each read";
    }
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
      {-1, true},   {0, false}, {2077, true},  // the first block's check byte: the second is on its way
      {2078, true},                            // the second block's first packet
      {6233, true},                            // the last check byte: found by FinishBlocks
  };
  for (const auto& row : rows) {
    const emu::Options stalled = row.stallAt < 0 ? emu::Options{} : With(emu::Fault::Stall, row.stallAt);
    const Outcome parallel = DriveParallel(stalled, StreamedTraffic);
    for (const bool copierStalls : {true, false}) {
      for (const std::uint8_t minor : {0, 1}) {
        SCOPED_TRACE(::testing::Message() << "byte " << row.stallAt << (copierStalls ? ", copier stalls" : ", one miss")
                                          << ", firmware 1." << int{minor});
        BridgeRig rig(copierStalls ? stalled : emu::Options{});
        rig.configure = [&](FakeBridgeBoard& board) {
          board.firmwareMinor = minor;
          if (!copierStalls) board.missAt = row.stallAt;
        };
        ExpectSame(Drive(rig.sim, StreamedTraffic), parallel);
        EXPECT_FALSE(rig.board->overrun);
        const auto& requests = rig.board->requests;
        EXPECT_EQ(StreamedPastABlock(requests), minor == 1 && row.streamsPast) << ::testing::PrintToString(requests);
      }
    }
  }
}

}  // namespace
}  // namespace ql::testing
