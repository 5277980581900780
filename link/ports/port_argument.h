// Parsing the port argument and wording the failures of opening a port.
// Pure functions, shared by the Linux and Windows back ends and tested alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ql {

struct PortArgument {
  enum class Kind { Lpt, DeviceFile, DirectIo, Bridge };
  Kind kind = Kind::Lpt;
  int lpt = 1;             // Lpt: 1..3
  std::string devicePath;  // DeviceFile: /dev/parportN
  std::uint16_t base = 0;  // DirectIo: the port's base address
  std::string bridgeDevice;       // Bridge: the serial device; empty = the first that answers
  std::uint32_t baud = 1000000;   // Bridge: the serial line's rate
};

// "lpt1".."lpt3" (any case), "/dev/parportN", "0xHHHH" (1 to 4 hex digits,
// nonzero, room for the three registers), "bridge[:DEVICE][,baud=N]" (the
// USB bridge; N one of the rates its board makes exactly). False and a
// usage text otherwise.
bool ParsePortArgument(const std::string& text, PortArgument& argument, std::string& error);

// The classic base addresses of LPT1..LPT3.
std::uint16_t LptBaseAddress(int lpt);
// The ppdev device of LPT1..LPT3.
std::string LptDevicePath(int lpt);

// Why a ppdev device could not be opened (errno of open()), with what to do.
// `present` lists the /dev/parport* files that do exist.
std::string DeviceOpenErrorText(int error, const std::string& path, const std::vector<std::string>& present);
// Why a ppdev device that opened could not be claimed (errno of PPEXCL/PPCLAIM).
std::string DeviceClaimErrorText(int error, const std::string& path);
// Why direct port access was refused (errno of ioperm/iopl).
std::string DirectIoErrorText(int error, std::uint16_t base);

}  // namespace ql
