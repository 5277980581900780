#include "transfer/download_reads.h"

#include "core/front_end.h"
#include "transfer/transfer_feedback.h"
#include "transfer/verification.h"

namespace ql {

DownloadReads::DownloadReads(const char* caption) : caption_(caption), verify_(VerifyDownloads) {}

bool DownloadReads::Fail(const std::string& text) const {
  ShowTransferError(text, caption_);
  return false;
}

void DownloadReads::Agreed(int reads) {
  ++blocks_;
  if (reads > 2) ++blocksReadMore_;
}

std::string DownloadReads::DisagreeingBlockText(const std::string& where) {
  return "the block at " + where + " read differently " + std::to_string(kVerifyReads) +
         " times in a row. Clean the cartridge contacts, reseat the cartridge and try again.";
}

void DownloadReads::ShowSummary() const {
  const std::string blocks = std::to_string(blocks_) + (blocks_ == 1 ? " block" : " blocks");
  UI().ShowMessage("Verified: " + blocks + " read until two reads in a row agreed; " + std::to_string(blocksReadMore_) +
                       " of them needed more than two reads.",
                   caption_, MessageIcon::Information);
}

}  // namespace ql
