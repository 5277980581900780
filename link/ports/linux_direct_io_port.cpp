#include <cerrno>

#include "link/ports/linux_ports.h"
#include "link/ports/port_argument.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define QUILLON_HAS_PORT_INSTRUCTIONS 1
#endif

namespace ql {

#ifdef QUILLON_HAS_PORT_INSTRUCTIONS
namespace {

// ioperm covers only the first 0x400 ports; cards above (PCIe at 0xD010 and
// the like) need the whole I/O privilege level.
constexpr unsigned kIopermLimit = 0x400;

class DirectIoPort final : public PortIo {
 public:
  explicit DirectIoPort(std::uint16_t base) : base_(base) {}

  void PortOut(std::uint16_t port, std::uint8_t value) override { outb(value, Map(port)); }
  std::uint8_t PortIn(std::uint16_t port) override { return inb(Map(port)); }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override {
    const std::uint16_t address = Map(port);
    outb(static_cast<std::uint8_t>(inb(address) ^ (1u << (bit & 7))), address);
  }
  std::uint16_t IsDriverInstalled() override { return 1; }  // access granted at open

 private:
  std::uint16_t Map(std::uint16_t port) const { return static_cast<std::uint16_t>(base_ + (port & 3)); }
  std::uint16_t base_;
};

}  // namespace

std::unique_ptr<PortIo> OpenDirectIoPort(std::uint16_t base, std::string& error) {
  const int result = base + 3u <= kIopermLimit ? ioperm(base, 3, 1) : iopl(3);
  if (result != 0) {
    error = DirectIoErrorText(errno, base);
    return nullptr;
  }
  return std::make_unique<DirectIoPort>(base);
}

#else

std::unique_ptr<PortIo> OpenDirectIoPort(std::uint16_t, std::string& error) {
  error = "Direct port access exists only on x86 PCs: use /dev/parportN (ppdev) instead.";
  return nullptr;
}

#endif

}  // namespace ql
