#include "transfer/upload_verify.h"

#include <algorithm>

#include "core/state.h"
#include "transfer/transfer_feedback.h"

namespace ql {

UploadReadBack::UploadReadBack(const char* caption, const char* label, std::uint32_t totalKilobits)
    : caption_(caption), label_(std::string("Verify ") + label), total_(totalKilobits) {}

bool UploadReadBack::Begin(std::uint16_t length) {
  if (CancelRequested) return false;
  ShowTransferProgress(label_.c_str(), done_, total_);
  if (readBack_.size() < length) readBack_.resize(length);
  return true;
}

std::size_t UploadReadBack::FirstDifference(const std::uint8_t* sent, std::uint16_t length) const {
  return static_cast<std::size_t>(std::mismatch(sent, sent + length, readBack_.data()).first - sent);
}

bool UploadReadBack::Damaged(const std::string& what) const {
  ShowTransferError(DamagedBlockText(what) + "\nThe upload stopped; nothing was started.", caption_);
  return false;
}

bool UploadReadBack::Differs(const std::string& what, std::uint16_t address, std::uint8_t sent,
                             std::uint8_t read) const {
  ShowTransferError(DifferenceText(what, address, sent, read), caption_);
  return false;
}

std::string UploadReadBack::DifferenceText(const std::string& what, std::uint16_t address, std::uint8_t sent,
                                           std::uint8_t read) {
  return "The copier does not hold what was sent: the block at " + what + " differs at copier address " +
         HexText(address, 4) + " (sent " + HexText(sent, 2) + ", read back " + HexText(read, 2) +
         ").\nThe upload stopped; nothing was started. Check the cable and the copier, then upload again.";
}

}  // namespace ql
