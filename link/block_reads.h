// Block reads that do not take a damaged block for data. A block whose data
// check byte does not match is read again, its page selected again first (a
// glitch on the page command is as likely as one on the data), up to
// kBlockReadRepeats more times.
#pragma once

#include <cstdint>
#include <string>

#include "link/commands.h"

namespace ql {

constexpr int kBlockReadRepeats = 8;
constexpr int kBlockReadAttempts = 1 + kBlockReadRepeats;

// Writes "! <what>, read again (<read> of <of>)" to the link trace, if one runs.
void NoteRepeatedRead(const char* what, int read, int of);

// select() chooses the block's page (and whatever set-up the page needs);
// then the block at address is read. Returns the number of reads it took
// (1 for an intact first read), or 0 when every one of kBlockReadAttempts
// reads arrived damaged. Lets LinkTimeout through.
template <typename Select>
int ReadBlockWithRepeats(Select&& select, std::uint16_t address, std::uint8_t* buffer, std::uint16_t length) {
  for (int read = 1; read <= kBlockReadAttempts; ++read) {
    if (read > 1) NoteRepeatedRead("damaged block", read, kBlockReadAttempts);
    select();
    if (ReadMemoryBlock(address, buffer, length)) return read;
  }
  return 0;
}

// The stop message for a block that never arrived intact; where names it
// ("bank 0x03, quarter 2").
std::string DamagedBlockText(const std::string& where);

}  // namespace ql
