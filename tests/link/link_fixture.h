// Shared by the link tests: the emulated copier of a SimLink behind a port
// library that logs every operation on its way.
#pragma once

#include <gmock/gmock.h>

#include <cstdio>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/state.h"
#include "link/port_binding.h"
#include "tests/support/sim_link.h"

namespace ql::testing {

using Bytes = std::vector<std::uint8_t>;

// Cartridge-like bytes: no two runs of a few samples alike by accident.
inline Bytes Noise(std::size_t size) {
  std::mt19937 random(12345);
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

inline emu::Options With(emu::Fault fault, std::uint64_t stallAfter = 0, std::uint32_t slowMs = 0,
                         emu::Device device = emu::Device::Swc) {
  emu::Options options;
  options.fault = fault, options.stallAfterBytes = stallAfter, options.slowMs = slowMs, options.device = device;
  return options;
}

// The texts of the messages shown, each of which must be a stop message with `caption`.
inline std::vector<std::string> StopMessages(SimLink& sim, const std::string& caption) {
  std::vector<std::string> texts;
  for (const auto& message : sim.window().Messages()) {
    EXPECT_EQ(message.caption, caption) << message.text;
    EXPECT_EQ(message.icon, MessageIcon::Stop) << message.text;
    texts.push_back(message.text);
  }
  return texts;
}

// The loader hands the binding a Tap on the copier. Values queued in `reads`
// are served as the next status reads instead of the copier's. Loading fails
// while `failure` is set, with it as the reason; `driver` 0 reports the
// driver absent.
class Wire {
 public:
  // kind: 'O' out, 'I' in, 'N' bit inversion; value: written, read, or the bit number; at: clock ticks.
  struct Op {
    char kind;
    std::uint16_t port;
    std::uint8_t value;
    std::uint64_t at;
  };
  struct Tap final : PortIo {
    explicit Tap(Wire& wire) : wire(wire) {}
    void PortOut(std::uint16_t port, std::uint8_t value) override {
      wire.Log('O', port, value);
      wire.sim.copier().PortOut(port, value);
    }
    std::uint8_t PortIn(std::uint16_t port) override {
      std::uint8_t value = wire.sim.copier().PortIn(port);
      if ((port & 3) == 1 && !wire.reads.empty()) value = wire.reads.front(), wire.reads.pop_front();
      return wire.Log('I', port, value);
    }
    void NotPortBit(std::uint16_t port, std::uint8_t bit) override {
      wire.Log('N', port, bit);
      wire.sim.copier().NotPortBit(port, bit);
    }
    std::uint16_t IsDriverInstalled() override { return wire.driver; }
    Wire& wire;
  };

  explicit Wire(const emu::Options& options = {}) : sim(options) {
    SetPortLibraryLoader([this](std::string& reason) -> std::unique_ptr<PortIo> {
      ++loads;
      reason = failure.value_or("");
      return failure ? nullptr : std::make_unique<Tap>(*this);
    });
  }
  // Binds to the selected port and forgets the traffic so far.
  void Bind() {
    ASSERT_TRUE(EnsureLinkReady());
    ops.clear();
  }
  std::uint8_t Log(char kind, std::uint16_t port, std::uint8_t value) {
    ops.push_back({kind, port, value, sim.clock().Peek()});
    return value;
  }
  // The bytes written to the data register.
  Bytes Written() const {
    Bytes bytes;
    for (const Op& op : ops)
      if (op.kind == 'O' && (op.port & 3) == 0) bytes.push_back(op.value);
    return bytes;
  }
  // Operations from `first` on, as "I379 O378=5A N37A.0": kind, port, then the value written or the bit.
  std::string Shape(std::size_t first = 0) const {
    std::string text;
    char item[16];
    for (std::size_t i = first; i < ops.size(); ++i) {
      const char* format = ops[i].kind == 'O' ? " O%X=%02X" : ops[i].kind == 'N' ? " N%X.%d" : " I%X";
      std::snprintf(item, sizeof item, format, ops[i].port, ops[i].value);
      text += item;
    }
    return text.empty() ? text : text.substr(1);
  }

  SimLink sim;
  std::vector<Op> ops;
  std::deque<std::uint8_t> reads;
  std::uint16_t driver = 1;
  std::optional<std::string> failure;
  int loads = 0;
};

}  // namespace ql::testing
