// File > Cartridge Info: the header of the Super NES cartridge in the SWC.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ql {

void ShowCartridgeInfo();

// The report text for a 64-byte header block read from the cartridge, its
// measured size in banks and the measured memory map.
std::string FormatCartridgeReport(const std::array<std::uint8_t, 64>& header, std::uint8_t banks, bool hiRom);

}  // namespace ql
