// io.dll: the io library's four entry points on the emulated copier.
#include <windows.h>

#include "emulator/dll/process_copier.h"

using ql::emu::NotePortUsed;
using ql::emu::ProcessCopier;

extern "C" {

void WINAPI PortOut(short port, char value) {
  NotePortUsed(static_cast<std::uint16_t>(port));
  if (auto* copier = ProcessCopier())
    copier->PortOut(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(value));
}

// Without a copier (bad options) the lines read low: nothing ever answers.
char WINAPI PortIn(short port) {
  NotePortUsed(static_cast<std::uint16_t>(port));
  auto* copier = ProcessCopier();
  return copier ? static_cast<char>(copier->PortIn(static_cast<std::uint16_t>(port))) : 0;
}

void WINAPI NotPortBit(short port, char bit) {
  NotePortUsed(static_cast<std::uint16_t>(port));
  if (auto* copier = ProcessCopier())
    copier->NotPortBit(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(bit));
}

// Bad options are a driver that cannot work: the program says so.
short WINAPI IsDriverInstalled() {
  auto* copier = ProcessCopier();
  return copier ? static_cast<short>(copier->IsDriverInstalled()) : 0;
}

}  // extern "C"
