#include "bridge/sim/board_pins.h"

#include <array>
#include <stdexcept>

#include "bridge/firmware/board_wiring.h"

namespace ql::bridge {
namespace {

Line NamedOrThrow(const char* name) {
  const auto line = LineNamed(name);
  if (!line) throw std::logic_error(std::string("wiring table names an unknown line ") + name);
  return *line;
}

#define QLBR_AS_BOARD_PIN(name, db25, port, bit, label, direction) \
  BoardPin{NamedOrThrow(#name), db25, port, bit, label, std::string_view(#direction) == "OUT"},

}  // namespace

std::span<const BoardPin> BoardPins() {
  static const std::array pins{QLBR_WIRING(QLBR_AS_BOARD_PIN)};
  return pins;
}

}  // namespace ql::bridge
