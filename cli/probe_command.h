// `probe`: is the port there, what do its lines say, does a copier answer?
#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_front_end.h"
#include "cli/port_selection.h"

namespace ql::cli {

// The three register lines, the status bits decoded.
std::string DescribeRegisters(std::uint8_t data, std::uint8_t status, std::uint8_t control);

// thorough: then the link test (link_test.h), which overwrites a DRAM page
// and asks first unless yes.
int RunProbe(const PortChoice& choice, CliFrontEnd& ui, bool thorough = false, bool yes = false);

}  // namespace ql::cli
