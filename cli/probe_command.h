// `probe`: is the port there, what do its lines say, does a copier answer?
#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_front_end.h"
#include "cli/port_selection.h"

namespace ql::cli {

// The three register lines, the status bits decoded.
std::string DescribeRegisters(std::uint8_t data, std::uint8_t status, std::uint8_t control);

int RunProbe(const PortChoice& choice, CliFrontEnd& ui);

}  // namespace ql::cli
