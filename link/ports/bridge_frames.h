// Frames of the USB bridge's serial protocol: 0x7E, type, length, payload,
// CRC (low byte first) over type, length and payload.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace ql::bridge {

std::uint16_t FrameCrc(std::uint8_t type, std::span<const std::uint8_t> payload);

// Appends one frame; the payload holds at most 255 bytes.
void AppendFrame(std::vector<std::uint8_t>& out, std::uint8_t type, std::span<const std::uint8_t> payload);

struct Frame {
  std::uint8_t type = 0;
  std::uint8_t length = 0;
  std::array<std::uint8_t, 255> payload{};

  std::span<const std::uint8_t> Payload() const { return {payload.data(), length}; }
  // Little-endian field at a payload offset; 0 past the end.
  std::uint32_t Field(std::size_t offset, std::size_t width) const;
};

// Turns a byte stream into frames. Bytes outside a frame (a bootloader's
// noise, the rest of a frame whose start was lost) are skipped.
class FrameDecoder {
 public:
  enum class Result { Pending, Complete, BadCrc };
  // Complete: Last() holds the frame just ended. BadCrc: one was dropped.
  // A frame may come in any number of pieces.
  Result Push(std::uint8_t byte);
  const Frame& Last() const { return frame_; }
  std::uint64_t SkippedBytes() const { return skipped_; }

 private:
  enum class Stage { Start, Type, Length, Payload, CrcLow, CrcHigh };
  Stage stage_ = Stage::Start;
  Frame frame_;
  std::uint16_t crc_ = 0;
  std::uint16_t received_ = 0;
  std::uint8_t filled_ = 0;
  std::uint64_t skipped_ = 0;
};

}  // namespace ql::bridge
