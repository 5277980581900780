// The read-back of each upload step (VerifyUploads): the same pages, set-up
// and windows the step wrote through, compared with what it sent. Each is
// called after its step's writes, inside the step's time-out handler, and
// returns false when cancelled or after its message.
#pragma once

#include <cstdint>

#include "transfer/real_time_area.h"

namespace ql {

// header: the 512 bytes sent to 0x0400; data: blocks whole 8 KB blocks.
bool ReadBackRomSwc(const std::uint8_t* header, const std::uint8_t* data, std::uint32_t blocks);
// header: the 512 bytes sent to 0xDC00; data: blocks whole 16 KB blocks.
bool ReadBackRomSmd(const std::uint8_t* header, const std::uint8_t* data, std::uint32_t blocks);
// SWC: the pages 0x100 + i that were written, pages of 8 KB from data.
bool ReadBackSramSwc(const std::uint8_t* data, std::uint32_t pages);
// SMD: the two 16 KB halves at 0x4000 and 0x8000 as they were written.
bool ReadBackSramSmd(const std::uint8_t* firstHalf, const std::uint8_t* secondHalf);
// The 32 pages of the real-time save area.
bool ReadBackRealTimeArea(const RealTimeAreaPlace& place, const std::uint8_t* area);

}  // namespace ql
