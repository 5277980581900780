// What written-and-read-back bytes say about the lines between the PC and
// the copier. A byte goes out on the eight data lines D0-D7 and comes back
// as two nibbles on four status lines (ERROR, SELECT, PAPER-OUT, ACK), so a
// status line carries received bits j and j + 4 together, while a data
// line (or a bit of the copier's memory) spoils one bit alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ql::cli {

// How one received bit behaved over all bytes compared.
struct BitVerdict {
  enum class Kind { Sound, StuckLow, StuckHigh, FollowsOtherBit, Unreliable };
  Kind kind = Kind::Sound;
  int source = -1;  // FollowsOtherBit: the sent bit it always equals
  bool operator==(const BitVerdict&) const = default;
};

class LineEvidence {
 public:
  void Add(const std::uint8_t* sent, const std::uint8_t* received, std::size_t count);
  std::uint64_t Bytes() const { return bytes_; }
  // Received bit r: Sound when it always equalled sent bit r; otherwise
  // stuck, following another sent bit, or merely wrong now and then.
  std::array<BitVerdict, 8> Verdicts() const;

 private:
  std::uint64_t bytes_ = 0;
  std::array<std::uint64_t, 8> ones_{};                   // received bit r was 1
  std::array<std::array<std::uint64_t, 8>, 8> agrees_{};  // received bit r equalled sent bit s
};

// One sentence per suspect line, status lines (both nibbles spoilt alike)
// first, then single bits; empty when every bit is sound.
std::vector<std::string> DescribeSuspectLines(const std::array<BitVerdict, 8>& verdicts);

}  // namespace ql::cli
