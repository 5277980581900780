// The text of the Cartridge Info box. The codes are shown as read: a
// cartridge's header is not checked for validity.
#include <cstdio>

#include "rom/cartridge_info.h"
#include "rom/snes_header.h"

namespace ql {

std::string FormatCartridgeReport(const std::array<std::uint8_t, 64>& header, std::uint8_t banks, bool hiRom) {
  std::string report;
  report += "Name:  " + SnesTitleText(header.data()) + "\n";
  report += std::string("Makeup:  ") + SnesSpeedWord(header[SnesField::Makeup]) + " " + SnesMapWord(hiRom) + "\n";

  // LoROM banks are 32 KB and HiROM banks 64 KB: 4 or 2 of them make one Mbit.
  const int measuredMbit = hiRom ? banks / 2 : banks / 4;
  // 8-bit result, shift count modulo 32: codes 8 to 14 give 2 to 128, the rest mostly 0.
  const unsigned shift = (header[SnesField::RomSizeCode] - 8u) & 31u;
  const int declaredMbit = static_cast<std::uint8_t>(2u << shift);
  char line[64];
  if (declaredMbit == measuredMbit) {
    std::snprintf(line, sizeof line, "ROM size:  %iMb\n", measuredMbit);
  } else {
    std::snprintf(line, sizeof line, "ROM size:  %iMb (%iMb)\n", declaredMbit, measuredMbit);
  }
  report += line;

  const std::uint8_t sramCode = header[SnesField::SramSizeCode];
  if (sramCode == 0) {
    report += "SRAM size:  none\n";
  } else {
    // 32-bit with the shift count modulo 32: code 0xFF shifts 8 by 31 and leaves 0.
    std::snprintf(line, sizeof line, "SRAM size:  %ukb\n", static_cast<unsigned>(8u << (sramCode & 31u)));
    report += line;
  }
  report += std::string("Region:  ") + SnesRegionNames()[header[SnesField::RegionCode] & 0x0F] + "\n";
  report += std::string("Maker:  ") + SnesMakerNames()[header[SnesField::MakerCode]] + "\n";
  report += "Version:  1." + std::to_string(header[SnesField::Version]) + "\n";
  return report;
}

}  // namespace ql
