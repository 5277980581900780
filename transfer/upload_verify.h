// Reading back what an upload step wrote (VerifyUploads): the step's pages
// and its header are read through the same windows they were written to and
// compared with what was sent. The first difference, or a block that never
// arrives intact, stops the step with a message under its caption, so the
// job stops before the image is started.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/block_reads.h"

namespace ql {

class UploadReadBack {
 public:
  // caption: the step's; label: its progress label ("ROM"), shown as
  // "Verify ROM <done>/<total>" with totalKilobits.
  UploadReadBack(const char* caption, const char* label, std::uint32_t totalKilobits);

  // Cancel test and progress, then select() and a read of length bytes at
  // address, compared with sent. False when cancelled, or after the message
  // naming the block (what() gives "bank 0x03, quarter 0 (ROM block 12)") and the first
  // differing address. An upload header is not counted in the progress
  // (counted false). Lets LinkTimeout through.
  template <typename Select, typename What>
  bool Check(Select&& select, std::uint16_t address, const std::uint8_t* sent, std::uint16_t length, What&& what,
             bool counted = true) {
    if (!Begin(length)) return false;
    if (ReadBlockWithRepeats(select, address, readBack_.data(), length) == 0) return Damaged(what());
    const std::size_t at = FirstDifference(sent, length);
    if (at < length) return Differs(what(), static_cast<std::uint16_t>(address + at), sent[at], readBack_[at]);
    if (counted) done_ += length / 128u;
    return true;
  }

  // The read-back text of the first difference.
  static std::string DifferenceText(const std::string& what, std::uint16_t address, std::uint8_t sent,
                                    std::uint8_t read);

 private:
  bool Begin(std::uint16_t length);
  std::size_t FirstDifference(const std::uint8_t* sent, std::uint16_t length) const;
  bool Damaged(const std::string& what) const;
  bool Differs(const std::string& what, std::uint16_t address, std::uint8_t sent, std::uint8_t read) const;

  const char* caption_;
  std::string label_;
  std::uint32_t total_;
  std::uint32_t done_ = 0;
  std::vector<std::uint8_t> readBack_;
};

}  // namespace ql
