// IPS patching in memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ql {

// Applies the patch in PatchPath to the first dataSize bytes of buffer (ROM
// data without copier header, plain order). Nothing at or after dataSize is
// written. A patch that cannot be read leaves the buffer unchanged.
void ApplyIpsPatch(std::uint8_t* buffer, std::uint32_t dataSize);

// The record walk on patch bytes already in memory: `records` are the bytes
// between "PATCH" and the three-byte end marker.
void ApplyIpsRecords(const std::uint8_t* records, std::size_t recordsSize, std::uint8_t* buffer,
                     std::uint32_t dataSize);

}  // namespace ql
