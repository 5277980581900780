// IPS patching in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ql {

// Applies the patch in PatchPath to the first dataSize bytes of buffer (ROM
// data without copier header, plain order). Nothing at or after dataSize is
// written. A patch that cannot be read leaves the buffer unchanged.
void ApplyIpsPatch(std::uint8_t* buffer, std::uint32_t dataSize);

// The record walk on patch bytes already in memory: `records` are the bytes
// between "PATCH" and the three-byte end marker.
void ApplyIpsRecords(const std::uint8_t* records, std::size_t recordsSize, std::uint8_t* buffer,
                     std::uint32_t dataSize);

// Memory for the patch's records; returns nullptr when there is none.
using PatchBufferAllocator = std::function<std::unique_ptr<std::uint8_t[]>(std::size_t size)>;

// ApplyIpsPatch on a given patch file, with a chosen allocator. The file's
// size is taken now, whatever it was when the patch was loaded.
void ApplyIpsPatchFile(const std::string& patchPath, std::uint8_t* buffer, std::uint32_t dataSize,
                       const PatchBufferAllocator& allocate);

}  // namespace ql
