// Loading files the way one drop on the window does, naming each file the
// program does not take.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_front_end.h"
#include "core/types.h"

namespace ql::cli {

// The batch load of a drop (LoadFileBatch: each file, then the companion
// search), naming on stderr each file that is not taken (a path longer than
// a slot holds among them). Returns the bit set of the kinds loaded.
unsigned LoadAsDrop(const std::vector<std::string>& paths, CliFrontEnd& ui);

// One file on its own, without the companion search; None (and a message
// on stderr) when it is refused or not recognised.
FileKind LoadOneFile(const std::string& path, CliFrontEnd& ui);

// "Super NES" or "Genesis", by the selected device.
std::string DeviceImageName();

}  // namespace ql::cli
