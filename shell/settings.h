// The persisted settings under HKCU\Software\Morvane\Quillon.
#pragma once

#include <string>

namespace ql {

// Reads "Device", "Lpt" and "LptBase" into SelectedDevice, SelectedLpt and
// the Other Address base; a missing key or a value that is not 4 bytes in
// range is ignored silently.
void ReadSettings();
// Writes them as REG_DWORD ("LptBase" once a base was chosen), creating the
// key if needed; failures are silent.
void WriteSettings();

// "BridgePort": the serial port the USB bridge last answered on ("COM5"),
// empty when none is remembered. Written as soon as a bridge is found.
std::string ReadBridgePort();
void WriteBridgePort(const std::string& device);

}  // namespace ql
