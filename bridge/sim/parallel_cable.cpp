#include "bridge/sim/parallel_cable.h"

namespace ql::bridge {
namespace {

struct NamedLine {
  std::string_view name;
  Line line;
};

constexpr std::array<NamedLine, kLineCount> kNames{{
    {"DATA0", Line::Data0}, {"DATA1", Line::Data1}, {"DATA2", Line::Data2},
    {"DATA3", Line::Data3}, {"DATA4", Line::Data4}, {"DATA5", Line::Data5},
    {"DATA6", Line::Data6}, {"DATA7", Line::Data7}, {"STROBE", Line::Strobe},
    {"AUTOFEED", Line::Autofeed}, {"INIT", Line::Init}, {"SELECT_IN", Line::SelectIn},
    {"ACK", Line::Ack}, {"BUSY", Line::Busy}, {"PAPER_OUT", Line::PaperOut},
    {"SELECT", Line::Select}, {"ERROR", Line::Error},
}};

}  // namespace

std::optional<Line> LineNamed(std::string_view name) {
  for (const NamedLine& entry : kNames) {
    if (entry.name == name) return entry.line;
  }
  return std::nullopt;
}

std::uint8_t DataRegisterFor(const LineLevels& levels) {
  std::uint8_t value = 0;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (LevelOf(levels, static_cast<Line>(static_cast<unsigned>(Line::Data0) + bit))) value |= 1u << bit;
  }
  return value;
}

std::uint8_t ControlRegisterFor(const LineLevels& levels) {
  std::uint8_t value = 0;
  for (const RegisterBit& bit : kControlBits) {
    if (LevelOf(levels, bit.line) != bit.inverted) value |= bit.mask;
  }
  return value;
}

void DriveStatusLines(std::uint8_t status, LineLevels& levels) {
  for (const RegisterBit& bit : kStatusBits) LevelOf(levels, bit.line) = ((status & bit.mask) != 0) != bit.inverted;
}

}  // namespace ql::bridge
