#include "bridge/protocol/quillon_bridge.h"
#include "link/ports/bridge_frames.h"

namespace ql::bridge {

std::uint16_t FrameCrc(std::uint8_t type, std::span<const std::uint8_t> payload) {
  std::uint16_t crc = QLBR_CRC_INIT;
  crc = qlbr_crc_update(crc, type);
  crc = qlbr_crc_update(crc, static_cast<std::uint8_t>(payload.size()));
  for (std::uint8_t byte : payload) crc = qlbr_crc_update(crc, byte);
  return crc;
}

void AppendFrame(std::vector<std::uint8_t>& out, std::uint8_t type, std::span<const std::uint8_t> payload) {
  const std::uint16_t crc = FrameCrc(type, payload);
  out.push_back(QLBR_FRAME_START);
  out.push_back(type);
  out.push_back(static_cast<std::uint8_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
}

std::uint32_t Frame::Field(std::size_t offset, std::size_t width) const {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    const std::size_t at = offset + i;
    value = (value << 8) | (at < length ? payload[at] : 0u);
  }
  return value;
}

FrameDecoder::Result FrameDecoder::Push(std::uint8_t byte) {
  switch (stage_) {
    case Stage::Start:
      if (byte == QLBR_FRAME_START) {
        stage_ = Stage::Type;
        crc_ = QLBR_CRC_INIT;
      } else {
        ++skipped_;
      }
      return Result::Pending;
    case Stage::Type:
      frame_.type = byte;
      crc_ = qlbr_crc_update(crc_, byte);
      stage_ = Stage::Length;
      return Result::Pending;
    case Stage::Length:
      frame_.length = byte;
      filled_ = 0;
      crc_ = qlbr_crc_update(crc_, byte);
      stage_ = byte == 0 ? Stage::CrcLow : Stage::Payload;
      return Result::Pending;
    case Stage::Payload:
      frame_.payload[filled_++] = byte;
      crc_ = qlbr_crc_update(crc_, byte);
      if (filled_ == frame_.length) stage_ = Stage::CrcLow;
      return Result::Pending;
    case Stage::CrcLow:
      received_ = byte;
      stage_ = Stage::CrcHigh;
      return Result::Pending;
    case Stage::CrcHigh:
      received_ = static_cast<std::uint16_t>(received_ | (byte << 8));
      stage_ = Stage::Start;
      return received_ == crc_ ? Result::Complete : Result::BadCrc;
  }
  return Result::Pending;
}

}  // namespace ql::bridge
