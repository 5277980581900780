// The two persisted settings under HKCU\Software\Morvane\Quillon.
#pragma once

namespace ql {

// Reads "Device" and "Lpt" into SelectedDevice and SelectedLpt; a missing
// key or a value that is not 4 bytes in range is ignored silently.
void ReadSettings();
// Writes both as REG_DWORD, creating the key if needed; failures are silent.
void WriteSettings();

}  // namespace ql
