// The IPS record walk on arbitrary patch bytes and ROM sizes. The ROM buffer
// is exactly dataSize long so that any write past it is caught.
#include <cstdint>
#include <cstring>
#include <memory>

#include "rom/ips_patch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // Sizes up to 128 KB: offsets are 24-bit, so larger ROMs add no new paths.
  const std::uint32_t dataSize = ((std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2]) % 0x20001;
  const std::size_t recordsSize = size - 3;
  // Own copies, exactly sized, so reads past either end are caught too.
  std::unique_ptr<std::uint8_t[]> records(new std::uint8_t[recordsSize]);
  std::memcpy(records.get(), data + 3, recordsSize);
  std::unique_ptr<std::uint8_t[]> rom(new std::uint8_t[dataSize]);
  std::memset(rom.get(), 0, dataSize);
  ql::ApplyIpsRecords(records.get(), recordsSize, rom.get(), dataSize);
  return 0;
}
