// The Super NES header search and texts, and the cartridge report, on
// arbitrary candidate blocks and file sizes.
#include <cstdint>

#include "fuzz/fuzz_image.h"
#include "rom/cartridge_info.h"
#include "rom/snes_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ql::fuzz::FuzzInput input(data, size);
  const std::size_t imageSize = input.Take(3) % (0x101C0 + 64 + 2);
  const std::uint32_t dataSize = input.Take(4);
  const auto banks = static_cast<std::uint8_t>(input.Take(1));
  // A block that need not be valid, for the texts and the report.
  ql::SnesHeaderBlock block;
  input.Fill(block.data(), block.size());
  const auto image = input.Image(imageSize, {{0x7FC0, 64}, {0x81C0, 64}, {0xFFC0, 64}, {0x101C0, 64}});
  ql::MemoryImageReader reader(image);
  if (const auto match = ql::FindSnesHeader(reader)) {
    ql::DescribeSnesHeader(match->block, match->hiRom, dataSize);
  }
  ql::DescribeSnesHeader(block, (banks & 1) != 0, dataSize);
  ql::FormatCartridgeReport(block, banks, (banks & 0x80) != 0);
  return 0;
}
