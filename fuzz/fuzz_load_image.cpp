// File classification on arbitrary bytes, names and sizes, for both devices,
// then the header texts of whatever was recognised as a ROM.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_image.h"
#include "rom/genesis_header.h"
#include "rom/image_classifier.h"
#include "rom/snes_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ql::fuzz::FuzzInput input(data, size);
  static const char* const kNames[] = {"a.ips", "a.srm", "a.bbd", "a.smc", "a.bin", "a.IPS", "noext", "d.ips\\x"};
  const std::string name = kNames[input.Take(1) % 8];
  // Up to just past the larger size bound, so both sides of it are reached.
  const std::uint32_t imageSize = input.Take(3) % (ql::kMaxSwcImageSize + 2);
  // Read windows: the probe, the Genesis header and halves, the Super NES candidates.
  ql::fuzz::SparseImageReader reader(
      input, imageSize,
      {{0, 16}, {0x100, 256}, {0x280, 128}, {0x2280, 128}, {0x7FC0, 64}, {0x81C0, 64}, {0xFFC0, 64}, {0x101C0, 64}});
  for (std::uint8_t device : {ql::kDeviceSwc, ql::kDeviceSmd}) {
    const ql::ImageClassification result = ql::ClassifyImage(reader, name, device);
    if (result.kind != ql::FileKind::Rom) continue;
    if (device == ql::kDeviceSwc) {
      ql::SnesHeaderBlock block;
      std::copy_n(result.header.begin(), block.size(), block.begin());
      ql::DescribeSnesHeader(block, result.hiRom, result.dataSize);
    } else {
      ql::DescribeGenesisHeader(result.header, result.dataSize);
    }
  }
  return 0;
}
