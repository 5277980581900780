// The simulator's own facts about a PC port, checked against values every
// PC port shows: they are what makes a wrong inversion in the firmware fail.
// (The data lines need no table here: the copier's memory in the exchange
// tests shows any bit out of place.)
#include "bridge/sim/parallel_cable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "bridge/sim/board_pins.h"

namespace ql::bridge {
namespace {

TEST(ParallelCable, ControlRegisterFromLineLevels) {
  struct Case {
    bool strobe, autofeed, init, selectIn;
    std::uint8_t control;
  };
  // A PC writing 0x0C (how it leaves the port) drives STROBE and AUTOFEED
  // high, INIT high, SELECT-IN low.
  const Case cases[] = {
      {true, true, true, false, 0x0C},  {false, true, true, false, 0x0D},  {true, false, true, false, 0x0E},
      {true, true, false, false, 0x08}, {true, true, true, true, 0x04},    {false, false, false, true, 0x03},
      {true, true, false, true, 0x00},  {false, false, true, false, 0x0F},
  };
  for (const Case& c : cases) {
    LineLevels levels{};
    LevelOf(levels, Line::Strobe) = c.strobe;
    LevelOf(levels, Line::Autofeed) = c.autofeed;
    LevelOf(levels, Line::Init) = c.init;
    LevelOf(levels, Line::SelectIn) = c.selectIn;
    EXPECT_EQ(ControlRegisterFor(levels), c.control) << int(c.control);
  }
}

TEST(ParallelCable, StatusValueDrivesTheLinesWithBusyInverted) {
  struct Case {
    std::uint8_t status;
    std::array<bool, 5> high;  // BUSY, ACK, PAPER-OUT, SELECT, ERROR
  };
  const Case cases[] = {
      {0x80, {false, false, false, false, false}},  // ready for a byte: BUSY low
      {0x00, {true, false, false, false, false}},   // offering a nibble: BUSY high
      {0x78, {true, true, true, true, true}},
      {0x08, {true, false, false, false, true}},
      {0x40, {true, true, false, false, false}},
      {0x87, {false, false, false, false, false}},  // bits 0-2 have no line
  };
  for (const Case& c : cases) {
    LineLevels levels{};
    DriveStatusLines(c.status, levels);
    const std::array<bool, 5> high{LevelOf(levels, Line::Busy), LevelOf(levels, Line::Ack),
                                   LevelOf(levels, Line::PaperOut), LevelOf(levels, Line::Select),
                                   LevelOf(levels, Line::Error)};
    EXPECT_EQ(high, c.high) << int(c.status);
  }
}

// The wiring table: every line once, on the DB-25 pin a PC port uses,
// never on the UART pins, and each board pin used once.
TEST(BoardPins, WiringTableMatchesTheDb25Plug) {
  const std::pair<Line, int> db25[] = {
      {Line::Strobe, 1}, {Line::Data0, 2},     {Line::Data1, 3},   {Line::Data2, 4},     {Line::Data3, 5},
      {Line::Data4, 6},  {Line::Data5, 7},     {Line::Data6, 8},   {Line::Data7, 9},     {Line::Ack, 10},
      {Line::Busy, 11},  {Line::PaperOut, 12}, {Line::Select, 13}, {Line::Autofeed, 14}, {Line::Error, 15},
      {Line::Init, 16},  {Line::SelectIn, 17},
  };
  const auto pins = BoardPins();
  ASSERT_EQ(pins.size(), std::size(db25));
  for (const auto& [line, db25Pin] : db25) {
    const auto found = std::ranges::find(pins, line, &BoardPin::line);
    ASSERT_NE(found, pins.end()) << db25Pin;
    EXPECT_EQ(found->db25Pin, db25Pin);
    EXPECT_EQ(found->boardDrives, line <= Line::SelectIn) << db25Pin;
    EXPECT_FALSE(found->avrPort == 'D' && found->avrBit < 2) << "pin " << db25Pin << " on the UART";
  }
  for (std::size_t i = 0; i < pins.size(); ++i)
    for (std::size_t j = i + 1; j < pins.size(); ++j)
      EXPECT_FALSE(pins[i].avrPort == pins[j].avrPort && pins[i].avrBit == pins[j].avrBit);
}

}  // namespace
}  // namespace ql::bridge
