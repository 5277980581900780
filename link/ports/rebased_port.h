// A port library that takes absolute port numbers, moved to a base of the
// back end's own: the binding's register (port & 3) goes to base + (port & 3).
#pragma once

#include <cstdint>
#include <memory>

#include "core/port_io.h"

namespace ql {

class RebasedPort final : public PortIo {
 public:
  RebasedPort(std::unique_ptr<PortIo> library, std::uint16_t base) : library_(std::move(library)), base_(base) {}

  void PortOut(std::uint16_t port, std::uint8_t value) override { library_->PortOut(Map(port), value); }
  std::uint8_t PortIn(std::uint16_t port) override { return library_->PortIn(Map(port)); }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override { library_->NotPortBit(Map(port), bit); }
  std::uint16_t IsDriverInstalled() override { return library_->IsDriverInstalled(); }

 private:
  std::uint16_t Map(std::uint16_t port) const { return static_cast<std::uint16_t>(base_ + (port & 3)); }

  std::unique_ptr<PortIo> library_;
  std::uint16_t base_;
};

}  // namespace ql
