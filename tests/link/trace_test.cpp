#include "link/trace.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/commands.h"
#include "link/link_timeout.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

class TraceTest : public LinkTest {
 protected:
  void SetUp() override { Bind(); }
};

TEST_F(TraceTest, WriteMemoryByteIsPacketLineThenDataLine) {
  TraceFile trace;
  WriteMemoryByte(0x2001, 3);
  EXPECT_EQ(trace.Text(), "> D5 AA 96 00 01 20 01 00 A1\n> 03 82\n");
}

TEST_F(TraceTest, ReadShowsReceivedBytesOnTheirOwnLine) {
  TraceFile trace;
  port_.ExpectSends(9);
  port_.OfferByte(0x12);
  port_.OfferByte(0x93);
  ReadMemoryByte(0xB080);
  EXPECT_EQ(trace.Text(), "> D5 AA 96 01 80 B0 01 00 B1\n< 12 93\n");
}

TEST_F(TraceTest, ConsecutivePacketsStartLinesOfTheirOwn) {
  TraceFile trace;
  SelectBankPage(0, 0);
  SendFunction(2, 0, 0, 0);
  EXPECT_EQ(trace.Text(), "> D5 AA 96 05 00 00 00 00 84\n> D5 AA 96 06 02 00 00 00 85\n");
}

TEST_F(TraceTest, TimeOutEndsTheLineAndIsMarked) {
  TraceFile trace;
  port_.ExpectSends(3);
  port_.SetIdleStatus(0x00);
  EXPECT_THROW(SendFunction(2, 0, 0, 0), LinkTimeout);
  EXPECT_EQ(trace.Text(), "> D5 AA 96\n! timeout\n");
}

TEST_F(TraceTest, NextPacketAfterTimeOutStartsCleanly) {
  TraceFile trace;
  port_.SetIdleStatus(0x80);
  port_.ExpectSends(9);
  std::vector<std::uint8_t> buffer(2);
  EXPECT_THROW(ReadMemoryBlock(0x8000, buffer.data(), 2), LinkTimeout);
  WriteMemoryByte(0xC008, 0);
  EXPECT_EQ(trace.Text(), "> D5 AA 96 01 00 80 02 00 02\n! timeout\n> D5 AA 96 00 08 C0 01 00 48\n> 00 81\n");
}

TEST_F(TraceTest, NothingIsWrittenAfterTracingStops) {
  TraceFile trace;
  SelectPage(1);
  SetLinkTrace(nullptr);
  EXPECT_FALSE(LinkTraceOn());
  SelectPage(2);
  EXPECT_EQ(port_.DataWritten().size(), 18u);
  EXPECT_EQ(trace.Text(), "> D5 AA 96 05 01 00 00 00 85\n");
}

}  // namespace
}  // namespace ql::testing
