// The PC side of a parallel port as the copier sees it through the cable:
// which register bit a line belongs to and whether the port inverts it.
// These facts are held here on their own, not taken from the firmware, so
// a firmware that gets an inversion wrong shows the copier a wrong register
// value and fails the tests.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ql::bridge {

enum class Line : std::uint8_t {
  Data0, Data1, Data2, Data3, Data4, Data5, Data6, Data7,
  Strobe, Autofeed, Init, SelectIn,
  Ack, Busy, PaperOut, Select, Error,
};
constexpr std::size_t kLineCount = 17;

// The wiring table's names for the lines (STROBE, DATA0, ...).
std::optional<Line> LineNamed(std::string_view name);

struct RegisterBit {
  std::uint8_t mask;
  Line line;
  bool inverted;  // the register bit reads or writes the opposite of the line's level
};

// A PC's control register: STROBE, AUTOFEED and SELECT-IN are driven inverted, INIT is not.
inline constexpr std::array<RegisterBit, 4> kControlBits{{
    {0x01, Line::Strobe, true},
    {0x02, Line::Autofeed, true},
    {0x04, Line::Init, false},
    {0x08, Line::SelectIn, true},
}};

// A PC's status register: bit 7 reads BUSY inverted; bits 3-6 read their lines as they are.
inline constexpr std::array<RegisterBit, 5> kStatusBits{{
    {0x80, Line::Busy, true},
    {0x40, Line::Ack, false},
    {0x20, Line::PaperOut, false},
    {0x10, Line::Select, false},
    {0x08, Line::Error, false},
}};

// Levels of the 17 signal lines; true = high.
using LineLevels = std::array<bool, kLineCount>;

inline bool& LevelOf(LineLevels& levels, Line line) { return levels[static_cast<std::size_t>(line)]; }
inline bool LevelOf(const LineLevels& levels, Line line) { return levels[static_cast<std::size_t>(line)]; }

// The data register a PC would have written to put these levels on D0-D7.
std::uint8_t DataRegisterFor(const LineLevels& levels);
// The control register (bits 0-3) a PC would have written for these levels.
std::uint8_t ControlRegisterFor(const LineLevels& levels);
// Sets the five status lines to what the copier shows as this status value.
void DriveStatusLines(std::uint8_t status, LineLevels& levels);

}  // namespace ql::bridge
