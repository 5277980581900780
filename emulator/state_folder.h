// The copier's memory kept in a folder between runs, so that consecutive
// programs talk to one copier: header.bin, dram.bin, sram.bin, rtsarea.bin
// and events.log (appended).
#pragma once

#include <cstddef>
#include <string>

#include "emulator/memory_map.h"

namespace ql::emu {

// Missing folder or files leave the store as it is (zeroed at start).
void LoadStateFolder(const std::string& folder, CopierStore& store, bool withRealTimeArea);

// Creates the folder if needed, writes the memories and appends the events
// from `firstNewEvent` on. Returns false and a reason when something failed.
bool SaveStateFolder(const std::string& folder, const CopierStore& store, bool withRealTimeArea,
                     std::size_t firstNewEvent, std::string& error);

}  // namespace ql::emu
