// The four port operations every back end supplies, with the io library's
// names and meaning. Ports are 16-bit port numbers, values bytes.
#pragma once

#include <cstdint>

namespace ql {

class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual void PortOut(std::uint16_t port, std::uint8_t value) = 0;
  virtual std::uint8_t PortIn(std::uint16_t port) = 0;
  // Inverts bit number `bit` (0 = least significant) of the register, others kept.
  virtual void NotPortBit(std::uint16_t port, std::uint8_t bit) = 0;
  // Nonzero when port access will work.
  virtual std::uint16_t IsDriverInstalled() = 0;
};

// Register offsets from the port base. Every base the link uses is 4-aligned,
// so back ends with a base of their own address a register as (port & 3).
constexpr std::uint16_t kDataRegister = 0;
constexpr std::uint16_t kStatusRegister = 1;
constexpr std::uint16_t kControlRegister = 2;

}  // namespace ql
