// Bit errors on purpose, repeatable from a seed: a noisy cable (noise=) or a
// dirty cartridge contact (cartnoise=) flips one random bit in a byte now
// and then.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace ql::emu {

class BitNoise {
 public:
  static constexpr std::uint32_t kPerMillion = 1'000'000;

  BitNoise(std::uint32_t ppm, std::uint64_t seed) : ppm_(ppm), state_(seed) {}

  bool active() const { return ppm_ != 0; }

  // Flips one random bit in each byte, with a chance of `ppm` in a million per byte.
  void Apply(std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t draw = Next();
      if (draw % kPerMillion < ppm_) bytes[i] ^= static_cast<std::uint8_t>(1u << ((draw >> 32) & 7));
    }
  }

 private:
  // splitmix64: small, fast, and every seed (0 too) gives a full-period stream.
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  std::uint32_t ppm_;
  std::uint64_t state_;
};

// Without seed=, each copier gets its own errors, as a real cable would.
inline std::uint64_t SeedFromClock() {
  return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace ql::emu
