#include <cerrno>
#include <cstdio>
#include <cstring>

#include "link/ports/port_argument.h"

namespace ql {
namespace {

constexpr const char* kUsage = "use lpt1, lpt2, lpt3, /dev/parportN or 0xHHHH (the port's base address)";
constexpr const char* kBridge = "bridge";
// The rates the bridge's 16 MHz board makes exactly.
constexpr std::uint32_t kBridgeBauds[] = {250000, 500000, 1000000, 2000000};
constexpr const char* kDevicePrefix = "/dev/parport";

std::string Lowered(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Hex(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

std::string SystemText(int error) { return std::strerror(error); }

// "bridge", "bridge:DEVICE", either followed by ",baud=N".
bool ParseBridgeArgument(const std::string& text, PortArgument& argument, std::string& error) {
  argument = PortArgument{};
  argument.kind = PortArgument::Kind::Bridge;
  std::string rest = text.substr(std::strlen(kBridge));
  const std::size_t comma = rest.find(',');
  std::string options = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
  rest = rest.substr(0, comma);
  if (!rest.empty()) {
    if (rest[0] != ':' || rest.size() == 1) {
      error = "Bad bridge port '" + text + "': use bridge, bridge:DEVICE or either with ,baud=N";
      return false;
    }
    argument.bridgeDevice = rest.substr(1);
  }
  if (comma == std::string::npos) return true;
  const std::string key = "baud=";
  bool valid = options.compare(0, key.size(), key) == 0 && AllDigits(options.substr(key.size())) &&
               options.size() - key.size() <= 7;
  if (valid) {
    argument.baud = static_cast<std::uint32_t>(std::stoul(options.substr(key.size())));
    valid = false;
    for (std::uint32_t baud : kBridgeBauds) valid = valid || baud == argument.baud;
  }
  if (!valid) {
    error = "Bad bridge option '" + options + "' in '" + text + "': use baud=250000, 500000, 1000000 or 2000000";
    return false;
  }
  return true;
}

}  // namespace

bool ParsePortArgument(const std::string& text, PortArgument& argument, std::string& error) {
  const std::string lowered = Lowered(text);
  if (lowered.compare(0, std::strlen(kBridge), kBridge) == 0 &&
      (lowered.size() == std::strlen(kBridge) || lowered[std::strlen(kBridge)] == ':' ||
       lowered[std::strlen(kBridge)] == ','))
    return ParseBridgeArgument(text, argument, error);
  if (lowered.size() == 4 && lowered.compare(0, 3, "lpt") == 0 && lowered[3] >= '1' && lowered[3] <= '3') {
    argument = PortArgument{};
    argument.kind = PortArgument::Kind::Lpt;
    argument.lpt = lowered[3] - '0';
    return true;
  }
  if (text.rfind(kDevicePrefix, 0) == 0 && AllDigits(text.substr(std::strlen(kDevicePrefix)))) {
    argument = PortArgument{};
    argument.kind = PortArgument::Kind::DeviceFile;
    argument.devicePath = text;
    return true;
  }
  if (lowered.compare(0, 2, "0x") == 0) {
    unsigned value = 0;
    bool valid = lowered.size() > 2 && lowered.size() <= 6;
    for (std::size_t i = 2; i < lowered.size() && valid; ++i) {
      const int digit = HexDigit(lowered[i]);
      valid = digit >= 0;
      value = value * 16 + static_cast<unsigned>(digit < 0 ? 0 : digit);
    }
    // The control register lies two above the base; it must be a port too.
    if (valid && value != 0 && value <= 0xFFFD) {
      argument = PortArgument{};
      argument.kind = PortArgument::Kind::DirectIo;
      argument.base = static_cast<std::uint16_t>(value);
      return true;
    }
    error = "Bad port address '" + text + "': give a nonzero base from 0x0001 to 0xFFFD, such as 0x378 or 0xD010";
    return false;
  }
  error = "Unknown port '" + text + "': " + kUsage;
  return false;
}

std::uint16_t LptBaseAddress(int lpt) {
  switch (lpt) {
    case 2:
      return 0x278;
    case 3:
      return 0x3BC;
    default:
      return 0x378;
  }
}

std::string LptDevicePath(int lpt) { return kDevicePrefix + std::to_string(lpt - 1); }

std::string DeviceOpenErrorText(int error, const std::string& path, const std::vector<std::string>& present) {
  if (error == ENOENT || error == ENODEV || error == ENXIO) {
    std::string text = "Cannot open " + path +
                       ": no such parallel port. Is the parport_pc module loaded (sudo modprobe parport_pc ppdev)? ";
    if (present.empty()) {
      text += "No /dev/parport* device exists.";
    } else {
      text += "Present:";
      for (const std::string& device : present) text += " " + device;
    }
    return text;
  }
  if (error == EACCES || error == EPERM) {
    return "Cannot open " + path +
           ": permission denied. Add yourself to the 'lp' group (sudo usermod -aG lp $USER), then log in again.";
  }
  if (error == EBUSY) {
    return "Cannot open " + path +
           ": the port is busy. Another driver such as lp holds it; unload it (sudo rmmod lp) or stop the program "
           "using the port.";
  }
  return "Cannot open " + path + ": " + SystemText(error) + ".";
}

std::string DeviceClaimErrorText(int error, const std::string& path) {
  if (error == EBUSY || error == ENXIO) {
    return "Cannot claim " + path +
           ": the port is busy. Another driver such as lp holds it; unload it (sudo rmmod lp) or stop the program "
           "using the port.";
  }
  return "Cannot claim " + path + ": " + SystemText(error) + ".";
}

std::string DirectIoErrorText(int error, std::uint16_t base) {
  if (error == EPERM || error == EACCES) {
    return "Direct port access at " + Hex(base) + " needs root: run as root, or use /dev/parportN (ppdev) instead.";
  }
  return "Direct port access at " + Hex(base) + " failed: " + SystemText(error) + ".";
}

}  // namespace ql
