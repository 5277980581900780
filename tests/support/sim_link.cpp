#include "tests/support/sim_link.h"

#include "core/front_end.h"
#include "core/state.h"
#include "link/port_binding.h"

namespace ql::testing {
namespace {

// The binding owns what the loader returns; the copier stays the fixture's.
class BorrowedPort final : public PortIo {
 public:
  BorrowedPort(PortIo& port, SimLink::StatusLines cable) : port_(port), cable_(std::move(cable)) {}
  void PortOut(std::uint16_t port, std::uint8_t value) override { port_.PortOut(port, value); }
  std::uint8_t PortIn(std::uint16_t port) override {
    const std::uint8_t value = port_.PortIn(port);
    return cable_ && (port & 3) == kStatusRegister ? cable_(value) : value;
  }
  void NotPortBit(std::uint16_t port, std::uint8_t bit) override { port_.NotPortBit(port, bit); }
  std::uint16_t IsDriverInstalled() override { return port_.IsDriverInstalled(); }

 private:
  PortIo& port_;
  SimLink::StatusLines cable_;
};

}  // namespace

SimLink::SimLink(const emu::Options& options) {
  ResetSharedState();
  ResetPortBinding();
  SetActiveClock(&clock_);
  SetFrontEnd(&window_);
  copier_ = std::make_unique<emu::Copier>(options, clock_);
  SetPortLibraryLoader([this](std::string&) { return std::make_unique<BorrowedPort>(*copier_, cable_); });
}

SimLink::~SimLink() {
  ResetPortBinding();
  SetPortLibraryLoader(nullptr);
  SetFrontEnd(nullptr);
  SetActiveClock(nullptr);
  ResetSharedState();
}

}  // namespace ql::testing
