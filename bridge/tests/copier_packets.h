// Copier packets as a PC sends them, built here from the copier's packet
// format so the tests do not lean on the link code they do not test.
#pragma once

#include <cstdint>

#include "bridge/tests/sim_session.h"

namespace ql::bridge::testing {

inline Bytes U16(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}
inline Bytes U32(std::uint32_t value) {
  Bytes bytes = U16(static_cast<std::uint16_t>(value));
  Append(bytes, U16(static_cast<std::uint16_t>(value >> 16)));
  return bytes;
}

// The copier's check byte: 0x81 with every byte from `from` on XORed in.
inline std::uint8_t CheckByte(const Bytes& bytes, std::size_t from = 0) {
  std::uint8_t check = 0x81;
  for (std::size_t i = from; i < bytes.size(); ++i) check ^= bytes[i];
  return check;
}

inline Bytes CommandPacket(std::uint8_t command, std::uint16_t address, std::uint16_t length = 0) {
  Bytes packet{0xD5, 0xAA, 0x96, command};
  Append(packet, U16(address));
  Append(packet, U16(length));
  packet.push_back(CheckByte(packet, 3));
  return packet;
}

// Write memory: the packet, the data, the data's check byte.
inline Bytes WritePacket(std::uint16_t address, const Bytes& data) {
  Bytes bytes = CommandPacket(0, address, static_cast<std::uint16_t>(data.size()));
  Append(bytes, data);
  bytes.push_back(CheckByte(data));
  return bytes;
}

}  // namespace ql::bridge::testing
