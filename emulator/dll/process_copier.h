// The one emulated copier of a process that loaded a port library built
// from the emulator. Its options come from the environment variable
// QUILLON_SIM, with the syntax of the text after "sim:".
#pragma once

#include "emulator/copier.h"

namespace ql::emu {

// Created on first use; nullptr when QUILLON_SIM does not parse (the reason
// went to the debugger output and stderr).
Copier* ProcessCopier();

// Writes the state folder, when one is set and the copier exists, with
// ports.log: each port address the program used, one a line in hex ("D012"),
// so a test sees which base the program bound.
void SaveProcessCopier();

// Called by every entry point with the port it was given.
void NotePortUsed(std::uint16_t port);

}  // namespace ql::emu
