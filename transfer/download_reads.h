// How the downloads read their blocks. Every block goes through
// ReadBlockWithRepeats, so a damaged block is never written to a file. With
// VerifyDownloads a block is read until two intact reads in a row agree:
// the check byte is computed by the copier over what it read, so a dirty
// cartridge contact passes it, and only a second read shows the difference.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "link/block_reads.h"

namespace ql {

// Intact reads of one block that may be compared before a verifying
// download gives up on it.
constexpr int kVerifyReads = 8;

class DownloadReads {
 public:
  // caption: the operation's, for its messages.
  explicit DownloadReads(const char* caption);

  // Reads one block into buffer; select() chooses its page. False after a
  // stop message naming the block (where() gives "bank 0x03, quarter 2").
  // Lets LinkTimeout through.
  template <typename Select, typename Where>
  bool Read(Select&& select, std::uint16_t address, std::uint8_t* buffer, std::uint16_t length, Where&& where) {
    int reads = ReadBlockWithRepeats(select, address, buffer, length);
    if (reads == 0) return Fail(DamagedBlockText(where()));
    if (!verify_) return true;
    scratch_.resize(length);
    for (int intact = 2; intact <= kVerifyReads; ++intact) {
      if (intact > 2) NoteRepeatedRead("reads disagree", intact, kVerifyReads);
      const int more = ReadBlockWithRepeats(select, address, scratch_.data(), length);
      if (more == 0) return Fail(DamagedBlockText(where()));
      reads += more;
      if (std::memcmp(scratch_.data(), buffer, length) == 0) {
        Agreed(reads);
        return true;
      }
      std::memcpy(buffer, scratch_.data(), length);  // the next read is compared with the latest
    }
    return Fail(DisagreeingBlockText(where()));
  }

  bool Verifying() const { return verify_; }
  // Verifying only: the information message that says how many blocks
  // needed more than the two reads that agreed.
  void ShowSummary() const;

 private:
  bool Fail(const std::string& text) const;
  void Agreed(int reads);
  static std::string DisagreeingBlockText(const std::string& where);

  const char* caption_;
  bool verify_;
  std::uint32_t blocks_ = 0;
  std::uint32_t blocksReadMore_ = 0;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace ql
