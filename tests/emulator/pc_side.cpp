#include "tests/emulator/pc_side.h"

namespace ql::emu::testing {

std::uint8_t DataCheck(const std::vector<std::uint8_t>& data) {
  std::uint8_t check = 0x81;
  for (std::uint8_t b : data) check ^= b;
  return check;
}

bool PcSide::WaitFor(bool level) {
  for (std::uint64_t i = 0; i < pollLimit_; ++i) {
    ++statusReads_;
    if (((copier_.PortIn(base_ + 1) & 0x80) != 0) == level) return true;
  }
  return false;
}

bool PcSide::Send(std::uint8_t value) {
  if (!WaitFor(true)) return false;
  copier_.PortOut(base_, value);
  copier_.NotPortBit(base_ + 2, 0);
  copier_.PortIn(base_ + 1);
  return true;
}

std::optional<std::uint8_t> PcSide::Receive() {
  if (!WaitFor(false)) return std::nullopt;
  const std::uint8_t low = (copier_.PortIn(base_ + 1) >> 3) & 0x0F;
  copier_.NotPortBit(base_ + 2, 0);
  if (!WaitFor(false)) return std::nullopt;
  const std::uint8_t high = (copier_.PortIn(base_ + 1) << 1) & 0xF0;
  copier_.NotPortBit(base_ + 2, 0);
  return static_cast<std::uint8_t>(high | low);
}

bool PcSide::SendAll(const std::vector<std::uint8_t>& bytes) {
  for (std::uint8_t b : bytes)
    if (!Send(b)) return false;
  return true;
}

std::vector<std::uint8_t> PcSide::PacketBytes(std::uint8_t command, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3,
                                              std::uint8_t p4) {
  return {0xD5, 0xAA, 0x96, command, p1, p2, p3, p4, static_cast<std::uint8_t>(0x81 ^ command ^ p1 ^ p2 ^ p3 ^ p4)};
}

bool PcSide::Command(std::uint8_t command, std::uint16_t address, std::uint16_t length) {
  return SendAll(PacketBytes(command, address & 0xFF, address >> 8, length & 0xFF, length >> 8));
}

bool PcSide::Function(std::uint8_t p1, std::uint8_t p2, std::uint8_t p3, std::uint8_t p4) {
  return SendAll(PacketBytes(6, p1, p2, p3, p4));
}

bool PcSide::Write(std::uint16_t address, const std::vector<std::uint8_t>& data) {
  return Command(0, address, static_cast<std::uint16_t>(data.size())) && SendAll(data) && Send(DataCheck(data));
}

std::optional<std::vector<std::uint8_t>> PcSide::Read(std::uint16_t address, std::uint16_t length,
                                                      std::uint8_t* check) {
  if (!Command(1, address, length)) return std::nullopt;
  std::vector<std::uint8_t> data;
  data.reserve(length);
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto b = Receive();
    if (!b) return std::nullopt;
    data.push_back(*b);
  }
  const auto c = Receive();
  if (!c) return std::nullopt;
  if (check) *check = *c;
  return data;
}

int PcSide::ReadByte(std::uint16_t address) {
  std::uint8_t check = 0;
  const auto data = Read(address, 1, &check);
  if (!data) return -2;
  return check == ((*data)[0] ^ 0x81) ? (*data)[0] : -1;
}

}  // namespace ql::emu::testing
