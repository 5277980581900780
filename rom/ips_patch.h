// IPS patching in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace ql {

// What became of a patch. The upload shows none of these (a patch is walked
// as far as it goes); the patch command refuses all but Applied.
enum class IpsResult {
  Applied,        // every record up to the end marker
  NoPatchMagic,   // the file does not begin with "PATCH"
  NoEndMarker,    // "EOF" is neither the last three bytes nor followed by a three-byte size
  RecordPastEnd,  // a record's data reaches past the end marker
  RunPastEnd,     // a run record's length and fill byte reach past the end marker
  StrayBytes,     // one to four bytes before the end marker that make no record header
};

// Applies the patch in PatchPath to the first dataSize bytes of buffer (ROM
// data without copier header, plain order). Nothing at or after dataSize is
// written. A patch that cannot be read leaves the buffer unchanged.
void ApplyIpsPatch(std::uint8_t* buffer, std::uint32_t dataSize);

// The record walk on patch bytes already in memory: `records` are the bytes
// between "PATCH" and the three-byte end marker. A record cut off by the end
// is applied as far as it goes and ends the walk with RecordPastEnd; a cut
// run record ends it with RunPastEnd.
IpsResult ApplyIpsRecords(const std::uint8_t* records, std::size_t recordsSize, std::uint8_t* buffer,
                          std::uint32_t dataSize);

// A whole patch file in memory, taken apart.
struct IpsPatch {
  std::span<const std::uint8_t> records;    // between "PATCH" and "EOF"
  std::optional<std::uint32_t> truncateTo;  // the common extension's size after "EOF"
};

// Finds the records of a complete patch: "PATCH", records that end exactly at
// "EOF", and after it nothing or the three-byte truncation size of the common
// extension. Anything else is refused with the reason; nothing is written.
IpsResult ReadIpsPatch(std::span<const std::uint8_t> file, IpsPatch& patch);

// Runs `patch` on the first dataSize bytes of an image in plain order. An
// SMD-interleaved image (buffer holding whole 16 KB blocks) is taken out of
// the interleave first and put back after, so that patch offsets always count
// in plain order.
void PatchInPlainOrder(std::uint8_t* image, std::uint32_t dataSize, bool interleaved,
                       const std::function<void(std::uint8_t* data, std::uint32_t dataSize)>& patch);

// Memory for the patch's records; returns nullptr when there is none.
using PatchBufferAllocator = std::function<std::unique_ptr<std::uint8_t[]>(std::size_t size)>;

// ApplyIpsPatch on a given patch file, with a chosen allocator. The file's
// size is taken now, whatever it was when the patch was loaded.
void ApplyIpsPatchFile(const std::string& patchPath, std::uint8_t* buffer, std::uint32_t dataSize,
                       const PatchBufferAllocator& allocate);

}  // namespace ql
