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

// Each line flipped alone from how a PC leaves the port (0x0C: STROBE,
// AUTOFEED and INIT high, SELECT-IN low).
TEST(ParallelCable, ControlRegisterFromLineLevels) {
  const struct {
    bool strobe, autofeed, init, selectIn;
    std::uint8_t control;
  } cases[] = {
      {true, true, true, false, 0x0C},  {false, true, true, false, 0x0D}, {true, false, true, false, 0x0E},
      {true, true, false, false, 0x08}, {true, true, true, true, 0x04},
  };
  for (const auto& c : cases) {
    LineLevels levels{};
    LevelOf(levels, Line::Strobe) = c.strobe;
    LevelOf(levels, Line::Autofeed) = c.autofeed;
    LevelOf(levels, Line::Init) = c.init;
    LevelOf(levels, Line::SelectIn) = c.selectIn;
    EXPECT_EQ(ControlRegisterFor(levels), c.control) << int(c.control);
  }
}

TEST(ParallelCable, StatusValueDrivesTheLinesWithBusyInverted) {
  const struct {
    std::uint8_t status;
    std::array<bool, 5> high;  // BUSY, ACK, PAPER-OUT, SELECT, ERROR
  } cases[] = {
      {0x87, {false, false, false, false, false}},  // ready for a byte: BUSY low; bits 0-2 have no line
      {0x40, {true, true, false, false, false}},   {0x20, {true, false, true, false, false}},
      {0x10, {true, false, false, true, false}},   {0x08, {true, false, false, false, true}},
  };
  for (const auto& c : cases) {
    LineLevels levels{};
    DriveStatusLines(c.status, levels);
    const std::array<bool, 5> high{LevelOf(levels, Line::Busy), LevelOf(levels, Line::Ack),
                                   LevelOf(levels, Line::PaperOut), LevelOf(levels, Line::Select),
                                   LevelOf(levels, Line::Error)};
    EXPECT_EQ(high, c.high) << int(c.status);
  }
}

// The wiring table: every line once, on the DB-25 pin a PC port uses. (The
// firmware's own assertions pin each line to its board pin.)
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
  }
}

}  // namespace
}  // namespace ql::bridge
