// The units the whole program counts in: copier blocks and pages, SRAM,
// kilobits (progress texts) and megabits (header texts).
#pragma once

#include <cstdint>

namespace ql {

// An SWC block or page: what one window of the SWC shows, 8 KB.
inline constexpr std::uint32_t kSwcBlockSize = 8192;
// An SWC bank is four pages (32 KB); a page number is bank * 4 + quarter.
inline constexpr std::uint32_t kSwcPagesPerBank = 4;
// An SMD block or page: 16 KB.
inline constexpr std::uint32_t kSmdBlockSize = 16384;
// Battery SRAM of either copier, and the size of every SRAM download.
inline constexpr std::uint32_t kSramSize = 32768;
// Progress texts count kilobits.
inline constexpr std::uint32_t kKilobitBytes = 128;
// "Mb" in texts.
inline constexpr std::uint32_t kMbitBytes = 131072;

}  // namespace ql
