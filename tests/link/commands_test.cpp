#include "link/commands.h"

#include "link/trace.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

// 0xFF with a failed check reads -1, not 255; a block is delivered all the same.
TEST(Commands, ReadsGiveMinusOneNot255OnABadCheckAndStillDeliverABlock) {
  Wire wire(With(emu::Fault::BadCheck));
  wire.Bind();
  WriteMemoryBlock(0x8000, Bytes{0xFF, 1, 2}.data(), 3);
  wire.ops.clear();
  EXPECT_EQ(ReadMemoryByte(0x8000), -1);
  // Lines already at their level: no timer poll, four operations per byte sent.
  EXPECT_EQ(wire.Shape().substr(0, 25), "I379 O378=D5 N37A.0 I379 ");
  EXPECT_EQ(wire.sim.clock().CounterReads(), 0u);
  // A 1 ms pause between the packet and the reply, and another after it.
  EXPECT_GE(wire.ops[36].at - wire.ops[35].at, 1000u);
  EXPECT_GE(wire.sim.clock().Peek() - wire.ops.back().at, 1000u);
  Bytes block(4, 0xEE);
  EXPECT_FALSE(ReadMemoryBlock(0x8000, block.data(), 3));
  EXPECT_EQ(block, (Bytes{0xFF, 1, 2, 0xEE}));
  EXPECT_EQ(wire.sim.clock().SleptMs(), 4u);
}

// Every packet opens a line; the bytes after a packet's ninth go on a line of their own.
TEST(Commands, TraceLinesFollowPacketsAndDirections) {
  Wire wire;
  wire.Bind();
  std::FILE* file = std::tmpfile();
  SetLinkTrace(file);
  SelectBankPage(0x80, 3);
  WriteMemoryByte(0x8000, 0x12);
  ReadMemoryByte(0x8000);
  SetLinkTrace(nullptr);  // ends the open line
  SelectPage(1);
  std::string text(4096, '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  EXPECT_EQ(text,
            "> D5 AA 96 05 03 02 00 00 85\n> D5 AA 96 00 00 80 01 00 00\n> 12 93\n"
            "> D5 AA 96 01 00 80 01 00 01\n< 12 93\n");
}

}  // namespace
}  // namespace ql::testing
