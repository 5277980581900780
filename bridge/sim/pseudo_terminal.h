// The PC's end of the simulated serial line: a new pseudo-terminal in raw
// mode. The PC opens the slave path like any serial device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ql::bridge {

class PseudoTerminal {
 public:
  // Throws std::system_error on failure.
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& Path() const { return path_; }
  int Descriptor() const { return master_; }
  // What the PC has written, up to `capacity` bytes; 0 when nothing is there.
  std::size_t Read(std::uint8_t* bytes, std::size_t capacity);
  // Bytes the PC can read now; returns how many were taken (the rest must wait).
  std::size_t Write(const std::uint8_t* bytes, std::size_t count);

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the line keeps its settings between PC sessions
  std::string path_;
};

}  // namespace ql::bridge
