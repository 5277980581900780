// A serial line as the USB bridge needs it: raw bytes both ways, reads that
// wait a bounded time, and a baud rate that can change. The bridge's tests
// put an in-process fake board behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace ql {

class SerialLine {
 public:
  virtual ~SerialLine() = default;
  // All bytes, or false when the line is gone (the board was unplugged).
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
  // Waits up to timeoutMs for at least one byte: the count read, 0 when
  // nothing came, -1 when the line is gone.
  virtual long Read(std::span<std::uint8_t> buffer, int timeoutMs) = 0;
  virtual bool SetBaud(std::uint32_t baud) = 0;
  // Drops whatever arrived and was not read yet.
  virtual void DiscardInput() = 0;
  virtual const std::string& Name() const = 0;
};

// Opens a serial device raw (8N1, no flow control) at a baud rate. nullptr
// and a message that says what to do when it cannot be opened.
std::unique_ptr<SerialLine> OpenSerialLine(const std::string& path, std::uint32_t baud, std::string& error);

}  // namespace ql
