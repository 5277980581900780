#include "cli/port_selection.h"

#include <fmt/format.h>

#include <memory>

#include "core/state.h"
#include "link/port_binding.h"
#include "link/ports/port_argument.h"
#include "link/ports/port_backends.h"

namespace ql::cli {
namespace {

bool NamesDevice(const std::string& options) {
  return options.rfind("device=", 0) == 0 || options.find(",device=") != std::string::npos;
}

}  // namespace

bool ParsePortChoice(const std::string& port, const std::string& device, PortChoice& choice, std::string& error) {
  choice = PortChoice{};
  choice.argument = port;
  if (port == "sim" || port.rfind("sim:", 0) == 0) {
    std::string options = port.size() > 4 ? port.substr(4) : std::string();
    if (!NamesDevice(options))
      options = options.empty() ? fmt::format("device={}", device) : fmt::format("{},device={}", options, device);
    std::string parseError;
    if (!emu::ParseOptions(options, choice.simOptions, parseError)) {
      error = fmt::format("--port {}: {}", port, parseError);
      return false;
    }
    if ((choice.simOptions.device == emu::Device::Smd) != (device == "smd")) {
      // The window would speak one copier's protocol to the other.
      error = fmt::format("--port {}: the emulated copier is not the --device {} copier", port, device);
      return false;
    }
    choice.kind = PortChoice::Kind::Emulator;
    return true;
  }
  PortArgument argument;
  std::string parseError;
  if (!ParsePortArgument(port, argument, parseError)) {
    error = fmt::format(
        "--port {}: {} (or bridge[:DEVICE][,baud=N] for the USB bridge, sim[:OPTIONS] for the copier emulator)", port,
        parseError);
    return false;
  }
  switch (argument.kind) {
    case PortArgument::Kind::Lpt:
      choice.kind = PortChoice::Kind::Lpt;
      choice.lptNumber = static_cast<unsigned>(argument.lpt);
      break;
    case PortArgument::Kind::DeviceFile:
      choice.kind = PortChoice::Kind::DevicePath;
      break;
    case PortArgument::Kind::DirectIo:
      choice.kind = PortChoice::Kind::DirectIo;
      break;
    case PortArgument::Kind::Bridge:
      choice.kind = PortChoice::Kind::Bridge;
      choice.bridgeDevice = argument.bridgeDevice;
      choice.baud = argument.baud;
      break;
  }
  return true;
}

std::string DescribePort(const PortChoice& choice) {
  switch (choice.kind) {
    case PortChoice::Kind::Lpt:
#if defined(_WIN32)
      return fmt::format("port library at 0x{:04X}", LptBaseAddress(static_cast<int>(choice.lptNumber)));
#else
      return "ppdev " + LptDevicePath(static_cast<int>(choice.lptNumber));
#endif
    case PortChoice::Kind::DevicePath:
      return "ppdev " + choice.argument;
    case PortChoice::Kind::DirectIo:
#if defined(_WIN32)
      return "port library at " + choice.argument;
#else
      return "direct I/O " + choice.argument;
#endif
    case PortChoice::Kind::Emulator:
      return choice.simOptions.device == emu::Device::Smd ? "emulated SMD" : "emulated SWC";
    case PortChoice::Kind::Bridge:
      return "USB bridge " + (choice.bridgeDevice.empty() ? std::string("(the first serial device that answers)")
                                                          : choice.bridgeDevice);
  }
  return choice.argument;
}

void InstallPortLoader(const PortChoice& choice, std::function<bool(std::string& failureMessage)> beforeOpening) {
  // Back ends with a base of their own address registers as (port & 3), so
  // only lpt2/lpt3 need a port number other than 1.
  SelectedLpt = static_cast<std::uint8_t>(choice.kind == PortChoice::Kind::Lpt ? choice.lptNumber : 1);
  SetPortLibraryLoader([choice, beforeOpening](std::string& failureMessage) -> std::unique_ptr<PortIo> {
    if (beforeOpening && !beforeOpening(failureMessage)) return nullptr;
    if (choice.kind == PortChoice::Kind::Emulator) return std::make_unique<emu::Copier>(choice.simOptions);
    std::unique_ptr<PortIo> port = OpenPortBackend(choice.argument, failureMessage);
    return port;
  });
}

}  // namespace ql::cli
