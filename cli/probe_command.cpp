#include "cli/probe_command.h"

#include <fmt/format.h>

#include "cli/exit_codes.h"
#include "cli/link_test.h"
#include "core/port_io.h"
#include "core/state.h"
#include "core/types.h"
#include "link/commands.h"
#include "link/copier_addresses.h"
#include "link/link_timeout.h"
#include "link/port_binding.h"
#include "link/ports/bridge_open.h"

namespace ql::cli {
namespace {

// Addresses whose reading changes nothing in the copier: the upload header area.
constexpr std::uint16_t kSwcHarmlessAddress = CopierAddress::SwcUploadHeader;
constexpr std::uint16_t kSmdHarmlessAddress = CopierAddress::SmdUploadHeader;

constexpr const char* kNoAnswerAdvice =
    "Copier: no answer within 500 ms.\n"
    "Check that:\n"
    "  - the cable is a straight-through parallel cable (not a LapLink or null-modem cable);\n"
    "  - the copier is powered;\n"
    "  - the console is switched on;\n"
    "  - the right port is chosen (--port).";

int Bit(std::uint8_t value, int bit) { return (value >> bit) & 1; }

}  // namespace

std::string DescribeRegisters(std::uint8_t data, std::uint8_t status, std::uint8_t control) {
  return fmt::format(
      "Data register:    0x{:02X}\n"
      "Status register:  0x{:02X}  BUSY/handshake (bit 7, reads inverted): {}  nibble lines (bits 6-3): 0x{:X} "
      "[ACK {} PAPER-OUT {} SELECT {} ERROR {}]\n"
      "Control register: 0x{:02X}  STROBE (bit 0): {}",
      data, status, Bit(status, 7), (status >> 3) & 0x0F, Bit(status, 6), Bit(status, 5), Bit(status, 4),
      Bit(status, 3), control, Bit(control, 0));
}

int RunProbe(const PortChoice& choice, CliFrontEnd& ui, bool thorough, bool yes) {
  ui.Print("Port: " + DescribePort(choice));
  if (!EnsureLinkReady()) return kExitFailed;  // the link has said why
  PortIo& port = BoundPort();
  // A bridge names itself; its data and control registers read back as last written.
  if (const std::string bridge = bridge::DescribeBridge(port); !bridge.empty()) ui.Print(bridge);
  const std::uint16_t base = LptBase();
  std::uint8_t data = port.PortIn(base + kDataRegister);
  std::uint8_t status = port.PortIn(base + kStatusRegister);
  std::uint8_t control = port.PortIn(base + kControlRegister);
  ui.Print(DescribeRegisters(data, status, control));

  const std::uint16_t address = SelectedDevice == kDeviceSmd ? kSmdHarmlessAddress : kSwcHarmlessAddress;
  int code = kExitOk;
  try {
    int value = ReadMemoryByte(address);
    if (value < 0) {
      ui.PrintError(
          fmt::format("Copier: answers, but the check byte of its reply to a read of 0x{:04X} did not match "
                      "(a long or noisy cable, or a port mode other than standard/SPP?)",
                      address));
      code = kExitFailed;
    } else {
      ui.Print(fmt::format("Copier: answers (read 0x{:02X} at 0x{:04X})", value, address));
    }
  } catch (const LinkTimeout&) {
    ui.PrintError(kNoAnswerAdvice);
    return kExitFailed;  // nothing to test a link with
  }
  // A copier that answers with damaged bytes is what the link test is for.
  return thorough ? RunThoroughProbe(yes, ui) : code;
}

}  // namespace ql::cli
