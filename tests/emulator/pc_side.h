// The test's own PC side of the wire: it moves bytes under the copier's
// handshake and sends packets, so the emulator is checked without the link
// layer. Waits are bounded by a poll count, not by time.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "emulator/copier.h"

namespace ql::emu::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 16);
  return bytes;
}

inline Bytes Slice(const Bytes& bytes, std::size_t start, std::size_t length) {
  return Bytes(bytes.begin() + start, bytes.begin() + start + length);
}

inline std::uint8_t Check(const Bytes& data) {
  return std::accumulate(data.begin(), data.end(), std::uint8_t(0x81), std::bit_xor<std::uint8_t>());
}

// The 9-byte packet with its check byte.
inline Bytes Packet(std::uint8_t command, std::uint16_t address, std::uint16_t length) {
  const std::uint8_t a0 = address & 0xFF, a1 = address >> 8, n0 = length & 0xFF, n1 = length >> 8;
  return {0xD5, 0xAA, 0x96, command, a0, a1, n0, n1, std::uint8_t(0x81 ^ command ^ a0 ^ a1 ^ n0 ^ n1)};
}

struct PcSide {
  Copier& copier;
  std::uint16_t base = 0x378;
  std::uint64_t polls = 1'000'000;

  bool WaitFor(bool ready) {
    for (std::uint64_t i = 0; i < polls; ++i)
      if (((copier.PortIn(base + 1) & 0x80) != 0) == ready) return true;
    return false;
  }
  bool Send(const Bytes& bytes) {
    for (std::uint8_t b : bytes) {
      if (!WaitFor(true)) return false;
      copier.PortOut(base, b);
      copier.NotPortBit(base + 2, 0);
    }
    return true;
  }
  std::optional<std::uint8_t> Receive() {
    std::uint8_t nibbles[2] = {};
    for (auto& nibble : nibbles) {
      if (!WaitFor(false)) return std::nullopt;
      nibble = (copier.PortIn(base + 1) >> 3) & 0x0F;
      copier.NotPortBit(base + 2, 0);
    }
    return static_cast<std::uint8_t>(nibbles[1] << 4 | nibbles[0]);
  }
  bool Command(std::uint8_t command, std::uint16_t address, std::uint16_t length = 0) {
    return Send(Packet(command, address, length));
  }
  bool Page(std::uint16_t page) { return Command(5, page); }  // bank << 2 | quarter on an SWC
  bool Write(std::uint16_t address, const Bytes& data) {
    return Command(0, address, std::uint16_t(data.size())) && Send(data) && Send({Check(data)});
  }
  // The data, and in `check` the check byte sent after it; nullopt on a time-out.
  std::optional<Bytes> Read(std::uint16_t address, std::uint16_t length, std::uint8_t* check = nullptr) {
    if (!Command(1, address, length)) return std::nullopt;
    Bytes data;
    for (std::uint32_t i = 0; i <= length; ++i) {
      const auto b = Receive();
      if (!b) return std::nullopt;
      data.push_back(*b);
    }
    if (check) *check = data.back();
    data.pop_back();
    return data;
  }
  int ReadByte(std::uint16_t address) {  // -1 on a time-out or a bad check byte
    std::uint8_t check = 0;
    const auto data = Read(address, 1, &check);
    return data && check == Check(*data) ? (*data)[0] : -1;
  }
};

inline Options Make(Device device, Fault fault = Fault::None, std::uint32_t number = 0, std::string stateDir = {}) {
  Options options;
  options.device = device;
  options.fault = fault;
  options.stallAfterBytes = options.slowMs = number;
  options.stateDir = std::move(stateDir);
  return options;
}

// A copier on a virtual clock with a PC side.
struct Rig {
  explicit Rig(const Options& options = {}) : copier(options, clock), pc{copier} {}
  VirtualClock clock;
  Copier copier;
  PcSide pc;
};

}  // namespace ql::emu::testing
