// The copier's address map, function codes and mode values as the PC uses
// them, each named once. Windows show 8 KB pages on the SWC and 16 KB pages
// on the SMD; what they show is chosen by the last select-page command and,
// on the SWC, by the select writes below. The emulator shares these names.
#pragma once

#include <cstdint>

namespace ql::CopierAddress {

// SWC
inline constexpr std::uint16_t SwcUploadHeader = 0x0400;   // 512-byte header of an uploaded image, after page 0
inline constexpr std::uint16_t SwcLowWindow = 0x2000;      // battery SRAM after the SRAM selects; cartridge lower half
inline constexpr std::uint16_t SwcHighWindow = 0xA000;     // cartridge upper half of a bank; real-time area with "SUB"
inline constexpr std::uint16_t SwcCartridgeSample = 0xA0A0;  // detection reads one byte here per page
inline constexpr std::uint16_t SwcLowerHalfSample = 0x20A0;  // the same offset in the lower half (HiROM probe)
inline constexpr std::uint16_t SwcSignature = 0xB080;      // "SUB" at page (7, 3): the real-time save hardware
inline constexpr std::uint16_t SwcCartridgeHeader = 0xBFC0;  // cartridge's internal header at page (0, 3)
inline constexpr std::uint16_t SwcCartridgeSramCode = 0xBFD8;  // its SRAM size code
inline constexpr std::uint16_t SwcSramSelect = 0xC008;     // write 0 before an SRAM transfer
inline constexpr std::uint16_t SwcDramHighPages = 0xC010;  // upper DRAM line: block index >> 9; 1 for the real-time area
inline constexpr std::uint16_t SwcCartridgeSelect = 0xE00C;  // write 0: the windows show the plugged-in cartridge
inline constexpr std::uint16_t SwcSaveSelect = 0xE00D;     // write 0 before an SRAM transfer and the signature check
inline constexpr std::uint8_t SwcSramBank = 0x40;          // SRAM pages 0x100 + block: bank 0x40, block as quarter

// Both: DRAM through the 0x8000 window (SWC 8 KB page, SMD 16 KB page); the
// SWC real-time area lives there too when the signature is absent.
inline constexpr std::uint16_t DramWindow = 0x8000;

// SMD
inline constexpr std::uint16_t SmdModeRegister = 0x2001;   // see SmdMode
inline constexpr std::uint16_t SmdLowWindow = 0x4000;      // first SRAM half; the cartridge, 16 KB page
inline constexpr std::uint16_t SmdUploadHeader = 0xDC00;   // 512-byte header of an uploaded image
inline constexpr std::uint16_t SmdCartridgeUnits = 0xDFF1;  // cartridge size in 128 KB units, 0 = none

}  // namespace ql::CopierAddress

namespace ql::SmdMode {
inline constexpr std::uint8_t Transfer = 0;  // before the ROM blocks and before a cartridge download
inline constexpr std::uint8_t Sram = 4;      // before an SRAM upload
inline constexpr std::uint8_t RunSmall = 3;  // execute an image of 2 MB or less
inline constexpr std::uint8_t RunLarge = 7;  // execute a larger one
}  // namespace ql::SmdMode

// Parameter 1 of the function command.
namespace ql::CopierFunction {
inline constexpr std::uint8_t Execute = 1;       // SWC: mode byte, real-time flag
inline constexpr std::uint8_t PlayCartridge = 2;  // both, after page 2
inline constexpr std::uint8_t EndRealTime = 3;   // SWC: closes a real-time save transfer
inline constexpr std::uint8_t BlockCount = 5;    // SWC: block count of the image, low and high byte
}  // namespace ql::CopierFunction
