// inpout32.dll / inpoutx64.dll: the inpout library's entry points on the
// emulated copier. It has no bit inversion; a caller reads the control
// register and writes it back, which the copier sees as the same STROBE edge.
#include <windows.h>

#include "emulator/dll/process_copier.h"

using ql::emu::NotePortUsed;
using ql::emu::ProcessCopier;

extern "C" {

void WINAPI Out32(short port, short data) {
  NotePortUsed(static_cast<std::uint16_t>(port));
  if (auto* copier = ProcessCopier())
    copier->PortOut(static_cast<std::uint16_t>(port), static_cast<std::uint8_t>(data));
}

short WINAPI Inp32(short port) {
  NotePortUsed(static_cast<std::uint16_t>(port));
  auto* copier = ProcessCopier();
  return copier ? static_cast<short>(copier->PortIn(static_cast<std::uint16_t>(port))) : 0;
}

BOOL WINAPI IsInpOutDriverOpen() { return ProcessCopier() && ProcessCopier()->IsDriverInstalled() ? TRUE : FALSE; }

}  // extern "C"
