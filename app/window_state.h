// Device and port selection and the companion-file search, with the rules
// by which labels, fields and menu items follow the slots.
#pragma once

#include <cstdint>

namespace ql {

void SelectDevice(std::uint8_t device);
void SelectLpt(std::uint8_t port);
void FindCompanionFiles(unsigned loaded);

}  // namespace ql
