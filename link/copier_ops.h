// Copier-level operations built from several commands: cartridge detection,
// Play Cartridge, Execute, the end-of-command release, real-time save probes.
#pragma once

#include <array>
#include <cstdint>

namespace ql {

// 512 samples: entry 4*i+q is the detection sample of bank 0x80+i, quarter q.
inline std::array<std::uint8_t, 512> CartridgeSamples{};

// What Play Cartridge, Cartridge Info and the cartridge download say when
// detection finds nothing.
inline constexpr const char* kNoCartridgeText = "No game cartridge is detected";

// SWC only. Catches LinkTimeout itself (false, no message).
bool DetectCartridge(std::uint8_t* size, bool* hiRom);
bool SamplesMatch(int first, int second, int count);
bool SamplesUniform(int bank);
bool BankReadsAs(int bank, std::uint8_t value);

void PlayCartridge();
void ExecuteImage();
void ReleaseLink();
// SWC: page 0, then the writes that put the battery SRAM behind the low window.
void SelectSwcSram();
bool HasRealTimeSaveSupport();
std::uint8_t FindTopDramBank();
bool IsDramBankWritable(std::uint8_t bank);

}  // namespace ql
