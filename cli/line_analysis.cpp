#include "cli/line_analysis.h"

#include <fmt/format.h>

namespace ql::cli {
namespace {

using Kind = BitVerdict::Kind;

// Received nibble bit j arrives on status bit j + 3.
struct StatusLine {
  const char* name;
  int statusBit;
  int pin;
};
constexpr StatusLine kStatusLines[4] = {{"ERROR", 3, 15}, {"SELECT", 4, 13}, {"PAPER-OUT", 5, 12}, {"ACK", 6, 10}};

int DataPin(int bit) { return bit + 2; }

std::string StatusLineName(int j) {
  return fmt::format("status line {} (pin {}, status bit {})", kStatusLines[j].name, kStatusLines[j].pin,
                     kStatusLines[j].statusBit);
}

// Bits j and j + 4 spoilt the same way, as one status line would spoil them.
bool SameStatusFault(const BitVerdict& low, const BitVerdict& high) {
  if (low.kind == Kind::Sound || low.kind != high.kind) return false;
  if (low.kind == Kind::FollowsOtherBit) return low.source < 4 && high.source == low.source + 4;
  return true;
}

std::string Symptom(const BitVerdict& verdict) {
  switch (verdict.kind) {
    case Kind::StuckLow:
      return "looks stuck low (always 0)";
    case Kind::StuckHigh:
      return "looks stuck high (always 1)";
    case Kind::FollowsOtherBit:
      return "looks crossed";
    default:
      return "is unreliable (wrong now and then: noise or a loose contact)";
  }
}

}  // namespace

void LineEvidence::Add(const std::uint8_t* sent, const std::uint8_t* received, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned in = received[i];
    // Bit s of same is set where received bit r equals sent bit s, per r below.
    for (int r = 0; r < 8; ++r) {
      const unsigned bit = (in >> r) & 1u;
      ones_[r] += bit;
      const unsigned same = ~(sent[i] ^ (bit ? 0xFFu : 0x00u)) & 0xFFu;
      for (int s = 0; s < 8; ++s) agrees_[r][s] += (same >> s) & 1u;
    }
  }
  bytes_ += count;
}

std::array<BitVerdict, 8> LineEvidence::Verdicts() const {
  std::array<BitVerdict, 8> verdicts{};
  for (int r = 0; r < 8; ++r) {
    BitVerdict& v = verdicts[r];
    if (agrees_[r][r] == bytes_) continue;
    if (ones_[r] == 0) {
      v.kind = Kind::StuckLow;
    } else if (ones_[r] == bytes_) {
      v.kind = Kind::StuckHigh;
    } else {
      v.kind = Kind::Unreliable;
      for (int s = 0; s < 8; ++s) {
        if (s != r && agrees_[r][s] == bytes_) {
          v = {Kind::FollowsOtherBit, s};
          break;
        }
      }
    }
  }
  return verdicts;
}

std::vector<std::string> DescribeSuspectLines(const std::array<BitVerdict, 8>& verdicts) {
  std::vector<std::string> lines;
  std::array<bool, 8> told{};
  for (int j = 0; j < 4; ++j) {
    if (!SameStatusFault(verdicts[j], verdicts[j + 4])) continue;
    if (told[j]) continue;
    told[j] = told[j + 4] = true;
    if (verdicts[j].kind == Kind::FollowsOtherBit) {
      const int k = verdicts[j].source;
      // A swapped pair is one finding, not two.
      if (verdicts[k] == BitVerdict{Kind::FollowsOtherBit, j} && SameStatusFault(verdicts[k], verdicts[k + 4])) {
        told[k] = told[k + 4] = true;
      }
      lines.push_back(fmt::format("{} looks crossed with {}: received bits {} and {} follow sent bits {} and {}",
                                  StatusLineName(j), StatusLineName(verdicts[j].source), j, j + 4, verdicts[j].source,
                                  verdicts[j].source + 4));
    } else {
      lines.push_back(
          fmt::format("{} {}: received bits {} and {} both spoilt", StatusLineName(j), Symptom(verdicts[j]), j, j + 4));
    }
  }
  for (int r = 0; r < 8; ++r) {
    if (told[r] || verdicts[r].kind == Kind::Sound) continue;
    const std::string line = fmt::format("data line D{} (pin {}) or bit {} of the copier's memory", r, DataPin(r), r);
    told[r] = true;
    if (verdicts[r].kind == Kind::FollowsOtherBit) {
      const int s = verdicts[r].source;
      if (verdicts[s] == BitVerdict{Kind::FollowsOtherBit, r}) told[s] = true;
      lines.push_back(fmt::format("{} looks crossed with D{} (pin {}): received bit {} follows sent bit {}", line,
                                  verdicts[r].source, DataPin(verdicts[r].source), r, verdicts[r].source));
    } else {
      lines.push_back(fmt::format("{} {}", line, Symptom(verdicts[r])));
    }
  }
  return lines;
}

}  // namespace ql::cli
