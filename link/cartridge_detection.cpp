// Finding a Super NES cartridge in an SWC and measuring its ROM by address
// mirroring: a ROM smaller than its decoded range repeats, and an empty slot
// reads the same byte everywhere or echoes the bank number (open bus).
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/copier_ops.h"
#include "link/link_timeout.h"

namespace ql {
namespace {

constexpr std::uint16_t kSampleAddress = CopierAddress::SwcCartridgeSample;
constexpr std::uint16_t kLowerHalfSample = CopierAddress::SwcLowerHalfSample;
constexpr std::uint8_t kFirstBank = 0x80;
constexpr int kBanks = 128;
constexpr std::uint8_t kHiRomProbeBank = 0x40;

std::uint8_t BankNumber(int bank) { return static_cast<std::uint8_t>(kFirstBank + bank); }

// One row of the size table: the size and its tests, tried left to right.
bool HoldsOwnBankNumber(int bank) { return BankReadsAs(bank, BankNumber(bank)); }

std::uint8_t MeasureSize() {
  if (SamplesMatch(0, 8, 8)) return 8;
  if (SamplesMatch(0, 16, 8)) return 16;
  if (SamplesMatch(16, 24, 8)) return 24;
  if (SamplesMatch(0, 32, 4) || SamplesUniform(32) || SamplesMatch(32, 36, 4) || HoldsOwnBankNumber(32)) return 32;
  if (SamplesMatch(32, 40, 8)) return 40;
  if (SamplesUniform(48) || HoldsOwnBankNumber(48) || SamplesMatch(32, 48, 8)) return 48;
  if (SamplesMatch(0, 64, 4) || HoldsOwnBankNumber(64)) return 64;
  if (SamplesMatch(64, 72, 4)) return 72;
  if (SamplesMatch(64, 80, 4) || HoldsOwnBankNumber(80)) return 80;
  if (SamplesMatch(64, 96, 4) || HoldsOwnBankNumber(96)) return 96;
  if (SamplesMatch(96, 112, 4)) return 112;
  return 128;
}

void TakeSamples() {
  WriteMemoryByte(CopierAddress::SwcCartridgeSelect, 0);
  for (int bank = 0; bank < kBanks; ++bank) {
    for (std::uint8_t quarter = 0; quarter < 4; ++quarter) {
      SelectBankPage(BankNumber(bank), quarter);
      // A failed check reads -1, whose low byte 0xFF takes part like any value.
      CartridgeSamples[static_cast<std::size_t>(bank * 4 + quarter)] =
          static_cast<std::uint8_t>(ReadMemoryByte(kSampleAddress));
    }
  }
}

// HiROM boards decode the two halves of bank 0x40 separately; LoROM mirrors them.
bool BankHalvesDiffer() {
  for (std::uint8_t quarter = 0; quarter < 4; ++quarter) {
    SelectBankPage(kHiRomProbeBank, quarter);
    CartridgeSamples[quarter] = static_cast<std::uint8_t>(ReadMemoryByte(kLowerHalfSample));
    CartridgeSamples[4u + quarter] = static_cast<std::uint8_t>(ReadMemoryByte(kSampleAddress));
  }
  for (std::size_t quarter = 0; quarter < 4; ++quarter) {
    if (CartridgeSamples[quarter] != CartridgeSamples[4 + quarter]) return true;
  }
  return false;
}

}  // namespace

bool SamplesMatch(int first, int second, int count) {
  // From the last entry back: the far end of a run differs first.
  for (int entry = count * 4 - 1; entry >= 0; --entry) {
    if (CartridgeSamples[static_cast<std::size_t>(first * 4 + entry)] !=
        CartridgeSamples[static_cast<std::size_t>(second * 4 + entry)]) {
      return false;
    }
  }
  return true;
}

bool SamplesUniform(int bank) {
  const std::size_t start = static_cast<std::size_t>(bank * 4);
  for (std::size_t entry = 1; entry < 16; ++entry) {
    if (CartridgeSamples[start + entry] != CartridgeSamples[start]) return false;
  }
  return true;
}

bool BankReadsAs(int bank, std::uint8_t value) {
  const std::size_t start = static_cast<std::size_t>(bank * 4);
  for (std::size_t entry = 0; entry < 4; ++entry) {
    if (CartridgeSamples[start + entry] != value) return false;
  }
  return true;
}

bool DetectCartridge(std::uint8_t* size, bool* hiRom) {
  try {
    TakeSamples();
    if (SamplesUniform(0) || HoldsOwnBankNumber(4)) return false;
    if (size != nullptr) *size = MeasureSize();
    if (hiRom != nullptr) *hiRom = BankHalvesDiffer();
    return true;
  } catch (const LinkTimeout&) {
    // No answer means no cartridge to the caller; it has its own message.
    return false;
  }
}

}  // namespace ql
