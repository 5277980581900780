// The copier's packet protocol: write memory, read memory, select page,
// function. Every operation lets LinkTimeout through.
#pragma once

#include <cstdint>

namespace ql {

namespace CopierCommand {
constexpr std::uint8_t WriteMemory = 0;
constexpr std::uint8_t ReadMemory = 1;
constexpr std::uint8_t SelectPage = 5;
constexpr std::uint8_t Function = 6;
}  // namespace CopierCommand

void SendCommand(std::uint8_t command, std::uint16_t address, std::uint16_t length);
void SendFunction(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4);
void WriteMemoryByte(std::uint16_t address, std::uint8_t value);
void WriteMemoryBlock(std::uint16_t address, const std::uint8_t* data, std::uint16_t length);
// WriteMemoryBlock for a run of blocks: a block's failure may be raised by
// the commands of the next block, or by FinishBlocks, which ends the run
// (also after a cancel). The trace still stops where the copier did.
void StreamMemoryBlock(std::uint16_t address, const std::uint8_t* data, std::uint16_t length);
void FinishBlocks();
// The byte read (0..255), or -1 when its check byte does not match.
int ReadMemoryByte(std::uint16_t address);
// Fills the buffer as received; returns whether the data check byte
// matched. Readers that must not take a damaged block for data go through
// ReadBlockWithRepeats (link/block_reads.h).
bool ReadMemoryBlock(std::uint16_t address, std::uint8_t* buffer, std::uint16_t length);
void SelectBankPage(std::uint8_t bank, std::uint8_t quarter);
void SelectPage(std::uint8_t page);

}  // namespace ql
