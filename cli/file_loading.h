// Loading files the way one drop on the window does, naming each file the
// program does not take.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_front_end.h"
#include "core/types.h"

namespace ql::cli {

// Each file through LoadImageFile in the given order, then the companion
// search for the kinds the batch brought (the steps of LoadFileBatch, done
// one by one so that each file that is not taken can be named on stderr).
// A path longer than a slot holds is refused with a message and not loaded.
// Returns the bit set of the kinds loaded.
unsigned LoadAsDrop(const std::vector<std::string>& paths, CliFrontEnd& ui);

// One file on its own, without the companion search; None (and a message
// on stderr) when it is refused or not recognised.
FileKind LoadOneFile(const std::string& path, CliFrontEnd& ui);

// "Super NES" or "Genesis", by the selected device.
std::string DeviceImageName();

}  // namespace ql::cli
