// A tiny PC side of the wire, the test's own: it moves bytes under the
// copier's handshake and sends packets, so the emulator is checked without
// the link layer. Waits are bounded by a poll count, not by time.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/copier.h"

namespace ql::emu::testing {

class PcSide {
 public:
  explicit PcSide(Copier& copier, std::uint16_t base = 0x378, std::uint64_t pollLimit = 200000)
      : copier_(copier), base_(base), pollLimit_(pollLimit) {}

  // False when the copier never became ready.
  bool Send(std::uint8_t value);
  std::optional<std::uint8_t> Receive();
  bool SendAll(const std::vector<std::uint8_t>& bytes);

  // The 9-byte packet, with its computed check byte unless one is given.
  static std::vector<std::uint8_t> PacketBytes(std::uint8_t command, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3,
                                               std::uint8_t p4);
  bool Command(std::uint8_t command, std::uint16_t address, std::uint16_t length);
  bool Function(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4);
  bool SelectPage(std::uint16_t page) { return Command(5, page, 0); }
  bool SelectBankPage(std::uint8_t bank, std::uint8_t quarter) {
    return SelectPage(static_cast<std::uint16_t>(bank << 2 | quarter));
  }
  bool Write(std::uint16_t address, const std::vector<std::uint8_t>& data);
  bool WriteByte(std::uint16_t address, std::uint8_t value) { return Write(address, {value}); }
  // The data and, in `check`, the check byte the copier sent; nullopt on a time-out.
  std::optional<std::vector<std::uint8_t>> Read(std::uint16_t address, std::uint16_t length,
                                                std::uint8_t* check = nullptr);
  // The byte, -1 on a bad check byte, -2 on a time-out.
  int ReadByte(std::uint16_t address);

  std::uint64_t StatusReads() const { return statusReads_; }

 private:
  bool WaitFor(bool level);

  Copier& copier_;
  std::uint16_t base_;
  std::uint64_t pollLimit_;
  std::uint64_t statusReads_ = 0;
};

std::uint8_t DataCheck(const std::vector<std::uint8_t>& data);

}  // namespace ql::emu::testing
