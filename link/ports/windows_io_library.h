// The Windows port library: io.dll, or inpoutx64.dll / inpout32.dll when
// io.dll is not there, loaded only from the program's own folder or the
// system folder, never from the current directory or PATH.
#pragma once

#include <memory>
#include <string>

#include "core/port_io.h"
#include "link/port_binding.h"

namespace ql {

// The four operations at absolute port numbers, or nullptr and the
// load-failure text when no usable library is found.
std::unique_ptr<PortIo> LoadWindowsPortLibrary(std::string& failureMessage);
PortLibraryLoader WindowsPortLibraryLoader();

}  // namespace ql
