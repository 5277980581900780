#include "emulator/packet_decoder.h"

namespace ql::emu {
namespace {

constexpr std::uint8_t kSync[3] = {0xD5, 0xAA, 0x96};

}  // namespace

void PacketDecoder::Hunt(std::uint8_t byte) {
  if (byte == kSync[syncSeen_]) {
    if (++syncSeen_ == 3) {
      state_ = State::Header;
      headerSeen_ = 0;
      syncSeen_ = 0;
    }
    return;
  }
  syncSeen_ = byte == kSync[0] ? 1 : 0;
}

PacketDecoder::Result PacketDecoder::FeedSlow(std::uint8_t byte) {
  switch (state_) {
    case State::Hunt:
      Hunt(byte);
      return Result::Pending;
    case State::Header:
      header_[headerSeen_] = byte;
      if (++headerSeen_ < static_cast<int>(header_.size())) return Result::Pending;
      return EndHeader();
    case State::DataCheck:
      state_ = State::Hunt;
      if (byte != check_) {
        ++rejected_;
        return Result::Rejected;
      }
      return Result::WriteData;
    case State::Data:
      break;  // handled inline by Feed
  }
  return Result::Pending;
}

PacketDecoder::Result PacketDecoder::EndHeader() {
  std::uint8_t check = kCheckSeed;
  for (int i = 0; i < 5; ++i) check ^= header_[i];
  state_ = State::Hunt;
  if (check != header_[5]) {
    ++rejected_;
    // The PC may have given up inside a packet and started a new one: look
    // for its sync bytes among what was taken for this one. Six bytes can
    // never complete a packet, so this cannot recurse.
    const auto taken = header_;
    for (std::uint8_t b : taken) {
      if (state_ == State::Hunt)
        Hunt(b);
      else
        header_[headerSeen_++] = b;
    }
    return Result::Rejected;
  }
  packet_.command = header_[0];
  for (int i = 0; i < 4; ++i) packet_.parameters[i] = header_[i + 1];
  if (packet_.command != kCommandWrite) return Result::Packet;
  received_ = 0;
  check_ = kCheckSeed;
  state_ = packet_.Length() == 0 ? State::DataCheck : State::Data;
  return Result::Pending;
}

}  // namespace ql::emu
