// The wiring table (bridge/firmware/board_wiring.h) as data: which line
// of the DB-25 plug each pin of the board carries.
#pragma once

#include <span>

#include "bridge/sim/parallel_cable.h"

namespace ql::bridge {

struct BoardPin {
  Line line;
  int db25Pin;
  char avrPort;  // 'B', 'C' or 'D'
  int avrBit;
  const char* boardLabel;  // as printed on an Uno or Nano
  bool boardDrives;        // an output of the board (data, control)
};

std::span<const BoardPin> BoardPins();

}  // namespace ql::bridge
