// Single-byte reads of the cartridge download that must not be mistaken for
// data when their check byte fails: the SMD cartridge size and the SWC
// cartridge's SRAM size code. A failed check is read again a few times.
#pragma once

#include <cstdint>
#include <optional>

namespace ql {

constexpr int kProbeReadAttempts = 3;

// ReadMemoryByte at address until its check byte matches, at most attempts
// times; nullopt when none did. Lets LinkTimeout through.
std::optional<std::uint8_t> ReadCheckedByte(std::uint16_t address, int attempts = kProbeReadAttempts);

// SMD: the cartridge size in 128 KB units (0 = none).
std::optional<std::uint8_t> ReadSmdCartridgeUnits();
// SWC: the SRAM size code of the cartridge's internal header.
std::optional<std::uint8_t> ReadCartridgeSramSizeCode();

}  // namespace ql
