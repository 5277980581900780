// The Genesis signature search in both layouts and the header texts.
#include <cstdint>

#include "fuzz/fuzz_image.h"
#include "rom/genesis_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ql::fuzz::FuzzInput input(data, size);
  const std::size_t imageSize = input.Take(2) % (0x2300 + 2);
  const std::uint32_t dataSize = input.Take(4);
  const auto image = input.Image(imageSize, {{0x100, 256}, {0x280, 128}, {0x2280, 128}});
  ql::MemoryImageReader reader(image);
  if (const auto match = ql::FindGenesisHeader(reader)) {
    ql::DescribeGenesisHeader(match->header, dataSize);
  }
  // Texts of any 256 bytes, found or not.
  ql::GenesisHeaderBlock header{};
  if (image.size() >= 0x200) std::copy_n(image.begin() + 0x100, header.size(), header.begin());
  ql::DescribeGenesisHeader(header, dataSize);
  return 0;
}
