#include "link/commands.h"

#include <functional>

#include "link/link_timeout.h"
#include "link/trace.h"
#include "tests/link/link_fixture.h"

namespace ql::testing {
namespace {

TEST(Commands, PacketsOnTheWire) {
  const struct {
    std::function<void()> send;
    Bytes wire;
  } rows[] = {
      {[] { WriteMemoryByte(0x2001, 3); }, {0xD5, 0xAA, 0x96, 0x00, 0x01, 0x20, 0x01, 0x00, 0xA1, 0x03, 0x82}},
      {[] { SelectBankPage(0x80, 3); }, {0xD5, 0xAA, 0x96, 0x05, 0x03, 0x02, 0x00, 0x00, 0x85}},
      {[] { SelectPage(0x12); }, {0xD5, 0xAA, 0x96, 0x05, 0x12, 0x00, 0x00, 0x00, 0x96}},
      {[] { SendFunction(2, 0, 0, 0); }, {0xD5, 0xAA, 0x96, 0x06, 0x02, 0x00, 0x00, 0x00, 0x85}},
      // Address and length go low byte first.
      {[] { SendCommand(1, 0xBFC0, 0x0123); }, {0xD5, 0xAA, 0x96, 0x01, 0xC0, 0xBF, 0x23, 0x01, 0xDD}},
  };
  Wire wire;
  wire.Bind();
  for (const auto& row : rows) {
    wire.ops.clear();
    row.send();
    EXPECT_EQ(wire.Written(), row.wire);
  }
}

TEST(Commands, BlockWritesCarryTheLengthAndEndWithTheDataCheck) {
  const struct {
    Bytes data;
    std::uint8_t check;
  } rows[] = {{Bytes(8192, 0), 0x81}, {{0x80, 0x01, 0x5A, 0x5A}, 0x00}, {Bytes(16384, 0x33), 0x81}};
  Wire wire;
  wire.Bind();
  for (const auto& row : rows) {
    wire.ops.clear();
    WriteMemoryBlock(0x8000, row.data.data(), static_cast<std::uint16_t>(row.data.size()));
    const Bytes sent = wire.Written();
    ASSERT_EQ(sent.size(), 9 + row.data.size() + 1);
    EXPECT_EQ(static_cast<std::size_t>(sent[6] | sent[7] << 8), row.data.size());  // 16384: 00 40
    EXPECT_EQ(Bytes(sent.begin() + 9, sent.end() - 1), row.data);
    EXPECT_EQ(sent.back(), row.check);
  }
}

TEST(Commands, ReadsGiveMinusOneNot255OnABadCheckAndStillDeliverABlock) {
  for (emu::Fault fault : {emu::Fault::None, emu::Fault::BadCheck}) {
    for (std::uint8_t value : {0x12, 0xFF}) {
      Wire wire(With(fault));
      wire.Bind();
      WriteMemoryBlock(0x8000, Bytes{value, 1, 2}.data(), 3);
      wire.ops.clear();
      EXPECT_EQ(ReadMemoryByte(0x8000), fault == emu::Fault::None ? value : -1);
      EXPECT_EQ(wire.Written(), (Bytes{0xD5, 0xAA, 0x96, 0x01, 0x00, 0x80, 0x01, 0x00, 0x01}));
      // Lines already at their level: no timer poll, four operations per byte sent, three per nibble.
      EXPECT_EQ(wire.Shape().substr(0, 17), "I1 O0=D5 N2.0 I1 ");
      ASSERT_EQ(wire.Shape(36), "I1 I1 N2.0 I1 I1 N2.0 I1 I1 N2.0 I1 I1 N2.0");
      EXPECT_EQ(wire.sim.clock().CounterReads(), 0u);
      // A 1 ms pause between the packet and the data, and another after them.
      EXPECT_GE(wire.ops[36].at - wire.ops[35].at, 1000u);
      EXPECT_GE(wire.sim.clock().Peek() - wire.ops.back().at, 1000u);
      Bytes block(4, 0xEE);
      EXPECT_EQ(ReadMemoryBlock(0x8000, block.data(), 3), fault == emu::Fault::None);
      EXPECT_EQ(block, (Bytes{value, 1, 2, 0xEE}));
      EXPECT_EQ(wire.sim.clock().SleptMs(), 4u);
    }
  }
}

TEST(Commands, TraceLinesFollowPacketsDirectionsAndTimeOuts) {
  const struct {
    std::uint64_t stallAfter;
    std::function<void()> run;
    const char* text;
  } rows[] = {
      {0, [] { WriteMemoryByte(0x8000, 0x12), ReadMemoryByte(0x8000); },
       "> D5 AA 96 00 00 80 01 00 00\n> 12 93\n> D5 AA 96 01 00 80 01 00 01\n< 12 93\n"},
      {0, [] { SelectBankPage(0, 0), SendFunction(2, 0, 0, 0); },
       "> D5 AA 96 05 00 00 00 00 84\n> D5 AA 96 06 02 00 00 00 85\n"},
      {9 + 11,
       [] {
         WriteMemoryByte(0x8000, 0);
         EXPECT_THROW(ReadMemoryByte(0x8000), LinkTimeout);
       },
       "> D5 AA 96 00 00 80 01 00 00\n> 00 81\n> D5 AA 96 01 00 80 01 00 01\n! timeout\n"},
      {0, [] { SelectPage(1), SetLinkTrace(nullptr), SelectPage(2); }, "> D5 AA 96 05 01 00 00 00 85\n"},
  };
  for (const auto& row : rows) {
    Wire wire(With(row.stallAfter ? emu::Fault::Stall : emu::Fault::None, row.stallAfter));
    wire.Bind();
    std::FILE* file = std::tmpfile();
    SetLinkTrace(file);
    row.run();
    FlushLinkTrace();
    SetLinkTrace(nullptr);
    std::string text(4096, '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    EXPECT_EQ(text, row.text);
  }
}

}  // namespace
}  // namespace ql::testing
