// The simulator's own facts about a PC port, checked against values every
// PC port shows: they are what makes a wrong inversion in the firmware fail.
#include <gtest/gtest.h>

#include "bridge/sim/board_pins.h"
#include "bridge/sim/parallel_cable.h"

namespace ql::bridge {
namespace {

LineLevels AllLow() {
  LineLevels levels{};
  levels.fill(false);
  return levels;
}

TEST(ParallelCable, ControlRegisterFromLineLevels) {
  struct Case {
    bool strobe, autofeed, init, selectIn;
    std::uint8_t control;
  };
  // A PC writing 0x0C (how it leaves the port) drives STROBE and AUTOFEED
  // high, INIT high, SELECT-IN low.
  const Case cases[] = {
      {true, true, true, false, 0x0C}, {false, true, true, false, 0x0D}, {true, false, true, false, 0x0E},
      {true, true, false, false, 0x08}, {true, true, true, true, 0x04},  {false, false, false, true, 0x03},
      {true, true, false, true, 0x00},  {false, false, true, false, 0x0F},
  };
  for (const Case& c : cases) {
    LineLevels levels = AllLow();
    LevelOf(levels, Line::Strobe) = c.strobe;
    LevelOf(levels, Line::Autofeed) = c.autofeed;
    LevelOf(levels, Line::Init) = c.init;
    LevelOf(levels, Line::SelectIn) = c.selectIn;
    EXPECT_EQ(ControlRegisterFor(levels), c.control) << int(c.control);
  }
}

TEST(ParallelCable, DataRegisterIsTheLinesAsTheyAre) {
  for (unsigned value : {0x00u, 0x01u, 0x80u, 0x5Au, 0xA5u, 0xFFu}) {
    LineLevels levels = AllLow();
    for (unsigned bit = 0; bit < 8; ++bit)
      LevelOf(levels, static_cast<Line>(static_cast<unsigned>(Line::Data0) + bit)) = (value >> bit) & 1u;
    EXPECT_EQ(DataRegisterFor(levels), value);
  }
}

TEST(ParallelCable, StatusValueDrivesTheLinesWithBusyInverted) {
  struct Case {
    std::uint8_t status;
    bool busy, ack, paperOut, select, error;
  };
  const Case cases[] = {
      {0x80, false, false, false, false, false},  // ready for a byte: BUSY low
      {0x00, true, false, false, false, false},   // offering a nibble: BUSY high
      {0x78, true, true, true, true, true},
      {0x08, true, false, false, false, true},
      {0x40, true, true, false, false, false},
      {0x87, false, false, false, false, false},  // bits 0-2 have no line
  };
  for (const Case& c : cases) {
    LineLevels levels = AllLow();
    DriveStatusLines(c.status, levels);
    EXPECT_EQ(LevelOf(levels, Line::Busy), c.busy) << int(c.status);
    EXPECT_EQ(LevelOf(levels, Line::Ack), c.ack) << int(c.status);
    EXPECT_EQ(LevelOf(levels, Line::PaperOut), c.paperOut) << int(c.status);
    EXPECT_EQ(LevelOf(levels, Line::Select), c.select) << int(c.status);
    EXPECT_EQ(LevelOf(levels, Line::Error), c.error) << int(c.status);
  }
}

// The wiring table: every line once, on the DB-25 pin a PC port uses,
// never on the UART pins, and each board pin used once.
TEST(BoardPins, WiringTableMatchesTheDb25Plug) {
  const std::pair<Line, int> db25[] = {
      {Line::Strobe, 1},  {Line::Data0, 2},  {Line::Data1, 3},     {Line::Data2, 4},     {Line::Data3, 5},
      {Line::Data4, 6},   {Line::Data5, 7},  {Line::Data6, 8},     {Line::Data7, 9},     {Line::Ack, 10},
      {Line::Busy, 11},   {Line::PaperOut, 12}, {Line::Select, 13}, {Line::Autofeed, 14}, {Line::Error, 15},
      {Line::Init, 16},   {Line::SelectIn, 17},
  };
  ASSERT_EQ(BoardPins().size(), std::size(db25));
  for (const auto& [line, pin] : db25) {
    int found = 0;
    for (const BoardPin& boardPin : BoardPins()) {
      if (boardPin.line != line) continue;
      ++found;
      EXPECT_EQ(boardPin.db25Pin, pin);
      const bool fromPc = line <= Line::SelectIn;
      EXPECT_EQ(boardPin.boardDrives, fromPc) << pin;
      EXPECT_FALSE(boardPin.avrPort == 'D' && boardPin.avrBit < 2) << "pin " << pin << " on the UART";
    }
    EXPECT_EQ(found, 1) << pin;
  }
  for (std::size_t i = 0; i < BoardPins().size(); ++i)
    for (std::size_t j = i + 1; j < BoardPins().size(); ++j)
      EXPECT_FALSE(BoardPins()[i].avrPort == BoardPins()[j].avrPort && BoardPins()[i].avrBit == BoardPins()[j].avrBit);
}

}  // namespace
}  // namespace ql::bridge
