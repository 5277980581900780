// The command line of quillon-bridge-sim.
#pragma once

#include <string>
#include <vector>

#include "bridge/sim/sim_bridge.h"

namespace ql::bridge {

inline constexpr const char* kSimUsage =
    "usage: quillon-bridge-sim [--baud N] [--latency-ms N] [--corrupt-byte N] [--firmware FILE]\n"
    "                          [--wire-log FILE] [EMULATOR OPTIONS]\n"
    "Runs the USB bridge firmware against the copier emulator and prints the path of\n"
    "the pseudo-terminal to open as its serial port, then runs until killed.\n"
    "  --baud N          fastest rate the serial line carries (default 2000000); bytes\n"
    "                    move at the rate the firmware has set, never faster than N\n"
    "  --latency-ms N    delay of every byte in each direction, as USB adds (default 0)\n"
    "  --corrupt-byte N  flip a bit of the Nth byte the PC sends (counting from 1)\n"
    "  --firmware FILE   the firmware ELF to run (default: the one this build made)\n"
    "  --wire-log FILE   log the port registers as the copier saw them\n"
    "  EMULATOR OPTIONS  key=value,... as after --port sim: (device, state, cart, hirom,\n"
    "                    rts, fault)\n";

// False and a message on a bad command line; `help` is set for --help.
bool ParseSimArguments(const std::vector<std::string>& arguments, BridgeSettings& settings, bool& help,
                       std::string& error);

}  // namespace ql::bridge
