// Device and port selection and the companion-file search, with the rules
// by which labels, fields and menu items follow the slots.
#pragma once

#include <cstdint>
#include <string>

namespace ql {

void SelectDevice(std::uint8_t device);
void SelectLpt(std::uint8_t port);
void FindCompanionFiles(unsigned loaded);

// The window's first set-up for both front ends: the full device set-up for
// the device already in SelectedDevice (the window starts with no device
// item checked), then the port check mark.
void InitialiseWindowState();

// The name under which a companion of the ROM at romPath is looked for: the
// ROM's file name with its extension replaced by ext, or ext added when the
// file name has none. A "." in a folder name is never taken as the extension.
std::string CompanionPath(const std::string& romPath, const char* ext);

}  // namespace ql
