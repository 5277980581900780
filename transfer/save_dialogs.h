// The save dialogs of the three downloads: filters, initial folder, proposed
// name, default extension and filter index, and how the answer is read.
#pragma once

#include <cstdint>
#include <string>

#include "core/front_end.h"

namespace ql {

// The folder of a file: its path up to and including the last separator.
std::string FolderWithSeparator(const std::string& path);

SaveFileRequest CartridgeSaveRequest(std::uint8_t device);
SaveFileRequest SramSaveRequest();
SaveFileRequest RealTimeSaveRequest();

// Whether the SRAM file chosen in the answered dialog gets a copier header:
// a .bbd name, or a name that is neither .bbd nor .srm with the first filter.
bool SramFileGetsHeader(const SaveFileRequest& answered);

}  // namespace ql
