// The copier's receiving side of the packet protocol: it hunts for the sync
// bytes D5 AA 96, takes command, four parameters and the check byte, and for
// a write collects the data and its check byte. A packet or a write whose
// check byte is wrong is dropped, as the copier drops it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ql::emu {

struct Packet {
  std::uint8_t command = 0;
  std::array<std::uint8_t, 4> parameters{};
  std::uint16_t Address() const { return static_cast<std::uint16_t>(parameters[0] | parameters[1] << 8); }
  std::uint16_t Length() const { return static_cast<std::uint16_t>(parameters[2] | parameters[3] << 8); }
};

constexpr std::uint8_t kCommandWrite = 0;
constexpr std::uint8_t kCommandRead = 1;
constexpr std::uint8_t kCommandSelectPage = 5;
constexpr std::uint8_t kCommandFunction = 6;
constexpr std::uint8_t kCheckSeed = 0x81;

class PacketDecoder {
 public:
  enum class Result : std::uint8_t {
    Pending,    // more bytes needed
    Packet,     // a checked packet other than a write: see packet()
    WriteData,  // a write whose data check matched: packet() and data()
    Rejected,   // a packet or write data with a bad check byte, dropped
  };

  PacketDecoder() : data_(0x10000) {}

  Result Feed(std::uint8_t byte) {
    if (state_ == State::Data) {
      data_[received_] = byte;
      check_ ^= byte;
      if (++received_ == packet_.Length()) state_ = State::DataCheck;
      return Result::Pending;
    }
    return FeedSlow(byte);
  }

  const Packet& packet() const { return packet_; }
  const std::uint8_t* data() const { return data_.data(); }
  // Dropped packets and writes since construction.
  std::uint64_t RejectedCount() const { return rejected_; }

 private:
  enum class State : std::uint8_t { Hunt, Header, Data, DataCheck };

  Result FeedSlow(std::uint8_t byte);
  void Hunt(std::uint8_t byte);
  Result EndHeader();

  State state_ = State::Hunt;
  int syncSeen_ = 0;
  std::array<std::uint8_t, 6> header_{};  // command, parameters, check
  int headerSeen_ = 0;
  Packet packet_;
  std::vector<std::uint8_t> data_;
  std::uint32_t received_ = 0;
  std::uint8_t check_ = 0;
  std::uint64_t rejected_ = 0;
};

}  // namespace ql::emu
