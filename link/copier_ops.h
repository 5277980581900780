// Copier-level operations built from several commands: cartridge detection,
// Play Cartridge, Execute, the end-of-command release, real-time save probes.
#pragma once

#include <array>
#include <cstdint>

namespace ql {

// 512 samples: entry 4*i+q is the byte at 0xA0A0 of bank 0x80+i, quarter q.
inline std::array<std::uint8_t, 512> CartridgeSamples{};

// SWC only. Catches LinkTimeout itself (false, no message).
bool DetectCartridge(std::uint8_t* size, bool* hiRom);
bool SamplesMatch(int first, int second, int count);
bool SamplesUniform(int bank);
bool BankReadsAs(int bank, std::uint8_t value);

void PlayCartridge();
void ExecuteImage();
void ReleaseLink();
bool HasRealTimeSaveSupport();
std::uint8_t FindTopDramBank();
bool IsDramBankWritable(std::uint8_t bank);

}  // namespace ql
